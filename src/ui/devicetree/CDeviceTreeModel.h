#pragma once

#include <QAbstractItemModel>
#include <QString>

#include <map>
#include <memory>
#include <set>
#include <vector>

class CDeviceTreeCtrlCallback;

// The device tree's nodes and the item model the view shows them through. Labels are not
// stored in the items: they are read from the nodes (and, for door and input cameras, from the
// owner) each time the view asks, so a rename needs only a repaint.
//
// Nodes change at once; new nodes reach the view only when the owner calls ShowNewNodes (once
// per frame), as runs of inserted rows, so that a burst of site messages costs the view one
// layout. Until then a new node has no index. Removals and renames of shown nodes reach the
// view at once.
class CDeviceTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    // One tree item. Children are kept in ascending key order (CompareNodes) and found by
    // binary search; host nodes keep the order the owner gave them and are found by id.
    struct tagNode
    {
        int level = 0;           // 0 host, 1 category, 2 group, 3 controller or source,
                                 // 4 door, input or source camera, 5 door or input camera
        int kind = 0;            // 0 for a host, else the category the node lies under (1, 2, 3)
        qint32 id = 0;           // key among its siblings
        QString name;            // label of levels 0 to 4
        QString toolTip;         // a host's: why it is not connected
        quint32 cameraValue = 0; // level 5: direction, source id (15 bits), camera number
        qint32 cameraDvrId = -1; // level 5: the whole source id, which the value cuts to 15 bits
        int image = -1;
        int labelWidth = -1;          // the label's width as the view last measured it; -1: not yet
        bool expandWhenShown = false; // the view expands it when it gets its index
        tagNode* parent = nullptr;
        std::vector<std::unique_ptr<tagNode>> children;
        // As the view knows them: whether it has been shown, its row among its parent's shown
        // children, and the shown children (in the children's order).
        bool shown = false;
        int row = 0;
        std::vector<tagNode*> shownChildren;

        // The child with that key among sorted children, or null.
        tagNode* Child(qint32 key) const;
        // This node or its ancestor at the given level, or null.
        const tagNode* Ancestor(int atLevel) const;
        // Camera of a level-5 node, decoded.
        qint32 Direction() const;
        qint32 DvrId() const { return cameraDvrId; }
        qint32 Camera() const;
    };

    enum Role
    {
        ImageRole = Qt::UserRole + 1, // the node's image index
    };

    explicit CDeviceTreeModel(QObject* parent = nullptr);
    ~CDeviceTreeModel() override;

    // Ascending key order. A plain comparison: a 32-bit difference would overflow for keys far
    // apart (door keys are negative, input keys positive).
    static int CompareNodes(const tagNode& first, const tagNode& second);

    void setCallback(CDeviceTreeCtrlCallback* callback) { m_callback = callback; }

    tagNode* HostNode(qint32 hostId) const;
    // A new host node goes to the end of the top level; any other node to its sorted place.
    tagNode& AddHostNode(qint32 hostId);
    tagNode& AddNode(tagNode& parent, int level, int kind, qint32 id);
    // Moves the node with its subtree to its sorted place under another parent, which must not
    // have a child with the node's key.
    void MoveNode(tagNode& node, tagNode& newParent);
    // Removes the node with its subtree.
    void RemoveNode(tagNode& node);
    // Removes every child of the node, with their subtrees.
    void RemoveChildren(tagNode& node);
    // Sorts the top level (CompareNodes); nothing below changes.
    void SortHostNodes();
    // Gives the view the nodes added since the last call; then every node has an index.
    void ShowNewNodes();

    void SetName(tagNode& node, const QString& name);
    void SetToolTip(tagNode& node, const QString& toolTip);
    void SetImage(tagNode& node, int image);
    void SetCamera(tagNode& node, qint32 dvrId, qint32 camera, qint32 direction);

    QString Label(const tagNode& node) const;
    tagNode* NodeAt(const QModelIndex& index) const;
    // Invalid for a node the view has not been given yet.
    QModelIndex IndexOf(const tagNode* node) const;
    // Every host node, in display order.
    const std::vector<std::unique_ptr<tagNode>>& HostNodes() const { return m_root.children; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // New nodes wait for ShowNewNodes.
    void newNodesWaiting();

private:
    void Inserted(tagNode& parent, tagNode& node);
    // Removes children first to last (indexes into children) with their subtrees.
    void Remove(tagNode& parent, size_t first, size_t last);
    void ShowChildren(tagNode& parent);
    static void ShowSubtree(tagNode& node);
    static void HideSubtree(tagNode& node);
    void ForgetSubtree(const tagNode& node);
    static void Renumber(tagNode& parent, int from);
    void Changed(tagNode& node, int role);

    tagNode m_root; // level -1; its children are the host nodes
    std::map<qint32, tagNode*> m_hosts;
    std::set<tagNode*> m_waiting; // shown nodes with children not shown yet
    CDeviceTreeCtrlCallback* m_callback = nullptr;
};
