// Each command makes its dialog and model for this use, runs the dialog modally and lets both go
// when it closes; what the dialog confirmed is already in the engine's models.
#include "ui/DialogLaunchers.h"

#include "main/DirectoryChangeModel.h"
#include "main/ExtraSettingFormModel.h"
#include "main/MainForm.h"
#include "main/SettingFormModel.h"
#include "ui/AboutForm.h"
#include "ui/DirectoryChangeForm.h"
#include "ui/ExtraSettingForm.h"
#include "ui/SettingForm.h"

namespace toravin {

void OpenSettingForm(QWidget* owner, TMainForm& form) {
  TSettingFormModel model(form);  // the confirm button follows DownLoadButton
  TSettingForm dialog(owner, model);
  model.OpenExtra = [&dialog, &form] { OpenExtraSettingForm(&dialog, form); };
  dialog.exec();
}

void OpenExtraSettingForm(QWidget* owner, TMainForm& form) {
  TExtraSettingFormModel model(form);
  TExtraSettingForm dialog(owner, model);
  dialog.exec();
}

void OpenDirectoryChangeForm(QWidget* owner, TMainForm& form) {
  TDirectoryChangeModel model(form.Form(), form.Dlg(), form.StartDir);
  TDirectoryChangeForm dialog(owner, model);
  dialog.exec();
}

void OpenAboutForm(QWidget* owner) {
  TAboutForm dialog(owner);
  dialog.exec();
}

}  // namespace toravin
