#include "install/product.h"

#include "install/action.h"
#include "install/admin_target.h"
#include "install/package.h"
#include "ui/language_dlg.h"
#include "ui/messages.h"
#include "ui/resource.h"

SetupResult InstallProduct(CPelorinApp& app, const ProductEntry& product) {
  // An earlier product handed the window's place to the engine: this one's
  // steps (its question, its language, its download) are shown again, with
  // a Cancel that counts.
  app.m_progressDlg.ShowForWork();
  if (product.askFirst) {
    WString question = FormatMessageText(MSG_ASK_INSTALL, {product.productName});
    int answer = ShowMessageText(question.c_str(), MB_YESNO | MB_ICONQUESTION);
    // A question that could not be shown was not answered (Yes and No are
    // the only answers): nothing is installed, and that is no success.
    if (answer != IDYES && answer != IDNO) return kResultInstallFailure;
    if (answer != IDYES) return 0;
  }

  const LanguageEntry* languages = product.languages;
  if (!languages || languages[0].langId == 0) return kResultBadArguments;
  const LanguageEntry* chosen = languages;
  if (languages[1].langId != 0) {
    // Cancelling the choice is the user's answer, not a failure to tell.
    bool shown = true;
    chosen = ChooseLanguage(languages, app.m_langId, &shown);
    if (!shown) return kResultInstallFailure;
    if (!chosen) return kResultCancelled;
  }
  // A later product's choice starts from this one.
  app.m_langId = chosen->langId;

  app.m_progressDlg.SetHeadline(FormatMessageText(MSG_PLEASE_WAIT, {product.productName}).c_str());
  if (app.m_progressDlg.TellIfCancelled()) return kResultCancelled;

  PackageChoice choice;
  SetupResult result = ChoosePackage(*chosen, app.m_notNt, &choice);
  if (result != 0) return result;

  // A bad command line or keyword fails before anything is downloaded.
  wchar_t* adminTarget = nullptr;
  if (app.m_commandMode == ModeAdminInstall && !ParseAdminTarget(app.m_lpCmdLine, &adminTarget)) {
    ShowMessage(MSG_USAGE, MB_OK | MB_ICONINFORMATION);
    return kResultInstallFailure;
  }
  // A folder the engine cannot take as it is given is refused before anything
  // is read or run.
  if (adminTarget && !AdminTargetAcceptable(adminTarget)) {
    ShowError(MSG_INVALID_PATH, {adminTarget});
    return kResultInstallFailure;
  }
  bool updateMode = false;
  result = CheckOperation(product.operation, choice.isPatch, &updateMode);
  if (result != 0) return result;

  WString packagePath;
  // Held from its check until the engine call has returned.
  UniqueHandle held;
  result = AcquirePackage(app, product, choice.file, packagePath, held);
  if (result != 0) return result;
  return RunInstallerAction(app, product, packagePath.c_str(), choice.isPatch, updateMode, adminTarget);
}
