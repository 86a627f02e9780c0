#include "ui/devicetree/TreeColumnFit.h"

#include <QHeaderView>
#include <QTreeView>

#include <algorithm>

TreeColumnFit::TreeColumnFit(QTreeView& view, CDeviceTreeModel& model)
    : QObject(&view), m_view(view), m_model(model)
{
    m_afterTurn.setSingleShot(true);
    m_afterTurn.setInterval(0);
    connect(&m_afterTurn, &QTimer::timeout, this, &TreeColumnFit::Fit);
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, &TreeColumnFit::Added);
    connect(&m_model, &QAbstractItemModel::dataChanged, this, &TreeColumnFit::Relabelled);
    connect(&m_view, &QTreeView::expanded, this, &TreeColumnFit::Unfolded);
    connect(&m_model, &QAbstractItemModel::rowsRemoved, this, &TreeColumnFit::LookAtEveryRow);
    connect(&m_model, &QAbstractItemModel::rowsMoved, this, &TreeColumnFit::LookAtEveryRow);
    connect(&m_model, &QAbstractItemModel::layoutChanged, this, &TreeColumnFit::LookAtEveryRow);
    connect(&m_model, &QAbstractItemModel::modelReset, this, &TreeColumnFit::LookAtEveryRow);
    connect(&m_view, &QTreeView::collapsed, this, &TreeColumnFit::LookAtEveryRow);
}

void TreeColumnFit::Added(const QModelIndex& parent, int first, int last)
{
    for (int row = first; row <= last; ++row)
        m_changed.push_back(m_model.NodeAt(m_model.index(row, 0, parent)));
    Request();
}

void TreeColumnFit::Relabelled(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                               const QList<int>& roles)
{
    if (!roles.isEmpty() && !roles.contains(Qt::DisplayRole))
        return;
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row)
        m_changed.push_back(m_model.NodeAt(topLeft.siblingAtRow(row)));
    Request();
}

void TreeColumnFit::Unfolded(const QModelIndex& index)
{
    m_changed.push_back(m_model.NodeAt(index));
    Request();
}

void TreeColumnFit::LookAtEveryRow()
{
    // Rows may have gone: the nodes noted so far may be gone with them.
    m_changed.clear();
    m_everyRow = true;
    Request();
}

void TreeColumnFit::ViewResized()
{
    Request();
}

void TreeColumnFit::Request()
{
    if (!m_afterTurn.isActive())
        m_afterTurn.start();
}

void TreeColumnFit::MeasureAgain()
{
    std::vector<tagNode*> pending;
    for (const auto& host : m_model.HostNodes())
        pending.push_back(host.get());
    while (!pending.empty()) {
        tagNode* node = pending.back();
        pending.pop_back();
        node->labelWidth = -1;
        for (const auto& child : node->children)
            pending.push_back(child.get());
    }
    m_overhead = -1;
    LookAtEveryRow();
}

void TreeColumnFit::Fit()
{
    m_afterTurn.stop();
    if (m_everyRow) {
        m_widest = 0;
        for (const auto& host : m_model.HostNodes()) {
            if (host->shown)
                m_widest = std::max(m_widest, WidestFrom(*host));
        }
        m_everyRow = false;
    } else {
        for (tagNode* node : m_changed) {
            if (node && node->shown && IsShown(*node))
                m_widest = std::max(m_widest, WidestFrom(*node));
        }
    }
    m_changed.clear();
    const int width = std::max(m_widest, m_view.viewport()->width());
    if (m_view.header()->sectionSize(0) != width)
        m_view.header()->resizeSection(0, width);
}

bool TreeColumnFit::IsUnfolded(const tagNode& node) const
{
    return m_view.isExpanded(m_model.IndexOf(&node));
}

bool TreeColumnFit::IsShown(const tagNode& node) const
{
    for (const tagNode* above = node.parent; above && above->level >= 0; above = above->parent) {
        if (!IsUnfolded(*above))
            return false;
    }
    return true;
}

int TreeColumnFit::WidestFrom(tagNode& node)
{
    int widest = RowWidth(node);
    if (!node.shownChildren.empty() && IsUnfolded(node)) {
        for (tagNode* child : node.shownChildren)
            widest = std::max(widest, WidestFrom(*child));
    }
    return widest;
}

int TreeColumnFit::RowWidth(tagNode& node)
{
    if (node.labelWidth < 0)
        node.labelWidth = m_view.fontMetrics().horizontalAdvance(m_model.Label(node));
    if (m_overhead < 0) // picture and margins, the same for every row
        m_overhead = m_view.sizeHintForIndex(m_model.IndexOf(&node)).width() - node.labelWidth;
    const int depth = node.level + (m_view.rootIsDecorated() ? 1 : 0);
    return m_view.indentation() * depth + m_overhead + node.labelWidth;
}
