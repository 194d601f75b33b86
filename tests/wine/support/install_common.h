// What the installation scenarios share: the sample packages and the setups
// built for them, the loopback download server (started by the test
// fixture, steered here through its control requests) and the products on
// the system. The setups are run with RunSetup (support/run.h).
#pragma once

#include <windows.h>
#include <msi.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/run.h"

namespace install_test {

using namespace pelorin_test;

// ------------------------------------------------------------------ material

// The folder with the built sample packages (signed/, unsigned/, ...).
std::wstring PackagesDir();
// A sample package: PackageFile(L"signed", L"Tamaris.x64.En.msi").
std::wstring PackageFile(const std::wstring& kind, const std::wstring& name);
// A setup built for these tests: SetupVariant(L"tamaris") is the shipped
// configuration with the test server's address compiled in.
std::wstring SetupVariant(const std::wstring& name);

struct SamplePackage {
  std::wstring file;         // "unsigned/Tamaris.x64.En.msi"
  std::wstring productCode;  // "{...}"
  std::wstring version;      // its ProductVersion
  std::wstring folder;       // folder under Program Files that it installs into
};
// Every sample package, as the build listed them (signed/ and tampered/
// carry the product codes of their unsigned twins).
const std::vector<SamplePackage>& SamplePackages();
// The package of that kind and name ("older", L"Tamaris.x64.En.msi"); the
// signed and tampered kinds answer with their unsigned twin.
const SamplePackage& Sample(const std::wstring& kind, const std::wstring& name);

// ------------------------------------------------------------------ products

INSTALLSTATE ProductState(const std::wstring& productCode);
// The name of the sample file that the setup picks on this system for a
// language ("En", "Sl"): PackageName(L"En") is "Tamaris.x64.En.msi" on x64.
std::wstring PackageName(const std::wstring& language, const std::wstring& extension = L"msi");
// Where the package puts its file.
std::wstring InstalledFile(const SamplePackage& package);
// Removes every sample product that is on the system; false when one stays.
bool UninstallSamples();
// The sample product codes that are installed now.
std::vector<std::wstring> InstalledSamples();

// ------------------------------------------------------------------ server

struct ServedRequest {
  std::string method;
  std::string path;     // as asked, with the query
  std::string package;  // the value of "paket", or the file after /MSI/2.0/ or at the end of /files/...
  int status = 0;
  size_t bytes = 0;     // body bytes the server sent
  std::string end;      // "complete", "cut" or "aborted"
  long long rangeStart = -1;  // the N of "Range: bytes=N-"; -1: no range asked
  double at = 0;              // when it came, in seconds (the server's clock)
};

// The download server that the test fixture started on the port compiled
// into the setups (PELORIN_TEST_PORT).
namespace server {
// Default behaviour and an empty log; false when the server does not answer.
bool Reset();
// Changes the behaviour: "mode=slow&chunk=256&delay=0.2", "root=unsigned",
// "mode=status&status=404", "mode=cut&cut=3000" (see the server's help).
bool Set(const std::string& query);
// The requests served since the last Reset.
std::vector<ServedRequest> Log();
// The same, once there are `count` of them, or after 10 s (the server logs a
// request as it ends, which may be after the setup ended).
std::vector<ServedRequest> Log(size_t count);
}  // namespace server

// nginx and squid, started by the test fixture "real_servers" on the ports
// compiled in (tools/real_servers.sh).
namespace real_servers {
extern const int kHttpsPort, kHttpPort, kProxyPort, kPasswordProxyPort;
// From the next connection on, nginx shows the certificate `certificate`
// ("good", "other_name", "expired", "unknown_authority") and answers the
// product's address by `mode` ("loop", "to_http", "to_https", "missing";
// empty: the file). False when they could not be set.
bool Set(const std::wstring& certificate, const std::wstring& mode);
// The lines of a log of the servers ("access.log": nginx's requests, one a
// line, "PORT<TAB>REQUEST<TAB>STATUS<TAB>BYTES<TAB>TIME"; "error.log";
// "squid-access.log").
std::vector<std::string> Log(const wchar_t* name);
// The prefix's Internet settings name a proxy on `port` of 127.0.0.1 while
// the object lives.
class ScopedProxy {
public:
  explicit ScopedProxy(int port);
  ~ScopedProxy();
  ScopedProxy(const ScopedProxy&) = delete;
  ScopedProxy& operator=(const ScopedProxy&) = delete;
  bool ok() const { return ok_; }

private:
  bool ok_ = false;
};
}  // namespace real_servers

// The URL that the setups ask for `packageFile`.
std::wstring PackageUrl(const std::wstring& packageFile);
// The English package for the system's processor, the one the scenarios ask for.
inline const std::wstring kPackage = PackageName(L"En");

// ------------------------------------------------------------------ outcomes

// The run ended with 0 without a message, and `package` is the one sample
// product installed.
void ExpectInstalledOnly(const RunResult& run, const SamplePackage& package);
// The run ended with `exitCode` after one error box with `text` (OK only),
// and nothing is installed.
void ExpectErrorAndNothingInstalled(const RunResult& run, DWORD exitCode, const std::wstring& text);
// No sample product is installed, and the English package's file is not there.
void ExpectNothingInstalled();
// The system's text for the error `code`, as the user is to read it: from
// wininet.dll's message table, else from the system's, without the spaces
// and line ends around it; "Error <code>" when neither has one.
std::wstring SystemText(DWORD code);
// A failed download of `url`: the run ended with 2 after one error box (OK
// only) with message 13, a blank line and the cause (`cause`; empty: any,
// which is put in `told`); nothing was checked and nothing is installed.
void ExpectDownloadFailed(const RunResult& run, const std::wstring& cause = L"",
                          const std::wstring& url = PackageUrl(kPackage), std::wstring* told = nullptr);

// A scenario from a clean start: the server serving the signed samples, no
// sample product on the system, and a fresh folder with the shipped setup in
// it (setup_); what a test installed is taken off again afterwards.
// A derived SetUp calls this one first and stops when it failed.
class ScenarioTest : public testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  // The setup `variant` copied into the test's folder as Pelorin.exe.
  std::wstring CopySetup(const std::wstring& variant);
  // The same, with the sample package `name` of `kind` beside it.
  std::wstring CopySetup(const std::wstring& variant, const std::wstring& kind, const std::wstring& name);

  pelorin_test::TempFolder folder_;
  std::wstring setup_;
};

}  // namespace install_test
