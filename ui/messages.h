// Showing the setup's messages: texts from the catalogue in the user-interface
// language, message boxes captioned with the application title and owned by
// the main window, and Windows Installer results told in the engine's words.
#pragma once

#include <windows.h>

#include <initializer_list>

#include "afx/wstring.h"
#include "app/setup_result.h"
#include "ui/message_format.h"

// The catalogue text of `id`; empty when the catalogue has no such text.
WString LoadMessageText(UINT id);

// The catalogue text of `id` with its inserts filled in.
WString FormatMessageText(UINT id, std::initializer_list<MessageInsert> inserts);

// Shows catalogue message `id` with `style` (MB_ICONERROR, MB_YESNO |
// MB_ICONQUESTION, ...) and gives the button pressed.
int ShowMessage(UINT id, UINT style);

// Shows a prepared text with `style` and gives the button pressed.
int ShowMessageText(const wchar_t* text, UINT style);

// Shows catalogue message `id` with its inserts as an error box. When the
// catalogue lacks `id`, tells so with message 15 instead.
void ShowError(UINT id, std::initializer_list<MessageInsert> inserts = {});

// Tells the user that memory ran out (message 12) and gives the result for it.
SetupResult TellOutOfMemory();

// Tells the user a nonzero Windows Installer result in the engine's own words
// from its message library, or with message 32; the quiet results (user exit,
// failure already shown by the engine, restart) are not told.
void ReportInstallerResult(SetupResult result);
