// Filling the inserts of catalogue texts, and which Windows Installer result
// is told to the user in which words. Portable: it needs nothing of Windows.
#pragma once

#include <stdint.h>
#include "afx/wstring.h"

// One insert of a message: a text for "%1", a number for "%1!d!".
struct MessageInsert {
  MessageInsert(const wchar_t* s) : text(s), number(0), isNumber(false) {}
  MessageInsert(int32_t n) : text(nullptr), number(n), isNumber(true) {}
  MessageInsert(uint32_t n) : text(nullptr), number((int32_t)n), isNumber(true) {}
  const wchar_t* text;
  int32_t number;
  bool isNumber;
};

// Fills "%N" (as text) and "%N!d!" (as signed decimal) with the inserts, N
// from 1. Every other character, line feeds and lone percent signs included,
// is copied unchanged; an insert that was not given is left as written.
// False only when memory runs out.
bool FormatInserts(const wchar_t* format, const MessageInsert* inserts, size_t count, WString& out);

// The code whose Windows Installer text reports `result`, or 0 when the result
// is passed on without a message (1259, 1602, 1603, 1604, 1641, 3010).
// 2, 3 and 123 are told as 1619, the package that could not be opened.
uint32_t InstallerCodeToReport(uint32_t result);
