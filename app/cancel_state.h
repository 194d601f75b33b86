// Whether the user's Cancel stops the run, and who tells them that it did.
//
// Two threads share it: the user-interface thread (the Cancel button, the
// progress window's timer) and the worker (its checkpoints, its downloads).
// Every change is one atomic step from a named state to the next, so the
// rules hold whatever the two threads do at the same moment:
// - a Cancel counts while the setup works, and no longer once the engine (or
//   the engine redistributable) has been handed the work: from then on its
//   own user interface owns cancelling;
// - the user is told once: by the worker at its next checkpoint, or by the
//   window when a download that Cancel asked to stop holds the worker past
//   the grace time (the run then ends without the worker).
#pragma once

#include <atomic>

class CancelState {
public:
  enum Phase : long {
    kRunning,      // the setup works; a Cancel counts
    kCancelAsked,  // Cancel was pressed; nobody has told the user yet
    kCancelTold,   // the worker told the user; the run ends with 1602
    kAbandoned,    // the window told the user while a download held the worker
    kHandedOver,   // the engine has the work; a Cancel is its affair
  };

  Phase phase() const { return Phase(m_word.load() & kPhaseMask); }
  // Whatever is under way is to stop: Cancel was pressed and counted.
  bool stopping() const {
    Phase now = phase();
    return now == kCancelAsked || now == kCancelTold || now == kAbandoned;
  }

  // A new progress window starts a run afresh.
  void Restart() { m_word.store(kRunning); }
  // The Cancel button: true when the press counts.
  bool Ask() { return Move(kRunning, kCancelAsked); }
  // A checkpoint of the worker: true when the run stops as cancelled, and
  // then the caller tells the user (only the first such call is true).
  bool Take() { return Move(kCancelAsked, kCancelTold); }
  // The worker's last checkpoint before the engine or the redistributable
  // runs: true when the work is handed over (or already was); false when
  // Cancel came first, and then the caller tells the user.
  bool HandOver();
  // A later product begins its own steps: its Cancel counts again.
  void Resume() { Move(kHandedOver, kRunning); }

  // The worker enters and leaves a platform download. Leaving gives false
  // when the window has abandoned the download meanwhile: the user has been
  // told and the run ends without the worker, which must touch nothing more.
  void EnterDownload();
  bool LeaveDownload();
  // The window gives up a download that Cancel could not stop within the
  // grace time: true when it did, and then it tells the user and ends the run.
  bool Abandon();

private:
  static const long kPhaseMask = 0x0F;
  static const long kInDownload = 0x10;
  // Moves the phase from `from` to `to`, keeping the download bit.
  bool Move(Phase from, Phase to);

  std::atomic<long> m_word{kRunning};
};
