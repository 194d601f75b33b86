// VerifyFileSignature with real signed files: how much of the system's trust
// dialog the final check may show (silent unless it fails for a file of the
// setup's own signer, the full dialog otherwise), the window it is given, the
// requests of the three checks, and systems that cannot check.
//
// Wine shows no trust dialog whatever the request asks, so the requests are
// watched on their way to the real WinVerifyTrust, which still answers them.
// Where Wine judges otherwise than Windows (it trusts a signature from any
// root authority, and hands out no signer for a file whose digest is wrong),
// a test replaces the system's answer after the system has built its state.
#include <windows.h>
#include <softpub.h>
#include <stddef.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "afx/seams.h"
#include "install/signature.h"
#include "support/driver.h"

using namespace pelorin_test;

namespace {

std::wstring Signed(const wchar_t* name) { return BinPath(std::wstring(PELORIN_TEST_SIGNATURES) + L"\\" + name); }

// One WinVerifyTrust call as it was made, and its answer.
struct TrustCall {
  HWND window;
  std::wstring file;
  GUID action;
  DWORD size;
  DWORD ui;
  DWORD revocation;
  DWORD unionChoice;
  DWORD stateAction;
  LONG answer;
};

decltype(&WinVerifyTrust) g_realVerify = nullptr;
std::vector<TrustCall> g_calls;
// When set, turns the system's answer into the one the call returns.
LONG (*g_answer)(const TrustCall& call, LONG systemAnswer) = nullptr;

LONG WINAPI WatchedVerify(HWND window, GUID* action, LPVOID data) {
  WINTRUST_DATA* request = static_cast<WINTRUST_DATA*>(data);
  TrustCall call = {window, request->pFile ? request->pFile->pcwszFilePath : L"", *action, request->cbStruct,
                    request->dwUIChoice, request->fdwRevocationChecks, request->dwUnionChoice,
                    request->dwStateAction, 0};
  call.answer = g_realVerify(window, action, data);
  if (g_answer) call.answer = g_answer(call, call.answer);
  g_calls.push_back(call);
  return call.answer;
}

decltype(&WinVerifyTrust) FindWatchedVerify(HMODULE wintrust) {
  g_realVerify = reinterpret_cast<decltype(&WinVerifyTrust)>(reinterpret_cast<void*>(GetProcAddress(wintrust, "WinVerifyTrust")));
  return g_realVerify ? WatchedVerify : nullptr;
}

decltype(&WinVerifyTrust) FindNothing(HMODULE) { return nullptr; }

const HWND kNobody = (HWND)INVALID_HANDLE_VALUE;
// The request up to dwUIContext, counted by hand for each build rather than
// taken from the same header the code uses: 12 fields, padded on 64-bit.
const DWORD kRequestSize = sizeof(void*) == 4 ? 48 : 80;

class TrustDialogChoice : public testing::Test {
protected:
  void SetUp() override {
    seams_->findWinVerifyTrust = FindWatchedVerify;
    g_calls.clear();
    g_answer = nullptr;
    owner_ = CreateWindowExW(0, L"STATIC", L"Pelorin test owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, owner_);
  }
  void TearDown() override {
    g_answer = nullptr;
    DestroyWindow(owner_);
  }

  SignatureCheck Check(const wchar_t* reference, const wchar_t* file) {
    reference_ = Signed(reference);
    file_ = Signed(file);
    return VerifyFileSignature(reference_.c_str(), file_.c_str(), owner_);
  }

  // A silent check of `path` that keeps the state to read the signer, then
  // the closing of that state.
  void ExpectSignerRead(size_t index, const std::wstring& path) {
    ASSERT_LT(index + 1, g_calls.size());
    const TrustCall& check = g_calls[index];
    const TrustCall& close = g_calls[index + 1];
    EXPECT_EQ(path, check.file);
    EXPECT_EQ(kNobody, check.window);
    EXPECT_EQ((DWORD)WTD_UI_NONE, check.ui);
    EXPECT_EQ((DWORD)WTD_STATEACTION_VERIFY, check.stateAction);
    EXPECT_EQ(path, close.file);
    EXPECT_EQ(kNobody, close.window);
    EXPECT_EQ((DWORD)WTD_UI_NONE, close.ui);
    EXPECT_EQ((DWORD)WTD_STATEACTION_CLOSE, close.stateAction);
  }

  // Call `index` (the last one by default): the final check of the file, with
  // the dialog `ui` allowed.
  void ExpectFinalCheck(DWORD ui, size_t index = (size_t)-1) {
    if (index == (size_t)-1) index = g_calls.size() - 1;
    ASSERT_LT(index, g_calls.size());
    const TrustCall& final = g_calls[index];
    EXPECT_EQ(file_, final.file);
    EXPECT_EQ(ui, final.ui) << (ui == WTD_UI_NOGOOD ? "expected the silent check (WTD_UI_NOGOOD)"
                                                    : "expected the full dialog (WTD_UI_ALL)");
    EXPECT_EQ(owner_, final.window);
    EXPECT_EQ((DWORD)WTD_STATEACTION_IGNORE, final.stateAction);
  }

  // What every request carries.
  void ExpectEveryRequestPlain() {
    const GUID verifyV2 = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    for (const TrustCall& call : g_calls) {
      EXPECT_TRUE(IsEqualGUID(verifyV2, call.action));
      EXPECT_EQ(kRequestSize, call.size);
      EXPECT_EQ((DWORD)WTD_REVOKE_NONE, call.revocation);
      EXPECT_EQ((DWORD)WTD_CHOICE_FILE, call.unionChoice);
    }
  }

  ScopedSeams seams_;
  HWND owner_ = nullptr;
  std::wstring reference_, file_;
};

// Trusted in the silent check that read its signer: that answer stands, and
// the file is not read a second time.
TEST_F(TrustDialogChoice, FileOfSetupsOwnSignerIsCheckedSilently) {
  EXPECT_EQ(SignatureTrusted, Check(L"signed-a.exe", L"other-a.exe"));
  ASSERT_EQ(4u, g_calls.size());
  ExpectSignerRead(0, reference_);
  ExpectSignerRead(2, file_);
  EXPECT_EQ(ERROR_SUCCESS, g_calls[2].answer);
  ExpectEveryRequestPlain();
}

TEST_F(TrustDialogChoice, FileOfAnotherSignerMayShowFullDialog) {
  EXPECT_EQ(SignatureTrusted, Check(L"signed-a.exe", L"signed-b.exe"));
  ASSERT_EQ(5u, g_calls.size());
  ExpectSignerRead(0, reference_);
  ExpectSignerRead(2, file_);
  ExpectFinalCheck(WTD_UI_ALL);
  ExpectEveryRequestPlain();
}

// An unsigned setup has no signer to compare with: the file is not looked at
// before its final check.
TEST_F(TrustDialogChoice, UnsignedSetupAllowsFullDialog) {
  EXPECT_EQ(SignatureTrusted, Check(L"unsigned.exe", L"signed-a.exe"));
  ASSERT_EQ(3u, g_calls.size());
  ExpectSignerRead(0, reference_);
  EXPECT_EQ(TRUST_E_NOSIGNATURE, g_calls[0].answer);
  ExpectFinalCheck(WTD_UI_ALL);
  ExpectEveryRequestPlain();
}

// The final check of an unsigned file closes the state as well.
TEST_F(TrustDialogChoice, UnsignedFileIsNotTrustedAfterFullDialog) {
  EXPECT_EQ(SignatureNotTrusted, Check(L"signed-a.exe", L"unsigned.exe"));
  ASSERT_EQ(6u, g_calls.size());
  ExpectSignerRead(2, file_);
  EXPECT_EQ(TRUST_E_NOSIGNATURE, g_calls[2].answer);
  ExpectFinalCheck(WTD_UI_ALL, 4);
  EXPECT_EQ(TRUST_E_NOSIGNATURE, g_calls[4].answer);
  EXPECT_EQ((DWORD)WTD_STATEACTION_CLOSE, g_calls[5].stateAction);
  EXPECT_EQ(kNobody, g_calls[5].window);
  ExpectEveryRequestPlain();
}

TEST_F(TrustDialogChoice, FileChangedAfterSigningIsNotTrusted) {
  EXPECT_EQ(SignatureNotTrusted, Check(L"signed-a.exe", L"tampered-a.exe"));
  ASSERT_EQ(5u, g_calls.size());
  ExpectSignerRead(0, reference_);
  ExpectSignerRead(2, file_);
  EXPECT_NE(0, g_calls.back().answer);
  EXPECT_EQ(file_, g_calls.back().file);
  EXPECT_EQ(owner_, g_calls.back().window);
}

// Windows does not trust the test authority (Wine does): the answer then is
// CERT_E_UNTRUSTEDROOT, and the signer is still in the state.
const LONG kUntrustedRoot = (LONG)0x800B0109;
std::wstring g_untrustedFile;
LONG UntrustedRootFor(const TrustCall& call, LONG systemAnswer) {
  return call.file == g_untrustedFile && call.stateAction != WTD_STATEACTION_CLOSE ? kUntrustedRoot : systemAnswer;
}

// A signature that fails still names its signer: a file of the setup's own
// signer gets the silent check, whose answer decides.
TEST_F(TrustDialogChoice, FailingFileOfSetupsOwnSignerIsCheckedSilently) {
  g_untrustedFile = Signed(L"other-a.exe");
  g_answer = UntrustedRootFor;
  EXPECT_EQ(SignatureNotTrusted, Check(L"signed-a.exe", L"other-a.exe"));
  ASSERT_EQ(5u, g_calls.size());
  EXPECT_EQ(kUntrustedRoot, g_calls[2].answer);
  ExpectFinalCheck(WTD_UI_NOGOOD);
}

// Whether the setup's own signature is valid plays no part: only its
// certificate is compared.
TEST_F(TrustDialogChoice, SetupWhoseSignatureFailsStillNamesItsSigner) {
  g_untrustedFile = Signed(L"signed-a.exe");
  g_answer = UntrustedRootFor;
  EXPECT_EQ(SignatureTrusted, Check(L"signed-a.exe", L"other-a.exe"));
  ASSERT_EQ(4u, g_calls.size());
  EXPECT_EQ(kUntrustedRoot, g_calls[0].answer);
  EXPECT_EQ(ERROR_SUCCESS, g_calls[2].answer);
}

// Without an owner (the "/v" command) the final check gets no window, which
// lets the system show its dialog on the desktop; the silent checks still get
// INVALID_HANDLE_VALUE.
TEST_F(TrustDialogChoice, WithoutOwnerFinalCheckHasNoWindow) {
  reference_ = Signed(L"signed-a.exe");
  file_ = Signed(L"signed-b.exe");
  EXPECT_EQ(SignatureTrusted, VerifyFileSignature(reference_.c_str(), file_.c_str(), nullptr));
  ASSERT_EQ(5u, g_calls.size());
  EXPECT_EQ(kNobody, g_calls[0].window);
  EXPECT_EQ(kNobody, g_calls[2].window);
  EXPECT_EQ(nullptr, g_calls[4].window);
}

// ------------------------------------------------------------------ systems that cannot check

TEST_F(TrustDialogChoice, WintrustWithoutWinVerifyTrustCannotCheck) {
  seams_->findWinVerifyTrust = FindNothing;
  EXPECT_EQ(SignatureUnsupported, Check(L"signed-a.exe", L"signed-a.exe"));
  EXPECT_EQ(SignatureUnsupported, Check(L"unsigned.exe", L"unsigned.exe"));
}

LONG Unknown(const TrustCall&, LONG) { return TRUST_E_PROVIDER_UNKNOWN; }

// A system that knows no provider for the request cannot check; the state is
// closed all the same.
TEST_F(TrustDialogChoice, UnknownProviderCannotCheck) {
  g_answer = Unknown;
  EXPECT_EQ(SignatureUnsupported, Check(L"signed-a.exe", L"signed-a.exe"));
  ASSERT_EQ(2u, g_calls.size());
  ExpectSignerRead(0, reference_);
}

LONG UnknownInFinalCheck(const TrustCall& call, LONG systemAnswer) {
  return call.stateAction == WTD_STATEACTION_IGNORE ? TRUST_E_PROVIDER_UNKNOWN : systemAnswer;
}

TEST_F(TrustDialogChoice, UnknownProviderInFinalCheckCannotCheck) {
  g_answer = UnknownInFinalCheck;
  EXPECT_EQ(SignatureUnsupported, Check(L"signed-a.exe", L"signed-b.exe"));
  ASSERT_EQ(6u, g_calls.size());
  // The final check's state is closed too.
  EXPECT_EQ((DWORD)WTD_STATEACTION_CLOSE, g_calls.back().stateAction);
}

// ------------------------------------------------------------------ libraries

// Answers every request itself: in Wine's processes wintrust.dll stays
// loaded once it has verified anything, so these runs must not reach it.
LONG g_fakeAnswer = 0;
LONG WINAPI FakeVerify(HWND, GUID*, LPVOID data) {
  return static_cast<WINTRUST_DATA*>(data)->dwStateAction == WTD_STATEACTION_CLOSE ? 0 : g_fakeAnswer;
}
decltype(&WinVerifyTrust) FindFakeVerify(HMODULE) { return FakeVerify; }

// Each check loads wintrust.dll and crypt32.dll itself and releases both, on
// every path. Run in a program of its own (see suites/trust.cmake), before
// anything else has loaded either library.
TEST(TrustLibraries, ReleasedOnEveryPath) {
  ASSERT_EQ(nullptr, GetModuleHandleW(L"wintrust.dll")) << "loaded before the test: the test shows nothing";
  ASSERT_EQ(nullptr, GetModuleHandleW(L"crypt32.dll")) << "loaded before the test: the test shows nothing";
  ScopedSeams seams;
  struct Path {
    const char* name;
    decltype(&WinVerifyTrust) (*find)(HMODULE);
    LONG answer;
  };
  const Path paths[] = {
      {"no WinVerifyTrust", FindNothing, 0},
      {"trusted", FindFakeVerify, 0},
      {"not signed", FindFakeVerify, TRUST_E_NOSIGNATURE},
      {"bad digest", FindFakeVerify, (LONG)0x80096010},
      {"unknown provider", FindFakeVerify, TRUST_E_PROVIDER_UNKNOWN},
  };
  for (const Path& path : paths) {
    seams->findWinVerifyTrust = path.find;
    g_fakeAnswer = path.answer;
    VerifyFileSignature(Signed(L"signed-a.exe").c_str(), Signed(L"signed-b.exe").c_str(), nullptr);
    EXPECT_EQ(nullptr, GetModuleHandleW(L"wintrust.dll")) << path.name;
    EXPECT_EQ(nullptr, GetModuleHandleW(L"crypt32.dll")) << path.name;
  }
}

}  // namespace
