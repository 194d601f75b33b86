// Reading the setup's command line, stepped by whole characters.
#include "app/command_line.h"

#include "app/setup_result.h"
#include "app/text_steps.h"

namespace {

// Number of whole characters from `first` up to and including `last`.
unsigned CountCharacters(wchar_t* first, wchar_t* last) {
  unsigned count = 0;
  for (wchar_t* p = first; p <= last && *p; p = NextCharacter(p)) ++count;
  return count;
}

}  // namespace

bool NextArgument(wchar_t* position, ArgumentToken* token) {
  if (!position || !token) return false;
  position = SkipBlanks(position);
  if (!*position) return false;

  bool quoted = false;
  if (*position == L'"') {
    quoted = true;
    position = NextCharacter(position);
    // An opening quote that ends the text opens nothing: there is no
    // character to make a token of.
    if (!*position) return false;
  }

  // The first character belongs to the token whatever it is, a double quote
  // included ("" gives a token made of the second quote).
  wchar_t* first = position;
  wchar_t* last = position;
  for (wchar_t* next = NextCharacter(position); *next; next = NextCharacter(next)) {
    if (quoted ? *next == L'"' : IsBlank(*next)) break;
    last = next;
  }

  token->first = first;
  token->last = last;
  token->quoted = quoted;
  return true;
}

CommandMode ReadCommandMode(const wchar_t* args) {
  if (!args) return ModeInstall;
  // Only read here; the cast serves the shared token reader.
  wchar_t* text = const_cast<wchar_t*>(args);

  ArgumentToken token;
  if (!NextArgument(text, &token)) {
    // Nothing but blanks is no argument; a lone opening quote is an argument
    // that is not understood.
    return *SkipBlanks(text) ? ModeUsage : ModeInstall;
  }
  if (token.quoted || CountCharacters(token.first, token.last) != 2) return ModeUsage;
  if (token.first[0] != L'/' && token.first[0] != L'-') return ModeUsage;

  switch (*NextCharacter(token.first)) {
    case L'a':
    case L'A':
      return ModeAdminInstall;
    case L'v':
    case L'V':
      return ModeVerify;
    default:
      return ModeUsage;
  }
}

SetupResult ReadVerifyArguments(wchar_t* args, wchar_t** file) {
  if (file) *file = nullptr;
  if (!args || !file) return kResultBadArguments;

  ArgumentToken sw;
  if (!NextArgument(args, &sw)) return kResultBadArguments;

  ArgumentToken path;
  if (!NextArgument(NextCharacter(sw.last), &path)) return kResultBadArguments;

  // The character that ended the file token: a closing quote, a blank or the
  // end of the text. Anything but blanks after it is a further argument.
  wchar_t* end = NextCharacter(path.last);
  if (*end && *SkipBlanks(NextCharacter(end))) return kResultBadArguments;

  *end = L'\0';
  *file = path.first;
  return 0;
}
