// The native processor of the running system. The setup is a 32-bit program
// that also runs under emulation on x64 and ARM64, so the processor it sees
// itself is not the one a package must fit.
#pragma once

#include <stdint.h>

// A machine type with the values of the image file machine constants:
// 0x014C x86, 0x8664 x64, 0xAA64 ARM64; 0 when it cannot be told.
typedef uint16_t ProcessorKind;

// The native machine type; remembered after the first success, so a failed
// detection is tried again by the next call.
ProcessorKind GetNativeMachine();
