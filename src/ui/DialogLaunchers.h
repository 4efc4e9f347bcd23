// The main window's commands that open a dialog. Each creates its dialog for this use, owned by
// `owner`, shows it modally and lets it go; what a dialog changes, it changes in the engine's
// models, and the main window shows those changes when the dialog has closed.
#pragma once

class QWidget;

namespace toravin {

class TMainForm;

// "設定": the settings dialog; its confirm button is enabled only while Download is.
void OpenSettingForm(QWidget* owner, TMainForm& form);
// "拡張設定…" in the settings dialog: the options kept beside the settings file (transfers at once,
// how pages are read, the further picture kinds); confirm writes them into the engine.
void OpenExtraSettingForm(QWidget* owner, TMainForm& form);
// "ディレクトリー変更": the directory-change dialog, preset to the save directory when it exists,
// otherwise to the directory the program started in; OK writes the choice into DirectoryEdit.
void OpenDirectoryChangeForm(QWidget* owner, TMainForm& form);
// "バージョン情報": the version box.
void OpenAboutForm(QWidget* owner);

}  // namespace toravin
