#include "install/download_state.h"

void DownloadState::Reset(uint32_t now) {
  m_received.store(0);
  m_announced.store(0);
  m_lastDataAt.store(now);
  m_prompting.store(false);
  m_stalled.store(false);
  m_stopAsked.store(false);
  m_stopAskedAt.store(0);
  m_request.store(nullptr);
}

void DownloadState::Restart(uint32_t received, uint32_t now) {
  m_received.store(received);
  m_lastDataAt.store(now);
}

void DownloadState::Arrived(uint32_t bytes, uint32_t now) {
  m_received.fetch_add(bytes);
  m_lastDataAt.store(now);
}

void DownloadState::Prompting(bool prompting, uint32_t now) {
  m_lastDataAt.store(now);
  m_prompting.store(prompting);
}

DownloadState::Watch DownloadState::Look(CancelState& cancel, uint32_t now, uint32_t noDataLimitMs,
                                         uint32_t graceMs) {
  if (!m_prompting.load() && now - m_lastDataAt.load() >= noDataLimitMs) m_stalled.store(true);
  const bool cancelled = cancel.stopping();
  if (cancelled && !m_stopAsked.load()) {
    m_stopAskedAt.store(now);
    m_stopAsked.store(true);
  }
  // A platform that reads on through a long body after it was asked to stop
  // holds the worker for as long as the server sends. The user asked to
  // stop: the run ends as cancelled without the worker.
  if (m_stopAsked.load() && now - m_stopAskedAt.load() >= graceMs && cancel.Abandon()) return Watch::kAbandon;
  // Asked again on every tick until the transfer ends: a request published
  // after the first ask is stopped too.
  return cancelled || m_stalled.load() ? Watch::kStop : Watch::kNothing;
}
