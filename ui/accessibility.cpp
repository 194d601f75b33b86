#include "ui/accessibility.h"

#include <oleacc.h>

#include "afx/seams.h"

namespace {

// The platform's identifiers, spelt out so that no import library needs to
// carry them.
const CLSID kAccPropServicesClass = {0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
const IID kAccPropServicesInterface = {0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
const GUID kNameProperty = {0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};
// UI Automation's LiveSetting, which reaches it from an annotation too.
const GUID kLiveSettingProperty = {0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
const LONG kPolite = 1;
const DWORD kLiveRegionChanged = 0x8019;  // EVENT_OBJECT_LIVEREGIONCHANGED, Windows 8 on

}  // namespace

void DescribeProgressWindow(HWND headline, HWND detail, HWND bar) {
  // The annotations are kept with the windows themselves; COM is needed
  // only while they are made, on a thread that may not have it yet.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IAccPropServices* services = nullptr;
  if (SUCCEEDED(CoCreateInstance(kAccPropServicesClass, nullptr, CLSCTX_INPROC_SERVER, kAccPropServicesInterface,
                                 reinterpret_cast<void**>(&services)))) {
    VARIANT polite;
    VariantInit(&polite);
    polite.vt = VT_I4;
    polite.lVal = kPolite;
    services->SetHwndProp(headline, OBJID_CLIENT, CHILDID_SELF, kLiveSettingProperty, polite);
    services->SetHwndProp(detail, OBJID_CLIENT, CHILDID_SELF, kLiveSettingProperty, polite);
    wchar_t name[64] = L"";
    GetWindowTextW(bar, name, 64);
    services->SetHwndPropStr(bar, OBJID_CLIENT, CHILDID_SELF, kNameProperty, name);
    services->Release();
  }
  if (SUCCEEDED(com)) CoUninitialize();
}

DWORD LiveTextChangeEvent() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  bool live = g_seams.getVersionEx(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
              (version.dwMajorVersion > 6 || (version.dwMajorVersion == 6 && version.dwMinorVersion >= 2));
  return live ? kLiveRegionChanged : EVENT_OBJECT_NAMECHANGE;
}

void AnnounceTextChange(HWND line, DWORD event) { NotifyWinEvent(event, line, OBJID_CLIENT, CHILDID_SELF); }
