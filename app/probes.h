// Questions the setup asks of the running system. Each answers negatively
// when the platform fails, except the single-instance guard, which then
// answers that another setup runs.
#pragma once

#include <windows.h>

#include <stdint.h>

// The platform family (not-NT flag) and major version.
void QueryOsVersion(BOOL* notNt, int32_t* osMajor);

// Whether the user belongs to the administrators' group (always on non-NT).
BOOL UserIsAdministrator(BOOL notNt, int32_t osMajor);

// Whether Terminal Services are installed, as older NT systems record it.
BOOL TerminalServicesPresent(BOOL notNt);

// Creates the single-instance mutex, held until the process ends; true when
// another setup holds it already or it cannot be created.
BOOL SetupAlreadyRunning(BOOL notNt, int32_t osMajor);

// Switches on the right to restart the computer.
void EnableShutdownPrivilege();

// The mutex names shared with every other setup of this kind.
#define SETUP_MUTEX_GLOBAL L"Global\\_MSISETUP_{2956EBA1-9B5A-4679-8618-357136DA66CA}"
#define SETUP_MUTEX_LOCAL L"_MSISETUP_{2956EBA1-9B5A-4679-8618-357136DA66CA}"

