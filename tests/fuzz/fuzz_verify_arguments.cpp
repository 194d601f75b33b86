// The file argument of "/v": any argument text, and the command line that a
// running setup gives a second instance of itself.
#include "app/command_line.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const uint32_t kBadArguments = 160;

// The second token of the untouched text, as NextArgument reads it.
bool SecondToken(std::vector<wchar_t>& args, ArgumentToken* token) {
  ArgumentToken sw;
  return NextArgument(args.data(), &sw) && NextArgument(sw.last + 1, token);
}

void CheckArguments(const std::wstring& text) {
  std::vector<wchar_t> args = TextBuffer(text);
  const std::vector<wchar_t> original = args;
  std::vector<wchar_t> reference = args;
  ArgumentToken path;
  bool hasPath = SecondToken(reference, &path);

  wchar_t* file = reinterpret_cast<wchar_t*>(1);
  uint32_t result = ReadVerifyArguments(args.data(), &file);
  FUZZ_CHECK(result == 0 || result == kBadArguments);

  size_t changed = 0;
  for (size_t i = 0; i < args.size(); ++i)
    if (args[i] != original[i]) {
      FUZZ_CHECK(args[i] == L'\0');  // the one NUL that cuts out the file
      ++changed;
    }
  FUZZ_CHECK(changed <= 1);

  if (result != 0) {
    FUZZ_CHECK(file == nullptr);
    FUZZ_CHECK(changed == 0);  // a refused text is left as it was
    return;
  }
  FUZZ_CHECK(hasPath);
  FUZZ_CHECK(Inside(args, file));
  // The file is exactly the second token, cut out of the text.
  size_t offset = (size_t)(path.first - reference.data());
  size_t count = (size_t)(path.last - path.first) + 1;
  FUZZ_CHECK(file == args.data() + offset);
  FUZZ_CHECK(wcslen(file) == count);
  FUZZ_CHECK(wmemcmp(file, reference.data() + offset, count) == 0);
  // Nothing but blanks follows the character that ended it.
  const wchar_t* p = path.last + 1;
  if (*p) ++p;
  while (IsBlankUnit(*p)) ++p;
  FUZZ_CHECK(*p == L'\0');
}

// A running setup starts itself with "/v" and the file in double quotes; any
// path without a quote must come back unchanged.
void CheckRoundTrip(const std::wstring& path) {
  if (!Quotable(path)) return;
  std::vector<wchar_t> args = TextBuffer(L"/v \"" + path + L"\"");
  wchar_t* file = nullptr;
  FUZZ_CHECK(ReadCommandMode(args.data()) == ModeVerify);
  FUZZ_CHECK(ReadVerifyArguments(args.data(), &file) == 0);
  FUZZ_CHECK(file && path == file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzReader reader(data, size);
  std::wstring text = reader.Rest();
  CheckArguments(text);
  CheckRoundTrip(text);
  return 0;
}
