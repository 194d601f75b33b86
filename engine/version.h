// Version numbers of files: 100 x major + minor, from the most significant
// 32 bits of the file version (2.0 is 200; build and revision are ignored).
#pragma once

#include <stdint.h>

inline uint32_t VersionNumber(uint32_t fileVersionMS) {
  return 100u * (fileVersionMS >> 16) + (fileVersionMS & 0xFFFFu);
}

// The engine redistributable's gate: G = V - 1000 in unsigned 32-bit
// arithmetic, passing at 200 or more. So V from 1000 to 1199 is refused and
// every V below 1000 wraps round and passes.
inline uint32_t EngineGateNumber(uint32_t versionNumber) { return versionNumber - 1000u; }
inline bool PassesEngineGate(uint32_t versionNumber) { return EngineGateNumber(versionNumber) >= 200u; }
