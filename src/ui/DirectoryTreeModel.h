// The directory tree of the directory-change dialog: one drive's directories as a lazily filled
// item model. A directory's subdirectories are read only when it is expanded (or revealed as the
// current directory), a slice of entries per turn of the event loop, and then inserted in sorted
// order, a slice of rows per turn; the path to the current directory is shown before any of its
// parents has been read.
#pragma once

#include <QAbstractItemModel>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "main/DirectoryReader.h"

namespace toravin {

class DirectoryTreeModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  // Rows inserted per turn of the event loop.
  static constexpr std::size_t kInsertSlice = 4096;

  explicit DirectoryTreeModel(QObject* parent = nullptr);
  ~DirectoryTreeModel() override;

  // Shows the tree of the drive `root` (native path); forgets everything shown before.
  void setRoot(const std::string& root);
  const std::string& root() const { return m_rootPath; }
  // The item of `path` (below the root), with its ancestors, created without reading any of
  // them; its own listing starts. An invalid index for a path outside the root.
  QModelIndex reveal(const std::string& path);
  // The native path of an item.
  std::string pathOf(const QModelIndex& index) const;
  // Directories being read.
  int pendingReads() const { return static_cast<int>(m_reading.size()); }
  // Whether the item's subdirectories have been read.
  bool listed(const QModelIndex& index) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& = {}) const override { return 1; }
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 signals:
  // A directory's listing has been inserted.
  void listedDirectory(const QModelIndex& index);

 private:
  struct Node;
  Node* nodeOf(const QModelIndex& index) const;
  QModelIndex indexOf(Node* node) const;
  void startReading(Node* node);
  void step();
  // Inserts the next slice of a read listing; true when all of it is in.
  bool insertSome(Node* node);

  std::unique_ptr<Node> m_root;  // an invisible parent of the drive's item
  std::string m_rootPath;
  std::vector<Node*> m_reading;
  QTimer m_timer;
};

}  // namespace toravin
