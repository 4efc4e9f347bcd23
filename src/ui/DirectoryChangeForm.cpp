// The tree shows the drive that holds the current directory, with the path to it opened. A drive
// chosen in the selector replaces the tree; a directory created from here is shown by reading
// the tree again.
#include "ui/DirectoryChangeForm.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeView>
#include <array>

#include "main/DirectoryName.h"
#include "main/DriveList.h"
#include "ui/Bindings.h"
#include "ui/DirectoryCreateForm.h"
#include "ui/DirectoryTreeModel.h"
#include "ui/QtText.h"

namespace toravin {
namespace {

using K = ControlKind;

const std::array kControls{
    ControlSpec{"DriveComboBox1", K::Custom, nullptr, 48, 16, 257, 18, "", "ドライブを変更", 0, 0},
    ControlSpec{"DirectoryListBox1", K::Custom, nullptr, 48, 48, 257, 137, "",
                "ディレクトリーを変更", 0, 1},
    ControlSpec{"OKButton", K::PushButton, nullptr, 8, 208, 105, 41, "ＯＫ", "変更してもいいよ", 0,
                2},
    ControlSpec{"CancelButton", K::PushButton, nullptr, 128, 208, 99, 41, "キャンセル",
                "変えちゃ、いや！", 0, 3},
    ControlSpec{"DirectoryCreateButton", K::PushButton, nullptr, 240, 208, 99, 41, "新規作成",
                "新しいディレクトリーを作る", 0, 4},
};

// Enter on the tree opens the current item, as a double click does.
class DirectoryTreeView : public QTreeView {
 public:
  using QTreeView::QTreeView;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      if (currentIndex().isValid()) {
        emit doubleClicked(currentIndex());
        return;
      }
    }
    QTreeView::keyPressEvent(event);
  }
};

}  // namespace

TDirectoryChangeForm::TDirectoryChangeForm(QWidget* owner, TDirectoryChangeModel& model)
    : QDialog(owner, FixedDialogFlags()), m_model(model) {
  setObjectName(QStringLiteral("TDirectoryChangeForm"));
  setWindowTitle(Ui("保存するディレクトリーを指定してください。"));
  setAccessibleName(windowTitle());
  setFont(GothicFont(12));
  setFixedSize(347, 263);
  move(249, 150);

  auto* drives = new QComboBox(this);
  auto* view = new DirectoryTreeView(this);
  m_tree = new DirectoryTreeModel(this);
  view->setModel(m_tree);
  view->setHeaderHidden(true);
  view->setUniformRowHeights(true);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setExpandsOnDoubleClick(false);
  view->setAutoScroll(true);
  m_controls = std::make_unique<ControlTable>(
      this, kControls,
      std::map<std::string, QWidget*>{{"DriveComboBox1", drives}, {"DirectoryListBox1", view}});
  drives->setAccessibleName(Ui("ドライブ"));
  view->setAccessibleName(Ui("ディレクトリー"));
  m_controls->get<QPushButton>("OKButton")->setDefault(true);
  m_tabs = m_controls->applyTabOrder();

  fillDrives();
  connect(drives, QOverload<int>::of(&QComboBox::activated), this, [this, drives](int i) {
    if (m_moving || i < 0) return;
    const QByteArray d = drives->itemData(i).toByteArray();
    m_model.SelectDrive(d.toStdString());
    showDirectory(m_model.Directory());
  });
  connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (m_moving || !current.isValid()) return;
            m_model.SetDirectory(m_tree->pathOf(current));
          });
  connect(view, &QTreeView::doubleClicked, this, [this, view](const QModelIndex& index) {
    m_model.SetDirectory(m_tree->pathOf(index));
    m_tree->fetchMore(index);
    view->expand(index);
  });
  // Listings of the current directory's ancestors push it down; it stays in view.
  connect(m_tree, &DirectoryTreeModel::listedDirectory, this, [view](const QModelIndex& index) {
    for (QModelIndex at = view->currentIndex(); at.isValid(); at = at.parent()) {
      if (at == index) {
        view->scrollTo(view->currentIndex());
        return;
      }
    }
  });
  connect(m_controls->get<QPushButton>("OKButton"), &QPushButton::clicked, this, [this] {
    m_model.OKButtonClick();
    if (m_model.Result == ModalResult::mrOk) accept();
  });
  connect(m_controls->get<QPushButton>("CancelButton"), &QPushButton::clicked, this,
          [this] { reject(); });
  connect(m_controls->get<QPushButton>("DirectoryCreateButton"), &QPushButton::clicked, this,
          [this] { createDirectory(); });

  showDirectory(m_model.Directory());
}

TDirectoryChangeForm::~TDirectoryChangeForm() = default;

QTreeView* TDirectoryChangeForm::treeView() const {
  return static_cast<QTreeView*>(m_controls->widget("DirectoryListBox1"));
}

QComboBox* TDirectoryChangeForm::driveBox() const {
  return static_cast<QComboBox*>(m_controls->widget("DriveComboBox1"));
}

void TDirectoryChangeForm::fillDrives() {
  QComboBox* box = driveBox();
  box->clear();
  for (const std::string& d : m_model.Drives) {
    box->addItem(style()->standardIcon(QStyle::SP_DriveHDIcon),
                 QString::fromStdString(DisplayName(d)), QByteArray::fromStdString(d));
  }
}

void TDirectoryChangeForm::showDirectory(const std::string& path) {
  m_moving = true;
  const std::string drive = DriveOf(m_model.Drives, path);
  QComboBox* box = driveBox();
  const int at = box->findData(QByteArray::fromStdString(drive));
  if (at >= 0) box->setCurrentIndex(at);
  if (m_tree->root() != drive) m_tree->setRoot(drive);
  QTreeView* view = treeView();
  const QModelIndex index = m_tree->reveal(path);
  for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) view->expand(up);
  view->expand(index);
  view->setCurrentIndex(index);
  view->scrollTo(index);
  m_moving = false;
  m_model.SetDirectory(path);
}

void TDirectoryChangeForm::createDirectory() {
  TDirectoryCreateModel create(m_model.Dlg());
  create.Text = m_model.CreatePreset();
  TDirectoryCreateForm dialog(this, create);
  if (dialog.exec() != QDialog::Accepted) return;
  m_model.DirectoryCreated(create.Created);
  m_tree->setRoot(DriveOf(m_model.Drives, m_model.Directory()));  // read again
  showDirectory(m_model.Directory());
}

void TDirectoryChangeForm::reject() {
  m_model.CancelButtonClick();
  QDialog::reject();
}

}  // namespace toravin
