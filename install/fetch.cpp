#include "install/fetch.h"

namespace {

const SetupResult kNotFound = 2;          // ERROR_FILE_NOT_FOUND
const SetupResult kNotTrusted = 4;
const SetupResult kOutOfMemory = 14;      // ERROR_OUTOFMEMORY
const SetupResult kNoSignatures = 120;    // ERROR_CALL_NOT_IMPLEMENTED
const SetupResult kCancelled = 1602;      // ERROR_INSTALL_USEREXIT

// Checks the held file, telling the user what is checked: the check may
// take seconds on a large file, so Cancel is looked at before it.
SetupResult CheckHeld(FetchSteps& steps, Verdict* verdict) {
  steps.ShowStatus(FetchStatus::kVerifying);
  if (steps.Cancelled()) return kCancelled;
  *verdict = steps.Check();
  if (*verdict != Verdict::kUnsupported) return 0;
  // A system that cannot check signatures never will: no download helps.
  steps.Tell(FetchMessage::kNoSignatures);
  return kNoSignatures;
}

}  // namespace

SetupResult FetchTrusted(FetchSteps& steps) {
  Verdict verdict = Verdict::kNotTrusted;
  bool localRefused = false;
  switch (steps.HoldLocalCopy()) {
    case LocalCopyState::kRefused:
      return kNotTrusted;
    case LocalCopyState::kHeld: {
      // The check comes before anything else reads the file: nothing that
      // anyone may have left in a Downloads folder is read unchecked.
      SetupResult checked = CheckHeld(steps, &verdict);
      if (checked != 0) return checked;
      if (verdict == Verdict::kTrusted && steps.LocalIsCurrent()) return 0;
      localRefused = verdict != Verdict::kTrusted;
      steps.Release();
      break;
    }
    case LocalCopyState::kAbsent:
      break;
  }
  if (!steps.CanDownload()) {
    steps.Tell(localRefused ? FetchMessage::kLocalNotTrusted : FetchMessage::kLocalNotFound);
    return localRefused ? kNotTrusted : kNotFound;
  }

  steps.ShowStatus(FetchStatus::kDownloading);
  if (steps.Cancelled()) return kCancelled;
  Downloaded downloaded = steps.DownloadAndHold();
  // Before the failure: a download that Cancel stopped is a cancel.
  if (steps.Cancelled()) {
    if (downloaded == Downloaded::kHeld) steps.Release();
    return kCancelled;
  }
  switch (downloaded) {
    case Downloaded::kHeld:
      break;
    case Downloaded::kFailed:
      steps.Tell(FetchMessage::kDownloadFailed);
      return kNotFound;
    case Downloaded::kNotHeld:
      steps.Tell(FetchMessage::kNotTrusted);
      return kNotTrusted;
    case Downloaded::kOutOfMemory:
      return kOutOfMemory;
  }
  SetupResult checked = CheckHeld(steps, &verdict);
  if (checked == 0 && verdict == Verdict::kTrusted) return 0;
  steps.Release();
  if (checked != 0) return checked;
  steps.Tell(FetchMessage::kNotTrusted);
  return kNotTrusted;
}
