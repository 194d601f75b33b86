// Owners of kernel and registry handles: each closes its handle when it goes
// out of scope, on every path.
#pragma once

#include <windows.h>

class UniqueHandle {
public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : m_handle(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }
  HANDLE get() const { return m_handle; }
  HANDLE* Receive() {
    Reset();
    return &m_handle;
  }
  explicit operator bool() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
  void Reset(HANDLE handle = nullptr) {
    if (*this) CloseHandle(m_handle);
    m_handle = handle;
  }

private:
  HANDLE m_handle = nullptr;
};

class RegistryKey {
public:
  RegistryKey() = default;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() {
    if (m_key) RegCloseKey(m_key);
  }
  // Opens `subKey` of `root` for reading; true when it is open.
  bool OpenForReading(HKEY root, const wchar_t* subKey) {
    if (RegOpenKeyExW(root, subKey, 0, KEY_READ, &m_key) == ERROR_SUCCESS) return true;
    m_key = nullptr;
    return false;
  }
  HKEY get() const { return m_key; }

private:
  HKEY m_key = nullptr;
};
