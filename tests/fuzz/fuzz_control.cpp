// Not a parser: tools/fuzz.sh runs this on three fixed inputs before fuzzing,
// to show in the same build that a broken check and a read one character past
// a text both stop the fuzzer, and that a clean input passes. Without it, a
// build that lost its sanitizers would report every target clean.
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzReader reader(data, size);
  uint8_t what = reader.Byte();
  std::vector<wchar_t> text = TextBuffer(reader.Rest());
  volatile size_t index = text.size() - 1;  // the NUL: the last character that may be read
  if (what == 'o') index = index + 1;        // the first that may not
  volatile wchar_t c = text[index];
  (void)c;
  FUZZ_CHECK(what != 'c');
  return 0;
}
