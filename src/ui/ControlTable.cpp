#include "ui/ControlTable.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "ui/Accessibles.h"
#include "ui/QtText.h"

namespace toravin {

QFont GothicFont(int px) {
  QFont f(QStringLiteral("Noto Sans CJK JP"));
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(px);
  return f;
}

namespace {

// A memo shows whole lines only: the text area's height is a whole number of lines (at least
// one), and what is left over below it is blank, so the last visible line is never cut in half.
class WholeLineMemo : public QPlainTextEdit {
 public:
  explicit WholeLineMemo(QWidget* parent) : QPlainTextEdit(parent) {
    document()->setDocumentMargin(1);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    fitLines();
    QPlainTextEdit::resizeEvent(event);
  }
  void changeEvent(QEvent* event) override {
    if (event->type() == QEvent::FontChange) fitLines();
    QPlainTextEdit::changeEvent(event);
  }

 private:
  void fitLines() {
    const int line = fontMetrics().lineSpacing();
    const int margin = 2 * static_cast<int>(document()->documentMargin());
    int room = contentsRect().height();
    if (horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn) {
      room -= horizontalScrollBar()->sizeHint().height();
    }
    const int lines = std::max(1, (room - margin) / line);
    setViewportMargins(0, 0, 0, std::max(0, room - margin - lines * line));
  }
};

// The title of a group box stands on its frame's top line, as the layouts expect: their rows
// place a box's first control just under the title.
const char kGroupBoxStyle[] =
    "QGroupBox { margin-top: 6px; border: 1px solid palette(mid); border-radius: 2px; }"
    "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 6px;"
    " padding: 0 2px; background-color: palette(window); }";

QWidget* Create(const ControlSpec& s, QWidget* parent) {
  const QString caption = Ui(s.caption);
  switch (s.kind) {
    case ControlKind::Label:
      return new QLabel(caption, parent);
    case ControlKind::LineEdit:
      return new QLineEdit(caption, parent);
    case ControlKind::Memo: {
      auto* m = new WholeLineMemo(parent);
      m->setPlainText(caption);
      return m;
    }
    case ControlKind::PushButton:
      return new QPushButton(caption, parent);
    case ControlKind::CheckBox:
      return new QCheckBox(caption, parent);
    case ControlKind::RadioButton:
      return new QRadioButton(caption, parent);
    case ControlKind::GroupBox: {
      auto* g = new QGroupBox(caption, parent);
      g->setStyleSheet(QString::fromLatin1(kGroupBoxStyle));
      return g;
    }
    case ControlKind::Panel: {
      auto* f = new QFrame(parent);
      f->setFrameShape(QFrame::Panel);
      f->setFrameShadow(QFrame::Raised);
      return f;
    }
    case ControlKind::Custom:
      break;
  }
  return nullptr;
}

// The layout's sizes were made for a proportional Gothic face whose kana and full-width letters
// are narrower than Noto's. Labels grow to their text, as auto-sized labels do; a button or check
// box whose caption would be cut keeps its size and narrows its font instead.
void FitCaption(QWidget* w, ControlKind kind) {
  QString text;
  int chrome = 0;
  if (kind == ControlKind::Label) {
    auto* label = static_cast<QLabel*>(w);
    const int need = label->fontMetrics().horizontalAdvance(label->text());
    if (need + 2 > w->width()) w->resize(need + 2, w->height());
    return;
  }
  if (kind == ControlKind::PushButton) {
    text = static_cast<QPushButton*>(w)->text();
    chrome = 8;
  } else if (kind == ControlKind::CheckBox || kind == ControlKind::RadioButton) {
    text = static_cast<QAbstractButton*>(w)->text();
    chrome = 22;
  } else {
    return;
  }
  const int avail = w->width() - chrome;
  QFont f = w->font();
  const int need = QFontMetrics(f).horizontalAdvance(text);
  if (need <= avail || avail <= 0) return;
  f.setStretch(std::max(50, avail * 100 / need));
  w->setFont(f);
}

}  // namespace

ControlTable::ControlTable(QWidget* client, std::span<const ControlSpec> specs,
                           const std::map<std::string, QWidget*>& custom) {
  InstallAccessibles();
  for (const ControlSpec& s : specs) {
    QWidget* parent = s.parent ? widget(s.parent) : client;
    QWidget* w = nullptr;
    if (s.kind == ControlKind::Custom) {
      auto it = custom.find(s.name);
      if (it == custom.end()) throw std::logic_error(std::string("no widget for ") + s.name);
      w = it->second;
      w->setParent(parent);
    } else {
      w = Create(s, parent);
    }
    w->setObjectName(QString::fromLatin1(s.name));
    w->setGeometry(s.left, s.top, s.width, s.height);
    if (s.fontPx > 0) w->setFont(GothicFont(s.fontPx));
    FitCaption(w, s.kind);
    const QString hint = Ui(s.hint);
    if (!hint.isEmpty()) {
      w->setToolTip(hint);
      w->setAccessibleDescription(hint);
    }
    QString name = Ui(s.caption);
    if (s.label) {
      auto* label = qobject_cast<QLabel*>(widget(s.label));
      if (label) {
        label->setBuddy(w);
        name = label->text();
      }
    }
    if (s.kind == ControlKind::LineEdit || s.kind == ControlKind::Memo ||
        s.kind == ControlKind::Custom) {
      if (!s.label) name = hint;  // an edit's text is its content, not its name
    }
    // Screen readers read "ＵＲＬ：" and "：ポート" better without the colon.
    auto colon = [](QChar c) { return c == QChar(0xFF1A) || c == QLatin1Char(':'); };
    while (!name.isEmpty() && colon(name.back())) name.chop(1);
    while (!name.isEmpty() && colon(name.front())) name.remove(0, 1);
    w->setAccessibleName(name);
    if (s.tab < 0 && s.kind != ControlKind::GroupBox && s.kind != ControlKind::Panel) {
      w->setFocusPolicy(Qt::NoFocus);
    } else if (s.tab >= 0 && s.kind != ControlKind::GroupBox && s.kind != ControlKind::Panel &&
               s.kind != ControlKind::Label) {
      w->setFocusPolicy(Qt::StrongFocus);
    }
    m_entries.push_back({&s, w});
    m_byName[s.name] = w;
  }
}

QWidget* ControlTable::widget(const std::string& name) const {
  auto it = m_byName.find(name);
  return it == m_byName.end() ? nullptr : it->second;
}

void ControlTable::chain(const char* parent, std::vector<QWidget*>& out) const {
  std::vector<const Entry*> children;
  for (const Entry& e : m_entries) {
    const bool same = parent ? (e.row->parent && std::strcmp(e.row->parent, parent) == 0)
                             : e.row->parent == nullptr;
    if (same && e.row->tab >= 0) children.push_back(&e);
  }
  std::stable_sort(children.begin(), children.end(),
                   [](const Entry* a, const Entry* b) { return a->row->tab < b->row->tab; });
  for (const Entry* e : children) {
    if (e->row->kind == ControlKind::GroupBox || e->row->kind == ControlKind::Panel) {
      chain(e->row->name, out);
    } else {
      out.push_back(e->widget);
    }
  }
}

std::vector<QWidget*> ControlTable::applyTabOrder() const {
  std::vector<QWidget*> order;
  chain(nullptr, order);
  for (size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
  return order;
}

}  // namespace toravin
