// The folder tree (TreeView1's data): the drives present at start-up and,
// below each, its folders, read the first time a node is opened. Runs
// without a view; the main window's tree view shows it.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main/folder_listing.h"
#include "platform/win32.h"

namespace tidebell {

// Indices into the tree's picture list.
enum TreeImageIndex {
    tiRemovable = 0,
    tiFixed = 1,
    tiRemote = 2,
    tiCdrom = 3,
    tiRamDisk = 4,
    tiFolder = 4,
    tiOpenFolder = 5,
};

class TFolderTreeModel : public QAbstractItemModel {
public:
    // The node's image number (int, -1 for none) and the one it shows while
    // selected.
    static constexpr int ImageIndexRole = Qt::UserRole;
    static constexpr int SelectedImageIndexRole = Qt::UserRole + 1;

    explicit TFolderTreeModel(QObject* parent = nullptr);
    ~TFolderTreeModel() override;

    // The six pictures, in TreeImageIndex order; nodes show none without them.
    void setImages(std::function<QIcon(int index)> images);

    // Adds a node for every drive A: to Z: that the platform knows.
    void TreeViewInitExecute();

    // Opens a node: reads its folders on first use. 0 or 18 when the node
    // may open (read now or before); the platform's error number when it
    // may not, and the node stays unread. The reading made, if any, goes to
    // `read`.
    DWORD openNode(const QModelIndex& node, std::shared_ptr<const FolderListing>* read = nullptr);
    // Whether the node still carries its placeholder (folders not read yet).
    bool isUnread(const QModelIndex& node) const;

    // Adds the sub-folders of the listing as children of `parent` (a node
    // without children yet), each with a placeholder, sorted with the
    // platform's word sort. Answers the listing's last result.
    DWORD AddSubFolders(const FolderListing& folders, const QModelIndex& parent);

    // The folder a node stands for, "C:\a\b\" (bytes in the ANSI code page).
    std::string NodePath(const QModelIndex& node) const;
    // The node's text as stored (bytes in the ANSI code page).
    std::string nodeText(const QModelIndex& node) const;

    // Walks the tree along a path as GetCurrentDirectoryA gives it, opening
    // each node on the way with `open` (false: it stayed closed). Answers
    // the node of the last segment, or an invalid index.
    using OpenNode = std::function<bool(const QModelIndex& node)>;
    QModelIndex FindNodeByPath(const std::string& path, const OpenNode& open);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Node;
    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOf(Node* node) const;
    QIcon iconOf(const Node& node) const;

    std::unique_ptr<Node> m_root;
    std::function<QIcon(int)> m_images;
    // A folder's icon shows the open picture while selected; built once.
    mutable QIcon m_folderIcon;
};

// The text of a drive node: "label(C:)", or, when a non-removable drive has
// no label, a name for its kind in front of "(C:)".
std::string driveNodeText(UINT driveType, const std::string& label, char letter);

}  // namespace tidebell
