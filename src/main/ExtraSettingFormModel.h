// The 拡張設定 dialog without a toolkit: the options kept beside the settings file (transfers at
// once, how pages are read, the picture kinds PNG, WebP, AVIF and SVG with their masks, and
// whether connections are kept open).
// FormShow fills the controls from the options, the check boxes enable their masks, and confirm
// checks the ticked masks and the count before it writes the options back.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "main/FormModel.h"
#include "main/NumEditModel.h"
#include "main/RunOptions.h"
#include "platform/Dialogs.h"

namespace toravin {

class TMainForm;

class TExtraSettingFormModel {
 public:
  // A mask's error text (CP932), or nothing when the mask compiles.
  using MaskCheck = std::function<std::optional<std::string>(const std::string& mask)>;

  TExtraSettingFormModel(std::function<TRunOptions()> read,
                         std::function<void(const TRunOptions&)> write, Dialogs& dialogs,
                         MaskCheck maskCheck);
  // Over the main window's options; masks are checked as the download filter compiles them.
  explicit TExtraSettingFormModel(TMainForm& form);

  TNumEditModel ParallelEdit;
  Control PatternsRadio, HtmlRadio;
  Control PngCheckBox, WebpCheckBox, AvifCheckBox, SvgCheckBox;
  Control PngFileEdit, WebpFileEdit, AvifFileEdit, SvgFileEdit;
  Control ConnectionCheckBox;  // keep connections open (Connection=keep)
  Control YesBitBtn, NoBitBtn;

  // Handlers. The view sets a box's Checked (a radio button's too) before calling its handler.
  void FormShow();
  void KindCheckBoxClick();
  void ReaderRadioClick(bool html);
  // The count that shows one connection use's default becomes the other's.
  void ConnectionCheckBoxClick();
  // Confirm: a ticked kind's mask that does not compile, or a count outside 1-32, is shown, the
  // dialog stays open and FocusControl names the field. Otherwise writes and closes with mrOk; a
  // count equal to the chosen connection use's default is kept as that default.
  void YesBitBtnClick();
  void NoBitBtnClick();

  ModalResult Result = ModalResult::mrNone;
  std::string FocusControl;

 private:
  bool Validate();

  std::function<TRunOptions()> m_read;
  std::function<void(const TRunOptions&)> m_write;
  Dialogs& m_dialogs;
  MaskCheck m_maskCheck;
};

}  // namespace toravin
