// The few pieces of the C++ run-time library that the setup uses, kept small.
// The library's own allocation operators report failure by exception, and
// linking them drags in the exception machinery and a name demangler, which
// would make up half of the executable. The setup uses no exceptions: memory
// that cannot be had gives null, and every caller tests for it.
#include <windows.h>

#include <new>
#include <stdlib.h>

void* operator new(size_t size) { return malloc(size ? size : 1); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return malloc(size ? size : 1); }
void* operator new[](size_t size) { return malloc(size ? size : 1); }
void operator delete(void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete[](void* block, size_t) noexcept { free(block); }

// A call of a pure virtual function is a defect: end at once, quietly.
extern "C" void __cxa_pure_virtual() { TerminateProcess(GetCurrentProcess(), ERROR_INTERNAL_ERROR); }
