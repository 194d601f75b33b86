// GoogleTest's customisation point (it includes this file from gtest-port.h,
// ahead of its own copy, because the Windows tests put this folder first on
// the include path).
//
// The MinGW compilers of this project use the win32 thread model, whose C++
// library has no std::mutex and no std::condition_variable. GoogleTest needs
// them only for its Notification class; this is the same class on a Windows
// event.
#ifndef PELORIN_GTEST_CUSTOM_PORT_H_
#define PELORIN_GTEST_CUSTOM_PORT_H_

#if defined(_WIN32) && !defined(_GLIBCXX_HAS_GTHREADS)
#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
  Notification() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notification() { CloseHandle(event_); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { SetEvent(event_); }
  void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
  HANDLE event_;
};

}  // namespace internal
}  // namespace testing
#endif

#endif  // PELORIN_GTEST_CUSTOM_PORT_H_
