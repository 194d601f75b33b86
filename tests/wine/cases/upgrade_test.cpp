// The Windows Installer engine upgrade as a user meets it: the setup's own
// worker runs in this test program (RunInProcess, support/run.h) with the real
// progress window, real message boxes answered by a second thread, the real
// setup executable as the second instance that checks a download's
// signature, real child processes for the redistributable (fake_engine/)
// and a loopback HTTP server as the maker's download server.
//
// What Wine cannot be is played through the program's seams: an engine
// older than 2.0 (Wine's is 4.5), an x86 processor (this test program is a
// 64-bit one), and the restart of the computer, which is only recorded.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/worker.h"
#include "engine/binding.h"
#include "engine/upgrade.h"
#include "afx/seams.h"
#include "install/held_file.h"
#include "install/processor.h"
#include "install/signature.h"
#include "ui/messages.h"
#include "ui/resource.h"
#include "support/run.h"
#include "support/windows_http_server.h"

extern wchar_t g_testEngineUrl[256];

using namespace pelorin_test;

namespace {

std::wstring Material(const wchar_t* name) { return std::wstring(PELORIN_FAKE_ENGINE_DIR) + L"\\" + name; }

// A file of the run folder (Pelorin-*) in the temporary folder; empty when none.
std::wstring RunFolderFile(const wchar_t* name) {
  std::vector<std::wstring> folders = RunFolders();
  return folders.empty() ? L"" : folders[0] + L"\\" + name;
}

// ------------------------------------------------------------ seams

USHORT g_machine = IMAGE_FILE_MACHINE_I386;
bool g_machineKnown = true;
BOOL WINAPI FakeIsWow64Process2(HANDLE, USHORT* processMachine, USHORT* nativeMachine) {
  if (!g_machineKnown) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  *processMachine = IMAGE_FILE_MACHINE_UNKNOWN;
  *nativeMachine = g_machine;
  return TRUE;
}
IsWow64Process2Fn FindFakeIsWow64Process2(HMODULE) { return FakeIsWow64Process2; }

DWORD g_engineVersionMS = 0x00010014;  // 1.20
std::wstring g_engineJudged;  // the file whose version was read last
DWORD ReadOldEngineVersion(const wchar_t* path, DWORD* versionMS) {
  g_engineJudged = path ? path : L"";
  *versionMS = g_engineVersionMS;
  return 0;
}

struct RestartRequest {
  UINT flags;
  DWORD reason;
};
std::vector<RestartRequest> g_restarts;
BOOL g_restartGranted = TRUE;  // what the system answers the request
BOOL WINAPI RecordRestart(UINT flags, DWORD reason) {
  g_restarts.push_back({flags, reason});
  return g_restartGranted;
}

// ------------------------------------------------------------ texts

std::wstring Text(UINT id) { return Expected(id); }
std::wstring Text(UINT id, const std::wstring& insert) { return Expected(id, {insert}); }

// A run of SetupWorker from start to end as the setup runs it, then the
// application's end; boxes beyond the answers get OK, or No.
struct Outcome : RunResult {
  DWORD workerResult = 0;       // what SetupWorker returned
  bool engineBound = false;     // msi.dll bound when the worker ended
  bool restartPending = false;  // as the worker left it
};

Outcome RunSetupWorkerBy(RunScript script) {
  CPelorinApp& app = App();
  app.m_restartPending = FALSE;
  app.m_result = 0;
  app.m_msi = MsiApi();
  Outcome outcome;
  if (!MakeProgressWindow()) {
    ADD_FAILURE() << "no progress window";
    return outcome;
  }
  script.questionAnswer = IDNO;
  script.timeoutMs = 120000;
  script.atEnd = [] { return (DWORD)App().ExitInstance(); };
  UINT result = 0;
  bool engineBound = false, restartPending = false;
  static_cast<RunResult&>(outcome) = RunInProcess(
      [&] {
        result = SetupWorker(&App());
        engineBound = App().m_msi.module != nullptr;
        restartPending = App().m_restartPending != FALSE;
      },
      script);
  app.m_pMainWnd = nullptr;
  outcome.workerResult = result;
  outcome.engineBound = engineBound;
  outcome.restartPending = restartPending;
  return outcome;
}

Outcome RunSetupWorker(std::vector<int> answers = {}) {
  RunScript script;
  script.answers = std::move(answers);
  return RunSetupWorkerBy(script);
}

const std::vector<int> kOk = {IDOK};
const std::vector<int> kYesNo = {IDYES, IDNO};

std::string Texts(const Outcome& outcome) {
  std::string all;
  for (const ShownBox& box : outcome.boxes) all += "\n  [" + Printable(box.content.text) + "]";
  return all;
}

void ExpectBox(const Outcome& outcome, size_t index, const std::wstring& text, UINT icon,
               const std::vector<int>& buttons) {
  ASSERT_LT(index, outcome.boxes.size()) << "no message box number " << index + 1;
  const MessageBoxContent& box = outcome.boxes[index].content;
  EXPECT_EQ(Printable(text), Printable(box.text)) << "message box number " << index + 1;
  EXPECT_EQ(icon, box.icon) << Printable(box.text);
  EXPECT_EQ(buttons, box.ButtonIds()) << Printable(box.text);
  EXPECT_EQ(Printable(Text(MSG_APP_TITLE)), Printable(box.caption));
}

void ExpectStopped(const Outcome& outcome, DWORD result);

// A failed download's box (the second): message 28 naming `url`, a blank
// line and the cause (any when empty); the worker stopped.
void ExpectDownloadFailed(const Outcome& outcome, const std::wstring& url, const std::wstring& cause) {
  ExpectStopped(outcome, ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(2u, outcome.boxes.size()) << Texts(outcome);
  const std::wstring head = Text(MSG_ENGINE_NOT_FOUND, url) + L"\n\n", shown = outcome.boxes[1].content.text;
  EXPECT_TRUE(shown.size() > head.size() && shown.compare(0, head.size(), head) == 0) << Printable(shown);
  ExpectBox(outcome, 1, cause.empty() ? shown : head + cause, MB_ICONERROR, kOk);
}

// The question whether to upgrade, owned by the progress window.
void ExpectUpgradeQuestion(const Outcome& outcome) {
  ExpectBox(outcome, 0, Text(MSG_ENGINE_TOO_OLD), MB_ICONQUESTION, kYesNo);
  if (!outcome.boxes.empty()) EXPECT_EQ(outcome.progressWindow, outcome.boxes[0].content.owner);
}

// The usual end of a run in which the worker stopped at the upgrade.
void ExpectStopped(const Outcome& outcome, DWORD result) {
  EXPECT_TRUE(outcome.finished);
  EXPECT_EQ(result, outcome.workerResult);
  EXPECT_EQ(result, outcome.exitCode);
  EXPECT_FALSE(outcome.engineBound) << "the engine was bound after the upgrade failed";
  EXPECT_FALSE(outcome.restartPending);
  EXPECT_TRUE(g_restarts.empty());
}
// A run stopped after a second box with OK: `text` with `icon`.
void ExpectStoppedByBox(const Outcome& outcome, const std::wstring& text, UINT icon, DWORD result) {
  ExpectStopped(outcome, result);
  ASSERT_EQ(2u, outcome.boxes.size()) << Texts(outcome);
  ExpectBox(outcome, 1, text, icon, kOk);
}
// The usual end of a run that went on past the upgrade.
// `exitCode`: 0, or after an upgrade that asked for a restart 3010 (not
// restarted) or 1641 (restart begun).
void ExpectWentOn(const Outcome& outcome, DWORD exitCode = 0) {
  EXPECT_TRUE(outcome.finished);
  EXPECT_EQ(0u, outcome.workerResult);
  EXPECT_EQ(exitCode, outcome.exitCode);
  EXPECT_TRUE(outcome.engineBound) << "the setup did not go on to bind the engine";
}

// ------------------------------------------------------------ fixture

class EngineUpgrade : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(setupFolder_.ok());
    ASSERT_TRUE(workFolder_.ok());
    ASSERT_TRUE(server_.ok());
    UseSetup(SetupPath());

    CPelorinApp& app = App();
    app.m_notNt = FALSE;
    app.m_isAdmin = TRUE;
    app.m_osMajor = 6;

    seams_->findIsWow64Process2 = FindFakeIsWow64Process2;
    g_machine = IMAGE_FILE_MACHINE_I386;
    g_machineKnown = true;
    seams_->readEngineVersion = ReadOldEngineVersion;
    g_engineVersionMS = 0x00010014;
    seams_->exitWindowsEx = RecordRestart;
    g_restarts.clear();
    g_restartGranted = TRUE;

    // A folder of the maker's server that no earlier download asked for,
    // so that no download cache can answer in the server's place.
    static int runs = 0;
    std::string unique = "/u" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + "-" +
                         std::to_string(++runs);
    baseUrl_ = server_.Url(unique + "/MSI/2.0/");
    SetEngineUrl(baseUrl_);
    HttpReply notFound;
    notFound.status = 404;
    notFound.body = "not here";
    server_.SetReply(notFound);

    record_ = workFolder_.File(L"record.txt");
    SetEnvironmentVariableW(L"PELORIN_FAKE_RECORD", record_.c_str());
    SetEnvironmentVariableW(L"PELORIN_FAKE_EXIT", nullptr);
  }

  void TearDown() override {
    App().m_exeHold.Reset();
    for (const wchar_t* name : {L"PELORIN_FAKE_RECORD", L"PELORIN_FAKE_EXIT", L"PELORIN_FAKE_HOLD"})
      SetEnvironmentVariableW(name, nullptr);
  }

  // The setup under test: a copy of `setup` as Pelorin.exe in the setup
  // folder, which is where the redistributable is looked for first.
  void UseSetup(const std::wstring& setup) {
    App().m_exeHold.Reset();
    std::wstring exe = setupFolder_.Copy(setup, L"Pelorin.exe");
    ASSERT_FALSE(exe.empty()) << Printable(setup);
    SetAppPaths(exe);
  }
  // The setup holds its own file for the whole run, as it does when started.
  void SetAppPaths(const std::wstring& exe) {
    App().m_exeHold.Reset(OpenHeldFile(exe.c_str()));
    App().m_exePath = WString(exe.c_str());
    App().m_exeDir = WString((setupFolder_.path() + L"\\").c_str());
  }
  static void SetEngineUrl(const std::wstring& url) {
    ASSERT_LT(url.size(), 255u);
    wcscpy(g_testEngineUrl, url.c_str());
  }

  // A redistributable beside the setup, signed as its maker ships it.
  std::wstring PlaceBesideSetup(const wchar_t* material, const wchar_t* name = L"InstMSIW.exe") {
    return PlantBesideSetup((std::wstring(L"signed\\") + material).c_str(), name);
  }
  // Any file beside the setup under a redistributable's name.
  std::wstring PlantBesideSetup(const wchar_t* material, const wchar_t* name = L"InstMSIW.exe") {
    std::wstring path = setupFolder_.Copy(Material(material), name);
    EXPECT_FALSE(path.empty()) << Printable(Material(material));
    return path;
  }
  // The redistributable on the maker's server.
  void Serve(const wchar_t* material) {
    HttpReply reply;
    reply.body = ReadBytes(Material(material));
    ASSERT_FALSE(reply.body.empty()) << Printable(Material(material));
    server_.SetReply(reply);
  }
  static void EngineExitsWith(DWORD code) {
    SetEnvironmentVariableW(L"PELORIN_FAKE_EXIT", std::to_wstring(code).c_str());
  }
  // A run whose signed redistributable beside the setup ends with `code`.
  Outcome RunUpgradeEndingWith(DWORD code, std::vector<int> answers) {
    PlaceBesideSetup(L"engine-2_0.exe");
    EngineExitsWith(code);
    return RunSetupWorker(std::move(answers));
  }

  // The runs of stand-ins (engine, or a stand-in setup) in this test.
  std::vector<ChildRun> Runs() const { return StandInRuns(record_); }

  static std::wstring UpgradeCommandLine(const std::wstring& path) {
    return L"\"" + path + L"\" /c:\"msiinst /delayreboot\"";
  }

  TempFolder setupFolder_;
  TempFolder workFolder_{L"Pelorin upgrade work"};
  LoopbackHttpServer server_;
  std::wstring baseUrl_;
  std::wstring record_;

protected:
  ScopedSeams seams_;
};

// ------------------------------------------------------------ the gate

// The judgement of the engine that the worker loads.
bool IsEngineUpgradeNeeded() {
  HMODULE engine = LoadInstallerEngine();
  bool needed = ::IsEngineUpgradeNeeded(engine);
  if (engine) FreeLibrary(engine);
  return needed;
}

TEST_F(EngineUpgrade, RecentEngineIsNeitherQuestionedNorUpgraded) {
  seams_->readEngineVersion = GetFileVersionMS;  // Wine's own msi.dll, 4.5
  PlaceBesideSetup(L"engine-2_0.exe");

  Outcome outcome = RunSetupWorker();

  EXPECT_TRUE(outcome.boxes.empty()) << Texts(outcome);
  EXPECT_TRUE(outcome.StatusTexts(IDC_DETAIL).empty());
  EXPECT_TRUE(Runs().empty());
  ExpectWentOn(outcome);
  EXPECT_FALSE(outcome.restartPending);
}

TEST_F(EngineUpgrade, EngineVersionsBelowTwoAreUpgradedAndTwoIsNot) {
  // 1.20 reads as 120, below 200: proposed; 2.0 is enough.
  g_engineVersionMS = 0x00010014;
  EXPECT_TRUE(IsEngineUpgradeNeeded());
  g_engineVersionMS = 0x00010063;  // 1.99
  EXPECT_TRUE(IsEngineUpgradeNeeded());
  g_engineVersionMS = 0x00020000;
  EXPECT_FALSE(IsEngineUpgradeNeeded());
  seams_->readEngineVersion = GetFileVersionMS;
  EXPECT_FALSE(IsEngineUpgradeNeeded()) << "Wine's msi.dll 4.5 taken as too old";
}

TEST_F(EngineUpgrade, EngineJudgedIsTheOneThatWouldBeBound) {
  seams_->readEngineVersion = GetFileVersionMS;
  // In the view of the build, where the engine check reads it.
  SavedRegistryValue registered(HKEY_LOCAL_MACHINE, INSTALLER_KEY, L"InstallerLocation", kOwnView);
  wchar_t system[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);

  ASSERT_TRUE(registered.SetText(system));
  EXPECT_FALSE(IsEngineUpgradeNeeded()) << "the system's msi.dll 4.5, registered, taken as too old";
  // Registered where there is no engine: the binding loads the system's
  // msi.dll 4.5 instead, so no upgrade is asked for.
  ASSERT_TRUE(registered.SetText(workFolder_.path()));
  EXPECT_FALSE(IsEngineUpgradeNeeded()) << "a registered folder without an engine asked for an upgrade";
  // The file judged is the system's engine, which would be bound; were it
  // too old, it would be upgraded.
  g_engineVersionMS = 0x00010014;
  seams_->readEngineVersion = ReadOldEngineVersion;
  g_engineJudged.clear();
  EXPECT_TRUE(IsEngineUpgradeNeeded());
  std::wstring systemEngine = std::wstring(system) + L"\\msi.dll";
  EXPECT_EQ(0, lstrcmpiW(systemEngine.c_str(), g_engineJudged.c_str())) << Printable(g_engineJudged);
  seams_->readEngineVersion = GetFileVersionMS;
  // (An old msi.dll planted there cannot be played: Wine reads the version
  // of any file named msi.dll from its own built-in one.)
  // A location that is not a full path is ignored, as the binding ignores
  // it: the engine that would be bound, the system's, is judged. Read
  // against the current folder it would name no engine and ask for an
  // upgrade.
  wchar_t current[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, current), 0u);
  SetCurrentDirectoryW(workFolder_.path().c_str());
  bool relativeNeeded = registered.SetText(L"engine") && IsEngineUpgradeNeeded();
  bool unexpandedNeeded = registered.SetText(L"%SystemRoot%\\System32") && IsEngineUpgradeNeeded();
  SetCurrentDirectoryW(current);
  EXPECT_FALSE(relativeNeeded) << "a relative location was read against the current folder";
  EXPECT_FALSE(unexpandedNeeded);
}

TEST_F(EngineUpgrade, UserWhoIsNoAdministratorIsToldSoAndNotAsked) {
  App().m_isAdmin = FALSE;
  PlaceBesideSetup(L"engine-2_0.exe");

  Outcome outcome = RunSetupWorker();

  ASSERT_EQ(1u, outcome.boxes.size()) << Texts(outcome);
  ExpectBox(outcome, 0, Text(MSG_ADMIN_REQUIRED), MB_ICONERROR, kOk);
  ExpectStopped(outcome, ERROR_INSTALL_FAILURE);
  EXPECT_TRUE(Runs().empty());
}

TEST_F(EngineUpgrade, NoToTheQuestionCancelsTheSetup) {
  PlaceBesideSetup(L"engine-2_0.exe");

  Outcome outcome = RunSetupWorker({IDNO});

  ExpectUpgradeQuestion(outcome);
  ExpectStoppedByBox(outcome, Text(MSG_CANCELLED), MB_ICONWARNING, ERROR_INSTALL_USEREXIT);
  EXPECT_TRUE(Runs().empty());
  EXPECT_EQ(0, server_.requests());
}

TEST_F(EngineUpgrade, NtOnAnotherProcessorThanX86EndsWith1633AndNoMessage) {
  PlaceBesideSetup(L"engine-2_0.exe");
  struct {
    USHORT machine;
    bool known;
    const char* name;
  } const cases[] = {{IMAGE_FILE_MACHINE_AMD64, true, "x64"},
                     {0xAA64, true, "ARM64"},
                     {IMAGE_FILE_MACHINE_I386, false, "processor that cannot be told"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    g_machine = c.machine;
    g_machineKnown = c.known;
    seams_.Changed();
    SetAppPaths(setupFolder_.File(L"Pelorin.exe"));

    Outcome outcome = RunSetupWorker({IDYES});

    ASSERT_EQ(1u, outcome.boxes.size()) << Texts(outcome);
    ExpectUpgradeQuestion(outcome);
    ExpectStopped(outcome, ERROR_INSTALL_PLATFORM_UNSUPPORTED);
    EXPECT_TRUE(outcome.StatusTexts(IDC_DETAIL).empty());
  }
  EXPECT_TRUE(Runs().empty());
  EXPECT_EQ(0, server_.requests());
}

TEST_F(EngineUpgrade, PlatformThatIsNotNtTakesTheAnsiRedistributableWhateverTheProcessor) {
  App().m_notNt = TRUE;
  g_machine = IMAGE_FILE_MACHINE_AMD64;  // never asked on such a platform
  std::wstring ansi = PlaceBesideSetup(L"engine-2_0.exe", L"InstMSIA.exe");
  PlaceBesideSetup(L"engine-2_0.exe", L"InstMSIW.exe");

  Outcome outcome = RunSetupWorker({IDYES});

  ASSERT_EQ(1u, outcome.boxes.size()) << Texts(outcome);
  ExpectWentOn(outcome);
  std::vector<ChildRun> runs = Runs();
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ(Printable(ansi), Printable(runs[0].modulePath));
  EXPECT_EQ(Printable(UpgradeCommandLine(ansi)), Printable(runs[0].commandLine));
}

TEST_F(EngineUpgrade, PlatformThatIsNotNtDownloadsTheAnsiRedistributable) {
  App().m_notNt = TRUE;

  Outcome outcome = RunSetupWorker({IDYES});

  ExpectDownloadFailed(outcome, baseUrl_ + L"InstMSIA.exe", L"404 Not Found");
}

// ------------------------------------------------------------ a redistributable beside the setup

TEST_F(EngineUpgrade, TrustedRedistributableBesideTheSetupIsCheckedAndRunWithoutDownload) {
  std::wstring local = PlaceBesideSetup(L"engine-2_0.exe");

  Outcome outcome = RunSetupWorker({IDYES});

  ASSERT_EQ(1u, outcome.boxes.size()) << Texts(outcome);
  ExpectUpgradeQuestion(outcome);
  ExpectWentOn(outcome);
  EXPECT_FALSE(outcome.restartPending);
  EXPECT_EQ(std::vector<std::wstring>{Text(MSG_VERIFYING_SIGNATURE, L"InstMSIW.exe")}, outcome.StatusTexts(IDC_DETAIL));
  EXPECT_EQ(0, server_.requests());
  std::vector<ChildRun> runs = Runs();
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ(Printable(local), Printable(runs[0].modulePath));
  EXPECT_EQ(Printable(UpgradeCommandLine(local)), Printable(runs[0].commandLine));
}

void ExpectRanDownloaded(const std::vector<ChildRun>& runs, const std::wstring& besideSetup);

// A planted file under the redistributable's name is never run: the maker's
// signed copy is downloaded and run instead.
TEST_F(EngineUpgrade, UnsignedRedistributableBesideTheSetupIsReplacedByTheDownload) {
  std::wstring local = PlantBesideSetup(L"engine-2_0.exe");
  Serve(L"engine-signed.exe");

  Outcome outcome = RunSetupWorker({IDYES});

  ASSERT_EQ(1u, outcome.boxes.size()) << Texts(outcome);
  ExpectWentOn(outcome);
  EXPECT_EQ(1, server_.requests());
  ExpectRanDownloaded(Runs(), local);
}

TEST_F(EngineUpgrade, VersionGateRefusesTenToElevenAndPassesTheRest) {
  struct {
    const wchar_t* material;
    bool passes;
  } const cases[] = {{L"engine-10_5.exe", false}, {L"engine-11_99.exe", false}, {L"engine-none.exe", false},
                     {L"engine-2_0.exe", true},   {L"engine-12_0.exe", true},   {L"engine-1_20.exe", true}};
  size_t expectedRuns = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(Printable(c.material));
    std::wstring local = PlaceBesideSetup(c.material);
    SetAppPaths(setupFolder_.File(L"Pelorin.exe"));

    Outcome outcome = RunSetupWorker({IDYES});

    if (c.passes) {
      ++expectedRuns;
      EXPECT_EQ(1u, outcome.boxes.size()) << Texts(outcome);
      ExpectWentOn(outcome);
    } else {
      ExpectStoppedByBox(outcome, Text(MSG_ENGINE_INVALID, local), MB_ICONERROR, ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(expectedRuns, Runs().size()) << "a refused redistributable ran, or a good one did not";
  }
}

// ------------------------------------------------------------ what the redistributable answers

TEST_F(EngineUpgrade, RestartNeededLetsTheSetupGoOnAndYesAtTheEndRestarts) {
  Outcome outcome = RunUpgradeEndingWith(ERROR_SUCCESS_REBOOT_REQUIRED, {IDYES, IDYES});

  ASSERT_EQ(2u, outcome.boxes.size()) << Texts(outcome);
  ExpectUpgradeQuestion(outcome);
  ExpectBox(outcome, 1, Text(MSG_RESTART), MB_ICONQUESTION, kYesNo);
  // Asked after the progress window has gone: it has no owner.
  EXPECT_EQ(nullptr, outcome.boxes[1].content.owner);
  ExpectWentOn(outcome, ERROR_SUCCESS_REBOOT_INITIATED);
  EXPECT_TRUE(outcome.restartPending);
  ASSERT_EQ(1u, g_restarts.size());
  EXPECT_EQ((UINT)EWX_REBOOT, g_restarts[0].flags);
  EXPECT_EQ(0u, g_restarts[0].reason);
}

TEST_F(EngineUpgrade, RestartNeededAndNoAtTheEndDoesNotRestart) {
  Outcome outcome = RunUpgradeEndingWith(ERROR_SUCCESS_REBOOT_REQUIRED, {IDYES, IDNO});

  ASSERT_EQ(2u, outcome.boxes.size()) << Texts(outcome);
  ExpectBox(outcome, 1, Text(MSG_RESTART), MB_ICONQUESTION, kYesNo);
  ExpectWentOn(outcome, ERROR_SUCCESS_REBOOT_REQUIRED);
  EXPECT_TRUE(g_restarts.empty());
}

// Yes, but the system refuses the restart (the privilege was not granted,
// say): the restart is still needed, and a script must learn that.
TEST_F(EngineUpgrade, RestartThatTheSystemRefusesEndsWith3010) {
  g_restartGranted = FALSE;

  Outcome outcome = RunUpgradeEndingWith(ERROR_SUCCESS_REBOOT_REQUIRED, {IDYES, IDYES});

  ASSERT_EQ(2u, outcome.boxes.size()) << Texts(outcome);
  EXPECT_EQ(1u, g_restarts.size()) << "the restart was not asked for";
  ExpectWentOn(outcome, ERROR_SUCCESS_REBOOT_REQUIRED);
}

TEST_F(EngineUpgrade, PlatformThatIsNotNtRestartsToo) {
  App().m_notNt = TRUE;
  PlaceBesideSetup(L"engine-2_0.exe", L"InstMSIA.exe");
  EngineExitsWith(ERROR_SUCCESS_REBOOT_REQUIRED);

  Outcome outcome = RunSetupWorker({IDYES, IDYES});

  ASSERT_EQ(2u, outcome.boxes.size()) << Texts(outcome);
  ExpectBox(outcome, 1, Text(MSG_RESTART), MB_ICONQUESTION, kYesNo);
  ASSERT_EQ(1u, g_restarts.size());
  EXPECT_EQ((UINT)EWX_REBOOT, g_restarts[0].flags);
}

TEST_F(EngineUpgrade, RestartStartedByTheRedistributableEndsTheSetupSilently) {
  Outcome outcome = RunUpgradeEndingWith(ERROR_SUCCESS_REBOOT_INITIATED, {IDYES});

  ASSERT_EQ(1u, outcome.boxes.size()) << Texts(outcome);
  ExpectStopped(outcome, ERROR_SUCCESS_REBOOT_INITIATED);
  EXPECT_EQ(1u, Runs().size());
}

TEST_F(EngineUpgrade, FailuresOfTheRedistributableAreToldAndPassedOn) {
  std::wstring local = PlaceBesideSetup(L"engine-2_0.exe");
  struct {
    DWORD code;
    std::wstring text;
    UINT icon;
  } const cases[] = {
      {ERROR_INSTALL_FAILURE, Text(MSG_ENGINE_UPGRADE_FAILED), MB_ICONERROR},
      {ERROR_INSTALL_USEREXIT, Text(MSG_CANCELLED), MB_ICONWARNING},
      {ERROR_FILE_NOT_FOUND, Text(MSG_ENGINE_NOT_FOUND, local), MB_ICONERROR},
      {0xC0000005, Text(MSG_ENGINE_UPGRADE_FAILED), MB_ICONERROR},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EngineExitsWith(c.code);
    SetAppPaths(setupFolder_.File(L"Pelorin.exe"));

    Outcome outcome = RunSetupWorker({IDYES});

    ExpectStoppedByBox(outcome, c.text, c.icon, c.code);
    if (outcome.boxes.size() == 2) EXPECT_EQ(outcome.progressWindow, outcome.boxes[1].content.owner);
  }
}

// ------------------------------------------------------------ downloads

// The run of the redistributable from the run's folder: its path, which
// is not the one beside the setup, and the command line it got.
void ExpectRanDownloaded(const std::vector<ChildRun>& runs, const std::wstring& besideSetup) {
  ASSERT_EQ(1u, runs.size());
  EXPECT_NE(Printable(besideSetup), Printable(runs[0].modulePath));
  EXPECT_NE(std::wstring::npos, runs[0].modulePath.find(L"InstMSIW")) << Printable(runs[0].modulePath);
  EXPECT_EQ(Printable(L"\"" + runs[0].modulePath + L"\" /c:\"msiinst /delayreboot\""),
            Printable(runs[0].commandLine));
}

void ExpectDownloadStatus(const Outcome& outcome) {
  ASSERT_EQ(2u, outcome.StatusTexts(IDC_DETAIL).size());
  EXPECT_EQ(Printable(Text(MSG_DOWNLOADING_ENGINE)), Printable(outcome.StatusTexts(IDC_DETAIL)[0]));
  // The file's name, not its path in the cache.
  EXPECT_EQ(Printable(Text(MSG_VERIFYING_SIGNATURE, L"InstMSIW.exe")), Printable(outcome.StatusTexts(IDC_DETAIL)[1]));
}

TEST_F(EngineUpgrade, DownloadSignedWithTheSetupsCertificateIsCheckedAndRun) {
  UseSetup(Material(L"setup-signed.exe"));
  Serve(L"engine-signed.exe");
  EngineExitsWith(0);

  Outcome outcome = RunSetupWorker({IDYES});

  ASSERT_EQ(1u, outcome.boxes.size()) << Texts(outcome);
  ExpectWentOn(outcome);
  ExpectDownloadStatus(outcome);
  EXPECT_EQ(1, server_.requests());
  ExpectRanDownloaded(Runs(), setupFolder_.File(L"InstMSIW.exe"));
}

TEST_F(EngineUpgrade, DownloadFromAnUnsignedSetupIsJudgedByItsOwnSignature) {
  Serve(L"engine-signed.exe");
  EngineExitsWith(ERROR_SUCCESS_REBOOT_REQUIRED);

  Outcome outcome = RunSetupWorker({IDYES, IDNO});

  ASSERT_EQ(2u, outcome.boxes.size()) << Texts(outcome);
  ExpectBox(outcome, 1, Text(MSG_RESTART), MB_ICONQUESTION, kYesNo);
  ExpectWentOn(outcome, ERROR_SUCCESS_REBOOT_REQUIRED);
  ExpectRanDownloaded(Runs(), setupFolder_.File(L"InstMSIW.exe"));
}

TEST_F(EngineUpgrade, DownloadThatIsNotTrustedIsNeverRun) {
  UseSetup(Material(L"setup-signed.exe"));
  const wchar_t* const refused[] = {L"engine-2_0.exe" /* unsigned */, L"engine-tampered.exe"};
  for (const wchar_t* material : refused) {
    SCOPED_TRACE(Printable(material));
    SetAppPaths(setupFolder_.File(L"Pelorin.exe"));
    SetEngineUrl(server_.Url("/t" + std::to_string(GetTickCount()) + "/" + std::to_string(server_.requests()) +
                             "/MSI/2.0/"));
    Serve(material);

    // The downloaded copy, while the run holds it (it goes with the run).
    std::string held;
    RunScript script;
    script.answers = {IDYES};
    script.whileRunning = [&](HWND) {
      std::string now = ReadBytes(RunFolderFile(L"InstMSIW.exe"));
      if (!now.empty()) held = now;
    };
    Outcome outcome = RunSetupWorkerBy(script);

    ASSERT_EQ(2u, outcome.boxes.size()) << Texts(outcome);
    // Told with the path of the downloaded copy, which held what was served.
    std::wstring path = InsertOf(MSG_NOT_TRUSTED, outcome.boxes[1].content.text);
    EXPECT_EQ(ReadBytes(Material(material)), held);
    EXPECT_FALSE(FileExists(path)) << "left behind: " << Printable(outcome.boxes[1].content.text);
    EXPECT_NE(std::wstring::npos, path.find(L"InstMSIW")) << Printable(path);
    ExpectStoppedByBox(outcome, Text(MSG_NOT_TRUSTED, path), MB_ICONERROR, kResultNotTrusted);
    ExpectDownloadStatus(outcome);
  }
  EXPECT_TRUE(Runs().empty()) << "an untrusted download ran";
}

TEST_F(EngineUpgrade, SignatureCheckThatCannotStartCountsAsNotTrusted) {
  Serve(L"engine-signed.exe");
  // The setup's own file is there and held, but it is no program: the
  // second instance that would check the download cannot start.
  SetAppPaths(setupFolder_.Write(L"not a program.exe", "text, not a program"));
  ASSERT_TRUE(App().m_exeHold) << "not held: the check would stop before it starts the program";

  Outcome outcome = RunSetupWorker({IDYES});

  ASSERT_EQ(2u, outcome.boxes.size()) << Texts(outcome);
  EXPECT_FALSE(InsertOf(MSG_NOT_TRUSTED, outcome.boxes[1].content.text).empty()) << Printable(outcome.boxes[1].content.text);
  ExpectStopped(outcome, kResultNotTrusted);
  EXPECT_TRUE(Runs().empty());
}

// The setup's own file, which checks the redistributable, is not held, or
// its path is too long to start it by: no check could run, so nothing is
// fetched or run, and the user is not told that a good file is untrusted.
TEST_F(EngineUpgrade, SetupThatCannotStartItsOwnCheckDoesNotUpgrade) {
  Serve(L"engine-signed.exe");
  EngineExitsWith(0);
  std::wstring deep = workFolder_.path() + L"\\";
  deep += std::wstring(MAX_PATH - 1 - deep.size(), L'd');
  ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr)) << GetLastError();
  const std::wstring signedSetup = Material(L"setup-signed.exe");
  struct {
    std::wstring setup;
    bool held;
    bool usable;
  } cases[] = {
      {setupFolder_.File(L"gone.exe"), false, false},
      {deep + L"\\Pelorin.exe", true, false},
      // The control, last: the same download, checked by a setup that can
      // start its check, is run.
      {setupFolder_.Copy(signedSetup, L"Signed setup.exe"), true, true},
  };
  ASSERT_TRUE(CopyFileW(signedSetup.c_str(), cases[1].setup.c_str(), FALSE)) << GetLastError();
  for (const auto& c : cases) {
    SCOPED_TRACE(Printable(c.setup));
    App().m_exeHold.Reset();
    SetAppPaths(c.setup);
    ASSERT_EQ(c.held, (bool)App().m_exeHold);
    Outcome outcome = RunSetupWorker({IDYES});
    if (c.usable) {
      ExpectWentOn(outcome);
      EXPECT_EQ(1u, Runs().size()) << Texts(outcome);
      continue;
    }
    ExpectStoppedByBox(outcome, Text(MSG_ENGINE_UPGRADE_FAILED), MB_ICONERROR, ERROR_INSTALL_FAILURE);
    EXPECT_TRUE(Runs().empty());
    EXPECT_EQ(0, server_.requests());
  }
}

TEST_F(EngineUpgrade, SystemThatCannotCheckSignaturesIsToldSo) {
  // A stand-in second instance that answers as a system without Authenticode
  // does, and records how it was asked.
  std::wstring standIn = setupFolder_.Copy(Material(L"engine-2_0.exe"), L"Setup stand-in.exe");
  ASSERT_FALSE(setupFolder_.Write(L"Setup stand-in.exe.exit", "0x800B0001").empty());
  SetAppPaths(standIn);
  Serve(L"engine-signed.exe");

  // The file the check was asked about, while the run holds it.
  std::string checkedBytes;
  RunScript script;
  script.answers = {IDYES};
  script.whileRunning = [&](HWND) {
    std::vector<ChildRun> seen = Runs();
    const std::wstring head = L"\"" + standIn + L"\" /v \"";
    if (checkedBytes.empty() && seen.size() == 1 && seen[0].commandLine.size() > head.size() + 1)
      checkedBytes = ReadBytes(seen[0].commandLine.substr(head.size(), seen[0].commandLine.size() - head.size() - 1));
  };
  Outcome outcome = RunSetupWorkerBy(script);

  ExpectStoppedByBox(outcome, Text(MSG_NO_SIGNATURES), MB_ICONERROR, ERROR_CALL_NOT_IMPLEMENTED);
  std::vector<ChildRun> runs = Runs();
  ASSERT_EQ(1u, runs.size()) << "the redistributable ran, or the check did not";
  EXPECT_EQ(Printable(standIn), Printable(runs[0].modulePath));
  // "<setup>" /v "<downloaded file>"
  const std::wstring& line = runs[0].commandLine;
  std::wstring head = L"\"" + standIn + L"\" /v \"";
  ASSERT_EQ(0u, line.compare(0, head.size(), head)) << Printable(line);
  ASSERT_EQ(L'"', line.back()) << Printable(line);
  std::wstring checked = line.substr(head.size(), line.size() - head.size() - 1);
  EXPECT_EQ(ReadBytes(Material(L"engine-signed.exe")), checkedBytes) << Printable(checked);
}

TEST_F(EngineUpgrade, DownloadThatFailsIsToldWithTheUrl) {
  // The server answers 404.
  Outcome outcome = RunSetupWorker({IDYES});

  ExpectDownloadFailed(outcome, baseUrl_ + L"InstMSIW.exe", L"404 Not Found");
  EXPECT_EQ(1, server_.requests());
  ASSERT_EQ(1u, outcome.StatusTexts(IDC_DETAIL).size());
  EXPECT_EQ(Printable(Text(MSG_DOWNLOADING_ENGINE)), Printable(outcome.StatusTexts(IDC_DETAIL)[0]));
  EXPECT_TRUE(Runs().empty());
}

TEST_F(EngineUpgrade, DownloadFromAServerThatIsNotThereIsToldWithTheUrl) {
  // A port that was free a moment ago: nothing answers there.
  std::wstring url;
  {
    LoopbackHttpServer gone;
    ASSERT_TRUE(gone.ok());
    url = gone.Url("/MSI/2.0/");
  }
  SetEngineUrl(url);

  Outcome outcome = RunSetupWorker({IDYES});

  ExpectDownloadFailed(outcome, url + L"InstMSIW.exe", L"");
}

// ------------------------------------------------------------ Cancel

// Message 24 after the question, owned by the progress window; the worker stopped.
void ExpectCancelled(const Outcome& outcome) {
  ExpectStoppedByBox(outcome, Text(MSG_CANCELLED), MB_ICONWARNING, ERROR_INSTALL_USEREXIT);
  if (outcome.boxes.size() == 2) EXPECT_EQ(outcome.progressWindow, outcome.boxes[1].content.owner);
}

// Yes to the question, and Cancel pressed once, when `ready` first holds,
// then `after` run; `pressed` tells whether it was.
Outcome RunCancellingWhen(std::function<bool()> ready, bool* pressed, std::function<void()> after = nullptr) {
  RunScript run;
  run.answers = {IDYES};
  *pressed = false;
  run.whileRunning = [&](HWND) {
    if (!*pressed && ready()) {
      *pressed = true;
      PressCancel();
      if (after) after();
    }
  };
  return RunSetupWorkerBy(run);
}

// Yes to the question, and Cancel pressed as the status line shows `status`.
Outcome RunCancellingAt(const std::wstring& status) {
  RunScript run;
  run.answers = {IDYES};
  run.onStatus = [status](int, const std::wstring& text) {
    if (text == status) PressCancel();
  };
  return RunSetupWorkerBy(run);
}

TEST_F(EngineUpgrade, CancelBeforeTheDownloadStopsItBeforeItBegins) {
  Serve(L"engine-signed.exe");

  Outcome outcome = RunCancellingAt(Text(MSG_DOWNLOADING_ENGINE));

  ExpectCancelled(outcome);
  EXPECT_EQ(0, server_.requests());
  EXPECT_TRUE(Runs().empty());
}

TEST_F(EngineUpgrade, CancelDuringTheDownloadAbortsItAndIsToldAsACancel) {
  // 64 bytes every 100 ms: the whole would take minutes.
  HttpReply slow;
  slow.body = ReadBytes(Material(L"engine-signed.exe"));
  ASSERT_GT(slow.body.size(), 64u * 200);
  slow.pieceSize = 64;
  slow.pieceDelayMs = 100;
  server_.SetReply(slow);
  bool pressed = false;

  DWORD start = GetTickCount();
  Outcome outcome = RunCancellingWhen([&] { return server_.bodyBytesSent() >= 128; }, &pressed);

  EXPECT_TRUE(pressed);
  ExpectCancelled(outcome);
  EXPECT_LT(server_.bodyBytesSent(), slow.body.size());
  EXPECT_LT(GetTickCount() - start, 60000u) << "the download was not aborted";
  ASSERT_EQ(1u, outcome.StatusTexts(IDC_DETAIL).size());
  EXPECT_TRUE(Runs().empty());
}

TEST_F(EngineUpgrade, CancelAfterTheDownloadStopsBeforeTheSignatureCheck) {
  // The stand-in second instance records it if the check is started.
  std::wstring standIn = setupFolder_.Copy(Material(L"engine-2_0.exe"), L"Setup stand-in.exe");
  SetAppPaths(standIn);
  Serve(L"engine-signed.exe");

  Outcome outcome = RunCancellingAt(Text(MSG_VERIFYING_SIGNATURE, L"InstMSIW.exe"));

  ExpectCancelled(outcome);
  EXPECT_EQ(1, server_.requests());
  EXPECT_TRUE(Runs().empty()) << "the check or the redistributable ran after Cancel";
}

TEST_F(EngineUpgrade, CancelDuringTheCheckStopsBeforeTheRedistributableStarts) {
  // The check is a stand-in held running until Cancel has been pressed.
  std::wstring standIn = setupFolder_.Copy(Material(L"engine-2_0.exe"), L"Setup stand-in.exe");
  SetAppPaths(standIn);
  Serve(L"engine-signed.exe");
  std::wstring holdName = L"pelorin-upgrade-hold-" + std::to_wstring(GetCurrentProcessId());
  HANDLE hold = CreateEventW(nullptr, TRUE, FALSE, holdName.c_str());
  ASSERT_NE(nullptr, hold);
  SetEnvironmentVariableW(L"PELORIN_FAKE_HOLD", holdName.c_str());
  bool pressed = false;

  Outcome outcome = RunCancellingWhen([&] { return !Runs().empty(); }, &pressed, [&] { SetEvent(hold); });
  SetEvent(hold);
  CloseHandle(hold);
  SetEnvironmentVariableW(L"PELORIN_FAKE_HOLD", nullptr);

  // The redistributable was not started: a Cancel counts until it runs.
  EXPECT_TRUE(pressed);
  ExpectCancelled(outcome);
  std::vector<ChildRun> runs = Runs();
  ASSERT_EQ(1u, runs.size()) << "the check alone";
  EXPECT_EQ(Printable(standIn), Printable(runs[0].modulePath));
}

}  // namespace
