#include "ui/mainwindow/PaneSplitter.h"

#include "platform/ProfileFile.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcPanes, "krnotify.ui.panes")

namespace {
const QString kSection = QStringLiteral("Panes");
const QString kTreeKey = QStringLiteral("TreeWidth");
const QString kListKey = QStringLiteral("ListWidth");
// Far wider than any screen; a larger stored value is not a width anyone chose.
constexpr int kMaxPaneWidth = 10000;

int StoredWidth(const QString& path, const QString& key, int fallback, int minimum)
{
    const int stored = ProfileFile::readInt(path, kSection, key, fallback);
    return stored < minimum || stored > kMaxPaneWidth ? fallback : stored;
}
} // namespace

PaneSplitter::PaneSplitter(int treeWidth, int listWidth, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), m_treeWidth(treeWidth), m_listWidth(listWidth)
{
    setObjectName(QStringLiteral("panes"));
    setHandleWidth(kHandleWidth);
    // A pane dragged to nothing would hide the event list (and its alarms) from the operator.
    setChildrenCollapsible(false);
    for (int pane = Tree; pane <= List; ++pane) {
        addWidget(new QWidget(this));
        KeepWidthOf(Pane(pane));
    }
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(kSaveDelayMs);
    connect(&m_saveTimer, &QTimer::timeout, this, &PaneSplitter::SaveWidths);
    connect(this, &QSplitter::splitterMoved, this, &PaneSplitter::Moved);
}

PaneSplitter::~PaneSplitter()
{
    SaveWidths();
}

void PaneSplitter::SetPane(Pane pane, QWidget* widget)
{
    QWidget* previous = this->widget(pane);
    if (!widget || widget == previous)
        return;
    static const int kMinimum[] = {kMinTreeWidth, kMinLiveViewWidth, kMinListWidth};
    widget->setMinimumWidth(kMinimum[pane]);
    replaceWidget(pane, widget); // the replaced widget loses its parent
    KeepWidthOf(pane);
    previous->hide();
    previous->deleteLater();
    widget->show();
}

void PaneSplitter::KeepWidthOf(Pane pane)
{
    // The stretch lives in the widget's size policy: a new widget must be told again.
    setStretchFactor(pane, pane == LiveView ? 1 : 0);
}

QWidget* PaneSplitter::pane(Pane pane) const
{
    return widget(pane);
}

void PaneSplitter::setWidthsFile(const QString& iniPath)
{
    m_widthsFile = iniPath;
    m_treeWidth = StoredWidth(iniPath, kTreeKey, m_treeWidth, kMinTreeWidth);
    m_listWidth = StoredWidth(iniPath, kListKey, m_listWidth, kMinListWidth);
}

void PaneSplitter::ApplyWidths()
{
    const int panes = contentsRect().width() - 2 * handleWidth();
    setSizes({m_treeWidth, qMax(0, panes - m_treeWidth - m_listWidth), m_listWidth});
}

int PaneSplitter::treeWidth() const
{
    return sizes().value(Tree);
}

int PaneSplitter::listWidth() const
{
    return sizes().value(List);
}

void PaneSplitter::Moved()
{
    m_moved = true;
    m_treeWidth = treeWidth();
    m_listWidth = listWidth();
    m_saveTimer.start();
}

void PaneSplitter::SaveWidths()
{
    m_saveTimer.stop();
    // Only what the operator chose is written: the initial layout needs no file.
    if (!m_moved || m_widthsFile.isEmpty())
        return;
    m_moved = false;
    if (!ProfileFile::writeStrings(
            m_widthsFile, kSection,
            {{kTreeKey, QString::number(m_treeWidth)}, {kListKey, QString::number(m_listWidth)}}))
        qCWarning(lcPanes) << "pane widths not saved to" << m_widthsFile;
}
