// Argument tokens and the command mode of any argument text.
#include "app/command_line.h"
#include "tests/fuzz/fuzz_support.h"

#include <string.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzReader reader(data, size);
  std::vector<wchar_t> args = TextBuffer(reader.Rest());
  const std::vector<wchar_t> original = args;
  const size_t length = wcslen(args.data());
  wchar_t* const end = args.data() + length;  // the terminating NUL

  // Walk every token the way callers do: each next token is read from the
  // character after the previous token's last one.
  size_t tokens = 0;
  ArgumentToken token;
  ArgumentToken firstToken{};
  wchar_t* position = args.data();
  while (NextArgument(position, &token)) {
    FUZZ_CHECK(Inside(args, token.first) && Inside(args, token.last));
    FUZZ_CHECK(position <= token.first && token.first <= token.last && token.last < end);
    // The first character belongs to the token whatever it is; the others
    // never hold what would have ended it.
    for (wchar_t* p = token.first + 1; p <= token.last; ++p)
      FUZZ_CHECK(token.quoted ? *p != L'"' : !IsBlankUnit(*p));
    if (token.quoted) {
      FUZZ_CHECK(token.first[-1] == L'"');
    } else {
      FUZZ_CHECK(!IsBlankUnit(*token.first) && *token.first != L'"');
    }
    // What ended the token is the end of the text or its closing character.
    wchar_t ender = token.last[1];
    FUZZ_CHECK(ender == L'\0' || (token.quoted ? ender == L'"' : IsBlankUnit(ender)));
    // Only blanks lie between the start position and the token.
    for (wchar_t* p = position; p < token.first - (token.quoted ? 1 : 0); ++p) FUZZ_CHECK(IsBlankUnit(*p));

    if (tokens == 0) firstToken = token;
    ++tokens;
    FUZZ_CHECK(tokens <= length);  // every token takes at least one character
    position = token.last + 1;
  }
  // No token is left: only blanks remain, perhaps followed by a lone opening quote.
  {
    wchar_t* p = position;
    while (IsBlankUnit(*p)) ++p;
    FUZZ_CHECK(*p == L'\0' || (p[0] == L'"' && p[1] == L'\0'));
  }
  FUZZ_CHECK(memcmp(args.data(), original.data(), args.size() * sizeof(wchar_t)) == 0);

  // The command mode depends on the first token only, read with the same rules.
  CommandMode mode = ReadCommandMode(args.data());
  FUZZ_CHECK(memcmp(args.data(), original.data(), args.size() * sizeof(wchar_t)) == 0);
  CommandMode expected;
  if (tokens == 0) {
    const wchar_t* p = args.data();
    while (IsBlankUnit(*p)) ++p;
    expected = *p ? ModeUsage : ModeInstall;
  } else if (firstToken.quoted || firstToken.last != firstToken.first + 1 ||
             (firstToken.first[0] != L'/' && firstToken.first[0] != L'-')) {
    expected = ModeUsage;
  } else {
    switch (firstToken.first[1]) {
      case L'a': case L'A': expected = ModeAdminInstall; break;
      case L'v': case L'V': expected = ModeVerify; break;
      default: expected = ModeUsage; break;
    }
  }
  FUZZ_CHECK(mode == expected);
  return 0;
}
