#include "ui/devicetree/CDeviceTreeCtrl.h"

#include "i18n/StringTable.h"
#include "model/CKRHost.h"
#include "model/HostStatus.h"
#include "ui/devicetree/CDeviceTreeCtrlCallback.h"
#include "ui/devicetree/CSelectionBoxDelegate.h"
#include "ui/devicetree/NodeKeys.h"
#include "ui/devicetree/TreeImages.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPalette>
#include <QResizeEvent>

#include <array>
#include <utility>
#include <vector>

using tagNode = CDeviceTreeCtrl::tagNode;

namespace {

const char* CategoryTextKey(int kind)
{
    switch (kind) {
    case CDeviceTreeCtrl::Controllers:
        return "TAV_IDS_CONTROLLER";
    case CDeviceTreeCtrl::LicencePlateReaders:
        return "TAV_IDS_LPR";
    case CDeviceTreeCtrl::Cameras:
        return "TAV_IDS_CAMERA";
    default:
        return nullptr;
    }
}

int CategoryImage(int kind)
{
    switch (kind) {
    case CDeviceTreeCtrl::Controllers:
        return TreeImages::ControllersCategory;
    case CDeviceTreeCtrl::LicencePlateReaders:
        return TreeImages::LprCategory;
    default:
        return TreeImages::CamerasCategory;
    }
}

// True when node lies in the part of root that is deleted.
bool IsInside(const tagNode* node, const tagNode& root, bool childrenOnly)
{
    for (const tagNode* at = childrenOnly && node ? node->parent : node; at; at = at->parent) {
        if (at == &root)
            return true;
    }
    return false;
}

} // namespace

// A door or an input as its node shows it.
struct CDeviceTreeCtrl::PlaceUpdate
{
    qint32 key;
    QString name;
    int image;
    std::array<CameraAssignment, 2> cameras;
    qint32 doorId;  // -1 for an input
    qint32 inputId; // -1 for a door
};

CDeviceTreeCtrl::CDeviceTreeCtrl(CDeviceTreeCtrlCallback* callback, QWidget* parent)
    : QTreeView(parent), m_callback(callback), m_model(new CDeviceTreeModel(this)),
      m_frame([this] { RunFrame(); }), m_columnFit(*this, *m_model)
{
    m_model->setCallback(callback);
    setModel(m_model);
    setItemDelegate(new CSelectionBoxDelegate(this));
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::StrongFocus);
    // The delegate draws the selection as a box round the label; the style's own highlight
    // (whole row, branch area) would cover the rest of the row.
    QPalette plain = palette();
    plain.setColor(QPalette::Highlight, plain.color(QPalette::Base));
    plain.setColor(QPalette::HighlightedText, plain.color(QPalette::Text));
    setPalette(plain);
    // The column is as wide as the longest label (or the view), so long labels scroll
    // sideways; TreeColumnFit measures only new and renamed labels.
    header()->setStretchLastSection(false);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CDeviceTreeCtrl::ReportSelection);
    // New nodes reach the view once per frame; a hidden view gets them at once (it does no
    // layout until shown, and its owner and tests read it at once).
    connect(m_model, &CDeviceTreeModel::newNodesWaiting, this, [this] {
        if (isVisible())
            m_frame.Request();
        else
            m_model->ShowNewNodes();
    });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &CDeviceTreeCtrl::ExpandShown);
}

CDeviceTreeCtrl::~CDeviceTreeCtrl()
{
    // Nothing is reported to, or asked of, an owner that may be half destroyed.
    setCallback(nullptr);
}

void CDeviceTreeCtrl::setCallback(CDeviceTreeCtrlCallback* callback)
{
    m_callback = callback;
    m_model->setCallback(callback);
}

// ---- lookups

tagNode* CDeviceTreeCtrl::CategoryNode(int hostId, int kind) const
{
    tagNode* host = m_model->HostNode(hostId);
    return host ? host->Child(kind) : nullptr;
}

tagNode* CDeviceTreeCtrl::GroupNode(int hostId, int kind, int groupId) const
{
    tagNode* category = CategoryNode(hostId, kind);
    return category ? category->Child(groupId) : nullptr;
}

tagNode* CDeviceTreeCtrl::ControllerNode(int hostId, int groupId, int controllerId) const
{
    tagNode* group = GroupNode(hostId, Controllers, groupId);
    return group ? group->Child(controllerId) : nullptr;
}

tagNode* CDeviceTreeCtrl::PlaceNode(int hostId, int groupId, int controllerId, qint32 key) const
{
    tagNode* controller = ControllerNode(hostId, groupId, controllerId);
    return controller ? controller->Child(key) : nullptr;
}

const tagNode* CDeviceTreeCtrl::SelectedNode() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? nullptr : m_model->NodeAt(selected.first());
}

// ---- hosts, categories, groups

void CDeviceTreeCtrl::UpdateHostNode(const CKRHost& host)
{
    tagNode& node = m_model->AddHostNode(host.hostId);
    // A host that is not connected says why, in its label and in more detail in its tooltip.
    m_model->SetName(node, HostStatus::Label(host));
    m_model->SetToolTip(node, HostStatus::Details(host));
    m_model->SetImage(node,
                      host.connected ? TreeImages::HostConnected : TreeImages::HostDisconnected);
}

void CDeviceTreeCtrl::RemoveHostNode(const CKRHost& host, bool childrenOnly)
{
    if (tagNode* node = m_model->HostNode(host.hostId))
        DeleteNode(*node, childrenOnly);
}

void CDeviceTreeCtrl::SortHostNodes()
{
    m_model->SortHostNodes();
}

void CDeviceTreeCtrl::EnsureCategoryNode(const CKRHost& host, int kind)
{
    UpdateHostNode(host);
    const char* key = CategoryTextKey(kind);
    if (!key)
        return;
    tagNode& hostNode = *m_model->HostNode(host.hostId);
    if (hostNode.Child(kind))
        return; // named when it was made: no file read for every door or input update
    tagNode& category = m_model->AddNode(hostNode, 1, kind, kind);
    m_model->SetImage(category, CategoryImage(kind));
    m_model->SetName(category, CStringTable::Instance().GetText(QLatin1String(key)));
    Expand(hostNode);
}

void CDeviceTreeCtrl::EnsureGroupNode(const CKRHost& host, int kind, const CDeviceGroup& group)
{
    EnsureCategoryNode(host, kind);
    tagNode* category = CategoryNode(host.hostId, kind);
    if (!category)
        return;
    tagNode& node = m_model->AddNode(*category, 2, kind, group.groupId);
    m_model->SetImage(node, TreeImages::DeviceGroup);
    m_model->SetName(node, group.name);
    Expand(*category);
}

void CDeviceTreeCtrl::RenameGroupNodes(const CKRHost& host, const CDeviceGroup& group)
{
    for (int kind : {Controllers, LicencePlateReaders, Cameras}) {
        if (tagNode* node = GroupNode(host.hostId, kind, group.groupId))
            m_model->SetName(*node, group.name);
    }
}

// ---- controllers, doors, inputs

void CDeviceTreeCtrl::UpdateControllerNode(const CKRHost& host, const CController& controller)
{
    const CDeviceGroup* group = host.siteConfig.FindGroup(controller.deviceGroupId);
    if (!group)
        return;
    EnsureGroupNode(host, Controllers, *group);
    tagNode* groupNode = GroupNode(host.hostId, Controllers, group->groupId);
    if (!groupNode)
        return;
    // A group left without controllers goes, as when its last controller is removed.
    tagNode* left = MoveToGroup(*groupNode, controller.controllerId);
    if (left && left->children.empty())
        DeleteNode(*left, false);
    tagNode& node = m_model->AddNode(*groupNode, 3, Controllers, controller.controllerId);
    m_model->SetName(node, controller.name);
    m_model->SetImage(node, controller.type == kPanelControllerType ? TreeImages::PanelController
                            : controller.IsOnline()                 ? TreeImages::ControllerOnline
                                                    : TreeImages::ControllerOffline);
    Expand(*groupNode);
}

void CDeviceTreeCtrl::RemoveControllerNode(const CKRHost& host, const CController& controller)
{
    tagNode* node = ControllerNode(host.hostId, controller.deviceGroupId, controller.controllerId);
    if (!node)
        return;
    tagNode* group = node->parent;
    tagNode* category = group->parent;
    DeleteNode(*node, false);
    // A group without controllers, then a category without groups, goes with its last child.
    if (!group->children.empty())
        return;
    DeleteNode(*group, false);
    if (category->children.empty())
        DeleteNode(*category, false);
}

void CDeviceTreeCtrl::UpdateDoorNode(const CKRHost& host, const CController& controller,
                                     const CDoor& door)
{
    int image = door.IsOpen() ? TreeImages::DoorOpen : TreeImages::DoorClosed;
    if (controller.type == kElevatorControllerType)
        image = TreeImages::ElevatorDoor;
    else if (controller.type == kPanelControllerType)
        image = TreeImages::PanelDoor;
    UpdatePlaceNode(host, controller,
                    {NodeKeys::DoorKey(door.doorId),
                     door.name,
                     image,
                     {door.Camera(0), door.Camera(1)},
                     door.doorId,
                     -1});
}

void CDeviceTreeCtrl::UpdateInputNode(const CKRHost& host, const CController& controller,
                                      const CKRInput& input)
{
    if (controller.type == kElevatorControllerType)
        return;
    UpdatePlaceNode(host, controller,
                    {NodeKeys::InputKey(input.inputIndex),
                     input.name,
                     input.active ? TreeImages::InputActive : TreeImages::InputInactive,
                     {input.Camera(0), input.Camera(1)},
                     -1,
                     input.inputIndex});
}

void CDeviceTreeCtrl::UpdatePlaceNode(const CKRHost& host, const CController& controller,
                                      const PlaceUpdate& place)
{
    UpdateControllerNode(host, controller);
    tagNode* controllerNode =
        ControllerNode(host.hostId, controller.deviceGroupId, controller.controllerId);
    if (!controllerNode)
        return;
    tagNode& placeNode = m_model->AddNode(*controllerNode, 4, Controllers, place.key);
    m_model->SetName(placeNode, place.name);
    m_model->SetImage(placeNode, place.image);
    Expand(*controllerNode);

    // The camera shown for the selection, before and after this update.
    struct Shown
    {
        qint32 direction = -1, dvrId = -1, camera = -1;
        bool operator!=(const Shown& o) const
        {
            return direction != o.direction || dvrId != o.dvrId || camera != o.camera;
        }
    };
    const tagNode* selected = SelectedNode();
    if (selected && selected->level != 5)
        selected = nullptr;
    const Shown before =
        selected ? Shown{selected->Direction(), selected->DvrId(), selected->Camera()} : Shown{};
    Shown after = before;

    for (int direction = 0; direction < 2; ++direction) {
        const CameraAssignment& camera = place.cameras[size_t(direction)];
        const bool present = camera.dvrId >= 0 && camera.cameraNumber >= 0 && m_callback &&
                             m_callback->IsCameraValid(host.hostId, controller.deviceGroupId,
                                                       camera.dvrId, camera.cameraNumber);
        tagNode* node = placeNode.Child(direction);
        if (present) {
            if (!node) {
                node = &m_model->AddNode(placeNode, 5, Controllers, direction);
                m_model->SetImage(*node, TreeImages::Camera);
            }
            m_model->SetCamera(*node, camera.dvrId, camera.cameraNumber, direction);
            if (node == selected)
                after = {direction, node->DvrId(), node->Camera()};
        } else if (node) {
            if (node == selected) {
                after = {};
                // The selection falls back to the place; reported once, below.
                ++m_muteSelectionReports;
                DeleteNode(*node, false);
                --m_muteSelectionReports;
            } else {
                DeleteNode(*node, false);
            }
        }
    }
    Expand(placeNode);

    if (after != before && m_callback)
        m_callback->OnNodeSelected(host.hostId, controller.deviceGroupId, controller.controllerId,
                                   place.doorId, place.inputId, after.direction, after.dvrId,
                                   after.camera);
}

void CDeviceTreeCtrl::RemoveDoorNode(const CKRHost& host, const CController& controller,
                                     const CDoor& door)
{
    if (tagNode* node = PlaceNode(host.hostId, controller.deviceGroupId, controller.controllerId,
                                  NodeKeys::DoorKey(door.doorId)))
        DeleteNode(*node, false);
}

void CDeviceTreeCtrl::RemoveInputNode(const CKRHost& host, const CController& controller,
                                      const CKRInput& input)
{
    if (controller.type == kElevatorControllerType)
        return;
    if (tagNode* node = PlaceNode(host.hostId, controller.deviceGroupId, controller.controllerId,
                                  NodeKeys::InputKey(input.inputIndex)))
        DeleteNode(*node, false);
}

// ---- video sources

// A controller or source the host moved to another group takes its subtree (doors, inputs,
// cameras) along, instead of staying in the old group as well. Returns the group it left.
tagNode* CDeviceTreeCtrl::MoveToGroup(tagNode& group, qint32 id)
{
    if (group.Child(id))
        return nullptr;
    if (!group.shown)
        m_frame.Flush(); // a move the view sees keeps the selection
    for (const auto& other : group.parent->children) {
        tagNode* node = other.get() != &group ? other->Child(id) : nullptr;
        if (!node)
            continue;
        const bool selectedInside = IsInside(SelectedNode(), *node, false);
        m_model->MoveNode(*node, group);
        Expand(group);
        if (selectedInside) // the same node, on another path
            ReportSelection();
        return other.get();
    }
    return nullptr;
}

void CDeviceTreeCtrl::SetDvrNode(tagNode& node, const CDvr& dvr)
{
    m_model->SetName(node, dvr.name);
    m_model->SetImage(node, TreeImages::DvrImage(dvr.type));
}

void CDeviceTreeCtrl::SetSourceCameraNodes(tagNode& dvrNode, const CDvr& dvr)
{
    const int count = dvr.CameraCount();
    for (int camera = 0; camera < count; ++camera) {
        tagNode& node = m_model->AddNode(dvrNode, 4, Cameras, camera);
        m_model->SetImage(node, TreeImages::Camera);
        m_model->SetName(node, dvr.CameraName(camera));
    }
    // Cameras 0 to count - 1 now fill the first rows; every node after them has gone.
    while (dvrNode.children.size() > size_t(count))
        DeleteNode(*dvrNode.children.back(), false);
}

void CDeviceTreeCtrl::AddDvrNode(const CKRHost& host, const CDvr& dvr)
{
    const CDeviceGroup* group = host.siteConfig.FindGroup(dvr.deviceGroupId);
    if (!group)
        return;
    EnsureGroupNode(host, Cameras, *group);
    tagNode* groupNode = GroupNode(host.hostId, Cameras, group->groupId);
    if (!groupNode || groupNode->Child(dvr.dvrId))
        return;
    tagNode& node = m_model->AddNode(*groupNode, 3, Cameras, dvr.dvrId);
    SetDvrNode(node, dvr);
    Expand(*groupNode);
    SetSourceCameraNodes(node, dvr);
}

void CDeviceTreeCtrl::UpdateDvrNode(const CKRHost& host, const CDvr& dvr)
{
    EnsureCategoryNode(host, Cameras);
    if (const CDeviceGroup* group = host.siteConfig.FindGroup(dvr.deviceGroupId)) {
        EnsureGroupNode(host, Cameras, *group);
        // Empty groups stay, as when a source is removed.
        if (tagNode* groupNode = GroupNode(host.hostId, Cameras, group->groupId))
            MoveToGroup(*groupNode, dvr.dvrId);
    }
    tagNode* groupNode = GroupNode(host.hostId, Cameras, dvr.deviceGroupId);
    if (tagNode* node = groupNode ? groupNode->Child(dvr.dvrId) : nullptr) {
        SetDvrNode(*node, dvr);
        Expand(*groupNode);
        SetSourceCameraNodes(*node, dvr);
    }
    ValidateCameraNodes();
}

void CDeviceTreeCtrl::RemoveDvrNode(const CKRHost& host, int groupId, int dvrId)
{
    tagNode* groupNode = GroupNode(host.hostId, Cameras, groupId);
    if (tagNode* node = groupNode ? groupNode->Child(dvrId) : nullptr)
        DeleteNode(*node, false);
    ValidateCameraNodes();
}

bool CDeviceTreeCtrl::IsCameraValid(const tagNode& node) const
{
    const tagNode* host = node.Ancestor(0);
    const tagNode* group = node.Ancestor(2);
    return m_callback && host && group &&
           m_callback->IsCameraValid(host->id, group->id, node.DvrId(), node.Camera());
}

void CDeviceTreeCtrl::ValidateCameraNodes()
{
    // Only leaves (level 5) go, so collecting them first keeps the walk simple.
    std::vector<tagNode*> invalid;
    std::vector<const tagNode*> pending;
    for (const auto& host : m_model->HostNodes())
        pending.push_back(host.get());
    while (!pending.empty()) {
        const tagNode* node = pending.back();
        pending.pop_back();
        for (const auto& child : node->children) {
            if (child->level == 5) {
                if (!IsCameraValid(*child))
                    invalid.push_back(child.get());
            } else {
                pending.push_back(child.get());
            }
        }
    }
    for (tagNode* node : invalid)
        DeleteNode(*node, false);
}

// ---- selection

void CDeviceTreeCtrl::SelectPath(int hostId, int kind, int groupId, int controllerId, int doorId,
                                 int inputId, int direction, int dvrId, int camera)
{
    if (hostId == -1)
        return;
    tagNode* node = m_model->HostNode(hostId);
    if (!node)
        return;
    // Each step descends one level when the path names it and the node exists.
    auto descend = [&node](bool named, qint32 key) {
        tagNode* child = named && node ? node->Child(key) : nullptr;
        if (child)
            node = child;
        return child != nullptr;
    };
    if (descend(kind == Controllers || kind == LicencePlateReaders, kind) &&
        descend(groupId != -1, groupId) && descend(controllerId != -1, controllerId) &&
        descend(doorId != -1 || inputId != -1, NodeKeys::PlaceKey(doorId, inputId)) && dvrId >= 0 &&
        camera >= 0) {
        const quint32 value = NodeKeys::CameraValue(dvrId, camera, direction);
        for (const auto& child : node->children) {
            if (child->cameraValue == value && child->DvrId() == dvrId) {
                node = child.get();
                break;
            }
        }
    }
    Select(node);
}

void CDeviceTreeCtrl::Select(const tagNode* node)
{
    if (node && !node->shown)
        m_frame.Flush(); // the view gets its index now
    const QModelIndex index = m_model->IndexOf(node);
    if (!index.isValid()) {
        selectionModel()->clear();
        return;
    }
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

void CDeviceTreeCtrl::ReportSelection()
{
    if (m_muteSelectionReports || !m_callback)
        return;
    const tagNode* node = SelectedNode();
    std::array<int, 8> path;
    path.fill(-1);
    if (node) {
        auto idAt = [node](int level) {
            const tagNode* at = node->Ancestor(level);
            return at ? at->id : -1;
        };
        path[0] = idAt(0);
        switch (node->kind) {
        case 0:
            break;
        case Cameras:
            path[1] = idAt(2);
            path[6] = idAt(3);
            path[7] = idAt(4);
            break;
        case Controllers:
        case LicencePlateReaders: {
            path[1] = idAt(2);
            path[2] = idAt(3);
            if (const tagNode* place = node->Ancestor(4)) {
                path[3] = NodeKeys::KeyDoor(place->id);
                path[4] = NodeKeys::KeyInput(place->id);
            }
            if (node->level == 5) {
                path[5] = node->Direction();
                path[6] = node->DvrId();
                path[7] = node->Camera();
            }
            break;
        }
        default:
            return;
        }
    }
    m_callback->OnNodeSelected(path[0], path[1], path[2], path[3], path[4], path[5], path[6],
                               path[7]);
}

void CDeviceTreeCtrl::DeleteNode(tagNode& node, bool childrenOnly)
{
    // The view would move a removed current item to a sibling and select it; the nearest
    // remaining ancestor takes over instead, and only a moved selection is reported.
    const tagNode* keep = childrenOnly ? &node : (node.level == 0 ? nullptr : node.parent);
    if (IsInside(SelectedNode(), node, childrenOnly))
        Select(keep);
    else if (IsInside(m_model->NodeAt(currentIndex()), node, childrenOnly))
        selectionModel()->setCurrentIndex(m_model->IndexOf(keep), QItemSelectionModel::NoUpdate);
    if (childrenOnly)
        m_model->RemoveChildren(node);
    else
        m_model->RemoveNode(node);
}

// ---- window

void CDeviceTreeCtrl::Expand(tagNode& node)
{
    // A node without children has nothing to show yet; it is expanded when its first child
    // comes. (Every expanded node is a persistent index the model keeps up to date.) A node
    // the view does not know yet is expanded when it gets it.
    if (node.children.empty())
        return;
    if (node.shown)
        expand(m_model->IndexOf(&node));
    else
        node.expandWhenShown = true;
}

void CDeviceTreeCtrl::ExpandShown(const QModelIndex& parent, int first, int last)
{
    std::vector<tagNode*> pending;
    for (int row = first; row <= last; ++row)
        pending.push_back(m_model->NodeAt(m_model->index(row, 0, parent)));
    while (!pending.empty()) {
        tagNode* node = pending.back();
        pending.pop_back();
        if (std::exchange(node->expandWhenShown, false))
            expand(m_model->IndexOf(node));
        for (tagNode* child : node->shownChildren)
            pending.push_back(child);
    }
}

void CDeviceTreeCtrl::doItemsLayout()
{
    // The view lays out every shown row: a large site stretches the frame.
    QElapsedTimer layout;
    layout.start();
    QTreeView::doItemsLayout();
    m_frame.WorkTook(layout.elapsed());
}

void CDeviceTreeCtrl::RunFrame()
{
    m_model->ShowNewNodes();
    viewport()->update();
}

void CDeviceTreeCtrl::FinishFrame()
{
    m_frame.Flush();
}

void CDeviceTreeCtrl::Redraw()
{
    m_frame.Request();
}

void CDeviceTreeCtrl::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                  const QList<int>& roles)
{
    // A label or picture changed: repainted with the rest of the frame. The view's own
    // handling would look the row up among every shown row, for each change; assistive tools
    // still get it.
    if (QAccessible::isActive())
        QTreeView::dataChanged(topLeft, bottomRight, roles);
    Redraw();
}

void CDeviceTreeCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    // The menu key means the selected node, at its row; a click means the node under the
    // cursor (or empty space).
    const bool byKeyboard = event->reason() == QContextMenuEvent::Keyboard;
    const QModelIndex index = byKeyboard ? currentIndex() : indexAt(event->pos());
    const QPoint screenPos =
        byKeyboard && index.isValid()
            ? viewport()->mapToGlobal(viewport()->rect().intersected(visualRect(index)).center())
            : event->globalPos();
    const tagNode* node = m_model->NodeAt(index);
    // Read before selecting: the selection report may change the tree.
    const int kind = node ? node->kind : 0;
    const int level = node ? node->level : -1;
    const int id = node ? node->id : -1;
    if (node)
        Select(node);
    if (m_callback)
        m_callback->OnNodeRightClick(kind, level, id, screenPos);
}

void CDeviceTreeCtrl::mousePressEvent(QMouseEvent* event)
{
    // A click on empty space keeps the selection (and the camera the live view shows).
    if (!indexAt(event->position().toPoint()).isValid()) {
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void CDeviceTreeCtrl::resizeEvent(QResizeEvent* event)
{
    QTreeView::resizeEvent(event);
    m_columnFit.ViewResized();
}

void CDeviceTreeCtrl::changeEvent(QEvent* event)
{
    QTreeView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        m_columnFit.MeasureAgain();
}

void CDeviceTreeCtrl::focusInEvent(QFocusEvent* event)
{
    QTreeView::focusInEvent(event);
    // The live view follows the tree again after another control moved it.
    ReportSelection();
}
