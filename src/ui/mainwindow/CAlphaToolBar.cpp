#include "ui/mainwindow/CAlphaToolBar.h"

#include "i18n/StringTable.h"
#include "ui/mainwindow/CAlphaImageList.h"

#include <QAction>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QToolButton>
#include <QToolTip>

CAlphaToolBar::CAlphaToolBar(QWidget* parent) : QToolBar(parent)
{
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setContextMenuPolicy(Qt::PreventContextMenu);
    // The band behind the toolbar draws the background.
    setStyleSheet(QStringLiteral("QToolBar { background: transparent; border: none; }"));
}

void CAlphaToolBar::SetButtons(const std::vector<Button>& buttons)
{
    clear();
    m_actions.clear();
    m_order.clear();
    m_buttons = buttons;
    const CStringTable& texts = CStringTable::Instance();
    for (const Button& entry : m_buttons) {
        if (entry.style == Style::Separator) {
            addSeparator();
            continue;
        }
        const QString text = texts.GetText(QString::fromLatin1(entry.key));
        QAction* act = addAction(text);
        if (entry.shortcutKey)
            act->setShortcut(QKeySequence(texts.GetText(QString::fromLatin1(entry.shortcutKey)),
                                          QKeySequence::PortableText));
        act->setCheckable(entry.style == Style::Check);
        act->setEnabled(entry.enabled);
        const int command = entry.command;
        connect(act, &QAction::triggered, this,
                [this, command] { Q_EMIT commandTriggered(command); });
        m_actions.insert(command, act);
        m_order.append(command);
        act->setToolTip(WithShortcut(command, text));
        if (QToolButton* tool = button(command)) {
            tool->setObjectName(QStringLiteral("command%1").arg(command));
            tool->installEventFilter(this);
        }
    }
    ApplySizes();
    ApplyImages();
}

void CAlphaToolBar::SetSizes(const QSize& button, const QSize& image)
{
    m_buttonSize = button;
    m_imageSize = image;
    ApplySizes();
}

void CAlphaToolBar::SetImageList(const CAlphaImageList* images)
{
    m_images = images;
    ApplyImages();
}

QToolButton* CAlphaToolBar::button(int command) const
{
    return qobject_cast<QToolButton*>(widgetForAction(m_actions.value(command)));
}

QString CAlphaToolBar::key(int command) const
{
    for (const Button& entry : m_buttons) {
        if (entry.style != Style::Separator && entry.command == command)
            return QString::fromLatin1(entry.key);
    }
    return {};
}

bool CAlphaToolBar::isCommandEnabled(int command) const
{
    const QAction* act = m_actions.value(command);
    return act && act->isEnabled();
}

void CAlphaToolBar::setCommandEnabled(int command, bool enabled)
{
    if (QAction* act = m_actions.value(command))
        act->setEnabled(enabled);
}

bool CAlphaToolBar::isCommandChecked(int command) const
{
    const QAction* act = m_actions.value(command);
    return act && act->isChecked();
}

void CAlphaToolBar::setCommandChecked(int command, bool checked)
{
    if (QAction* act = m_actions.value(command))
        act->setChecked(checked);
}

void CAlphaToolBar::setCommandToolTipKey(int command, const QString& key)
{
    if (key.isEmpty())
        m_toolTipKeys.remove(command);
    else
        m_toolTipKeys.insert(command, key);
}

QKeySequence CAlphaToolBar::shortcut(int command) const
{
    const QAction* act = m_actions.value(command);
    return act ? act->shortcut() : QKeySequence();
}

QString CAlphaToolBar::WithShortcut(int command, const QString& text) const
{
    const QKeySequence keys = shortcut(command);
    if (keys.isEmpty())
        return text;
    return CStringTable::Instance().GetText(QStringLiteral("TAV_IDS_WITH_SHORTCUT"),
                                            {text, keys.toString(QKeySequence::NativeText)});
}

QString CAlphaToolBar::toolTipKey(int command) const
{
    return m_toolTipKeys.value(command, key(command));
}

bool CAlphaToolBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        // Looked up at every showing, so an edited string table is seen at once.
        for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
            if (widgetForAction(it.value()) != watched)
                continue;
            const QString text =
                WithShortcut(it.key(), CStringTable::Instance().GetText(toolTipKey(it.key())));
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text,
                               static_cast<QWidget*>(watched));
            return true;
        }
    }
    return QToolBar::eventFilter(watched, event);
}

void CAlphaToolBar::ApplySizes()
{
    setIconSize(m_imageSize);
    for (QAction* act : std::as_const(m_actions)) {
        if (QWidget* tool = widgetForAction(act)) {
            tool->setFixedSize(m_buttonSize);
            FitTextFont(*tool, act->text());
        }
    }
}

void CAlphaToolBar::FitTextFont(QWidget& tool, const QString& text) const
{
    // The buttons keep their fixed width; a text wider than the button (a long translation,
    // a large desktop font) is set a little smaller rather than cut in the middle.
    constexpr qreal kSmallestPointSize = 6.0;
    const int available = m_buttonSize.width() - 6;
    QFont font = this->font();
    while (font.pointSizeF() > kSmallestPointSize &&
           QFontMetrics(font).horizontalAdvance(text) > available)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    tool.setFont(font);
}

void CAlphaToolBar::ApplyImages()
{
    if (!m_images)
        return;
    for (const Button& entry : m_buttons) {
        if (entry.style == Style::Separator)
            continue;
        if (QAction* act = m_actions.value(entry.command))
            act->setIcon(m_images->icon(entry.image));
    }
}
