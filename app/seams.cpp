#include "app/seams.h"

#include "afx/system_library.h"
#include "engine/binding.h"
#include "install/download.h"
#include "install/transfer_policy.h"
#include "install/processor.h"
#include "install/signature.h"

Seams g_seams = {
    FindLoaderEntry,
    GetVersionExW,
    GetTokenInformation,
    RegQueryValueExW,
    CreateMutexW,
    FindIsWow64Process2,
    IsWow64Process,
    FindWinVerifyTrust,
    GetFileVersionMS,
    ExitWindowsEx,
    kDownloadNoDataLimitMs,
    kMaxDownloadBytes,
};
