// The inserts of catalogue texts, in the subset of FormatMessageW's syntax that
// the catalogue uses, and the choice of the Windows Installer text to show.
#include "ui/message_format.h"

namespace {

inline bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// A number prints as signed decimal and a text as itself, whichever of the two
// forms asks for it; a null text prints as nothing.
bool AppendInsert(const MessageInsert& insert, WString& out) {
  if (insert.isNumber) return out.AppendNumber(insert.number);
  return out.Append(insert.text ? insert.text : L"");
}

}  // namespace

bool FormatInserts(const wchar_t* format, const MessageInsert* inserts, size_t count, WString& out) {
  out.Clear();
  if (!format) return true;

  const wchar_t* p = format;
  while (*p) {
    if (p[0] != L'%') {
      const wchar_t* run = p;
      while (*p && *p != L'%') ++p;
      if (!out.Append(run, (size_t)(p - run))) return false;
      continue;
    }

    // "%%" is its own sequence: both signs are copied and the second one does
    // not open an insert.
    if (p[1] == L'%') {
      if (!out.Append(p, 2)) return false;
      p += 2;
      continue;
    }

    // "%N" or "%N!d!", N from 1 to 99 (one or two digits, the first not 0).
    if (p[1] < L'1' || p[1] > L'9') {
      if (!out.Append(L'%')) return false;
      ++p;
      continue;
    }
    size_t number = (size_t)(p[1] - L'0');
    const wchar_t* end = p + 2;
    if (IsDigit(*end)) {
      number = number * 10 + (size_t)(*end - L'0');
      ++end;
    }
    if (end[0] == L'!' && end[1] == L'd' && end[2] == L'!') end += 3;

    bool ok = number <= count && inserts
                  ? AppendInsert(inserts[number - 1], out)
                  : out.Append(p, (size_t)(end - p));  // not given: left as written
    if (!ok) return false;
    p = end;
  }
  return true;
}

uint32_t InstallerCodeToReport(uint32_t result) {
  switch (result) {
    case 1259:  // ERROR_APPHELP_BLOCK
    case 1602:  // ERROR_INSTALL_USEREXIT
    case 1603:  // ERROR_INSTALL_FAILURE
    case 1604:  // ERROR_INSTALL_SUSPEND
    case 1641:  // ERROR_SUCCESS_REBOOT_INITIATED
    case 3010:  // ERROR_SUCCESS_REBOOT_REQUIRED
      return 0;
    case 2:    // ERROR_FILE_NOT_FOUND
    case 3:    // ERROR_PATH_NOT_FOUND
    case 123:  // ERROR_INVALID_NAME
      return 1619;  // ERROR_INSTALL_PACKAGE_OPEN_FAILED
    default:
      return result;
  }
}
