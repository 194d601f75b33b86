// Stepping through command-line text by whole characters: on Windows with
// CharNextW, so that a character made of several UTF-16 units is never split;
// elsewhere one unit at a time. A blank is a space or a tab.
#pragma once

#include <wchar.h>

#ifdef _WIN32
#include <windows.h>
#endif

inline wchar_t* NextCharacter(wchar_t* position) {
#ifdef _WIN32
  return CharNextW(position);
#else
  return *position ? position + 1 : position;
#endif
}

inline bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

inline wchar_t* SkipBlanks(wchar_t* position) {
  while (IsBlank(*position)) position = NextCharacter(position);
  return position;
}
