// How far the download under way has got, shared by the worker, which
// downloads, and the progress window, which shows it and watches it. The
// window owns it beside its cancel state and resets it as each download
// starts; every field is atomic, so neither thread ever waits for the other
// and nothing of the worker's own crosses to the window.
#pragma once

#include <stdint.h>

#include <atomic>

#include "app/cancel_state.h"

class DownloadState {
public:
  // What the window's watch asks for after a look.
  enum class Watch {
    kNothing,
    kStop,     // stop the transfer: close the request the worker published
    kAbandon,  // the worker is held past the grace after Cancel: tell the user, end the run
  };

  // The window, as a download starts: nothing received or announced, no
  // stop asked, the no-data clock started at `now` (milliseconds).
  void Reset(uint32_t now);

  // The worker. Sizes above 4 GiB are never announced: no file that large is
  // downloaded.
  void Announce(uint32_t total) { m_announced.store(total); }
  // Where the file now ends (a resumed or restarted transfer).
  void Restart(uint32_t received, uint32_t now);
  void Arrived(uint32_t bytes, uint32_t now);
  // While the user answers a prompt of the transfer (a proxy's password) no
  // data can come: the no-data limit waits, and counts from its end.
  void Prompting(bool prompting, uint32_t now);
  // The request of the transfer (an opaque handle), which the window may
  // close to stop it; taken by whichever thread closes it first.
  void Publish(void* request) { m_request.store(request); }
  void* TakeRequest() { return m_request.exchange(nullptr); }
  // Whether the window found that nothing arrived for the no-data limit.
  bool stalled() const { return m_stalled.load(); }

  // The window: for the bar, and its timer's watch over the no-data limit
  // and Cancel.
  uint32_t received() const { return m_received.load(); }
  uint32_t announced() const { return m_announced.load(); }
  Watch Look(CancelState& cancel, uint32_t now, uint32_t noDataLimitMs, uint32_t graceMs);

private:
  std::atomic<uint32_t> m_received{0};
  std::atomic<uint32_t> m_announced{0};
  std::atomic<uint32_t> m_lastDataAt{0};
  std::atomic<bool> m_prompting{false};
  std::atomic<bool> m_stalled{false};
  std::atomic<bool> m_stopAsked{false};
  std::atomic<uint32_t> m_stopAskedAt{0};
  std::atomic<void*> m_request{nullptr};
};
