#include "ui/devicetree/CDeviceTreeModel.h"

#include "ui/devicetree/CDeviceTreeCtrlCallback.h"
#include "ui/devicetree/NodeKeys.h"
#include "ui/devicetree/TreeImages.h"

#include <algorithm>

using tagNode = CDeviceTreeModel::tagNode;

namespace {
bool KeyLess(const std::unique_ptr<tagNode>& node, qint32 key)
{
    return node->id < key;
}
} // namespace

tagNode* tagNode::Child(qint32 key) const
{
    const auto it = std::lower_bound(children.begin(), children.end(), key, KeyLess);
    return it != children.end() && (*it)->id == key ? it->get() : nullptr;
}

const tagNode* tagNode::Ancestor(int atLevel) const
{
    const tagNode* node = this;
    while (node && node->level > atLevel)
        node = node->parent;
    return node && node->level == atLevel ? node : nullptr;
}

qint32 tagNode::Direction() const
{
    return NodeKeys::CameraDirection(cameraValue);
}

qint32 tagNode::Camera() const
{
    return NodeKeys::CameraNumber(cameraValue);
}

CDeviceTreeModel::CDeviceTreeModel(QObject* parent) : QAbstractItemModel(parent)
{
    m_root.level = -1;
}

CDeviceTreeModel::~CDeviceTreeModel() = default;

int CDeviceTreeModel::CompareNodes(const tagNode& first, const tagNode& second)
{
    return first.id < second.id ? -1 : (first.id > second.id ? 1 : 0);
}

tagNode* CDeviceTreeModel::HostNode(qint32 hostId) const
{
    const auto it = m_hosts.find(hostId);
    return it == m_hosts.end() ? nullptr : it->second;
}

tagNode& CDeviceTreeModel::AddHostNode(qint32 hostId)
{
    if (tagNode* existing = HostNode(hostId))
        return *existing;
    const int row = int(m_root.children.size());
    beginInsertRows({}, row, row);
    auto node = std::make_unique<tagNode>();
    node->id = hostId;
    node->parent = &m_root;
    node->row = row;
    tagNode& added = *node;
    m_root.children.push_back(std::move(node));
    m_hosts[hostId] = &added;
    endInsertRows();
    return added;
}

tagNode& CDeviceTreeModel::AddNode(tagNode& parent, int level, int kind, qint32 id)
{
    if (tagNode* existing = parent.Child(id))
        return *existing;
    auto& siblings = parent.children;
    const auto at = std::lower_bound(siblings.begin(), siblings.end(), id, KeyLess);
    const int row = int(at - siblings.begin());
    beginInsertRows(IndexOf(&parent), row, row);
    auto node = std::make_unique<tagNode>();
    node->level = level;
    node->kind = kind;
    node->id = id;
    node->parent = &parent;
    tagNode& added = *node;
    siblings.insert(at, std::move(node));
    Renumber(parent, row);
    endInsertRows();
    return added;
}

void CDeviceTreeModel::MoveNode(tagNode& node, tagNode& newParent)
{
    tagNode& oldParent = *node.parent;
    if (&oldParent == &newParent || newParent.Child(node.id))
        return;
    auto& siblings = newParent.children;
    const int to = int(std::lower_bound(siblings.begin(), siblings.end(), node.id, KeyLess) -
                       siblings.begin());
    const int from = node.row;
    if (!beginMoveRows(IndexOf(&oldParent), from, from, IndexOf(&newParent), to))
        return;
    std::unique_ptr<tagNode> owned = std::move(oldParent.children[size_t(from)]);
    oldParent.children.erase(oldParent.children.begin() + from);
    Renumber(oldParent, from);
    siblings.insert(siblings.begin() + to, std::move(owned));
    node.parent = &newParent;
    Renumber(newParent, to);
    endMoveRows();
}

void CDeviceTreeModel::RemoveNode(tagNode& node)
{
    RemoveChildren(*node.parent, node.row, node.row);
}

void CDeviceTreeModel::RemoveChildren(tagNode& node, int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, int(node.children.size()) - 1);
    if (first > last)
        return;
    beginRemoveRows(IndexOf(&node), first, last);
    if (&node == &m_root)
        ForgetHosts(node, first, last);
    node.children.erase(node.children.begin() + first, node.children.begin() + last + 1);
    Renumber(node, first);
    endRemoveRows();
}

void CDeviceTreeModel::ForgetHosts(const tagNode& parent, int first, int last)
{
    for (int row = first; row <= last; ++row)
        m_hosts.erase(parent.children[size_t(row)]->id);
}

void CDeviceTreeModel::SortHostNodes()
{
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::stable_sort(m_root.children.begin(), m_root.children.end(),
                     [](const std::unique_ptr<tagNode>& a, const std::unique_ptr<tagNode>& b) {
                         return CompareNodes(*a, *b) < 0;
                     });
    Renumber(m_root, 0);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        const tagNode* node = NodeAt(index);
        after.append(node ? createIndex(node->row, index.column(), node) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CDeviceTreeModel::Renumber(tagNode& parent, int from)
{
    for (size_t row = size_t(from); row < parent.children.size(); ++row)
        parent.children[row]->row = int(row);
}

void CDeviceTreeModel::SetName(tagNode& node, const QString& name)
{
    if (node.name == name)
        return;
    node.name = name;
    Changed(node, Qt::DisplayRole);
}

void CDeviceTreeModel::SetImage(tagNode& node, int image)
{
    if (node.image == image)
        return;
    node.image = image;
    Changed(node, Qt::DecorationRole);
}

void CDeviceTreeModel::SetCamera(tagNode& node, qint32 dvrId, qint32 camera, qint32 direction)
{
    const quint32 value = NodeKeys::CameraValue(dvrId, camera, direction);
    if (node.cameraValue == value && node.cameraDvrId == dvrId)
        return;
    node.cameraValue = value;
    node.cameraDvrId = dvrId;
    Changed(node, Qt::DisplayRole);
}

void CDeviceTreeModel::Changed(tagNode& node, int role)
{
    const QModelIndex index = IndexOf(&node);
    Q_EMIT dataChanged(index, index, {role});
}

QString CDeviceTreeModel::Label(const tagNode& node) const
{
    if (node.level != 5)
        return node.name;
    const tagNode* host = node.Ancestor(0);
    const tagNode* group = node.Ancestor(2);
    if (!m_callback || !host || !group)
        return {};
    return m_callback->GetCameraLabel(host->id, group->id, node.DvrId(), node.Camera());
}

tagNode* CDeviceTreeModel::NodeAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<tagNode*>(index.internalPointer());
}

QModelIndex CDeviceTreeModel::IndexOf(const tagNode* node) const
{
    if (!node || node == &m_root)
        return {};
    return createIndex(node->row, 0, node);
}

QModelIndex CDeviceTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || (parent.isValid() && parent.column() != 0))
        return {};
    const tagNode* owner = parent.isValid() ? NodeAt(parent) : &m_root;
    if (!owner || row < 0 || row >= int(owner->children.size()))
        return {};
    return createIndex(row, 0, owner->children[size_t(row)].get());
}

QModelIndex CDeviceTreeModel::parent(const QModelIndex& child) const
{
    const tagNode* node = NodeAt(child);
    return node ? IndexOf(node->parent) : QModelIndex();
}

int CDeviceTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const tagNode* owner = parent.isValid() ? NodeAt(parent) : &m_root;
    return owner ? int(owner->children.size()) : 0;
}

int CDeviceTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant CDeviceTreeModel::data(const QModelIndex& index, int role) const
{
    const tagNode* node = NodeAt(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return Label(*node);
    case Qt::DecorationRole:
        return TreeImages::Icon(node->image);
    case ImageRole:
        return node->image;
    default:
        return {};
    }
}
