// A small owned, growable wide string. The setup avoids the C++ library's
// strings and streams: they would multiply the size of an executable that every
// user downloads. Allocation failure is reported, never thrown.
#pragma once

#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

class WString {
public:
  WString() = default;
  explicit WString(const wchar_t* text) { Append(text); }
  WString(const WString&) = delete;
  WString& operator=(const WString&) = delete;
  WString(WString&& other) noexcept : m_data(other.m_data), m_length(other.m_length), m_capacity(other.m_capacity) {
    other.m_data = nullptr;
    other.m_length = other.m_capacity = 0;
  }
  WString& operator=(WString&& other) noexcept {
    if (this != &other) {
      free(m_data);
      m_data = other.m_data;
      m_length = other.m_length;
      m_capacity = other.m_capacity;
      other.m_data = nullptr;
      other.m_length = other.m_capacity = 0;
    }
    return *this;
  }
  ~WString() { free(m_data); }

  // Never null: an empty string gives "".
  const wchar_t* c_str() const { return m_data ? m_data : L""; }
  size_t length() const { return m_length; }
  bool empty() const { return m_length == 0; }

  void Clear() {
    m_length = 0;
    if (m_data) m_data[0] = L'\0';
  }

  bool Append(const wchar_t* text, size_t count) {
    if (count == 0) return Reserve(m_length);
    if (!text || !Reserve(m_length + count)) return false;
    memcpy(m_data + m_length, text, count * sizeof(wchar_t));
    m_length += count;
    m_data[m_length] = L'\0';
    return true;
  }
  bool Append(const wchar_t* text) { return Append(text, text ? wcslen(text) : 0); }
  bool Append(wchar_t c) { return Append(&c, 1); }
  bool Append(const WString& other) { return Append(other.c_str(), other.length()); }

  // Appends a signed decimal number, as "%d" would print it.
  bool AppendNumber(long value) {
    wchar_t digits[24];
    size_t n = 0;
    unsigned long magnitude = value < 0 ? 0ul - (unsigned long)value : (unsigned long)value;
    do {
      digits[sizeof(digits) / sizeof(digits[0]) - 1 - n++] = (wchar_t)(L'0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude);
    if (value < 0) digits[sizeof(digits) / sizeof(digits[0]) - 1 - n++] = L'-';
    return Append(digits + sizeof(digits) / sizeof(digits[0]) - n, n);
  }

  // Makes room for `count` characters plus the terminating NUL.
  bool Reserve(size_t count) {
    if (count + 1 <= m_capacity) return true;
    if (count >= ((size_t)-1) / sizeof(wchar_t) / 2) return false;
    size_t capacity = m_capacity ? m_capacity : 16;
    while (capacity < count + 1) capacity *= 2;
    wchar_t* grown = (wchar_t*)realloc(m_data, capacity * sizeof(wchar_t));
    if (!grown) return false;
    if (!m_data) grown[0] = L'\0';
    m_data = grown;
    m_capacity = capacity;
    return true;
  }

  // Writable buffer of at least `count` characters plus a NUL, for platform
  // calls that fill a buffer; SetLengthFromBuffer() then takes the text up to
  // its first NUL.
  wchar_t* Buffer(size_t count) {
    if (!Reserve(count)) return nullptr;
    return m_data;
  }
  void SetLengthFromBuffer() {
    if (!m_data) return;
    m_data[m_capacity - 1] = L'\0';
    m_length = wcslen(m_data);
  }

private:
  wchar_t* m_data = nullptr;
  size_t m_length = 0;
  size_t m_capacity = 0;
};
