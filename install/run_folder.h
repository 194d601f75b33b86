// The run's own folder, into which the setup downloads: made fresh in the
// temporary folder, readable and writable by the user (and the system)
// alone, each file in it held from its creation; and its removal, at the end
// of the run and, for the folders that earlier runs could not remove, at the
// start of the next.
#pragma once

#include <windows.h>

#include "afx/handles.h"
#include "afx/wstring.h"

// Makes a fresh run folder (`folder` ends with a backslash).
bool MakeRunFolder(WString& folder);
// Creates `name` in the run's folder (in place of an earlier file of that
// name) for reading and writing, shared for reading only, and readable only
// (for the user and the system) by anyone who opens it later: from its
// creation nobody but the setup can write it.
bool CreateRunFile(const WString& folder, const wchar_t* name, WString& path, UniqueHandle& file);
// Exchanges the writing handle of a run file, once it is written, for one
// that reads only: the signature check, the Windows Installer and the
// redistributable open the file themselves and share it with no writer.
// The file's own permissions keep writers out from its creation on.
bool KeepRunFileForUse(const wchar_t* path, UniqueHandle& file);
// Removes a run's folder (ending with a backslash) and the files in it.
void RemoveRunFolder(const WString& folder);
// Removes the folders that earlier runs left behind (a run ended while the
// platform held its download, or killed).
void RemoveStaleRunFolders();
