// The settings dialog without a toolkit: which control holds which setting, the enabling rules of
// the check boxes and group boxes, FormShow from the settings store and the confirm step that
// writes the store and hands the proxy to the HTTP client. The Qt dialog lays the controls out
// and binds them to this model; tests drive it without a display.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "main/FormModel.h"
#include "main/NumEditModel.h"
#include "platform/Dialogs.h"

namespace toravin {

class TMainForm;
class TSockClient;
class TToraVinIniList;

class TSettingFormModel {
 public:
  // A mask's error text (CP932), or nothing when the mask compiles.
  using MaskCheck = std::function<std::optional<std::string>(const std::string& mask)>;

  TSettingFormModel(TToraVinIniList& store, TSockClient& client, Dialogs& dialogs,
                    MaskCheck maskCheck);
  // Over the main window's store, client and dialogs; masks are checked the way the download
  // filter compiles them, and the confirm button follows the download button.
  explicit TSettingFormModel(TMainForm& form);

  // The mask check of the download filter, through the form's text matcher.
  static MaskCheck FilterMaskCheck(TMainForm& form);

  Control FileChoiceCheckBox;
  Control ChoiceGroupBox;
  Control JpegFileEdit, GifFileEdit, ZipFileEdit, HtmlFileEdit;
  Control JpegCheckBox, GifCheckBox, ZipCheckBox, HtmlCheckBox;
  Control ProxyCheckBox;
  Control ProxyGroupBox;
  Control AddressEdit;
  TNumEditModel PortEdit;
  Control FileSizeCheckBox;
  TNumEditModel FileSizeEdit;
  Control UseTarCheckBox;
  Control RetryCheckBox;
  TNumEditModel RetryCountEdit;
  // "拡張設定…": opens the dialog of the options kept beside the settings file (OpenExtra, set
  // by the view; the button does nothing without it).
  Control ExtraButton;
  std::function<void()> OpenExtra;
  Control YesBitBtn;
  Control NoBitBtn;

  // Handlers. The view sets a check box's Checked before calling its click handler.
  void FormShow();
  void FileChoiceCheckBoxClick();
  void JpegCheckBoxClick();
  void GifCheckBoxClick();
  void ZipCheckBoxClick();
  void HtmlCheckBoxClick();
  void ProxyCheckBoxClick();
  void FileSizeCheckBoxClick();
  void RetryCheckBoxClick();
  void ExtraButtonClick();
  // Confirm: checks the ticked masks and the retry count first; a fault is shown, the dialog
  // stays open and FocusControl names the field. Otherwise stores and closes with mrOk.
  void YesBitBtnClick();
  void NoBitBtnClick();

  // mrNone while the dialog stays open.
  ModalResult Result = ModalResult::mrNone;
  // The control that should take the focus after a refused confirm.
  std::string FocusControl;

 private:
  bool Validate();

  TToraVinIniList& m_store;
  TSockClient& m_client;
  Dialogs& m_dialogs;
  MaskCheck m_maskCheck;
};

}  // namespace toravin
