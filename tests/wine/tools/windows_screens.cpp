// Shows one of the setup's windows as a user sees it, for screenshots
// (tools/screenshots.sh): "progress" shows the progress window during a
// download, "language" the language dialog in front of it. Prints the
// window's rectangle on the screen once it is up ("RECT left top right
// bottom"), then stays until a line or the end of its input arrives.
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "app/config.h"
#include "support/run.h"
#include "ui/language_dlg.h"
#include "ui/messages.h"

using namespace pelorin_test;

namespace {

volatile bool g_inputEnded = false;

DWORD WINAPI WaitForInput(void*) {
  char line[16];
  fgets(line, sizeof(line), stdin);
  g_inputEnded = true;
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool language = argc > 1 && wcscmp(argv[1], L"language") == 0;
  if (!MakeProgressWindow()) return 1;
  CPelorinApp& app = App();
  if (!language) {
    const ProductEntry& product = g_engineUpgrade.products[0];
    app.m_progressDlg.SetHeadline(FormatMessageText(MSG_PLEASE_WAIT, {product.productName}).c_str());
    app.m_progressDlg.SetDetail(
        FormatMessageText(MSG_DOWNLOADING_PACKAGE, {product.languages[0].packageArm64}).c_str());
    SendMessageW(app.m_progressDlg.GetSafeHwnd(), kDownloadMessage, 1, 0);
    app.m_progressDlg.m_download.Announce(100);
    app.m_progressDlg.m_download.Restart(42, GetTickCount());
  }
  CloseHandle(CreateThread(nullptr, 0, WaitForInput, nullptr, 0, nullptr));

  RunScript script;
  script.answer = false;
  script.timeoutMs = 120000;
  bool printed = false;
  DWORD begin = GetTickCount();
  script.whileRunning = [&](HWND progress) {
    HWND target = language ? OpenDialog(progress) : progress;
    // Printed once the window has been painted.
    if (target && !printed && GetTickCount() - begin > 500) {
      printed = true;
      RECT rect;
      GetWindowRect(target, &rect);
      printf("RECT %ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
      fflush(stdout);
    }
    if (g_inputEnded && target && language) PostMessageW(target, WM_COMMAND, IDCANCEL, 0);
  };
  RunInProcess(
      [language] {
        if (language)
          ChooseLanguage(g_engineUpgrade.products[0].languages, GetUserDefaultLangID());
        else
          while (!g_inputEnded) Sleep(50);
      },
      script);
  app.m_progressDlg.DestroyWindow();
  return 0;
}
