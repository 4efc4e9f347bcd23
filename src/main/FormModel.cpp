// The window's layout state at creation: texts and the states of the three run buttons as the
// layout leaves them before start-up arranges them.
#include "main/FormModel.h"

namespace toravin {

TFormModel::TFormModel() {
  AddressEdit.Text = "http://";
  AddressEdit.bounds = {72, 24, 321, 23};
  DirectoryEdit.bounds = {72, 72, 209, 23};
  Button2.bounds = {288, 72, 105, 23};
  UseLhaCheckBox.bounds = {72, 112, 137, 17};
  Label5.bounds = {224, 104, 83, 12};
  LhaFileEdit.bounds = {224, 120, 97, 20};
  ReferenceButton.bounds = {328, 120, 65, 20};
  ContinueButton.bounds = {424, 40, 99, 33};
  DownLoadButton.bounds = {424, 96, 99, 57};
  DownLoadButton.Enabled = false;
  DownLoadButton.Visible = false;
  DownLoadAbortButton.bounds = {424, 176, 99, 49};
  DownLoadAbortButton.Enabled = false;
  DownLoadAbortButton.Visible = false;
}

void TFormModel::SetStatusText(std::string text) {
  if (text == m_status) return;
  m_status = std::move(text);
  if (onStatusText) onStatusText(m_status);
}

}  // namespace toravin
