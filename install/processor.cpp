#include "install/processor.h"

#include "afx/seams.h"

namespace {

// Asked only from the worker thread: plain values need no lock. What was
// remembered holds for the seams of one generation only (afx/seams.h).
ProcessorKind g_nativeMachine = 0;
unsigned g_nativeMachineGeneration = 0;

// IsWow64Process2, on systems since Windows 10 1511.
IsWow64Process2Fn FindIsWow64Process2(HMODULE kernel) {
  return reinterpret_cast<IsWow64Process2Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process2")));
}

ProcessorKind Remember(ProcessorKind machine) {
  g_nativeMachineGeneration = g_seams.generation;
  return g_nativeMachine = machine;
}

}  // namespace

ProcessorKind GetNativeMachine() {
  if (g_nativeMachine && g_nativeMachineGeneration == g_seams.generation) return g_nativeMachine;
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (!kernel) return 0;
  IsWow64Process2Fn isWow64Process2 = Seam(g_seams.findIsWow64Process2, FindIsWow64Process2)(kernel);
  if (isWow64Process2) {
    USHORT processMachine = 0, nativeMachine = 0;
    if (!isWow64Process2(GetCurrentProcess(), &processMachine, &nativeMachine)) return 0;
    return Remember(nativeMachine);
  }
  // Older systems know only whether the process runs under WOW64, which they
  // offer on x64 alone: ARM64 is never guessed here.
  BOOL underWow64 = FALSE;
  if (!g_seams.isWow64Process(GetCurrentProcess(), &underWow64)) return 0;
  return Remember(underWow64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
}
