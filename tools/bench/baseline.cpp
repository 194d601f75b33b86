// Bare programs that do what the setup does, with nothing around it, so the
// benchmark can put the setup's figures beside the platform's own cost:
//
//   baseline download URL [LINGER-MS]   URLDownloadToCacheFileW with a callback
//                                       that only counts its calls; prints them
//   baseline verify FILE                one WinVerifyTrust call; exit code is its answer
//   baseline install URL                download, one WinVerifyTrust, MsiInstallProductW;
//                                       exit code is the engine's answer
//
// LINGER-MS keeps the process alive that long after the download, so that a
// sampler outside can read its counters before it ends.
#include <windows.h>
#include <msi.h>
#include <softpub.h>
#include <urlmon.h>
#include <wintrust.h>

#include <stdio.h>
#include <wchar.h>

namespace {

class CountingCallback : public IBindStatusCallback {
 public:
  ULONG calls = 0;

  STDMETHODIMP QueryInterface(REFIID id, void** object) override {
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IBindStatusCallback)) {
      *object = static_cast<IBindStatusCallback*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on the stack for the whole call: no counting of references.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP OnStartBinding(DWORD, IBinding*) override { return S_OK; }
  STDMETHODIMP GetPriority(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP OnLowResource(DWORD) override { return S_OK; }
  STDMETHODIMP OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override {
    ++calls;
    return S_OK;
  }
  STDMETHODIMP OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
  STDMETHODIMP GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
  STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }
};

HRESULT Download(const wchar_t* url, wchar_t* file, ULONG* calls) {
  CountingCallback callback;
  HRESULT result = URLDownloadToCacheFileW(nullptr, url, file, MAX_PATH, 0, &callback);
  *calls = callback.calls;
  return result;
}

LONG Verify(const wchar_t* file) {
  WINTRUST_FILE_INFO fileInfo = {};
  fileInfo.cbStruct = sizeof fileInfo;
  fileInfo.pcwszFilePath = file;
  WINTRUST_DATA request = {};
  request.cbStruct = sizeof request;
  request.dwUIChoice = WTD_UI_NONE;
  request.fdwRevocationChecks = WTD_REVOKE_NONE;
  request.dwUnionChoice = WTD_CHOICE_FILE;
  request.pFile = &fileInfo;
  request.dwStateAction = WTD_STATEACTION_IGNORE;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  return WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &request);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 3 && wcscmp(argv[1], L"verify") == 0) return (int)Verify(argv[2]);

  bool install = argc == 3 && wcscmp(argv[1], L"install") == 0;
  if (!install && !((argc == 3 || argc == 4) && wcscmp(argv[1], L"download") == 0)) {
    fprintf(stderr, "usage: baseline download URL [LINGER-MS] | verify FILE | install URL\n");
    return 2;
  }
  CoInitialize(nullptr);
  wchar_t file[MAX_PATH] = L"";
  ULONG calls = 0;
  HRESULT downloaded = Download(argv[2], file, &calls);
  printf("progress calls: %lu\n", calls);
  if (FAILED(downloaded)) {
    printf("download failed: 0x%08lx\n", (unsigned long)downloaded);
    return 1;
  }
  if (!install) {
    if (argc == 4) Sleep((DWORD)_wtoi(argv[3]));
    return 0;
  }
  if (Verify(file) != ERROR_SUCCESS) return 4;
  // The level the setup's product records ask for.
  MsiSetInternalUI(INSTALLUILEVEL_FULL, nullptr);
  return (int)MsiInstallProductW(file, L"");
}
