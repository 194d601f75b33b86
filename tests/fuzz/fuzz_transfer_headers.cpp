// The headers a download reads from a server (Content-Range, Content-Length,
// Retry-After, Content-Encoding, Location) and the decisions taken on them:
// any text a server may send is read within its bounds, and what is taken
// from it keeps the rules' promises.
#include "install/transfer_policy.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool AllDigits(const std::wstring& text) {
  if (text.empty()) return false;
  for (wchar_t c : text)
    if (c < L'0' || c > L'9') return false;
  return true;
}

void CheckHeaders(const std::wstring& text) {
  std::vector<wchar_t> buffer = TextBuffer(text);
  const std::wstring shown(buffer.data());
  ContentRange range = {};
  if (ParseContentRange(buffer.data(), &range)) {
    FUZZ_CHECK(shown.compare(0, 6, L"bytes ") == 0);
    if (range.satisfied) FUZZ_CHECK(range.first <= range.last && range.last < range.total);
  }
  uint64_t length = 0;
  if (ParseLength(buffer.data(), &length)) FUZZ_CHECK(AllDigits(shown) && length < (1ull << 63));
  if (ParseRetryAfter(buffer.data())) FUZZ_CHECK(AllDigits(shown));
  // A redirect is followed only to http or https, never down from https.
  if (RedirectRefusal(L"https://a/", buffer.data(), 0) == 0) FUZZ_CHECK(IsHttpUrl(buffer.data()));
  FUZZ_CHECK(RedirectRefusal(L"http://a/", buffer.data(), kMaxRedirects) == transfer_error::kRedirectFailed);
}

void CheckDecision(FuzzReader& reader) {
  HeldPart held = {reader.Byte(), reader.Byte(), (reader.Byte() & 1) != 0};
  Answer answer = {};
  answer.status = 200 + reader.Byte() % 4 * 100 + reader.Byte() % 20;
  answer.hasLength = reader.Byte() & 1;
  answer.length = reader.Byte();
  answer.hasRange = reader.Byte() & 1;
  answer.range = {(reader.Byte() & 1) != 0, reader.Byte(), reader.Byte(), reader.Byte()};
  answer.validator = Validator(reader.Byte() % 3);
  Continuation next = Decide(held, answer);
  // Only the very next byte of the same version, of the size first told,
  // is ever joined to what is held.
  if (next == Continuation::kAppend)
    FUZZ_CHECK(answer.status == 206 && answer.range.first == held.bytes && held.bytes &&
               answer.validator == Validator::kSame && (!held.total || answer.range.total == held.total));
  // Nothing is taken as complete but what is held.
  if (next == Continuation::kComplete && !(held.confirming && answer.status == 200 && !answer.hasLength))
    FUZZ_CHECK(held.bytes && answer.validator != Validator::kOther &&
               (answer.status == 416 ? answer.range.total == held.bytes : answer.length == held.bytes));
  if (answer.status >= 400 && answer.status != 416) FUZZ_CHECK(next == Continuation::kRefused);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzReader reader(data, size);
  CheckDecision(reader);
  CheckHeaders(reader.Rest());
  return 0;
}
