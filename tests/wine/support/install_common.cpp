#include "support/install_common.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <shlobj.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <fstream>
#include <set>
#include <sstream>



namespace install_test {

namespace {

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0);
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &wide[0], length);
  return wide;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0, nullptr, nullptr);
  std::string narrow(length, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), &narrow[0], length, nullptr, nullptr);
  return narrow;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

// One request to the server on the loopback interface; the body of the
// answer, or false when there was no answer with status 200.
bool HttpGet(const std::string& path, std::string* body) {
  static bool started = false;
  if (!started) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    started = true;
  }
  SOCKET connection = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (connection == INVALID_SOCKET) return false;
  DWORD timeout = 10000;
  setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(PELORIN_TEST_PORT);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = false;
  if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    if (send(connection, request.data(), (int)request.size(), 0) == (int)request.size()) {
      std::string answer;
      char buffer[4096];
      int got;
      while ((got = recv(connection, buffer, sizeof buffer, 0)) > 0) answer.append(buffer, got);
      size_t headerEnd = answer.find("\r\n\r\n");
      if (headerEnd != std::string::npos && answer.compare(0, 12, "HTTP/1.1 200") == 0) {
        if (body) *body = answer.substr(headerEnd + 4);
        ok = true;
      }
    }
  }
  closesocket(connection);
  return ok;
}

std::string QueryValue(const std::string& path, const std::string& key) {
  size_t query = path.find('?');
  if (query == std::string::npos) return std::string();
  for (const std::string& pair : Split(path.substr(query + 1), '&')) {
    size_t equals = pair.find('=');
    if (equals != std::string::npos && pair.substr(0, equals) == key) return pair.substr(equals + 1);
  }
  return std::string();
}

}  // namespace

// ------------------------------------------------------------------ material

std::wstring PackagesDir() { return BinPath(L"tests\\wine\\packages"); }

std::wstring PackageFile(const std::wstring& kind, const std::wstring& name) {
  return PackagesDir() + L"\\" + kind + L"\\" + name;
}

std::wstring SetupVariant(const std::wstring& name) {
  return BinPath(L"tests\\wine\\install-setups\\install_" + name + L".exe");
}

const std::vector<SamplePackage>& SamplePackages() {
  static std::vector<SamplePackage> packages;
  if (packages.empty()) {
    std::ifstream list(Narrow(PackagesDir() + L"\\products.txt").c_str());
    std::string line;
    while (std::getline(list, line)) {
      std::vector<std::string> fields = Split(Trimmed(line), '\t');
      if (fields.size() != 4) continue;
      packages.push_back({Widen(fields[0]), Widen(fields[1]), Widen(fields[2]), Widen(fields[3])});
    }
  }
  return packages;
}

const SamplePackage& Sample(const std::wstring& kind, const std::wstring& name) {
  std::wstring twin = (kind == L"signed" || kind == L"tampered") ? L"unsigned" : kind;
  for (const SamplePackage& package : SamplePackages())
    if (package.file == twin + L"/" + name) return package;
  static const SamplePackage none;
  ADD_FAILURE() << "no sample package " << Printable(kind + L"/" + name) << " (were the packages built?)";
  return none;
}

// ------------------------------------------------------------------ products

INSTALLSTATE ProductState(const std::wstring& productCode) { return MsiQueryProductStateW(productCode.c_str()); }

std::wstring InstalledFile(const SamplePackage& package) {
  // A 64-bit package goes to the native Program Files, a 32-bit one to the
  // 32-bit Program Files (the same folder on a 32-bit system), whatever the
  // bitness of this test program.
  bool package32 = package.folder.find(L" Win32 ") != std::wstring::npos;
  wchar_t programFiles[MAX_PATH] = L"";
  if (!GetEnvironmentVariableW(package32 ? L"ProgramFiles(x86)" : L"ProgramW6432", programFiles, MAX_PATH))
    SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles);
  return std::wstring(programFiles) + L"\\" + package.folder + L"\\tamaris.txt";
}

std::wstring PackageName(const std::wstring& language, const std::wstring& extension) {
  static std::wstring arch;
  if (arch.empty()) {
    typedef BOOL(WINAPI * IsWow64Process2Fn)(HANDLE, USHORT*, USHORT*);
    IsWow64Process2Fn isWow64Process2 = reinterpret_cast<IsWow64Process2Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process2")));
    USHORT process = 0, native = IMAGE_FILE_MACHINE_AMD64;
    if (isWow64Process2) isWow64Process2(GetCurrentProcess(), &process, &native);
    arch = native == IMAGE_FILE_MACHINE_I386 ? L"Win32" : native == IMAGE_FILE_MACHINE_ARM64 ? L"ARM64" : L"x64";
  }
  return L"Tamaris." + arch + L"." + language + L"." + extension;
}

std::vector<std::wstring> InstalledSamples() {
  std::vector<std::wstring> installed;
  std::set<std::wstring> seen;
  // Without the list of products, "nothing is installed" would hold whatever
  // the setup did.
  if (SamplePackages().empty()) ADD_FAILURE() << "no sample products listed (were the packages built?)";
  for (const SamplePackage& package : SamplePackages()) {
    if (!seen.insert(package.productCode).second) continue;
    INSTALLSTATE state = ProductState(package.productCode);
    if (state == INSTALLSTATE_DEFAULT || state == INSTALLSTATE_ADVERTISED) installed.push_back(package.productCode);
  }
  return installed;
}

bool UninstallSamples() {
  MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
  for (const std::wstring& code : InstalledSamples())
    MsiConfigureProductW(code.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
  return InstalledSamples().empty();
}

// ------------------------------------------------------------------ server

namespace server {

bool Reset() { return HttpGet("/control/reset", nullptr); }

bool Set(const std::string& query) { return HttpGet("/control/set?" + query, nullptr); }

std::vector<ServedRequest> Log() {
  std::vector<ServedRequest> requests;
  std::string body;
  if (!HttpGet("/control/log", &body)) {
    ADD_FAILURE() << "the download server does not answer";
    return requests;
  }
  for (const std::string& line : Split(body, '\n')) {
    std::vector<std::string> fields = Split(Trimmed(line), '\t');
    if (fields.size() < 5) continue;
    ServedRequest request;
    request.method = fields[0];
    request.path = fields[1];
    request.status = atoi(fields[2].c_str());
    request.bytes = strtoul(fields[3].c_str(), nullptr, 10);
    request.end = fields[4];
    if (fields.size() > 5 && fields[5] != "-") request.rangeStart = strtoll(fields[5].c_str(), nullptr, 10);
    if (fields.size() > 6) request.at = strtod(fields[6].c_str(), nullptr);
    request.package = QueryValue(request.path, "paket");
    if (request.package.empty() && request.path.compare(0, 9, "/MSI/2.0/") == 0) request.package = request.path.substr(9);
    if (request.package.empty() && request.path.compare(0, 7, "/files/") == 0)
      request.package = request.path.substr(request.path.rfind('/') + 1);
    requests.push_back(request);
  }
  return requests;
}

std::vector<ServedRequest> Log(size_t count) {
  std::vector<ServedRequest> requests = Log();
  for (int i = 0; i < 40 && requests.size() < count; ++i) Sleep(250), requests = Log();
  return requests;
}

}  // namespace server

namespace real_servers {

const int kPorts[] = {PELORIN_TEST_REAL_PORTS};
const int kHttpsPort = kPorts[0], kHttpPort = kPorts[1], kProxyPort = kPorts[2], kPasswordProxyPort = kPorts[3];

bool Set(const std::wstring& certificate, const std::wstring& mode) {
  const std::wstring dir = PELORIN_TEST_REAL_DIR;
  bool ok = true;
  for (const wchar_t* known : {L"loop", L"to_http", L"to_https", L"missing"})
    if (!DeleteFileW((dir + L"\\modes\\" + known).c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) ok = false;
  if (!mode.empty()) {
    HANDLE file = CreateFileW((dir + L"\\modes\\" + mode).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ok = ok && file != INVALID_HANDLE_VALUE;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  for (const wchar_t* part : {L".key", L".crt"})
    ok = ok && CopyFileW((dir + L"\\tls\\" + certificate + part).c_str(), (dir + L"\\tls\\served" + part).c_str(), FALSE);
  return ok;
}

std::vector<std::string> Log(const wchar_t* name) {
  std::ifstream file(Narrow(std::wstring(PELORIN_TEST_REAL_DIR) + L"\\" + name).c_str());
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(file, line)) lines.push_back(Trimmed(line));
  return lines;
}

const wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

ScopedProxy::ScopedProxy(int port) {
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kInternetSettings, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)) return;
  DWORD enable = 1;
  std::wstring server = L"127.0.0.1:" + std::to_wstring(port);
  ok_ = !RegSetValueExW(key, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable), sizeof enable) &&
        !RegSetValueExW(key, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                        (DWORD)((server.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

ScopedProxy::~ScopedProxy() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_SET_VALUE, &key)) return;
  RegDeleteValueW(key, L"ProxyEnable");
  RegDeleteValueW(key, L"ProxyServer");
  RegCloseKey(key);
}

}  // namespace real_servers

std::wstring PackageUrl(const std::wstring& packageFile) { return PELORIN_TEST_DOWNLOAD_URL + packageFile; }

// ------------------------------------------------------------------ outcomes

void ExpectInstalledOnly(const RunResult& run, const SamplePackage& package) {
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(0u, run.exitCode) << Describe(run);
  EXPECT_TRUE(run.boxes.empty()) << Describe(run);
  EXPECT_EQ(INSTALLSTATE_DEFAULT, ProductState(package.productCode));
  EXPECT_TRUE(FileExists(InstalledFile(package))) << Printable(InstalledFile(package));
  EXPECT_EQ(std::vector<std::wstring>{package.productCode}, InstalledSamples());
}

std::wstring SystemText(DWORD code) {
  wchar_t text[1024] = L"";
  const DWORD flags = FORMAT_MESSAGE_IGNORE_INSERTS;
  HMODULE wininet = LoadLibraryW(L"wininet.dll");
  DWORD length = wininet ? FormatMessageW(flags | FORMAT_MESSAGE_FROM_HMODULE, wininet, code, 0, text, 1024, nullptr) : 0;
  if (!length) length = FormatMessageW(flags | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, text, 1024, nullptr);
  std::wstring found(text, length < 1024 ? length : 0);
  size_t first = found.find_first_not_of(L" \t\r\n");
  if (first == std::wstring::npos) return L"Error " + std::to_wstring(code);
  return found.substr(first, found.find_last_not_of(L" \t\r\n") + 1 - first);
}

void ExpectErrorAndNothingInstalled(const RunResult& run, DWORD exitCode, const std::wstring& text) {
  ExpectOneError(run, exitCode, text);
  EXPECT_TRUE(InstalledSamples().empty()) << "a product was installed";
}

void ExpectNothingInstalled() {
  EXPECT_TRUE(InstalledSamples().empty()) << "a product was installed";
  EXPECT_FALSE(FileExists(InstalledFile(Sample(L"signed", kPackage))));
}

void ExpectDownloadFailed(const RunResult& run, const std::wstring& cause, const std::wstring& url, std::wstring* told) {
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(2u, run.exitCode) << Describe(run);
  EXPECT_FALSE(run.StatusShown(105, Expected(MSG_VERIFYING_SIGNATURE, {kPackage}))) << "the download was checked";
  ExpectNothingInstalled();
  ASSERT_EQ(1u, run.boxes.size()) << Describe(run);
  const std::wstring& shown = run.boxes[0].content.text, head = Expected(MSG_PACKAGE_NOT_FOUND, {url}) + L"\n\n";
  EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), run.boxes[0].content.icon);
  EXPECT_EQ(std::vector<int>{IDOK}, run.boxes[0].content.ButtonIds());
  EXPECT_EQ(Printable(head), Printable(shown.substr(0, head.size())));
  const std::wstring below =
      shown.size() > head.size() && !shown.compare(0, head.size(), head) ? shown.substr(head.size()) : L"";
  EXPECT_NE(L"", below) << "no cause: " << Printable(shown);
  if (!cause.empty()) EXPECT_EQ(Printable(cause), Printable(below));
  if (told) *told = below;
}

// ------------------------------------------------------------------ fixture

void ScenarioTest::SetUp() {
  ASSERT_TRUE(server::Reset()) << "the download server does not answer on port " << PELORIN_TEST_PORT;
  ASSERT_TRUE(server::Set("root=signed"));
  ASSERT_TRUE(UninstallSamples());
  ASSERT_TRUE(folder_.ok());
  setup_ = CopySetup(L"tamaris");
  ASSERT_FALSE(setup_.empty());
}

void ScenarioTest::TearDown() { UninstallSamples(); }

std::wstring ScenarioTest::CopySetup(const std::wstring& variant) {
  std::wstring setup = folder_.Copy(SetupVariant(variant), L"Pelorin.exe");
  EXPECT_FALSE(setup.empty()) << "cannot copy the setup " << pelorin_test::Printable(variant);
  return setup;
}

std::wstring ScenarioTest::CopySetup(const std::wstring& variant, const std::wstring& kind,
                                     const std::wstring& name) {
  std::wstring setup = CopySetup(variant);
  EXPECT_FALSE(folder_.Copy(PackageFile(kind, name)).empty()) << "cannot copy the package " << Printable(name);
  return setup;
}

}  // namespace install_test
