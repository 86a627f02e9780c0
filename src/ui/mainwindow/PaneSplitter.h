#pragma once

#include <QSplitter>
#include <QString>
#include <QTimer>

// The device tree, the live view and the event list side by side, with handles between them.
// The tree and the list keep their widths when the window is resized (the live view takes the
// rest), and never shrink to nothing. Widths the operator sets by dragging are kept in section
// [Panes] of the options file and come back at the next start.
class PaneSplitter : public QSplitter
{
    Q_OBJECT

public:
    enum Pane
    {
        Tree = 0,
        LiveView = 1,
        List = 2
    };
    static constexpr int kHandleWidth = 4;
    static constexpr int kMinTreeWidth = 120;
    static constexpr int kMinListWidth = 200;
    static constexpr int kMinLiveViewWidth = 160;
    // Saved this long after the last drag, so a crash soon after keeps them too.
    static constexpr int kSaveDelayMs = 1000;

    // treeWidth, listWidth: the widths before the operator chooses others.
    PaneSplitter(int treeWidth, int listWidth, QWidget* parent = nullptr);
    ~PaneSplitter() override;

    // Puts the widget in the pane's place; the previous one is hidden and deleted.
    void SetPane(Pane pane, QWidget* widget);
    QWidget* pane(Pane pane) const;

    // The options file holding the operator's widths (read now; written after a drag).
    void setWidthsFile(const QString& iniPath);
    // The tree and list widths: the operator's, else the initial ones; the live view the rest.
    void ApplyWidths();
    void SaveWidths();

    int treeWidth() const;
    int listWidth() const;

private:
    // Window resizes go to the live view; the tree and the list keep their widths.
    void KeepWidthOf(Pane pane);
    void Moved();

    int m_treeWidth;
    int m_listWidth;
    QString m_widthsFile;
    bool m_moved = false;
    QTimer m_saveTimer;
};
