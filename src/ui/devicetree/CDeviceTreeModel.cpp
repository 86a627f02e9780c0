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
    m_root.shown = true;
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
    auto node = std::make_unique<tagNode>();
    node->id = hostId;
    tagNode& added = *node;
    m_root.children.push_back(std::move(node));
    m_hosts[hostId] = &added;
    Inserted(m_root, added);
    return added;
}

tagNode& CDeviceTreeModel::AddNode(tagNode& parent, int level, int kind, qint32 id)
{
    if (tagNode* existing = parent.Child(id))
        return *existing;
    auto& siblings = parent.children;
    const auto at = std::lower_bound(siblings.begin(), siblings.end(), id, KeyLess);
    auto node = std::make_unique<tagNode>();
    node->level = level;
    node->kind = kind;
    node->id = id;
    tagNode& added = *node;
    siblings.insert(at, std::move(node));
    Inserted(parent, added);
    return added;
}

void CDeviceTreeModel::Inserted(tagNode& parent, tagNode& node)
{
    node.parent = &parent;
    // Under a node the view does not know yet, it comes with its parent.
    if (parent.shown && m_waiting.insert(&parent).second && m_waiting.size() == 1)
        Q_EMIT newNodesWaiting();
}

void CDeviceTreeModel::ShowNewNodes()
{
    // Parents first: a parent shown here takes its whole subtree along.
    std::vector<tagNode*> waiting(m_waiting.begin(), m_waiting.end());
    m_waiting.clear();
    std::sort(waiting.begin(), waiting.end(),
              [](const tagNode* a, const tagNode* b) { return a->level < b->level; });
    for (tagNode* parent : waiting)
        if (parent->shown)
            ShowChildren(*parent);
}

void CDeviceTreeModel::ShowChildren(tagNode& parent)
{
    // The shown children are a subsequence of the children: the others go in between, in runs.
    int row = 0;
    for (size_t first = 0; first < parent.children.size();) {
        if (parent.children[first]->shown) {
            ++first;
            ++row;
            continue;
        }
        size_t end = first;
        while (end < parent.children.size() && !parent.children[end]->shown)
            ++end;
        const int count = int(end - first);
        beginInsertRows(IndexOf(&parent), row, row + count - 1);
        std::vector<tagNode*> run;
        for (size_t i = first; i < end; ++i) {
            ShowSubtree(*parent.children[i]);
            run.push_back(parent.children[i].get());
        }
        parent.shownChildren.insert(parent.shownChildren.begin() + row, run.begin(), run.end());
        Renumber(parent, row);
        endInsertRows();
        row += count;
        first = end;
    }
}

void CDeviceTreeModel::ShowSubtree(tagNode& node)
{
    node.shown = true;
    node.shownChildren.clear();
    for (const auto& child : node.children) {
        node.shownChildren.push_back(child.get());
        ShowSubtree(*child);
    }
    Renumber(node, 0);
}

void CDeviceTreeModel::HideSubtree(tagNode& node)
{
    node.shown = false;
    node.shownChildren.clear();
    for (const auto& child : node.children)
        HideSubtree(*child);
}

void CDeviceTreeModel::MoveNode(tagNode& node, tagNode& newParent)
{
    tagNode& oldParent = *node.parent;
    if (&oldParent == &newParent || newParent.Child(node.id))
        return;
    const auto from = std::find_if(oldParent.children.begin(), oldParent.children.end(),
                                   [&node](const auto& child) { return child.get() == &node; });
    const auto to =
        std::lower_bound(newParent.children.begin(), newParent.children.end(), node.id, KeyLess);
    if (node.shown && newParent.shown) {
        const int toRow = int(std::count_if(newParent.children.begin(), to,
                                            [](const auto& child) { return child->shown; }));
        if (!beginMoveRows(IndexOf(&oldParent), node.row, node.row, IndexOf(&newParent), toRow))
            return;
        oldParent.shownChildren.erase(oldParent.shownChildren.begin() + node.row);
        Renumber(oldParent, node.row);
        newParent.shownChildren.insert(newParent.shownChildren.begin() + toRow, &node);
        Renumber(newParent, toRow);
        newParent.children.insert(to, std::move(*from));
        oldParent.children.erase(from);
        node.parent = &newParent;
        endMoveRows();
        return;
    }
    if (node.shown) { // to a parent the view does not know: gone until that parent is shown
        beginRemoveRows(IndexOf(&oldParent), node.row, node.row);
        oldParent.shownChildren.erase(oldParent.shownChildren.begin() + node.row);
        Renumber(oldParent, node.row);
        HideSubtree(node);
        ForgetSubtree(node);
        endRemoveRows();
    }
    std::unique_ptr<tagNode> owned = std::move(*from);
    oldParent.children.erase(from);
    newParent.children.insert(
        std::lower_bound(newParent.children.begin(), newParent.children.end(), node.id, KeyLess),
        std::move(owned));
    Inserted(newParent, node);
}

void CDeviceTreeModel::RemoveNode(tagNode& node)
{
    tagNode& parent = *node.parent;
    const auto it = std::find_if(parent.children.begin(), parent.children.end(),
                                 [&node](const auto& child) { return child.get() == &node; });
    const size_t at = size_t(it - parent.children.begin());
    Remove(parent, at, at);
}

void CDeviceTreeModel::RemoveChildren(tagNode& node)
{
    if (!node.children.empty())
        Remove(node, 0, node.children.size() - 1);
}

void CDeviceTreeModel::Remove(tagNode& parent, size_t first, size_t last)
{
    // The shown ones among them are a run of the view's rows: they leave the view together.
    int firstRow = -1, lastRow = -1;
    for (size_t i = first; i <= last; ++i) {
        const tagNode& child = *parent.children[i];
        ForgetSubtree(child);
        if (child.shown) {
            firstRow = firstRow < 0 ? child.row : firstRow;
            lastRow = child.row;
        }
    }
    if (firstRow >= 0)
        beginRemoveRows(IndexOf(&parent), firstRow, lastRow);
    if (&parent == &m_root) {
        for (size_t i = first; i <= last; ++i)
            m_hosts.erase(parent.children[i]->id);
    }
    parent.children.erase(parent.children.begin() + qsizetype(first),
                          parent.children.begin() + qsizetype(last) + 1);
    if (firstRow >= 0) {
        parent.shownChildren.erase(parent.shownChildren.begin() + firstRow,
                                   parent.shownChildren.begin() + lastRow + 1);
        Renumber(parent, firstRow);
        endRemoveRows();
    }
}

void CDeviceTreeModel::ForgetSubtree(const tagNode& node)
{
    m_waiting.erase(const_cast<tagNode*>(&node));
    for (const auto& child : node.children)
        ForgetSubtree(*child);
}

void CDeviceTreeModel::SortHostNodes()
{
    ShowNewNodes(); // the view's rows are reordered below: it must know them all first
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::stable_sort(m_root.children.begin(), m_root.children.end(),
                     [](const std::unique_ptr<tagNode>& a, const std::unique_ptr<tagNode>& b) {
                         return CompareNodes(*a, *b) < 0;
                     });
    m_root.shownChildren.clear();
    for (const auto& host : m_root.children)
        m_root.shownChildren.push_back(host.get());
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
    for (size_t row = size_t(from); row < parent.shownChildren.size(); ++row)
        parent.shownChildren[row]->row = int(row);
}

void CDeviceTreeModel::SetName(tagNode& node, const QString& name)
{
    if (node.name == name)
        return;
    node.name = name;
    node.labelWidth = -1;
    Changed(node, Qt::DisplayRole);
}

void CDeviceTreeModel::SetToolTip(tagNode& node, const QString& toolTip)
{
    if (node.toolTip == toolTip)
        return;
    node.toolTip = toolTip;
    Changed(node, Qt::ToolTipRole);
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
    node.labelWidth = -1;
    Changed(node, Qt::DisplayRole);
}

void CDeviceTreeModel::Changed(tagNode& node, int role)
{
    if (!node.shown)
        return; // the view reads it when it is shown
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
    if (!node || node == &m_root || !node->shown)
        return {};
    return createIndex(node->row, 0, node);
}

QModelIndex CDeviceTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || (parent.isValid() && parent.column() != 0))
        return {};
    const tagNode* owner = parent.isValid() ? NodeAt(parent) : &m_root;
    if (!owner || row < 0 || row >= int(owner->shownChildren.size()))
        return {};
    return createIndex(row, 0, owner->shownChildren[size_t(row)]);
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
    return owner ? int(owner->shownChildren.size()) : 0;
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
    case Qt::ToolTipRole:
        return node->toolTip.isEmpty() ? QVariant() : QVariant(node->toolTip);
    case ImageRole:
        return node->image;
    default:
        return {};
    }
}
