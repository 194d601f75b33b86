// The run's control flow without Windows: the cancel state's transitions
// (who may stop a run, who tells the user), and the decisions of fetching a
// file so that what is used is trusted.
#include "app/cancel_state.h"
#include "install/fetch.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>

namespace {

// ------------------------------------------------------------ cancel state

// Steps: a letter for the call and the answer it must give ('+' true, '-'
// false, none for a call without answer). a Ask, t Take, h HandOver,
// r Resume, e EnterDownload, l LeaveDownload, b Abandon, s stopping.
struct CancelRow {
  const char* what;
  const char* steps;
  CancelState::Phase end;
};

const CancelRow kCancelRows[] = {
    {"no Cancel: checkpoints go on, the engine gets the work", "t- s- h+", CancelState::kHandedOver},
    {"a Cancel is told once, at the next checkpoint", "a+ s+ t+ t- a-", CancelState::kCancelTold},
    {"a Cancel during the check stops the hand-over to the engine", "a+ h-", CancelState::kCancelTold},
    {"a press once the engine has the work does not count", "h+ a- t- s-", CancelState::kHandedOver},
    {"a second hand-over without a product between", "h+ h+", CancelState::kHandedOver},
    {"a later product's Cancel counts again", "h+ r a+ t+", CancelState::kCancelTold},
    {"resuming a running setup changes nothing", "r t- a+ r t+", CancelState::kCancelTold},
    {"a download that returns in time: the worker tells", "e a+ s+ l+ b- t+", CancelState::kCancelTold},
    {"a download held past the grace: the window tells, once", "e a+ b+ b- l- t-", CancelState::kAbandoned},
    {"no abandon without a Cancel", "e b- l+ t-", CancelState::kRunning},
    {"no abandon outside a download", "a+ b-", CancelState::kCancelAsked},
    {"no abandon after the download has returned", "e l+ a+ b-", CancelState::kCancelAsked},
};

bool Answer(CancelState& state, char call) {
  switch (call) {
    case 'a': return state.Ask();
    case 't': return state.Take();
    case 'h': return state.HandOver();
    case 'l': return state.LeaveDownload();
    case 'b': return state.Abandon();
    case 's': return state.stopping();
    case 'r': state.Resume(); return false;
    case 'e': state.EnterDownload(); return false;
  }
  ADD_FAILURE() << "unknown call " << call;
  return false;
}

TEST(CancelState, Transitions) {
  for (const CancelRow& row : kCancelRows) {
    CancelState state;
    std::istringstream steps(row.steps);
    std::string step;
    while (steps >> step) {
      bool answer = Answer(state, step[0]);
      if (step.size() > 1) {
        EXPECT_EQ(step[1] == '+', answer) << row.what << ": " << step;
      }
    }
    EXPECT_EQ(row.end, state.phase()) << row.what;
  }
}

// The window's give-up and the worker's return meet at the same moment:
// exactly one of them tells the user, however the threads interleave.
TEST(CancelState, WindowAndWorkerNeverBothTellNorNeither) {
  for (int round = 0; round < 2000; ++round) {
    CancelState state;
    state.EnterDownload();
    ASSERT_TRUE(state.Ask());
    bool windowTold = false, workerTold = false;
    std::thread window([&] { windowTold = state.Abandon(); });
    std::thread worker([&] { workerTold = state.LeaveDownload() && state.Take(); });
    window.join();
    worker.join();
    ASSERT_NE(windowTold, workerTold) << "round " << round;
  }
}

// ------------------------------------------------------------ fetching

// The steps as a table row plays them; every call is written to `log`.
struct FetchRow {
  const char* what;
  LocalCopyState local;
  SignatureCheck localVerdict;
  bool current;
  bool canDownload;
  Downloaded downloaded;
  SignatureCheck downloadVerdict;
  int cancelAt;  // the checkpoint (1 = first) at which Cancel is seen; 0 never
  SetupResult result;
  const char* log;
};

class FakeSteps : public FetchSteps {
public:
  explicit FakeSteps(const FetchRow& row) : r(row) {}
  std::string log;

  LocalCopyState HoldLocalCopy() override { return Add("hold-local"), held = r.local == LocalCopyState::kHeld, r.local; }
  bool LocalIsCurrent() override { return Add("current?"), r.current; }
  bool CanDownload() override { return r.canDownload; }
  Downloaded DownloadAndHold() override {
    return Add("download"), downloaded = true, held = r.downloaded == Downloaded::kHeld, r.downloaded;
  }
  SignatureCheck Check() override { return Add(held ? "check" : "check-unheld"), downloaded ? r.downloadVerdict : r.localVerdict; }
  void Release() override { Add("release"), held = false; }
  void ShowStatus(FetchStatus status) override { Add(status == FetchStatus::kVerifying ? "19" : "18"); }
  bool Cancelled() override { return ++checkpoints == r.cancelAt && (Add("24"), true); }
  void Tell(FetchMessage message) override {
    static const char* const kNames[] = {"13-local", "22-local", "13-url", "22", "21"};
    Add(kNames[(int)message]);
  }

private:
  void Add(const char* entry) { log += log.empty() ? entry : std::string(" ") + entry; }
  const FetchRow& r;
  bool held = false, downloaded = false;
  int checkpoints = 0;
};

using L = LocalCopyState;
using D = Downloaded;

const FetchRow kFetchRows[] = {
    {"a trusted current copy beside the setup is used, nothing downloaded", L::kHeld, SignatureTrusted, true, true,
     D::kFailed, SignatureTrusted, 0, 0, "hold-local 19 check current?"},
    {"a trusted copy of another version is replaced by the download", L::kHeld, SignatureTrusted, false, true, D::kHeld,
     SignatureTrusted, 0, 0, "hold-local 19 check current? release 18 download 19 check"},
    {"an untrusted copy is never asked its version, and is replaced", L::kHeld, SignatureNotTrusted, true, true,
     D::kHeld, SignatureTrusted, 0, 0, "hold-local 19 check release 18 download 19 check"},
    {"an untrusted copy without a download address is named untrusted", L::kHeld, SignatureNotTrusted, true, false,
     D::kHeld, SignatureTrusted, 0, 4, "hold-local 19 check release 22-local"},
    {"a copy of another version without a download address is named missing", L::kHeld, SignatureTrusted, false, false,
     D::kHeld, SignatureTrusted, 0, 2, "hold-local 19 check current? release 13-local"},
    {"no copy and no download address", L::kAbsent, SignatureTrusted, true, false, D::kHeld, SignatureTrusted, 0, 2,
     "hold-local 13-local"},
    {"a copy open for writing is refused, the user told by the hold", L::kRefused, SignatureTrusted, true, true,
     D::kHeld, SignatureTrusted, 0, 4, "hold-local"},
    {"a system that cannot check stops at the copy beside the setup", L::kHeld, SignatureUnsupported, true, true,
     D::kHeld, SignatureTrusted, 0, 120, "hold-local 19 check 21"},
    {"a trusted download is used", L::kAbsent, SignatureTrusted, true, true, D::kHeld, SignatureTrusted, 0, 0,
     "hold-local 18 download 19 check"},
    {"a failed download names the URL", L::kAbsent, SignatureTrusted, true, true, D::kFailed, SignatureTrusted, 0, 2,
     "hold-local 18 download 13-url"},
    {"an untrusted download is let go and named", L::kAbsent, SignatureTrusted, true, true, D::kHeld, SignatureNotTrusted, 0,
     4, "hold-local 18 download 19 check release 22"},
    {"a download that cannot be held is not trusted, and not checked", L::kAbsent, SignatureTrusted, true, true,
     D::kNotHeld, SignatureTrusted, 0, 4, "hold-local 18 download 22"},
    {"a download where signatures cannot be checked", L::kAbsent, SignatureTrusted, true, true, D::kHeld,
     SignatureUnsupported, 0, 120, "hold-local 18 download 19 check 21 release"},
    {"memory running out while the URL is made", L::kAbsent, SignatureTrusted, true, true, D::kOutOfMemory,
     SignatureTrusted, 0, 14, "hold-local 18 download"},
    {"Cancel before the copy beside the setup is checked", L::kHeld, SignatureTrusted, true, true, D::kHeld,
     SignatureTrusted, 1, 1602, "hold-local 19 24"},
    {"Cancel before the download", L::kAbsent, SignatureTrusted, true, true, D::kHeld, SignatureTrusted, 1, 1602,
     "hold-local 18 24"},
    {"Cancel that stopped the download is a cancel, not a failure", L::kAbsent, SignatureTrusted, true, true,
     D::kFailed, SignatureTrusted, 2, 1602, "hold-local 18 download 24"},
    {"Cancel right after a whole download lets it go unchecked", L::kAbsent, SignatureTrusted, true, true, D::kHeld,
     SignatureTrusted, 2, 1602, "hold-local 18 download 24 release"},
    {"Cancel before the download is checked", L::kAbsent, SignatureTrusted, true, true, D::kHeld, SignatureTrusted, 3, 1602,
     "hold-local 18 download 19 24 release"},
};

TEST(FetchTrusted, Decisions) {
  for (const FetchRow& row : kFetchRows) {
    FakeSteps steps(row);
    EXPECT_EQ(row.result, FetchTrusted(steps)) << row.what;
    EXPECT_EQ(row.log, steps.log) << row.what;
  }
}

}  // namespace
