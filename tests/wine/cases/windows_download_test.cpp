// Downloads through the progress window, as the setup makes them: the real
// transfer on a worker thread, into a file of a run folder, against an HTTP
// server on the loopback interface, while this thread serves the window.
// The bar is watched through the messages it receives.
#include <windows.h>
#include <commctrl.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "install/download.h"
#include "install/run_folder.h"
#include "ui/resource.h"
#include "app/app.h"
#include "support/run.h"
#include "support/windows_http_server.h"

using namespace pelorin_test;
using pelorin_test::HttpReply;
using pelorin_test::LoopbackHttpServer;

namespace {

struct BarMessage {
  UINT message;
  int first, second;  // SETRANGE32: low, high; SETPOS: position, 0
};

std::vector<BarMessage> g_barMessages;
WNDPROC g_barProc = nullptr;

LRESULT CALLBACK WatchingBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == PBM_SETRANGE32) g_barMessages.push_back({message, (int)wParam, (int)lParam});
  if (message == PBM_SETPOS) g_barMessages.push_back({message, (int)wParam, 0});
  return CallWindowProcW(g_barProc, window, message, wParam, lParam);
}

std::string Pattern(size_t size) {
  std::string body(size, '\0');
  for (size_t i = 0; i < size; ++i) body[i] = (char)('A' + (i * 7 + i / 61) % 26);
  return body;
}

std::string FileContent(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class Download : public ProgressWindowTest {
protected:
  void SetUp() override {
    ProgressWindowTest::SetUp();
    ASSERT_TRUE(server.ok());
    g_barMessages.clear();
    g_barProc = (WNDPROC)SetWindowLongPtrW(control(IDC_PROGRESS), GWLP_WNDPROC, (LONG_PTR)WatchingBarProc);
  }

  void TearDown() override {
    RemoveRunFolder(folder);
    ProgressWindowTest::TearDown();
  }

  // Downloads `url` as the setup's worker does, into a file of a run
  // folder; `tick` acts as the user. True when the whole file arrived (its
  // path in `cached`); otherwise `failure` tells why.
  bool Fetch(const std::wstring& url, const std::function<void(HWND)>& tick = nullptr) {
    failure = DownloadFailure();
    cached.Clear();
    WString path;
    UniqueHandle file;
    if (folder.empty()) EXPECT_TRUE(MakeRunFolder(folder));
    EXPECT_TRUE(CreateRunFile(folder, L"download.bin", path, file));
    bool done = false;
    RunScript user;
    user.answer = false;
    user.whileRunning = tick;
    RunInProcess(
        [&] {
          DownloadJob job = {url.c_str(), file.get(), 1, window(), progress().m_download, progress().m_cancelled,
                             [](void*, DWORD) {}, nullptr};
          done = DownloadFile(job, failure);
        },
        user);
    file.Reset();
    if (done) cached.Append(path);
    return done;
  }

  // The upper limits, or the positions, that the bar was told, in order.
  static std::vector<int> Told(UINT message) {
    std::vector<int> told;
    for (const BarMessage& m : g_barMessages)
      if (m.message == message) told.push_back(message == PBM_SETRANGE32 ? m.second : m.first);
    return told;
  }
  static std::vector<int> Upper() { return Told(PBM_SETRANGE32); }
  static std::vector<int> Positions() { return Told(PBM_SETPOS); }

  static void ExpectRangeToldOnce(const std::vector<int>& upper) {
    std::vector<int> once{1000}, afterUnknown{0, 1000};
    EXPECT_TRUE(upper == once || upper == afterUnknown) << testing::PrintToString(upper);
  }

  LoopbackHttpServer server;
  WString folder, cached;
  DownloadFailure failure;
};

}  // namespace

TEST_F(Download, OfKnownSizeFillsTheBarStepByStep) {
  const std::string body = Pattern(6000);
  server.SetReply({200, body, true, 1000, 150});
  ASSERT_TRUE(Fetch(server.FreshUrl("known")));
  EXPECT_EQ(body, FileContent(cached.c_str())) << Printable(cached.c_str());

  // The range is told before any position: empty while the size is not yet
  // known (the first reports, while connecting), then once in thousandths of
  // the size. The bar ends full and went through steps on the way, each
  // position told once and never backwards.
  ASSERT_FALSE(g_barMessages.empty());
  EXPECT_EQ((UINT)PBM_SETRANGE32, g_barMessages.front().message);
  std::vector<int> upper = Upper(), positions = Positions();
  ExpectRangeToldOnce(upper);
  EXPECT_EQ(0, g_barMessages.front().first);
  ASSERT_FALSE(positions.empty());
  EXPECT_EQ(1000, positions.back());
  int between = 0;
  for (size_t i = 1; i < positions.size(); ++i) {
    EXPECT_LT(positions[i - 1], positions[i]);
    if (positions[i] > 0 && positions[i] < 1000) ++between;
  }
  EXPECT_GE(between, 2);
  EXPECT_EQ(1000, BarUpper(control(IDC_PROGRESS)));
  EXPECT_EQ(1000, BarPosition(control(IDC_PROGRESS)));
  EXPECT_EQ(CancelState::kRunning, progress().m_cancelled.phase());
}

TEST_F(Download, ManySmallReportsMoveTheBarOnlyWhereItShows) {
  // 200 KB in pieces of 100 bytes: some two thousand reports, a thousand
  // steps of the bar at most, and a second download tells the range anew.
  const std::string body = Pattern(200000);
  server.SetReply({200, body, true, 100, 0});
  ASSERT_TRUE(Fetch(server.FreshUrl("many")));
  EXPECT_EQ(body, FileContent(cached.c_str()));
  ExpectRangeToldOnce(Upper());
  EXPECT_LE(Positions().size(), 1002u);
  g_barMessages.clear();
  server.SetReply({200, Pattern(3000), true, 1000, 20});
  ASSERT_TRUE(Fetch(server.FreshUrl("again")));
  ExpectRangeToldOnce(Upper());
  ASSERT_FALSE(Positions().empty());
  EXPECT_EQ(1000, Positions().back());
}

TEST_F(Download, OfUnknownSizeLeavesTheBarEmpty) {
  const std::string body = Pattern(5000);
  server.SetReply({200, body, false, 1000, 80});
  ASSERT_TRUE(Fetch(server.FreshUrl("unknown")));
  EXPECT_EQ(body, FileContent(cached.c_str())) << Printable(cached.c_str());
  std::vector<int> upper = Upper();
  ASSERT_FALSE(upper.empty());  // the window was told
  for (int limit : upper) EXPECT_EQ(0, limit);
  EXPECT_EQ(0, BarUpper(control(IDC_PROGRESS)));
  EXPECT_EQ(0, BarPosition(control(IDC_PROGRESS)));
}

TEST_F(Download, CancelledByTheUserFails) {
  // 64 bytes every 100 ms: half a minute for the whole file.
  const std::string body = Pattern(64 * 300);
  server.SetReply({200, body, true, 64, 100});
  DWORD clickedAt = 0;
  bool done = Fetch(server.FreshUrl("cancelled"), [&](HWND) {
    // Cancel once the bar has begun to move.
    if (!clickedAt && BarPosition(control(IDC_PROGRESS)) > 0) {
      SendMessageW(control(IDCANCEL), BM_CLICK, 0, 0);
      clickedAt = GetTickCount();
    }
  });
  ASSERT_NE(0u, clickedAt) << "the bar never moved";
  DWORD stoppedAfter = GetTickCount() - clickedAt;
  EXPECT_FALSE(done);
  EXPECT_EQ((DWORD)ERROR_CANCELLED, failure.error);
  EXPECT_TRUE(cached.empty());
  EXPECT_EQ(CancelState::kCancelAsked, progress().m_cancelled.phase());
  EXPECT_LT(stoppedAfter, 5000u);
  EXPECT_LT(server.bodyBytesSent(), body.size());
  // The window stays as it was: open, visible, Cancel still enabled.
  EXPECT_TRUE(IsWindowVisible(window()));
  EXPECT_TRUE(IsWindowEnabled(control(IDCANCEL)));
}

// Refused for the status, and the error page is no download.
TEST_F(Download, HttpNotFoundOrServerErrorIsAFailure) {
  for (int status : {404, 500}) {
    server.SetReply({status, "<html><body>" + std::to_string(status) + " Error</body></html>"});
    int before = server.requests();
    EXPECT_FALSE(Fetch(server.FreshUrl("failing" + std::to_string(status))));
    EXPECT_TRUE(cached.empty());
    EXPECT_EQ((DWORD)status, failure.status);
    EXPECT_EQ(1, server.requests() - before) << status;
  }
}

TEST_F(Download, SucceedsAfterAnEarlierHttpError) {
  server.SetReply({404, "not here"});
  EXPECT_FALSE(Fetch(server.FreshUrl("first")));
  const std::string body = Pattern(1500);
  server.SetReply({200, body});
  ASSERT_TRUE(Fetch(server.FreshUrl("second")));
  EXPECT_EQ(body, FileContent(cached.c_str()));
}

// Only http and https are asked for: any other address is refused before
// any request, and what an earlier download met spoils nothing after.
TEST_F(Download, AnAddressOtherThanHttpIsRefusedAndSpoilsNothing) {
  server.SetReply({500, "broken"});
  EXPECT_FALSE(Fetch(server.FreshUrl("first")));
  // A file URL: no HTTP answer at all this time.
  wchar_t folderPath[MAX_PATH], file[MAX_PATH];
  GetTempPathW(MAX_PATH, folderPath);
  GetTempFileNameW(folderPath, L"pel", 0, file);
  const std::string body = Pattern(700);
  std::ofstream(file, std::ios::binary) << body;
  int before = server.requests();
  EXPECT_FALSE(Fetch(L"file:///" + std::wstring(file)));
  EXPECT_EQ((DWORD)ERROR_INTERNET_UNRECOGNIZED_SCHEME, failure.error);
  EXPECT_EQ(0u, failure.status);
  EXPECT_EQ(before, server.requests());
  server.SetReply({200, body});
  ASSERT_TRUE(Fetch(server.FreshUrl("after")));
  EXPECT_EQ(body, FileContent(cached.c_str()));
  DeleteFileW(file);
}

TEST_F(Download, NoServerListeningIsAFailure) {
  // A port that was free a moment ago and has nobody listening now.
  SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof(address);
  ASSERT_EQ(0, bind(probe, (sockaddr*)&address, sizeof(address)));
  ASSERT_EQ(0, getsockname(probe, (sockaddr*)&address, &length));
  closesocket(probe);
  std::wstring url = L"http://127.0.0.1:" + std::to_wstring(ntohs(address.sin_port)) + L"/nobody.msi";
  EXPECT_FALSE(Fetch(url));
  EXPECT_NE(0u, failure.error);
  EXPECT_TRUE(cached.empty());
}
