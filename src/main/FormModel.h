// The main window as plain data: for each control the crawl engine touches, its enabled, visible,
// read-only and checked states, its text and bounds; the two memos as line lists; the status
// bar's text. The crawl changes only this model; the Qt window shows it and writes the user's
// edits back, and tests assert on it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/LineList.h"

namespace toravin {

struct Bounds {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Bounds&) const = default;
};

// The transfer in progress, for the window's progress bar: bytes received and the announced length
// (0: unknown).
struct TransferProgress {
  bool Active = false;
  std::int64_t Received = 0;
  std::int64_t Total = 0;
  // Transfers fetched ahead of the one shown that are still under way (0 one at a time).
  int Ahead = 0;
  bool operator==(const TransferProgress&) const = default;
};

struct Control {
  bool Enabled = true;
  bool Visible = true;
  bool ReadOnly = false;
  bool Checked = false;
  std::string Text;  // CP932
  Bounds bounds;
};

class TFormModel {
 public:
  TFormModel();

  Control AddressEdit;
  Control DirectoryEdit;
  Control Button2;
  Control UseLhaCheckBox;
  Control Label5;
  Control LhaFileEdit;
  Control ReferenceButton;
  Control ContinueButton;
  Control DownLoadButton;
  Control DownLoadAbortButton;
  Control Exit1;  // the File menu's exit item
  LineList HeaderMemo;
  LineList BodyMemo;
  TransferProgress Progress;

  const std::string& StatusText() const { return m_status; }
  // Sets the status bar's text; the listener hears every change.
  void SetStatusText(std::string text);
  std::function<void(const std::string&)> onStatusText;

 private:
  std::string m_status;
};

}  // namespace toravin
