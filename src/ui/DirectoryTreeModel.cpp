// Nodes own their children. A listing is merged into the children already shown (the revealed
// path), new names inserted in runs between them, so that expanding a directory on the path
// keeps the current item where it is; the merge keeps byte order.
#include "ui/DirectoryTreeModel.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>
#include <algorithm>

#include "main/DirectoryName.h"

namespace toravin {

struct DirectoryTreeModel::Node {
  std::string name;  // as on disk; the drive's item holds its whole path
  std::string path;
  Node* parent = nullptr;
  std::vector<std::unique_ptr<Node>> children;
  bool listed = false;
  std::unique_ptr<TDirectoryReader> reader;
  // The place among the parent's children, kept up to date by every insertion: a view asks for
  // the parents of the items it shows all the time, also among a hundred thousand siblings.
  int row = 0;
  // A listing read but not yet inserted, inserted a slice per turn from pendingAt; mergeRow is
  // where the next name goes among the children.
  bool queued = false;
  std::vector<std::string> pending;
  std::size_t pendingAt = 0;
  std::size_t mergeRow = 0;

  void renumberFrom(std::size_t first) {
    for (std::size_t i = first; i < children.size(); ++i) children[i]->row = static_cast<int>(i);
  }
  Node* child(const std::string& n) {
    for (auto& c : children) {
      if (c->name == n) return c.get();
    }
    return nullptr;
  }
};

namespace {

std::string JoinPath(const std::string& dir, const std::string& name) {
  return dir == "/" ? "/" + name : dir + "/" + name;
}

}  // namespace

DirectoryTreeModel::DirectoryTreeModel(QObject* parent) : QAbstractItemModel(parent) {
  m_timer.setInterval(0);
  connect(&m_timer, &QTimer::timeout, this, [this] { step(); });
  m_root = std::make_unique<Node>();
}

DirectoryTreeModel::~DirectoryTreeModel() = default;

void DirectoryTreeModel::setRoot(const std::string& root) {
  beginResetModel();
  m_reading.clear();
  m_timer.stop();
  m_root = std::make_unique<Node>();
  m_rootPath = root;
  auto drive = std::make_unique<Node>();
  drive->name = root;
  drive->path = root;
  drive->parent = m_root.get();
  m_root->children.push_back(std::move(drive));
  m_root->listed = true;
  endResetModel();
}

QModelIndex DirectoryTreeModel::reveal(const std::string& path) {
  if (m_root->children.empty()) return {};
  Node* node = m_root->children.front().get();
  const std::string& root = node->path;
  if (path != root) {
    const std::string prefix = root == "/" ? "/" : root + "/";
    if (path.compare(0, prefix.size(), prefix) != 0) return {};
    std::size_t at = prefix.size();
    while (at < path.size()) {
      std::size_t slash = path.find('/', at);
      if (slash == std::string::npos) slash = path.size();
      const std::string name = path.substr(at, slash - at);
      at = slash + 1;
      if (name.empty()) continue;
      Node* next = node->child(name);
      if (!next) {
        // Placed where byte order puts it among what is shown already.
        auto pos = std::lower_bound(
            node->children.begin(), node->children.end(), name,
            [](const std::unique_ptr<Node>& a, const std::string& n) { return a->name < n; });
        const int row = static_cast<int>(pos - node->children.begin());
        beginInsertRows(indexOf(node), row, row);
        auto fresh = std::make_unique<Node>();
        fresh->name = name;
        fresh->path = JoinPath(node->path, name);
        fresh->parent = node;
        next = fresh.get();
        node->children.insert(node->children.begin() + row, std::move(fresh));
        node->renumberFrom(static_cast<std::size_t>(row));
        if (node->queued && static_cast<std::size_t>(row) < node->mergeRow) ++node->mergeRow;
        endInsertRows();
      }
      node = next;
    }
  }
  startReading(node);
  return indexOf(node);
}

std::string DirectoryTreeModel::pathOf(const QModelIndex& index) const {
  Node* n = nodeOf(index);
  return n ? n->path : std::string();
}

bool DirectoryTreeModel::listed(const QModelIndex& index) const {
  Node* n = nodeOf(index);
  return n && n->listed;
}

DirectoryTreeModel::Node* DirectoryTreeModel::nodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex DirectoryTreeModel::indexOf(Node* node) const {
  if (!node || node == m_root.get()) return {};
  return createIndex(node->row, 0, node);
}

QModelIndex DirectoryTreeModel::index(int row, int column, const QModelIndex& parent) const {
  Node* p = parent.isValid() ? nodeOf(parent) : m_root.get();
  if (column != 0 || row < 0 || row >= static_cast<int>(p->children.size())) return {};
  return createIndex(row, 0, p->children[static_cast<std::size_t>(row)].get());
}

QModelIndex DirectoryTreeModel::parent(const QModelIndex& child) const {
  Node* n = nodeOf(child);
  if (!n || n->parent == m_root.get()) return {};
  return indexOf(n->parent);
}

int DirectoryTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  Node* p = parent.isValid() ? nodeOf(parent) : m_root.get();
  return static_cast<int>(p->children.size());
}

QVariant DirectoryTreeModel::data(const QModelIndex& index, int role) const {
  Node* n = nodeOf(index);
  if (!n) return {};
  if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
    return QString::fromStdString(DisplayName(n->name));
  }
  if (role == Qt::ToolTipRole) return QString::fromStdString(DisplayName(n->path));
  if (role == Qt::DecorationRole) {
    return QApplication::style()->standardIcon(QStyle::SP_DirIcon);
  }
  return {};
}

bool DirectoryTreeModel::hasChildren(const QModelIndex& parent) const {
  Node* p = parent.isValid() ? nodeOf(parent) : m_root.get();
  return !p->listed || !p->children.empty();
}

bool DirectoryTreeModel::canFetchMore(const QModelIndex& parent) const {
  Node* p = nodeOf(parent);
  return p && !p->listed && !p->queued;
}

void DirectoryTreeModel::fetchMore(const QModelIndex& parent) { startReading(nodeOf(parent)); }

void DirectoryTreeModel::startReading(Node* node) {
  if (!node || node->listed || node->queued) return;
  node->queued = true;
  node->reader = std::make_unique<TDirectoryReader>(node->path);
  m_reading.push_back(node);
  if (!m_timer.isActive()) m_timer.start();
}

void DirectoryTreeModel::step() {
  // One slice for the first directory in line per turn, a slice of entries read or of rows
  // inserted; the event loop runs in between.
  if (m_reading.empty()) {
    m_timer.stop();
    return;
  }
  Node* node = m_reading.front();
  bool done = false;
  if (node->reader) {
    if (node->reader->Step()) {
      node->pending = node->reader->TakeSorted();
      node->reader.reset();
    }
  } else {
    done = insertSome(node);
  }
  if (done) m_reading.erase(m_reading.begin());
  if (m_reading.empty()) m_timer.stop();
}

bool DirectoryTreeModel::insertSome(Node* node) {
  const std::vector<std::string>& names = node->pending;
  const std::size_t stop = std::min(names.size(), node->pendingAt + kInsertSlice);
  const QModelIndex parentIndex = indexOf(node);
  // Walk the sorted names against the children shown; insert each run of new names at once.
  std::size_t& row = node->mergeRow;
  std::size_t& i = node->pendingAt;
  while (i < stop) {
    while (row < node->children.size() && node->children[row]->name < names[i]) ++row;
    if (row < node->children.size() && node->children[row]->name == names[i]) {
      ++row;
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < stop && (row >= node->children.size() || names[end] < node->children[row]->name)) {
      ++end;
    }
    const int first = static_cast<int>(row);
    const int last = first + static_cast<int>(end - i) - 1;
    beginInsertRows(parentIndex, first, last);
    std::vector<std::unique_ptr<Node>> fresh;
    fresh.reserve(end - i);
    for (std::size_t k = i; k < end; ++k) {
      auto n = std::make_unique<Node>();
      n->name = names[k];
      n->path = JoinPath(node->path, names[k]);
      n->parent = node;
      fresh.push_back(std::move(n));
    }
    node->children.insert(node->children.begin() + static_cast<std::ptrdiff_t>(row),
                          std::make_move_iterator(fresh.begin()),
                          std::make_move_iterator(fresh.end()));
    node->renumberFrom(row);
    endInsertRows();
    row += end - i;
    i = end;
  }
  if (i < names.size()) return false;
  node->pending.clear();
  node->pending.shrink_to_fit();
  node->listed = true;
  if (node->children.empty()) {
    // The expand mark goes away.
    emit dataChanged(parentIndex, parentIndex);
  }
  emit listedDirectory(parentIndex);
  return true;
}

}  // namespace toravin
