// What a download makes of what the server and the network answer, row by
// row: the headers read, the tries, the redirects, the resume decision and
// the rule for what arrived whole.
#include "install/download_state.h"
#include "install/transfer_policy.h"

#include <gtest/gtest.h>

namespace {

using C = Continuation;
using V = Validator;
const uint64_t kMiB = 1 << 20;

TEST(TransferPolicy, ContentRange) {
  const struct { const wchar_t* text; bool parses; ContentRange range; } rows[] = {
      {L"bytes 0-99/100", true, {true, 0, 99, 100}}, {L"bytes 40-99/100", true, {true, 40, 99, 100}},
      {L"bytes */100", true, {false, 0, 0, 100}},    {L"bytes 0-99/*", false, {}},  // no size: nothing to join to
      {L"bytes 50-40/100", false, {}},               {L"bytes 0-100/100", false, {}},
      {L"bytes -5-99/100", false, {}},               {L"bytes 0-99/100 ", false, {}},
      {L"bits 0-99/100", false, {}},                 {L"bytes 0-99/99999999999999999999", false, {}},
      {L"", false, {}}};
  for (const auto& row : rows) {
    ContentRange range = {};
    EXPECT_EQ(row.parses, ParseContentRange(row.text, &range)) << row.text;
    if (row.parses)
      EXPECT_TRUE(range.satisfied == row.range.satisfied && range.first == row.range.first &&
                  range.last == row.range.last && range.total == row.range.total) << row.text;
  }
}

TEST(TransferPolicy, RetryAfterAndTheWaits) {
  // Seconds, or absent (0) for anything else, a date included.
  const struct { const wchar_t* text; uint32_t seconds; } rows[] = {
      {L"1", 1}, {L"120", 120}, {L"0", 0}, {L"-5", 0}, {L"abc", 0}, {L"5s", 0}, {L" 5", 0},
      {L"Wed, 21 Oct 2015 07:28:00 GMT", 0}, {L"99999999999", 0xFFFFFFFFu}, {L"", 0}};
  for (const auto& row : rows) EXPECT_EQ(row.seconds, ParseRetryAfter(row.text)) << row.text;
  EXPECT_EQ(0u, ParseRetryAfter(nullptr));
  // Try 1, 2, 9 without a Retry-After; with one of 1 s, and of an hour (at most 30 s).
  const uint32_t waits[][3] = {{1, 0, 2}, {2, 0, 4}, {9, 0, 8}, {1, 1, 1}, {1, ParseRetryAfter(L"3600"), 30}};
  for (const auto& w : waits) EXPECT_EQ(w[2], SecondsBeforeTry(w[0], w[1])) << w[0] << " " << w[1];
}

TEST(TransferPolicy, WhatIsTriedAgain) {
  for (uint32_t status : {408u, 429u, 500u, 502u, 503u, 504u}) EXPECT_TRUE(IsTransientStatus(status)) << status;
  for (uint32_t status : {400u, 401u, 403u, 404u, 407u, 410u, 416u, 501u}) EXPECT_FALSE(IsTransientStatus(status));
  // The network's hiccups: refused, reset, cut, timed out, a name not found.
  for (uint32_t error : {12029u, 12031u, 12030u, 12002u, 12007u, 10054u}) EXPECT_TRUE(IsTransientError(error)) << error;
  // Certificates, addresses, redirects, sizes and the user's Cancel never change.
  for (uint32_t error : {12037u, 12038u, 12045u, 12055u, 12169u, 12005u, 12006u, 12040u, 12156u, 223u, 1223u})
    EXPECT_FALSE(IsTransientError(error)) << error;
}

TEST(TransferPolicy, Redirects) {
  const struct { const wchar_t* from; const wchar_t* to; unsigned made; uint32_t refusal; } rows[] = {
      {L"http://a/x", L"http://b/y", 0, 0}, {L"http://a/x", L"https://b/y", 9, 0}, {L"HTTPS://a/x", L"https://b/y", 0, 0},
      {L"https://a/x", L"http://b/y", 0, transfer_error::kHttpsToHttp},
      {L"https://a/x", L"HTTP://b/y", 0, transfer_error::kHttpsToHttp},
      {L"http://a/x", L"ftp://b/y", 0, transfer_error::kUnrecognizedScheme},
      {L"http://a/x", L"file:///c:/y", 0, transfer_error::kUnrecognizedScheme},
      {L"http://a/x", L"http://b/y", 10, transfer_error::kRedirectFailed},
  };
  for (const auto& row : rows) EXPECT_EQ(row.refusal, RedirectRefusal(row.from, row.to, row.made)) << row.to;
  for (uint32_t status : {301u, 302u, 303u, 307u, 308u}) EXPECT_TRUE(IsRedirect(status));
  for (uint32_t status : {200u, 300u, 304u, 305u}) EXPECT_FALSE(IsRedirect(status));
  EXPECT_TRUE(IsIdentityCoding(L"") && IsIdentityCoding(L"Identity") && IsIdentityCoding(nullptr));
  EXPECT_FALSE(IsIdentityCoding(L"gzip") || IsIdentityCoding(L"identity, gzip"));
}

// What is held, the answer to the request that asked for the rest, and
// what comes of it.
struct DecideRow {
  const char* what;
  HeldPart held;
  Answer answer;
  Continuation next;
};
const DecideRow kDecisions[] = {
    {"the first answer: the whole file", {0, 0, false}, {200, true, kMiB, false, {}, V::kNone}, C::kWhole},
    {"an error answer", {0, 0, false}, {404, false, 0, false, {}, V::kNone}, C::kRefused},
    {"a part nobody asked for", {0, 0, false}, {206, true, 10, true, {true, 0, 9, 20}, V::kNone}, C::kFromZero},
    {"the rest of the same version", {40, 100, false}, {206, true, 60, true, {true, 40, 99, 100}, V::kSame}, C::kAppend},
    {"a rest that starts elsewhere", {40, 100, false}, {206, true, 50, true, {true, 50, 99, 100}, V::kSame}, C::kFromZero},
    {"a rest of another version", {40, 100, false}, {206, true, 60, true, {true, 40, 99, 100}, V::kOther}, C::kFromZero},
    {"a rest without a validator", {40, 100, false}, {206, true, 60, true, {true, 40, 99, 100}, V::kNone}, C::kFromZero},
    {"a rest of another size than first announced", {40, 100, false}, {206, true, 80, true, {true, 40, 119, 120}, V::kSame}, C::kFromZero},
    {"a server that ignores ranges", {40, 100, false}, {200, true, 100, false, {}, V::kSame}, C::kWhole},
    {"a range past the end of what is whole", {100, 100, false}, {416, false, 0, true, {false, 0, 0, 100}, V::kNone}, C::kComplete},
    {"the same, with the validator", {100, 100, false}, {416, false, 0, true, {false, 0, 0, 100}, V::kSame}, C::kComplete},
    {"a range past the end of another version", {100, 100, false}, {416, false, 0, true, {false, 0, 0, 100}, V::kOther}, C::kFromZero},
    {"a range past the end of a larger file", {100, 100, false}, {416, false, 0, true, {false, 0, 0, 200}, V::kNone}, C::kFromZero},
    {"a whole answer as long as what is held", {100, 0, false}, {200, true, 100, false, {}, V::kSame}, C::kComplete},
    {"confirmed by a range past the end", {100, 0, true}, {416, false, 0, true, {false, 0, 0, 100}, V::kNone}, C::kComplete},
    {"confirmed by a whole answer of that length", {100, 0, true}, {200, true, 100, false, {}, V::kNone}, C::kComplete},
    {"a server that can tell nothing more", {100, 0, true}, {200, false, 0, false, {}, V::kNone}, C::kComplete},
    {"more to come: the end was a cut", {100, 0, true}, {206, true, 50, true, {true, 100, 149, 150}, V::kSame}, C::kCut},
    {"a longer file: the end was a cut", {100, 0, true}, {416, false, 0, true, {false, 0, 0, 150}, V::kNone}, C::kCut},
    {"another version: not confirmed", {100, 0, true}, {200, true, 100, false, {}, V::kOther}, C::kCut},
    {"an error answer to the question", {100, 0, true}, {503, false, 0, false, {}, V::kNone}, C::kRefused},
};

TEST(TransferPolicy, ResumeDecision) {
  for (const DecideRow& row : kDecisions) EXPECT_EQ(row.next, Decide(row.held, row.answer)) << row.what;
}

TEST(TransferPolicy, ArrivedWhole) {
  EXPECT_TRUE(Judge(100, 100) == Arrival::kWhole && Judge(99, 100) == Arrival::kCut);
  EXPECT_TRUE(Judge(101, 100) == Arrival::kTooMuch && Judge(100, 0) == Arrival::kUnconfirmed);
  uint64_t length = 0;
  EXPECT_TRUE(ParseLength(L"2147483648", &length) && length == 0x80000000ull);
  EXPECT_FALSE(ParseLength(L"-1", &length) || ParseLength(L"12 ", &length) || ParseLength(L"", &length));
}

}  // namespace

// The window's watch: the no-data limit (put off by a prompt), Cancel, and
// the give-up after the grace time.
TEST(DownloadState, WatchStopsOnSilenceOrCancelAndGivesUpAfterTheGrace) {
  using W = DownloadState::Watch;
  CancelState cancel;
  DownloadState state;
  state.Reset(1000);
  state.Prompting(true, 1000);
  EXPECT_EQ(W::kNothing, state.Look(cancel, 9000, 1000, 750));
  state.Prompting(false, 9000);
  state.Arrived(10, 9500);
  EXPECT_EQ(W::kNothing, state.Look(cancel, 10400, 1000, 750));
  EXPECT_EQ(W::kStop, state.Look(cancel, 10500, 1000, 750));
  EXPECT_TRUE(state.stalled() && state.received() == 10);
  state.Reset(20000);
  cancel.EnterDownload();
  ASSERT_TRUE(!state.stalled() && cancel.Ask());
  EXPECT_EQ(W::kStop, state.Look(cancel, 20000, 1000, 750));
  EXPECT_EQ(W::kStop, state.Look(cancel, 20749, 1000, 750));
  EXPECT_EQ(W::kAbandon, state.Look(cancel, 20750, 1000, 750));
}
