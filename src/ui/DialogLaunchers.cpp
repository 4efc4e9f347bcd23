// Until the program's own dialogs exist: a standard directory chooser and a minimal version box.
#include "ui/DialogLaunchers.h"

#include <QFileDialog>
#include <QMessageBox>

#include "main/MainForm.h"
#include "platform/FileSystem.h"
#include "ui/QtText.h"

namespace toravin {

void OpenSettingForm(QWidget*, TMainForm&) {}

void OpenDirectoryChangeForm(QWidget* owner, TMainForm& form) {
  const std::string& typed = form.Form().DirectoryEdit.Text;
  const std::string start = DirectoryExists(typed) ? typed : form.StartDir;
  QString chosen =
      QFileDialog::getExistingDirectory(owner, Ui("保存するディレクトリーを指定してください。"),
                                        QString::fromStdString(NativePath(start)));
  if (!chosen.isEmpty()) form.Form().DirectoryEdit.Text = ToSjis(chosen);
}

void OpenAboutForm(QWidget* owner) {
  QMessageBox::about(owner, Ui("ToraVin バージョン情報"),
                     Ui("ファイル名：　　　ＴｏｒａＶｉｎ\nバージョン：　　　１．18．0"));
}

}  // namespace toravin
