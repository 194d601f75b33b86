// Reading the setup's command line: argument tokens, the command mode, and the
// file argument of "/v". Portable: it needs nothing of Windows.
#pragma once

#include <stdint.h>
#include <wchar.h>

#include "app/setup_result.h"

enum CommandMode : int32_t {
  ModeInstall = 0,       // no argument: the normal setup runs
  ModeUsage = 1,         // anything not understood, "/?" included: the usage text
  ModeVerify = 2,        // "/v" and one file: check its signature and end
  ModeAdminInstall = 3,  // "/a", optionally followed by a folder
};

struct ArgumentToken {
  wchar_t* first;  // first character of the token
  wchar_t* last;   // last character of the token (the one before the character that ended it)
  bool quoted;
};

// Gives the next argument token from `position`, or false when there is none.
// Blanks are spaces and tabs; a quoted token runs to the next double quote
// or the end of the text. The first character after an opening quote always
// belongs to the token, so "" gives a token made of the second quote; an
// opening quote that ends the text gives no token.
bool NextArgument(wchar_t* position, ArgumentToken* token);

// What the command line asks for; only the first token is looked at.
// `args` may be null. A text of nothing but blanks is ModeInstall; a lone
// opening quote is an argument not understood (ModeUsage).
CommandMode ReadCommandMode(const wchar_t* args);

// The file argument of "/v <file>": returns 0 and points `*file` at the file
// token, which is cut out of `args` with a NUL; returns 160 (ERROR_BAD_ARGUMENTS)
// when no file or more than one argument follows the switch.
SetupResult ReadVerifyArguments(wchar_t* args, wchar_t** file);
