// Version numbers of files and the engine redistributable's gate.
#include "engine/version.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void CheckVersion(uint32_t ms) {
  uint32_t major = ms >> 16, minor = ms & 0xFFFFu;
  uint32_t v = VersionNumber(ms);
  // Worked in 64 bits: even 65535.65535 fits in 32 bits without wrapping.
  FUZZ_CHECK((uint64_t)v == 100ull * major + minor);
  FUZZ_CHECK(v <= 6619035u);
  // With a two-digit minor number, as real versions have, the number orders
  // versions as the versions themselves are ordered.
  if (minor < 100) {
    FUZZ_CHECK(v / 100 == major && v % 100 == minor);
    if (minor < 99) FUZZ_CHECK(VersionNumber(ms + 1) == v + 1);
    if (major < 0xFFFFu) FUZZ_CHECK(VersionNumber((major + 1) << 16) > v);
  }
}

void CheckGate(uint32_t v) {
  uint32_t gate = EngineGateNumber(v);
  FUZZ_CHECK(gate == (uint32_t)(((uint64_t)v + 0x100000000ull - 1000u) & 0xFFFFFFFFull));
  FUZZ_CHECK(gate + 1000u == v);  // unsigned arithmetic wraps back
  // Refused exactly from 1000 to 1199; every number below 1000 wraps and passes.
  FUZZ_CHECK(PassesEngineGate(v) == !(v >= 1000u && v < 1200u));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzReader reader(data, size);
  uint32_t ms = reader.Uint32();
  uint32_t v = reader.Uint32();
  CheckVersion(ms);
  CheckGate(v);
  CheckGate(VersionNumber(ms));
  return 0;
}
