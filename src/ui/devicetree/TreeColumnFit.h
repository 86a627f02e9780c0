#pragma once

#include "ui/devicetree/CDeviceTreeModel.h"

#include <QObject>
#include <QTimer>

#include <vector>

class QTreeView;

// Keeps the tree's only column as wide as its widest shown row, or as the view when that is
// wider, so that long labels scroll sideways. Only new or renamed labels are measured, each
// once (the width is kept in its node), once the turn of the event loop that changed them is
// over; rows that go away or fold away make it look again at the kept widths of every shown
// row. (Asking the view for the column's size hint lays out and measures every row instead.)
class TreeColumnFit : public QObject
{
    Q_OBJECT

public:
    TreeColumnFit(QTreeView& view, CDeviceTreeModel& model);

    // Sets the column's width from what changed since the last call.
    void Fit();
    // The view's width changed: the column follows it.
    void ViewResized();
    // The font or the style changed: every label is measured again.
    void MeasureAgain();

private:
    using tagNode = CDeviceTreeModel::tagNode;

    void Added(const QModelIndex& parent, int first, int last);
    void Relabelled(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                    const QList<int>& roles);
    void Unfolded(const QModelIndex& index);
    void LookAtEveryRow();
    bool IsShown(const tagNode& node) const;
    bool IsUnfolded(const tagNode& node) const;
    // The widest row among node and the shown rows below it.
    int WidestFrom(tagNode& node);
    int RowWidth(tagNode& node);

    void Request();

    QTreeView& m_view;
    CDeviceTreeModel& m_model;
    QTimer m_afterTurn;
    std::vector<tagNode*> m_changed; // rows to measure; cleared when any row goes
    bool m_everyRow = true;
    int m_widest = 0;
    int m_overhead = -1; // a row's width beyond its indentation and its label's text
};
