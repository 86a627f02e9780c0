#pragma once

#include "ui/eventlist/EventPopupText.h"

#include <QPoint>
#include <QTextDocument>
#include <QTimer>
#include <QWidget>

#include <functional>

// The event list's rich popup: shown after the pointer rested for the delay, built anew each
// time from the content provider, hidden at every pointer movement within the list, kept open
// while the pointer is over it. Draws a "softbump" background with a soft shadow.
class CEventPopup : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kDelayMs = 100;
    static constexpr int kShadowOffset = 6;
    static constexpr int kShadowDepth = 8;

    // Markup for a screen point; empty shows nothing.
    using ContentProvider = std::function<QString(const QPoint& globalPos)>;

    explicit CEventPopup(QWidget* owner);

    void setContentProvider(ContentProvider provider) { m_provider = std::move(provider); }
    void setDelay(int ms) { m_delay.setInterval(ms); }

    // From the list: the pointer moved to globalPos, or left the list.
    void PointerMoved(const QPoint& globalPos);
    void PointerLeft();
    // Asks for content at the last pointer position and shows it (the delay's end).
    void ShowNow();

    const QTextDocument& document() const { return m_document; }
    bool isPending() const { return m_delay.isActive(); }

Q_SIGNALS:
    // The popup went out of sight: what it showed is no longer shown.
    void hidden();

protected:
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QWidget* m_owner;
    ContentProvider m_provider;
    QTimer m_delay;
    QPoint m_pointer;
    QTextDocument m_document;
    PopupPictureCache m_pictures;
};
