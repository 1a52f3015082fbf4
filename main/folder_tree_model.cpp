#include "main/folder_tree_model.h"

#include <algorithm>

namespace tidebell {

// ---- Nodes ----

struct TFolderTreeModel::Node {
    std::string text;
    int image = -1;
    int selectedImage = -1;
    bool unread = false;  // carries the placeholder child
    bool drive = false;
    Node* parent = nullptr;
    int row = 0;
    std::vector<std::unique_ptr<Node>> children;

    // A new unread node (it carries its placeholder) under `parent`.
    static std::unique_ptr<Node> make(std::string text, int image, int selectedImage, Node* parent)
    {
        auto node = std::make_unique<Node>();
        node->text = std::move(text);
        node->image = image;
        node->selectedImage = selectedImage;
        node->unread = true;
        node->parent = parent;
        return node;
    }
};

namespace {

int imageOfDriveType(UINT type)
{
    switch (type) {
    case DRIVE_REMOVABLE:
        return tiRemovable;
    case DRIVE_FIXED:
        return tiFixed;
    case DRIVE_REMOTE:
        return tiRemote;
    case DRIVE_CDROM:
        return tiCdrom;
    default:
        return tiRamDisk;
    }
}

// The drive part of a drive node's text: the two characters before its last.
std::string drivePart(const std::string& text)
{
    return text.size() >= 3 ? text.substr(text.size() - 3, 2) : std::string();
}

}  // namespace

std::string driveNodeText(UINT driveType, const std::string& label, char letter)
{
    const std::string drive = std::string(1, letter) + ":";
    if (!label.empty() || driveType == DRIVE_REMOVABLE) {
        return label + "(" + drive + ")";
    }
    switch (driveType) {
    case DRIVE_REMOTE:
        return "ネットワーク ドライブ (" + drive + ")";
    case DRIVE_CDROM:
        return "CD-ROM ドライブ (" + drive + ")";
    case DRIVE_RAMDISK:
        return "RAM ディスク (" + drive + ")";
    default:
        return "ローカル ディスク (" + drive + ")";
    }
}

// ---- TFolderTreeModel ----

TFolderTreeModel::TFolderTreeModel(QObject* parent) : QAbstractItemModel(parent), m_root(std::make_unique<Node>()) {}

TFolderTreeModel::~TFolderTreeModel() = default;

void TFolderTreeModel::setImages(std::function<QIcon(int index)> images)
{
    m_images = std::move(images);
    m_folderIcon = QIcon();
}

void TFolderTreeModel::TreeViewInitExecute()
{
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const char root[] = {letter, ':', '\\', '\0'};
        const UINT type = GetDriveTypeA(root);
        if (type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR) {
            continue;
        }
        // Removable drives are not touched: asking for a label could spin
        // up a drive or wait for a medium.
        std::string label;
        if (type != DRIVE_REMOVABLE) {
            char buffer[257] = {};
            GetVolumeInformationA(root, buffer, 256, nullptr, nullptr, nullptr, nullptr, 0);
            label = buffer;
        }
        const int row = static_cast<int>(m_root->children.size());
        beginInsertRows(QModelIndex(), row, row);
        const int image = imageOfDriveType(type);
        auto drive = Node::make(driveNodeText(type, label, letter), image, image, m_root.get());
        drive->drive = true;
        drive->row = row;
        m_root->children.push_back(std::move(drive));
        endInsertRows();
    }
}

bool TFolderTreeModel::isUnread(const QModelIndex& node) const
{
    const Node* n = nodeOf(node);
    return n && n->unread;
}

DWORD TFolderTreeModel::openNode(const QModelIndex& node, std::shared_ptr<const FolderListing>* read)
{
    Node* n = nodeOf(node);
    if (!n || !n->unread) {
        return 0;
    }
    // One reading serves as the probe and as the listing: a folder that
    // cannot be opened leaves the node as it was.
    auto folders = std::make_shared<const FolderListing>(NodePath(node));
    if (!folders->started() && folders->result() != ERROR_NO_MORE_FILES) {
        return folders->result();
    }
    if (read) {
        *read = folders;
    }
    n->unread = false;
    const DWORD result = AddSubFolders(*folders, node);
    if (n->children.empty()) {
        // No expand button any more.
        emit dataChanged(node, node);
    }
    return result;
}

DWORD TFolderTreeModel::AddSubFolders(const FolderListing& folders, const QModelIndex& parent)
{
    Node* p = nodeOf(parent);
    if (!p) {
        return folders.result();
    }
    if (!p->children.empty()) {
        // Only an unread node is filled; its folders are read once.
        return folders.result();
    }
    std::vector<std::string> names;
    for (const FolderEntry& entry : folders.entries()) {
        if (entry.isFolder() && entry.name != "." && entry.name != "..") {
            names.push_back(entry.name);
        }
    }
    if (!names.empty()) {
        // The children are sorted as a whole with the platform's word sort;
        // the view hears of them once, in their final order.
        std::vector<std::unique_ptr<Node>> all;
        all.reserve(names.size());
        for (std::string& name : names) {
            all.push_back(Node::make(std::move(name), tiFolder, tiOpenFolder, p));
        }
        std::stable_sort(all.begin(), all.end(),
                         [](const auto& a, const auto& b) { return lstrcmpA(a->text.c_str(), b->text.c_str()) < 0; });
        beginInsertRows(parent, 0, static_cast<int>(all.size()) - 1);
        p->children = std::move(all);
        for (size_t i = 0; i < p->children.size(); ++i) {
            p->children[i]->row = static_cast<int>(i);
        }
        endInsertRows();
    }
    return folders.result();
}

std::string TFolderTreeModel::nodeText(const QModelIndex& node) const
{
    const Node* n = nodeOf(node);
    return n ? n->text : std::string();
}

std::string TFolderTreeModel::NodePath(const QModelIndex& node) const
{
    std::vector<const Node*> chain;
    for (const Node* n = nodeOf(node); n && n != m_root.get(); n = n->parent) {
        chain.push_back(n);
    }
    if (chain.empty()) {
        return {};
    }
    std::string path = drivePart(chain.back()->text) + "\\";
    for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) {
        path += (*it)->text + "\\";
    }
    return path;
}

QModelIndex TFolderTreeModel::FindNodeByPath(const std::string& path, const OpenNode& open)
{
    // The siblings from `current` on, compared with `segment`; the first
    // match is opened.
    auto match = [&](Node* current, const std::string& segment) -> Node* {
        if (!current) {
            return nullptr;
        }
        const Node* parent = current->parent;
        for (size_t i = static_cast<size_t>(current->row); i < parent->children.size(); ++i) {
            Node* sibling = parent->children[i].get();
            const std::string& name = sibling->drive ? drivePart(sibling->text) : sibling->text;
            if (name == segment) {
                open(indexOf(sibling));
                return sibling;
            }
        }
        return nullptr;
    };

    Node* current = m_root->children.empty() ? nullptr : m_root->children.front().get();
    std::string segment;
    for (char c : path) {
        if (c != '\\') {
            segment += c;
            continue;
        }
        if (current) {
            Node* found = match(current, segment);
            current = found && !found->children.empty() ? found->children.front().get() : nullptr;
        }
        segment.clear();
    }
    if (segment.empty()) {
        return {};
    }
    Node* found = match(current, segment);
    return found ? indexOf(found) : QModelIndex();
}

// ---- Model interface ----

TFolderTreeModel::Node* TFolderTreeModel::nodeOf(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this) {
        return nullptr;
    }
    return static_cast<Node*>(index.internalPointer());
}

QModelIndex TFolderTreeModel::indexOf(Node* node) const
{
    if (!node || node == m_root.get()) {
        return {};
    }
    return createIndex(node->row, 0, node);
}

QModelIndex TFolderTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    const Node* p = parent.isValid() ? nodeOf(parent) : m_root.get();
    if (!p || column != 0 || row < 0 || row >= static_cast<int>(p->children.size())) {
        return {};
    }
    return createIndex(row, 0, p->children[static_cast<size_t>(row)].get());
}

QModelIndex TFolderTreeModel::parent(const QModelIndex& child) const
{
    const Node* n = nodeOf(child);
    return n ? indexOf(n->parent) : QModelIndex();
}

int TFolderTreeModel::rowCount(const QModelIndex& parent) const
{
    const Node* p = parent.isValid() ? nodeOf(parent) : m_root.get();
    return p ? static_cast<int>(p->children.size()) : 0;
}

int TFolderTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool TFolderTreeModel::hasChildren(const QModelIndex& parent) const
{
    const Node* p = parent.isValid() ? nodeOf(parent) : m_root.get();
    // An unread node shows an expand button although no row is there yet.
    return p && (p->unread || !p->children.empty());
}

QIcon TFolderTreeModel::iconOf(const Node& node) const
{
    if (!m_images || node.image < 0) {
        return {};
    }
    if (node.selectedImage == node.image) {
        return m_images(node.image);
    }
    if (m_folderIcon.isNull()) {
        // Item views draw an icon's Selected mode for the selected row.
        const QIcon closed = m_images(node.image);
        const QIcon opened = m_images(node.selectedImage);
        QList<QSize> sizes = closed.availableSizes();
        if (sizes.isEmpty()) {
            sizes = {QSize(16, 16)};  // an icon drawn at any size
        }
        for (const QSize& size : sizes) {
            m_folderIcon.addPixmap(closed.pixmap(size), QIcon::Normal);
            m_folderIcon.addPixmap(opened.pixmap(size), QIcon::Selected);
        }
        if (m_folderIcon.isNull()) {
            m_folderIcon = closed;
        }
    }
    return m_folderIcon;
}

QVariant TFolderTreeModel::data(const QModelIndex& index, int role) const
{
    const Node* n = nodeOf(index);
    if (!n) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromUtf8(n->text.data(), static_cast<qsizetype>(n->text.size()));
    case Qt::DecorationRole:
        return iconOf(*n);
    case ImageIndexRole:
        return n->image;
    case SelectedImageIndexRole:
        return n->selectedImage;
    default:
        return {};
    }
}

Qt::ItemFlags TFolderTreeModel::flags(const QModelIndex& index) const
{
    if (!nodeOf(index)) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace tidebell
