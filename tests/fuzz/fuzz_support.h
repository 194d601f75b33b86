// Helpers shared by the fuzz targets: the input read as UTF-16 text, as the
// setup sees its command line on Windows, and a check that stops the run.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include <string>
#include <vector>

// A broken invariant must stop libFuzzer like a crash does, with the place
// named, so the input is kept as an artifact.
#define FUZZ_CHECK(condition)                                                      \
  do {                                                                             \
    if (!(condition)) {                                                            \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      abort();                                                                     \
    }                                                                              \
  } while (0)

// Reads fuzz bytes front to back. Text is taken as little-endian UTF-16 code
// units, so every character value lies in 0..0xFFFF as on Windows, where the
// host's wchar_t would otherwise allow values Windows never passes.
class FuzzReader {
public:
  FuzzReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

  bool empty() const { return m_size < 1; }

  uint8_t Byte() {
    if (!m_size) return 0;
    uint8_t b = *m_data++;
    --m_size;
    return b;
  }

  uint32_t Uint32() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= (uint32_t)Byte() << (8 * i);
    return value;
  }

  // Code units up to a U+0000 unit (passed over) or the end of the input.
  std::wstring Field() {
    std::wstring text;
    while (m_size >= 2) {
      wchar_t unit = (wchar_t)(m_data[0] | m_data[1] << 8);
      m_data += 2;
      m_size -= 2;
      if (!unit) break;
      text += unit;
    }
    return text;
  }

  // Everything that is left, as text (an odd last byte is dropped).
  std::wstring Rest() {
    std::wstring text;
    for (; m_size >= 2; m_data += 2, m_size -= 2) text += (wchar_t)(m_data[0] | m_data[1] << 8);
    m_size = 0;
    return text;
  }

private:
  const uint8_t* m_data;
  size_t m_size;
};

// A heap buffer exactly as long as the text and its NUL, so that reading one
// character past the terminator is an AddressSanitizer report. An embedded
// U+0000 simply ends the text early, as it would on Windows.
inline std::vector<wchar_t> TextBuffer(const std::wstring& text) {
  std::vector<wchar_t> buffer(text.size() + 1);  // sized once: no spare capacity
  for (size_t i = 0; i < text.size(); ++i) buffer[i] = text[i];
  buffer[text.size()] = L'\0';
  return buffer;
}

inline bool IsBlankUnit(wchar_t c) { return c == L' ' || c == L'\t'; }

// Whether `text` can stand between double quotes as one argument: not empty,
// no quote and no NUL in it (as every Windows path).
inline bool Quotable(const std::wstring& text) {
  return !text.empty() && text.find(L'"') == std::wstring::npos && text.find(L'\0') == std::wstring::npos;
}

// True when `p` points into `buffer` (its NUL included).
inline bool Inside(const std::vector<wchar_t>& buffer, const wchar_t* p) {
  return p >= buffer.data() && p < buffer.data() + buffer.size();
}
