// A window's controls as data: one row per control (name, kind, parent, place, caption, hint,
// font, tab position), applied by one loop. Rows read like the layout tables they come from, so
// a window and its table are compared line by line; the loop gives every control its geometry,
// font, tooltip, accessible name and description, and the tab chain.
#pragma once

#include <QFont>
#include <QWidget>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace toravin {

enum class ControlKind {
  Label,
  LineEdit,
  Memo,
  PushButton,
  CheckBox,
  RadioButton,
  GroupBox,
  Panel,
  Custom
};

struct ControlSpec {
  const char* name;
  ControlKind kind;
  const char* parent;  // nullptr: the window's client area; otherwise a GroupBox or Panel row
  int left, top, width, height;
  const char* caption;          // UTF-8; the initial text of an edit
  const char* hint;             // tooltip, also the accessible description; "" for none
  int fontPx;                   // character height; 0: the window's font
  int tab;                      // tab position within the parent; -1: not a tab stop
  const char* label = nullptr;  // the label row that names this control (edits, memos)
};

// The proportional Japanese Gothic face at a character height in pixels.
QFont GothicFont(int px);

class ControlTable {
 public:
  // Creates the controls of `specs` on `client`. Rows of kind Custom take the widget registered
  // under their name in `custom` (created by the caller, e.g. a numeric edit).
  ControlTable(QWidget* client, std::span<const ControlSpec> specs,
               const std::map<std::string, QWidget*>& custom = {});

  QWidget* widget(const std::string& name) const;
  template <class W>
  W* get(const std::string& name) const {
    return qobject_cast<W*>(widget(name));
  }
  // The tab chain: depth first, each parent's children by their tab position; a container's
  // position places its children in the chain. Returns the chain (first stop first).
  std::vector<QWidget*> applyTabOrder() const;

 private:
  struct Entry {
    const ControlSpec* row;
    QWidget* widget;
  };
  void chain(const char* parent, std::vector<QWidget*>& out) const;
  std::vector<Entry> m_entries;
  std::map<std::string, QWidget*> m_byName;
};

}  // namespace toravin
