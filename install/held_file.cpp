#include "install/held_file.h"

#include "ui/messages.h"
#include "ui/resource.h"

HANDLE OpenHeldFile(const wchar_t* path) {
  return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

LocalCopyState HoldLocalCopy(const wchar_t* path, UniqueHandle& held) {
  held.Reset();
  if (lstrlenW(path) >= MAX_PATH || GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES)
    return LocalCopyState::kAbsent;
  held.Reset(OpenHeldFile(path));
  if (held) return LocalCopyState::kHeld;
  // What would be checked need not be what would be used.
  ShowError(MSG_NOT_TRUSTED, {path});
  return LocalCopyState::kRefused;
}
