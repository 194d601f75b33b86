// The folder after "/a". The switch itself is passed over as a plain word (up
// to the next blank); the folder may be quoted to hold blanks.
#include "install/admin_target.h"

#include "app/text_steps.h"

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

bool AdminTargetAcceptable(const wchar_t* folder) {
  size_t length = 0;
  for (; folder[length]; ++length)
    if (folder[length] == L'"') return false;
  return length < 260;
}
