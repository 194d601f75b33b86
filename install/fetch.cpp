#include "install/fetch.h"

namespace {

// Checks the held file, telling the user what is checked: the check may
// take seconds on a large file, so Cancel is looked at before it.
SetupResult CheckHeld(FetchSteps& steps, SignatureCheck* verdict) {
  steps.ShowStatus(FetchStatus::kVerifying);
  if (steps.Cancelled()) return kResultCancelled;
  *verdict = steps.Check();
  if (*verdict != SignatureUnsupported) return 0;
  // A system that cannot check signatures never will: no download helps.
  steps.Tell(FetchMessage::kNoSignatures);
  return kResultNoSignatures;
}

}  // namespace

SetupResult FetchTrusted(FetchSteps& steps) {
  SignatureCheck verdict = SignatureNotTrusted;
  bool localRefused = false;
  switch (steps.HoldLocalCopy()) {
    case LocalCopyState::kRefused:
      return kResultNotTrusted;
    case LocalCopyState::kHeld: {
      // The check comes before anything else reads the file: nothing that
      // anyone may have left in a Downloads folder is read unchecked.
      SetupResult checked = CheckHeld(steps, &verdict);
      if (checked != 0) return checked;
      if (verdict == SignatureTrusted && steps.LocalIsCurrent()) return 0;
      localRefused = verdict != SignatureTrusted;
      steps.Release();
      break;
    }
    case LocalCopyState::kAbsent:
      break;
  }
  if (!steps.CanDownload()) {
    steps.Tell(localRefused ? FetchMessage::kLocalNotTrusted : FetchMessage::kLocalNotFound);
    return localRefused ? kResultNotTrusted : kResultFileNotFound;
  }

  steps.ShowStatus(FetchStatus::kDownloading);
  if (steps.Cancelled()) return kResultCancelled;
  Downloaded downloaded = steps.DownloadAndHold();
  // Before the failure: a download that Cancel stopped is a cancel.
  if (steps.Cancelled()) {
    if (downloaded == Downloaded::kHeld) steps.Release();
    return kResultCancelled;
  }
  switch (downloaded) {
    case Downloaded::kHeld:
      break;
    case Downloaded::kFailed:
      steps.Tell(FetchMessage::kDownloadFailed);
      return kResultFileNotFound;
    case Downloaded::kNotHeld:
      steps.Tell(FetchMessage::kNotTrusted);
      return kResultNotTrusted;
    case Downloaded::kOutOfMemory:
      return kResultOutOfMemory;
  }
  SetupResult checked = CheckHeld(steps, &verdict);
  if (checked == 0 && verdict == SignatureTrusted) return 0;
  steps.Release();
  if (checked != 0) return checked;
  steps.Tell(FetchMessage::kNotTrusted);
  return kResultNotTrusted;
}
