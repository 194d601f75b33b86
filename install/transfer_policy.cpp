#include "install/transfer_policy.h"

#include <wchar.h>

namespace {

// Errors that no later try can change.
const uint32_t kFinalErrors[] = {
    transfer_error::kFileTooLarge,
    transfer_error::kCancelled,
    transfer_error::kInvalidUrl,
    transfer_error::kUnrecognizedScheme,
    transfer_error::kHttpsToHttp,
    transfer_error::kRedirectFailed,
    12037,  // ERROR_INTERNET_SEC_CERT_DATE_INVALID
    12038,  // ERROR_INTERNET_SEC_CERT_CN_INVALID
    12044,  // ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED
    12045,  // ERROR_INTERNET_INVALID_CA
    12055,  // ERROR_INTERNET_SEC_CERT_ERRORS
    12056,  // ERROR_INTERNET_SEC_CERT_NO_REV
    12057,  // ERROR_INTERNET_SEC_CERT_REV_FAILED
    12157,  // ERROR_INTERNET_SECURITY_CHANNEL_ERROR
    12169,  // ERROR_INTERNET_SEC_INVALID_CERT
    12170,  // ERROR_INTERNET_SEC_CERT_REVOKED
    12175,  // ERROR_INTERNET_DECODING_FAILED
    12179,  // ERROR_INTERNET_SEC_CERT_WEAK_SIGNATURE
};

// Reads the digits at `p` into `value`; false when there are none or the
// number does not fit in 63 bits.
bool ReadNumber(const wchar_t*& p, uint64_t* value) {
  const wchar_t* start = p;
  uint64_t n = 0;
  for (; *p >= L'0' && *p <= L'9'; ++p) {
    if (n > (0x7FFFFFFFFFFFFFFFull - 9) / 10) return false;
    n = n * 10 + (uint64_t)(*p - L'0');
  }
  *value = n;
  return p != start;
}

bool StartsWithIgnoringCase(const wchar_t* text, const wchar_t* prefix) {
  for (; *prefix; ++text, ++prefix) {
    wchar_t c = *text >= L'A' && *text <= L'Z' ? (wchar_t)(*text - L'A' + L'a') : *text;
    if (c != *prefix) return false;
  }
  return true;
}

bool IsHttps(const wchar_t* url) { return StartsWithIgnoringCase(url, L"https://"); }

// A 416 whose "bytes */N" is what is held, of the same version as far as it
// tells: what is held is whole.
bool RangePastTheEndConfirms(const HeldPart& held, const Answer& answer) {
  return answer.status == 416 && answer.hasRange && !answer.range.satisfied && answer.range.total == held.bytes &&
         answer.validator != Validator::kOther;
}

// A 200 of the same version whose length is what is held.
bool WholeAnswerConfirms(const HeldPart& held, const Answer& answer, Validator needed) {
  return answer.status == 200 && answer.hasLength && answer.length == held.bytes &&
         (answer.validator == needed || answer.validator == Validator::kSame);
}

Continuation DecideConfirming(const HeldPart& held, const Answer& answer) {
  if (RangePastTheEndConfirms(held, answer) || WholeAnswerConfirms(held, answer, Validator::kNone))
    return Continuation::kComplete;
  // A server that neither announces a size nor answers ranges can tell
  // nothing more: what arrived stands, and its check judges it.
  if (answer.status == 200 && !answer.hasLength) return Continuation::kComplete;
  return answer.status >= 400 && answer.status != 416 ? Continuation::kRefused : Continuation::kCut;
}

}  // namespace

bool IsTransientError(uint32_t code) {
  for (uint32_t final : kFinalErrors)
    if (code == final) return false;
  return true;
}

bool IsTransientStatus(uint32_t status) {
  return status == 408 || status == 429 || status == 500 || status == 502 || status == 503 || status == 504;
}

uint32_t ParseRetryAfter(const wchar_t* text) {
  if (!text) return 0;
  uint64_t seconds = 0;
  const wchar_t* p = text;
  if (!ReadNumber(p, &seconds) || *p != L'\0') return 0;
  return seconds > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)seconds;
}

uint32_t SecondsBeforeTry(unsigned triesMade, uint32_t retryAfter) {
  if (retryAfter) return retryAfter < 30 ? retryAfter : 30;
  return triesMade == 1 ? 2 : triesMade == 2 ? 4 : 8;
}

bool ParseContentRange(const wchar_t* text, ContentRange* range) {
  if (!text || wcsncmp(text, L"bytes ", 6) != 0) return false;
  const wchar_t* p = text + 6;
  range->satisfied = *p != L'*';
  range->first = range->last = 0;
  if (range->satisfied) {
    if (!ReadNumber(p, &range->first) || *p++ != L'-' || !ReadNumber(p, &range->last)) return false;
  } else {
    ++p;
  }
  if (*p++ != L'/' || !ReadNumber(p, &range->total) || *p != L'\0') return false;
  return !range->satisfied || (range->first <= range->last && range->last < range->total);
}

bool ParseLength(const wchar_t* text, uint64_t* value) {
  if (!text) return false;
  const wchar_t* p = text;
  return ReadNumber(p, value) && *p == L'\0';
}

bool IsIdentityCoding(const wchar_t* text) {
  return !text || !*text || (StartsWithIgnoringCase(text, L"identity") && text[8] == L'\0');
}

bool IsRedirect(uint32_t status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool IsHttpUrl(const wchar_t* url) { return url && (StartsWithIgnoringCase(url, L"http://") || IsHttps(url)); }

uint32_t RedirectRefusal(const wchar_t* from, const wchar_t* to, unsigned made) {
  if (made >= kMaxRedirects) return transfer_error::kRedirectFailed;
  if (!IsHttpUrl(to)) return transfer_error::kUnrecognizedScheme;
  // What an https address promised holds for every leg.
  if (IsHttps(from) && !IsHttps(to)) return transfer_error::kHttpsToHttp;
  return 0;
}

Continuation Decide(const HeldPart& held, const Answer& answer) {
  if (held.bytes && held.confirming) return DecideConfirming(held, answer);
  if (held.bytes && RangePastTheEndConfirms(held, answer)) return Continuation::kComplete;
  switch (answer.status) {
    case 200:
      // A server that ignores ranges sends the whole file again.
      if (held.bytes && WholeAnswerConfirms(held, answer, Validator::kSame)) return Continuation::kComplete;
      return Continuation::kWhole;
    case 206: {
      // Only the rest of the same version, of the same size as first
      // announced, can be joined to what is held.
      const ContentRange& r = answer.range;
      bool joins = held.bytes && answer.hasRange && r.satisfied && r.first == held.bytes &&
                   answer.validator == Validator::kSame && (!held.total || r.total == held.total);
      return joins ? Continuation::kAppend : Continuation::kFromZero;
    }
    case 416:
      return held.bytes ? Continuation::kFromZero : Continuation::kRefused;
    default:
      return Continuation::kRefused;
  }
}

Arrival Judge(uint64_t received, uint64_t total) {
  if (!total) return Arrival::kUnconfirmed;
  if (received < total) return Arrival::kCut;
  return received == total ? Arrival::kWhole : Arrival::kTooMuch;
}
