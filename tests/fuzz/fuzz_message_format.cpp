// Filling the inserts of catalogue texts, and the choice of the Windows
// Installer text that reports a result.
#include "tests/fuzz/fuzz_support.h"
#include "ui/message_format.h"

#include <algorithm>

namespace {

const uint32_t kSilent[] = {1259, 1602, 1603, 1604, 1641, 3010};

void CheckReport(uint32_t result) {
  uint32_t code = InstallerCodeToReport(result);
  bool silent = std::find(std::begin(kSilent), std::end(kSilent), result) != std::end(kSilent);
  if (silent) {
    FUZZ_CHECK(code == 0);
  } else if (result == 2 || result == 3 || result == 123) {
    FUZZ_CHECK(code == 1619);
  } else {
    FUZZ_CHECK(code == result);
  }
  FUZZ_CHECK(InstallerCodeToReport(code) == code);  // a reported code is final
}

size_t Count(const std::wstring& text, wchar_t c) { return (size_t)std::count(text.begin(), text.end(), c); }

// The rules of the header, read the other way round: from each percent sign,
// the longest sequence it can open. An insert's own text is never read again.
std::wstring Reference(const std::wstring& format, const std::vector<MessageInsert>& inserts) {
  std::wstring out;
  for (size_t i = 0; i < format.size();) {
    if (format[i] != L'%') {
      out += format[i++];
      continue;
    }
    if (format.compare(i, 2, L"%%") == 0) {
      out += L"%%";
      i += 2;
      continue;
    }
    size_t digits = 0, number = 0;
    while (digits < 2 && i + 1 + digits < format.size() && format[i + 1 + digits] >= L'0' && format[i + 1 + digits] <= L'9' &&
           !(digits == 0 && format[i + 1] == L'0')) {
      number = number * 10 + (size_t)(format[i + 1 + digits] - L'0');
      ++digits;
    }
    if (!digits) {
      out += format[i++];
      continue;
    }
    size_t length = 1 + digits;
    if (format.compare(i + length, 3, L"!d!") == 0) length += 3;
    if (number <= inserts.size()) {
      const MessageInsert& insert = inserts[number - 1];
      out += insert.isNumber ? std::to_wstring(insert.number) : insert.text ? insert.text : L"";
    } else {
      out += format.substr(i, length);
    }
    i += length;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzReader reader(data, size);
  // Up to 12 inserts, two more than any catalogue text has, so that both
  // given and missing two-digit inserts are reached. Each is a number, a text
  // up to a U+0000 unit, or a null text; the rest of the input is the format.
  size_t count = reader.Byte() % 13;
  std::vector<std::wstring> texts(count);
  std::vector<MessageInsert> inserts;
  size_t longest = 11;  // "-2147483648"
  for (size_t i = 0; i < count; ++i) {
    switch (reader.Byte() % 3) {
      case 0: {
        uint32_t number = reader.Uint32();
        CheckReport(number);
        inserts.emplace_back(number);
        break;
      }
      case 1:
        texts[i] = reader.Field();
        longest = std::max(longest, texts[i].size());
        inserts.emplace_back(texts[i].c_str());
        break;
      default:
        inserts.emplace_back(static_cast<const wchar_t*>(nullptr));
        break;
    }
  }
  std::vector<wchar_t> format = TextBuffer(reader.Rest());
  std::wstring formatText = format.data();

  WString out(L"left over from an earlier message");
  FUZZ_CHECK(FormatInserts(format.data(), inserts.empty() ? nullptr : inserts.data(), inserts.size(), out));
  FUZZ_CHECK(wcslen(out.c_str()) == out.length());
  // Each insert replaces at least two characters that begin with a percent
  // sign, and text outside the inserts is copied once.
  size_t percents = Count(formatText, L'%');
  FUZZ_CHECK(out.length() <= formatText.size() + percents * longest);
  if (percents == 0) FUZZ_CHECK(formatText == out.c_str());

  // With no inserts given, every sequence is left as written.
  WString plain;
  FUZZ_CHECK(FormatInserts(format.data(), nullptr, 0, plain));
  FUZZ_CHECK(formatText == plain.c_str());
  if (!inserts.empty()) {
    // A list with no element to point at behaves the same as no list.
    WString none;
    FUZZ_CHECK(FormatInserts(format.data(), inserts.data(), 0, none));
    FUZZ_CHECK(formatText == none.c_str());
  }

  FUZZ_CHECK(Reference(formatText, inserts) == out.c_str());
  return 0;
}
