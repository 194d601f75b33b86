#include "install/run_folder.h"

#include <aclapi.h>
#include <sddl.h>
#include <winternl.h>

#include "afx/system_library.h"

namespace {

// Folders of runs are named so, in the temporary folder.
const wchar_t kRunFolderPrefix[] = L"Pelorin-";

// The temporary folder, ending with a backslash.
bool TempFolder(WString& folder) {
  wchar_t* buffer = folder.Buffer(MAX_PATH + 1);
  DWORD length = buffer ? GetTempPathW(MAX_PATH + 1, buffer) : 0;
  if (length == 0 || length > MAX_PATH) return false;
  folder.SetLengthFromBuffer();
  return true;
}

// One SID of the setup's token: the user (TokenUser) or the owner it gives
// what it creates (TokenOwner); both structures begin with the SID.
bool TokenSid(TOKEN_INFORMATION_CLASS which, BYTE (&buffer)[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE]) {
  UniqueHandle token;
  DWORD size = 0;
  return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive()) &&
         GetTokenInformation(token.get(), which, buffer, sizeof buffer, &size);
}

// A security descriptor from `format`, with the user's own SID for "%s".
PSECURITY_DESCRIPTOR MakeDescriptor(const wchar_t* format) {
  BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  wchar_t* sid = nullptr;
  if (!TokenSid(TokenUser, user) || !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid))
    return nullptr;
  // A SID's text is at most 184 characters; the formats are short.
  wchar_t text[512];
  int length = lstrlenW(sid) < 200 ? wsprintfW(text, format, sid) : 0;
  LocalFree(sid);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (length <= 0 ||
      !ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &descriptor, nullptr))
    return nullptr;
  return descriptor;
}

// A file of the run's folder, which a system may show as read-only.
void RemoveRunFile(const wchar_t* path) {
  SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path);
}

// The calls that work through a handle, which systems before Vista lack:
// there nothing is removed.
struct HandleCalls {
  decltype(&NtOpenFile) open = MODULE_PROC(GetModuleHandleW(L"ntdll.dll"), NtOpenFile);
  decltype(&GetFileInformationByHandleEx) list =
      MODULE_PROC(GetModuleHandleW(L"kernel32.dll"), GetFileInformationByHandleEx);
  decltype(&SetFileInformationByHandle) set = MODULE_PROC(GetModuleHandleW(L"kernel32.dll"), SetFileInformationByHandle);
  decltype(&GetFinalPathNameByHandleW) path = MODULE_PROC(GetModuleHandleW(L"kernel32.dll"), GetFinalPathNameByHandleW);
  bool ok() const { return open && list && set && path; }
};

// The path that `file` really is at: links resolved, long names.
bool FinalPath(const HandleCalls& calls, HANDLE file, WString& path) {
  wchar_t* buffer = path.Buffer(1024);
  DWORD length = buffer ? calls.path(file, buffer, 1024, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS) : 0;
  if (length == 0 || length >= 1024) return false;
  path.SetLengthFromBuffer();
  return true;
}

// Whether `file` is the entry `name` of the folder at `parent` (a final
// path), and not reached through a link: some systems report no link of
// their own but show where it led.
bool IsEntryOf(const HandleCalls& calls, HANDLE file, const WString& parent, const wchar_t* name, size_t length) {
  WString expected, actual;
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(file, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         expected.Append(parent) && expected.Append(L'\\') && expected.Append(name, length) &&
         FinalPath(calls, file, actual) && lstrcmpiW(expected.c_str(), actual.c_str()) == 0;
}

// Whether the folder held as `folder` was made by the setup: owned by this
// user (or by the owner its token gives what it creates).
bool IsOwnedByUser(HANDLE folder) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS)
    return false;
  BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE], creator[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  bool own = owner && ((TokenSid(TokenUser, user) && EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user)->User.Sid)) ||
                       (TokenSid(TokenOwner, creator) && EqualSid(owner, reinterpret_cast<TOKEN_OWNER*>(creator)->Owner)));
  LocalFree(descriptor);
  return own;
}

// Deletes the file `name` of the folder held as `folder` (at `path`), opened
// through the folder's handle and never through a link: a link is removed
// itself, and nothing it points to is touched.
void RemoveEntry(const HandleCalls& calls, HANDLE folder, const WString& path, const wchar_t* name, DWORD bytes) {
  UNICODE_STRING text = {(USHORT)bytes, (USHORT)bytes, const_cast<wchar_t*>(name)};
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK status;
  UniqueHandle entry;
  if (calls.open(entry.Receive(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE, &attributes,
                 &status, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                 FILE_OPEN_REPARSE_POINT | FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT) < 0 ||
      !IsEntryOf(calls, entry.get(), path, name, bytes / sizeof(wchar_t)))
    return;
  FILE_BASIC_INFO basic = {};
  basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  calls.set(entry.get(), FileBasicInfo, &basic, sizeof basic);
  FILE_DISPOSITION_INFO disposition = {TRUE};
  calls.set(entry.get(), FileDispositionInfo, &disposition, sizeof disposition);
}

// Empties the folder held as `folder` (at `path`) of its files and deletes
// it; folders within are left, and with them the folder.
void RemoveHeldFolder(const HandleCalls& calls, HANDLE folder, const WString& path) {
  alignas(8) BYTE listing[16 * 1024];
  FILE_INFO_BY_HANDLE_CLASS next = FileIdBothDirectoryRestartInfo;
  while (calls.list(folder, next, listing, sizeof listing)) {
    next = FileIdBothDirectoryInfo;
    for (BYTE* at = listing;;) {
      auto entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(at);
      if (!(entry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        RemoveEntry(calls, folder, path, entry->FileName, entry->FileNameLength);
      if (!entry->NextEntryOffset) break;
      at += entry->NextEntryOffset;
    }
  }
  FILE_DISPOSITION_INFO disposition = {TRUE};
  calls.set(folder, FileDispositionInfo, &disposition, sizeof disposition);
}

// Opens a folder without following a link, and not shared for deletion, so
// that it cannot be renamed or replaced while it is held.
HANDLE HoldFolder(const wchar_t* path, DWORD access) {
  return CreateFileW(path, access | FILE_LIST_DIRECTORY | READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// Removes the run folder `name` of the temporary folder held as `temp`
// (at `tempPath`, a final path), when it is one the setup made.
void RemoveFolderOf(const HandleCalls& calls, const WString& tempPath, const WString& temp, const wchar_t* name) {
  WString path, finalPath;
  if (!path.Append(temp) || !path.Append(name)) return;
  UniqueHandle held(HoldFolder(path.c_str(), DELETE));
  if (held && IsEntryOf(calls, held.get(), tempPath, name, wcslen(name)) && IsOwnedByUser(held.get()) &&
      FinalPath(calls, held.get(), finalPath))
    RemoveHeldFolder(calls, held.get(), finalPath);
}

// Calls `remove` for the temporary folder, held, and its final path.
template <typename Remove>
void WithTempFolder(Remove remove) {
  HandleCalls calls;
  WString temp, tempPath;
  if (!calls.ok() || !TempFolder(temp)) return;
  UniqueHandle held(HoldFolder(temp.c_str(), 0));
  if (held && FinalPath(calls, held.get(), tempPath)) remove(calls, temp, tempPath);
}

}  // namespace

bool MakeRunFolder(WString& folder) {
  folder.Clear();
  WString temp;
  if (!TempFolder(temp)) return false;
  // The user alone, and the system, which the Windows Installer runs as.
  PSECURITY_DESCRIPTOR descriptor = MakeDescriptor(L"D:P(A;OICI;FA;;;%s)(A;OICI;FA;;;SY)");
  if (!descriptor) return false;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  bool made = false;
  // A fresh name: a folder of that name that exists already (anyone's) is
  // never used.
  for (DWORD n = 0; n < 100 && !made; ++n) {
    wchar_t name[40];
    wsprintfW(name, L"%s%lu-%lu", kRunFolderPrefix, GetCurrentProcessId(), GetTickCount() + n);
    folder.Clear();
    if (!folder.Append(temp) || !folder.Append(name) || !folder.Append(L'\\')) break;
    made = CreateDirectoryW(folder.c_str(), &attributes) != FALSE;
    if (!made && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  LocalFree(descriptor);
  if (!made) folder.Clear();
  return made;
}

bool CreateRunFile(const WString& folder, const wchar_t* name, WString& path, UniqueHandle& file) {
  path.Clear();
  file.Reset();
  if (folder.empty() || !path.Append(folder) || !path.Append(name) || path.length() >= MAX_PATH) return false;
  // One that an earlier product of the run downloaded, its use over.
  RemoveRunFile(path.c_str());
  // Read and removed only, by whoever opens it later: the writing handle
  // made here is the only one that can write it. (0x130189 is read, delete
  // and the attributes, which a system may show as read-only and the removal
  // then clears; "OW" takes from the owner the right to change the
  // permissions, which systems before Vista do not know.)
  PSECURITY_DESCRIPTOR descriptor = MakeDescriptor(L"D:P(A;;0x130189;;;%s)(A;;FR;;;SY)(A;;FR;;;OW)");
  if (!descriptor) descriptor = MakeDescriptor(L"D:P(A;;0x130189;;;%s)(A;;FR;;;SY)");
  if (!descriptor) return false;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  file.Reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, &attributes, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  LocalFree(descriptor);
  return (bool)file;
}

bool KeepRunFileForUse(const wchar_t* path, UniqueHandle& file) {
  // Opened beside the writing handle, which it has to let be; once that is
  // closed, the file's permissions let nobody open it for writing.
  HANDLE reading = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (reading == INVALID_HANDLE_VALUE) return false;
  file.Reset(reading);
  return true;
}

// Nothing is deleted by a path that could be turned elsewhere: each folder
// is held, checked as the setup's own and at the place its name says, and
// emptied and deleted through its handle.
void RemoveRunFolder(const WString& folder) {
  WithTempFolder([&](const HandleCalls& calls, const WString& temp, const WString& tempPath) {
    // Only a folder of the temporary folder, by its name there.
    if (folder.length() <= temp.length() + 1 || wcsncmp(folder.c_str(), temp.c_str(), temp.length()) != 0) return;
    WString name;
    if (name.Append(folder.c_str() + temp.length(), folder.length() - temp.length() - 1))
      RemoveFolderOf(calls, tempPath, temp, name.c_str());
  });
}

void RemoveStaleRunFolders() {
  WithTempFolder([](const HandleCalls& calls, const WString& temp, const WString& tempPath) {
    WString pattern;
    if (!pattern.Append(temp) || !pattern.Append(kRunFolderPrefix) || !pattern.Append(L'*')) return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    // What a run still holds stays: its file cannot be deleted.
    do RemoveFolderOf(calls, tempPath, temp, found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
  });
}
