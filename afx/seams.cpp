#include "afx/seams.h"

Seams g_seams = {
    .getVersionEx = GetVersionExW,
    .getTokenInformation = GetTokenInformation,
    .regQueryValueEx = RegQueryValueExW,
    .createMutex = CreateMutexW,
    .isWow64Process = IsWow64Process,
    .exitWindowsEx = ExitWindowsEx,
    .downloadNoDataLimitMs = kDownloadNoDataLimitMs,
    .downloadSizeLimit = kDownloadSizeLimit,
};
