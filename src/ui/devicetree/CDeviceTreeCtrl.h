#pragma once

#include "connection/SiteViews.h"
#include "platform/FrameThrottle.h"
#include "ui/devicetree/CDeviceTreeModel.h"
#include "ui/devicetree/TreeColumnFit.h"

#include <QTreeView>

class CDeviceTreeCtrlCallback;

// The site tree of the operator window: every host with its device groups, controllers, doors
// and inputs (under "controllers"), and its video sources with their cameras (under
// "cameras"), each with a live status picture. The connection core reports site changes through
// the DeviceTreeSink operations; the tree reports selections and right clicks to its owner.
//
// Levels: 0 host, 1 category, 2 device group, 3 controller or video source, 4 door, input or
// source camera, 5 door or input camera (direction 0 or 1).
class CDeviceTreeCtrl : public QTreeView, public DeviceTreeSink
{
    Q_OBJECT

public:
    using tagNode = CDeviceTreeModel::tagNode;

    static constexpr int kControlId = 1022;
    enum Category
    {
        Controllers = 1,
        LicencePlateReaders = 2,
        Cameras = 3,
    };
    static constexpr qint32 kElevatorControllerType = 4;
    static constexpr qint32 kPanelControllerType = 240;

    // The callback is not owned and may be null (then nothing is reported and no door or input
    // camera is ever valid).
    explicit CDeviceTreeCtrl(CDeviceTreeCtrlCallback* callback, QWidget* parent = nullptr);
    ~CDeviceTreeCtrl() override;

    // An owner that goes away before the tree detaches itself here (null: report nothing).
    void setCallback(CDeviceTreeCtrlCallback* callback);

    // Site operations. Each does nothing when a record it needs is missing.
    void UpdateHostNode(const CKRHost& host) override;
    void RemoveHostNode(const CKRHost& host, bool childrenOnly) override;
    void SortHostNodes() override;
    void EnsureCategoryNode(const CKRHost& host, int kind);
    void EnsureGroupNode(const CKRHost& host, int kind, const CDeviceGroup& group);
    void RenameGroupNodes(const CKRHost& host, const CDeviceGroup& group) override;
    void UpdateControllerNode(const CKRHost& host, const CController& controller) override;
    void RemoveControllerNode(const CKRHost& host, const CController& controller) override;
    void UpdateDoorNode(const CKRHost& host, const CController& controller,
                        const CDoor& door) override;
    void RemoveDoorNode(const CKRHost& host, const CController& controller,
                        const CDoor& door) override;
    void UpdateInputNode(const CKRHost& host, const CController& controller,
                         const CKRInput& input) override;
    void RemoveInputNode(const CKRHost& host, const CController& controller,
                         const CKRInput& input) override;
    void AddDvrNode(const CKRHost& host, const CDvr& dvr) override;
    void UpdateDvrNode(const CKRHost& host, const CDvr& dvr) override;
    void RemoveDvrNode(const CKRHost& host, int groupId, int dvrId) override;
    // Removes every door or input camera node whose camera the owner no longer knows.
    void ValidateCameraNodes();
    // Selects the deepest node the path names (and reports it like any selection).
    void SelectPath(int hostId, int kind, int groupId, int controllerId, int doorId, int inputId,
                    int direction, int dvrId, int camera);
    // Deletes the node with its subtree, or only its subtree. A selection inside the deleted
    // part moves to the nearest remaining ancestor.
    void DeleteNode(tagNode& node, bool childrenOnly);

    // Does the frame's view work now (tests; an owner that needs the view up to date).
    void FinishFrame();
    // How often the view catches up with the nodes (tests: a frame that never ends).
    void setFrameInterval(int milliseconds) { m_frame.SetInterval(milliseconds); }

    // Lookups for the owner and tests.
    CDeviceTreeModel& treeModel() { return *m_model; }
    const tagNode* HostNode(int hostId) const { return m_model->HostNode(hostId); }
    const tagNode* NodeAt(const QModelIndex& index) const { return m_model->NodeAt(index); }
    const tagNode* SelectedNode() const;
    QModelIndex IndexOf(const tagNode* node) const { return m_model->IndexOf(node); }

public Q_SLOTS:
    // Repaints every label and picture (the core's redraw) at the next frame.
    void Redraw();

    void doItemsLayout() override;

protected:
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct PlaceUpdate; // what a door or an input update puts into the tree

    tagNode* CategoryNode(int hostId, int kind) const;
    tagNode* GroupNode(int hostId, int kind, int groupId) const;
    tagNode* ControllerNode(int hostId, int groupId, int controllerId) const;
    tagNode* PlaceNode(int hostId, int groupId, int controllerId, qint32 key) const;
    void UpdatePlaceNode(const CKRHost& host, const CController& controller,
                         const PlaceUpdate& place);
    tagNode* MoveToGroup(tagNode& group, qint32 id);
    void SetDvrNode(tagNode& node, const CDvr& dvr);
    void SetSourceCameraNodes(tagNode& dvrNode, const CDvr& dvr);
    void Select(const tagNode* node);
    void Expand(tagNode& node);
    void ExpandShown(const QModelIndex& parent, int first, int last);
    // The frame: new nodes reach the view, changed labels and pictures are repainted.
    void RunFrame();
    void ReportSelection();
    bool IsCameraValid(const tagNode& node) const;

    CDeviceTreeCtrlCallback* m_callback;
    CDeviceTreeModel* m_model;
    int m_muteSelectionReports = 0;
    FrameThrottle m_frame;
    TreeColumnFit m_columnFit;
};
