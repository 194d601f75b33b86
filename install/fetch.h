// Fetching a file that the setup installs or runs (a package, the engine
// redistributable) so that what is used is trusted: the copy beside the
// setup when it is there, trusted and current; otherwise a download, trusted.
// Each is held against writes from before its check until its use, so
// nobody can swap it in between.
//
// The order of the steps and what each outcome leads to is decided here,
// once; the steps themselves (holding, checking, downloading, telling) are
// the caller's, so that a package is checked in the setup's own process and
// the redistributable by a second instance of the setup.
#pragma once

#include "app/setup_result.h"
#include "install/signature_check.h"

enum class LocalCopyState {
  kAbsent,   // nothing there (or a path too long for the Windows Installer)
  kHeld,     // there, and held
  kRefused,  // someone has it open for writing: not trusted, the user told
};

enum class Downloaded {
  kHeld,         // arrived whole, and held
  kFailed,       // did not arrive (the server, the network, no data)
  kNotHeld,      // arrived, but could not be held: not trusted
  kOutOfMemory,  // the user has been told
};

// What the sequence has the caller tell the user.
enum class FetchMessage {
  kLocalNotFound,   // the file beside the setup is missing (or not current) and nothing can be downloaded
  kLocalNotTrusted, // the file beside the setup is not trusted and nothing can be downloaded
  kDownloadFailed,  // the download failed (names the URL)
  kNotTrusted,      // the downloaded file is not trusted (names its path)
  kNoSignatures,    // the system cannot check signatures
};

enum class FetchStatus { kDownloading, kVerifying };

class FetchSteps {
public:
  virtual LocalCopyState HoldLocalCopy() = 0;
  // Whether the held copy beside the setup is the configured version.
  virtual bool LocalIsCurrent() = 0;
  virtual bool CanDownload() = 0;
  virtual Downloaded DownloadAndHold() = 0;
  // Checks the held file (the copy beside the setup, or the download).
  virtual SignatureCheck Check() = 0;
  // Lets go of the held file.
  virtual void Release() = 0;
  virtual void ShowStatus(FetchStatus status) = 0;
  // A checkpoint: true, after telling the user, when Cancel was pressed.
  virtual bool Cancelled() = 0;
  virtual void Tell(FetchMessage message) = 0;

protected:
  ~FetchSteps() = default;
};

// Runs the steps: 0 with the file held (by the caller's steps), or the result
// to end with, the user having been told: 2 (not found or not downloaded),
// 4 (not trusted), 14 (out of memory), 120 (signatures cannot be checked),
// 1602 (cancelled).
SetupResult FetchTrusted(FetchSteps& steps);
