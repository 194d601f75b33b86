// The folder after "/a". The switch itself is passed over as a plain word (up
// to the next blank); the folder may be quoted to hold blanks.
#include "install/admin_target.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

inline wchar_t* NextCharacter(wchar_t* position) {
#ifdef _WIN32
  return CharNextW(position);
#else
  return *position ? position + 1 : position;
#endif
}

inline bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

wchar_t* SkipBlanks(wchar_t* position) {
  while (IsBlank(*position)) position = NextCharacter(position);
  return position;
}

}  // namespace

bool ParseAdminTarget(wchar_t* args, wchar_t** adminTarget) {
  if (adminTarget) *adminTarget = nullptr;
  if (!args || !adminTarget) return false;

  wchar_t* p = SkipBlanks(args);
  if (!*p) return false;

  // The switch: its first character always, then up to a blank or the end.
  p = NextCharacter(p);
  while (*p && !IsBlank(*p)) p = NextCharacter(p);

  p = SkipBlanks(p);
  if (!*p) return true;  // "/a" alone

  bool quoted = false;
  if (*p == L'"') {
    quoted = true;
    p = NextCharacter(p);
    if (!*p) return true;  // a lone opening quote names no folder
  }

  wchar_t* folder = p;
  p = NextCharacter(p);  // the folder's first character always belongs to it
  while (*p && !(quoted ? *p == L'"' : IsBlank(*p))) p = NextCharacter(p);
  *p = L'\0';  // whatever follows the folder is ignored

  *adminTarget = folder;
  return true;
}
