#include "app/cancel_state.h"

bool CancelState::Move(Phase from, Phase to) {
  long word = m_word.load();
  while ((word & kPhaseMask) == from)
    if (m_word.compare_exchange_weak(word, (word & ~kPhaseMask) | to)) return true;
  return false;
}

bool CancelState::HandOver() {
  if (Move(kRunning, kHandedOver) || phase() == kHandedOver) return true;
  Take();
  return false;
}

void CancelState::EnterDownload() { m_word.fetch_or(kInDownload); }

bool CancelState::LeaveDownload() {
  long word = m_word.load();
  while ((word & kPhaseMask) != kAbandoned)
    if (m_word.compare_exchange_weak(word, word & ~kInDownload)) return true;
  return false;
}

bool CancelState::Abandon() {
  long word = kCancelAsked | kInDownload;
  return m_word.compare_exchange_strong(word, kAbandoned | kInDownload);
}
