// What a download makes of what the network and the server answer: which
// failures are worth another try and how long to wait before it, what the
// server's headers say, whether the part of the file already held can be
// continued, which redirects are followed, and when what arrived is the whole
// file. No platform call: the transport asks, and the rules are tested
// natively, row by row.
#pragma once

#include <stdint.h>

// The system's error codes that the rules name (winerror.h, wininet.h).
namespace transfer_error {
const uint32_t kFileTooLarge = 223;             // ERROR_FILE_TOO_LARGE
const uint32_t kCancelled = 1223;               // ERROR_CANCELLED
const uint32_t kTimeout = 12002;                // ERROR_INTERNET_TIMEOUT
const uint32_t kInvalidUrl = 12005;             // ERROR_INTERNET_INVALID_URL
const uint32_t kUnrecognizedScheme = 12006;     // ERROR_INTERNET_UNRECOGNIZED_SCHEME
const uint32_t kHttpsToHttp = 12040;            // ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR
const uint32_t kInvalidServerResponse = 12152;  // ERROR_HTTP_INVALID_SERVER_RESPONSE
const uint32_t kRedirectFailed = 12156;         // ERROR_HTTP_REDIRECT_FAILED
}  // namespace transfer_error

// Redirects followed for one request before it fails.
const unsigned kMaxRedirects = 10;

// Whether a failure with the system's error `code` may go away by itself (a
// network hiccup), and so is worth another try. A certificate that the
// system refuses, an address or scheme it cannot use, a redirect it must not
// follow and a file too large never change.
bool IsTransientError(uint32_t code);
// Whether an HTTP error answer may: a busy or failing server answers later,
// a missing file does not.
bool IsTransientStatus(uint32_t status);

// The seconds a Retry-After header asks for; 0 (absent) when it is not a
// whole number of seconds (a date, a negative number, text).
uint32_t ParseRetryAfter(const wchar_t* text);
// The wait before the next try: 2 s, 4 s, then 8 s, or what the server asked
// for, up to 30 s.
uint32_t SecondsBeforeTry(unsigned triesMade, uint32_t retryAfter);

// A Content-Range header: "bytes FIRST-LAST/TOTAL" (satisfied), or the
// answer to a range past the end, "bytes */TOTAL". A total of "*" (not
// known) does not parse.
struct ContentRange {
  bool satisfied;
  uint64_t first, last, total;
};
bool ParseContentRange(const wchar_t* text, ContentRange* range);
// A whole decimal number (Content-Length), without sign or blanks.
bool ParseLength(const wchar_t* text, uint64_t* value);
// Whether a Content-Encoding leaves the bytes as they are (none, "identity").
bool IsIdentityCoding(const wchar_t* text);

// Redirects: whether `status` is one, and the error that refuses following
// one from `from` to `to` when `made` redirects were followed already (0: it
// is followed). Only http and https are followed, never from https to http.
bool IsRedirect(uint32_t status);
uint32_t RedirectRefusal(const wchar_t* from, const wchar_t* to, unsigned made);
// Whether `url` is an address the transport can ask (http or https).
bool IsHttpUrl(const wchar_t* url);

// The part of the file held from earlier tries, and the answer to a request
// that asked for the rest (a Range from `held.bytes`, with the validator of
// what is held as If-Range when there is one).
struct HeldPart {
  uint64_t bytes;
  uint64_t total;  // the first answer's size (0: not known)
  // What is held ended without an announced size: the request asks whether
  // that was the end (a range past it), and nothing but a yes is taken.
  bool confirming;
};
enum class Validator { kNone, kSame, kOther };
struct Answer {
  uint32_t status;
  bool hasLength;
  uint64_t length;  // Content-Length
  bool hasRange;
  ContentRange range;
  Validator validator;  // its ETag (or Last-Modified) against that of what is held
};
enum class Continuation {
  kAppend,    // the rest of the file follows what is held
  kWhole,     // the whole file: what is held is dropped
  kFromZero,  // what came cannot be joined: ask again for the whole file
  kComplete,  // what is held is the whole file: nothing is read
  kRefused,   // an HTTP error answer
  kCut,       // what is held is not the whole file after all
};
Continuation Decide(const HeldPart& held, const Answer& answer);

// The one rule for what arrived: `received` bytes of an answer whose whole
// file is `total` bytes (0: not announced).
enum class Arrival {
  kWhole,
  kCut,          // less than announced: the connection ended early
  kTooMuch,      // more than announced: not the announced file
  kUnconfirmed,  // nothing announced: the end is to be confirmed
};
Arrival Judge(uint64_t received, uint64_t total);
