#include "install/processor.h"

#include "afx/system_library.h"
#include "app/seams.h"

IsWow64Process2Fn FindIsWow64Process2(HMODULE kernel) {
  return reinterpret_cast<IsWow64Process2Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process2")));
}

namespace {

// Asked only from the worker thread: a plain value needs no lock.
ProcessorKind g_nativeMachine = 0;

}  // namespace

void ForgetNativeMachine() { g_nativeMachine = 0; }

ProcessorKind GetNativeMachine() {
  if (g_nativeMachine) return g_nativeMachine;
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (!kernel) return 0;
  IsWow64Process2Fn isWow64Process2 = g_seams.findIsWow64Process2(kernel);
  if (isWow64Process2) {
    USHORT processMachine = 0, nativeMachine = 0;
    if (!isWow64Process2(GetCurrentProcess(), &processMachine, &nativeMachine)) return 0;
    return g_nativeMachine = nativeMachine;
  }
  // Older systems know only whether the process runs under WOW64, which they
  // offer on x64 alone: ARM64 is never guessed here.
  BOOL underWow64 = FALSE;
  if (!g_seams.isWow64Process(GetCurrentProcess(), &underWow64)) return 0;
  return g_nativeMachine = underWow64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
}
