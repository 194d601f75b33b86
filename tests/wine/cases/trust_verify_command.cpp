// "/v <file>" end to end: the real setup is started as a calling program
// starts it, and its whole 32-bit exit code is the verdict on the file's
// signature: 0 trusted, 0x800B0004 not trusted or not signed, 0x800B0001 the
// system cannot check. No window may appear on the way.
//
// The signed files are copies of the setup signed at build time with two
// certificates of one test authority (A and B); tampered-a.exe had one byte
// changed after signing.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/probes.h"
#include "support/run.h"

using namespace pelorin_test;

namespace {

const DWORD kTrusted = 0;
const DWORD kNotTrusted = 0x800B0004;   // TRUST_E_SUBJECT_NOT_TRUSTED
const DWORD kCannotCheck = 0x800B0001;  // TRUST_E_PROVIDER_UNKNOWN
const DWORD kAlreadyRunning = 1618;     // ERROR_INSTALL_ALREADY_RUNNING

std::wstring Signed(const wchar_t* name) { return BinPath(std::wstring(PELORIN_TEST_SIGNATURES) + L"\\" + name); }

// Starts `setup` with `arguments` and gives its whole exit code. Fails the
// test when the setup shows any window (a message box or trust dialog would
// show here; nothing is answered) or does not end in time.
DWORD Verdict(const std::wstring& setup, const std::wstring& arguments) {
  RunScript script;
  script.answer = false;
  script.timeoutMs = 30000;
  script.recordStatus = false;
  RunResult run = RunSetup(setup, script, arguments);
  EXPECT_EQ("", Printable(run.firstWindow)) << "\"" << Printable(arguments) << "\" showed a window";
  return run.finished && run.firstWindow.empty() ? run.exitCode : 0xDEADBEEF;
}

DWORD Verify(const std::wstring& file) { return Verdict(SetupPath(), L"/v " + Quote(file)); }

#define EXPECT_VERDICT(expected, actual) EXPECT_EQ(Hex(expected), Hex(actual))

// ------------------------------------------------------------------ verdicts

TEST(VerifyCommand, SignedFileIsTrusted) {
  EXPECT_VERDICT(kTrusted, Verify(Signed(L"signed-a.exe")));
  EXPECT_VERDICT(kTrusted, Verify(Signed(L"signed-b.exe")));
}

TEST(VerifyCommand, UnsignedFileIsNotTrusted) { EXPECT_VERDICT(kNotTrusted, Verify(Signed(L"unsigned.exe"))); }

TEST(VerifyCommand, FileChangedAfterSigningIsNotTrusted) {
  EXPECT_VERDICT(kNotTrusted, Verify(Signed(L"tampered-a.exe")));
}

TEST(VerifyCommand, FileThatIsNoProgramIsNotTrusted) {
  TempFolder folder;
  ASSERT_TRUE(folder.ok());
  std::wstring text = folder.Write(L"readme.txt", "not signed\r\n");
  ASSERT_FALSE(text.empty());
  EXPECT_VERDICT(kNotTrusted, Verify(text));
}

TEST(VerifyCommand, MissingFileIsNotTrusted) {
  TempFolder folder;
  ASSERT_TRUE(folder.ok());
  EXPECT_VERDICT(kNotTrusted, Verify(folder.File(L"InstMSIW.exe")));
}

// A signed setup checks files of its own signer silently and others with the
// system's full dialog; the verdict is the same either way.
TEST(VerifyCommand, SignedSetupJudgesFilesOfEverySigner) {
  const std::wstring setup = Signed(L"signed-a.exe");
  EXPECT_VERDICT(kTrusted, Verdict(setup, L"/v " + Quote(Signed(L"other-a.exe"))));
  EXPECT_VERDICT(kTrusted, Verdict(setup, L"/v " + Quote(setup)));
  EXPECT_VERDICT(kTrusted, Verdict(setup, L"/v " + Quote(Signed(L"signed-b.exe"))));
  EXPECT_VERDICT(kNotTrusted, Verdict(setup, L"/v " + Quote(Signed(L"tampered-a.exe"))));
  EXPECT_VERDICT(kNotTrusted, Verdict(setup, L"/v " + Quote(Signed(L"unsigned.exe"))));
}

// ------------------------------------------------------------------ the file argument

// Folder and file names with blanks and letters outside ASCII, as downloads
// have: the signed copy proves the path arrived whole (a cut path would name
// no file, which is not trusted), the unsigned one that it is really checked.
TEST(VerifyCommand, QuotedPathWithBlanksAndLettersOutsideAscii) {
  TempFolder folder(L"Prenosi \u010D\u0161\u017E \u00DCber \u4E0B\u8F7D");
  ASSERT_TRUE(folder.ok());
  std::wstring trusted = folder.Copy(Signed(L"signed-a.exe"), L"paket \u00EA \u0107 podpisan.exe");
  std::wstring untrusted = folder.Copy(Signed(L"unsigned.exe"), L"paket \u00EA \u0107 nepodpisan.exe");
  ASSERT_FALSE(trusted.empty());
  ASSERT_FALSE(untrusted.empty());
  EXPECT_VERDICT(kTrusted, Verify(trusted));
  EXPECT_VERDICT(kNotTrusted, Verify(untrusted));
}

TEST(VerifyCommand, UnquotedPathWithTrailingBlanks) {
  std::wstring trusted = Signed(L"signed-a.exe");
  ASSERT_EQ(std::wstring::npos, trusted.find(L' ')) << "the build folder holds a blank: the test cannot go unquoted";
  EXPECT_VERDICT(kTrusted, Verdict(SetupPath(), L"/v " + trusted + L"  \t"));
  EXPECT_VERDICT(kNotTrusted, Verdict(SetupPath(), L"-V\t" + Signed(L"unsigned.exe") + L" "));
}

// ------------------------------------------------------------------ beside a running setup

// The check that a running setup asks of a second instance of itself is
// served although the running setup holds the single-instance guard.
TEST(VerifyCommand, ServedWhileAnotherSetupRuns) {
  HANDLE global = CreateMutexW(nullptr, TRUE, SETUP_MUTEX_GLOBAL);
  HANDLE local = CreateMutexW(nullptr, TRUE, SETUP_MUTEX_LOCAL);
  ASSERT_TRUE(global && local);
  // The guard is held: a setup run is refused.
  EXPECT_EQ(kAlreadyRunning, Verdict(SetupPath(), L""));
  EXPECT_VERDICT(kTrusted, Verify(Signed(L"signed-a.exe")));
  EXPECT_VERDICT(kNotTrusted, Verify(Signed(L"unsigned.exe")));
  ReleaseMutex(local);
  ReleaseMutex(global);
  CloseHandle(local);
  CloseHandle(global);
}

// ------------------------------------------------------------------ systems that cannot check

// Run only where Wine is told not to load the library named in
// PELORIN_TEST_MISSING_LIBRARY (see suites/trust.cmake).
TEST(WithoutSignatureLibrary, NoFileCanBeChecked) {
  wchar_t library[64] = L"";
  ASSERT_NE(0u, GetEnvironmentVariableW(L"PELORIN_TEST_MISSING_LIBRARY", library, 64));
  HMODULE module = LoadLibraryW(library);
  if (module) FreeLibrary(module);
  ASSERT_EQ(nullptr, module) << Printable(library) << " can be loaded: this test needs it disabled";

  EXPECT_VERDICT(kCannotCheck, Verify(Signed(L"signed-a.exe")));
  EXPECT_VERDICT(kCannotCheck, Verify(Signed(L"unsigned.exe")));
  EXPECT_VERDICT(kCannotCheck, Verdict(Signed(L"signed-a.exe"), L"/v " + Quote(Signed(L"other-a.exe"))));
}

}  // namespace
