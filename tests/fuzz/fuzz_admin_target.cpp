// The folder after "/a": any argument text, and a folder written back in
// double quotes as a user or script would.
#include "app/command_line.h"
#include "install/admin_target.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void CheckArguments(const std::wstring& text) {
  std::vector<wchar_t> args = TextBuffer(text);
  const std::vector<wchar_t> original = args;

  wchar_t* target = reinterpret_cast<wchar_t*>(1);
  bool ok = ParseAdminTarget(args.data(), &target);

  const wchar_t* p = original.data();
  while (IsBlankUnit(*p)) ++p;
  FUZZ_CHECK(ok == (*p != L'\0'));  // false only for a text of blanks
  FUZZ_CHECK(ok || target == nullptr);

  size_t changed = 0;
  for (size_t i = 0; i < args.size(); ++i)
    if (args[i] != original[i]) {
      FUZZ_CHECK(args[i] == L'\0');  // the one NUL that ends the folder
      ++changed;
    }
  FUZZ_CHECK(changed <= 1);

  // Where the switch is a real "/a", the folder is the second token that the
  // command line's own token reader finds: both follow the same rules.
  if (ReadCommandMode(original.data()) == ModeAdminInstall) {
    std::vector<wchar_t> reference = original;
    ArgumentToken sw, folder;
    FUZZ_CHECK(NextArgument(reference.data(), &sw));
    bool hasFolder = NextArgument(sw.last + 1, &folder);
    FUZZ_CHECK(hasFolder == (target != nullptr));
    if (hasFolder) {
      FUZZ_CHECK(target == args.data() + (folder.first - reference.data()));
      FUZZ_CHECK(wcslen(target) == (size_t)(folder.last - folder.first) + 1);
    }
  }

  if (!target) {
    FUZZ_CHECK(changed == 0);
    return;
  }
  FUZZ_CHECK(Inside(args, target) && *target != L'\0');
  size_t count = wcslen(target);
  FUZZ_CHECK(target + count < args.data() + args.size());
  // The engine gets no folder that could end its value early or overflow it.
  FUZZ_CHECK(AdminTargetAcceptable(target) == (count < 260 && !wcschr(target, L'"')));

  // Reading the cut text again finds the same folder.
  std::vector<wchar_t> again = args;
  wchar_t* second = nullptr;
  FUZZ_CHECK(ParseAdminTarget(again.data(), &second));
  FUZZ_CHECK(second == again.data() + (target - args.data()));
  FUZZ_CHECK(wcscmp(second, target) == 0);
}

// "/a" and a folder in double quotes gives the folder back, blanks and all.
void CheckRoundTrip(const std::wstring& folder) {
  if (!Quotable(folder)) return;
  for (const wchar_t* sw : {L"/a \"", L"\t-A\t\t\""}) {
    std::vector<wchar_t> args = TextBuffer(sw + folder + L"\" ignored");
    FUZZ_CHECK(ReadCommandMode(args.data()) == ModeAdminInstall);
    wchar_t* target = nullptr;
    FUZZ_CHECK(ParseAdminTarget(args.data(), &target));
    FUZZ_CHECK(target && folder == target);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzReader reader(data, size);
  std::wstring text = reader.Rest();
  CheckArguments(text);
  CheckRoundTrip(text);
  return 0;
}
