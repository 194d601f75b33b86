#include "app/seams.h"

#include "engine/binding.h"
#include "install/processor.h"
#include "install/signature.h"
#include "ui/progress_dlg.h"

Seams g_seams = {
    GetVersionExW,       GetTokenInformation, RegQueryValueExW, CreateMutexW,  FindIsWow64Process2, IsWow64Process,
    FindWinVerifyTrust, GetFileVersionMS,    ExitWindowsEx,    kDownloadNoDataLimitMs,
};
