// The native processor of the running system. The setup is a 32-bit program
// that also runs under emulation on x64 and ARM64, so the processor it sees
// itself is not the one a package must fit.
#pragma once

#include <windows.h>

#include <stdint.h>

// A machine type with the values of the image file machine constants:
// 0x014C x86, 0x8664 x64, 0xAA64 ARM64; 0 when it cannot be told.
typedef uint16_t ProcessorKind;

// The native machine type; remembered after the first success, so a failed
// detection is tried again by the next call.
ProcessorKind GetNativeMachine();

typedef BOOL(WINAPI* IsWow64Process2Fn)(HANDLE process, USHORT* processMachine, USHORT* nativeMachine);

// What the detection asks of the platform. Tests replace them to play systems
// that Wine is not (an x86 or ARM64 machine, a system without IsWow64Process2),
// restore them, and forget the remembered answer.
struct ProcessorSeams {
  IsWow64Process2Fn (*findIsWow64Process2)(HMODULE kernel);
  decltype(&IsWow64Process) isWow64Process;
};
extern ProcessorSeams g_processorSeams;
void ForgetNativeMachine();
