#pragma once

#include <QString>
#include <QStringList>

class CConnectionManager;
struct EVENT;
struct EventPlace;

// Which rows the operator wants to see: every word of a free text found (ignoring case) in the
// row's message, door, input, controller or host name, and optionally only the rows still new.
// An empty filter lets every row through. It only decides; the list keeps its rows.
class EventFilter
{
public:
    void setText(const QString& text);
    void setOnlyNew(bool onlyNew) { m_onlyNew = onlyNew; }
    QString text() const { return m_text; }
    bool onlyNew() const { return m_onlyNew; }
    bool IsEmpty() const { return m_words.isEmpty() && !m_onlyNew; }

    bool Matches(const EVENT& event, const EventPlace& place) const;
    bool Matches(CConnectionManager& manager, const EVENT& event) const;

private:
    QString m_text;
    QStringList m_words;
    bool m_onlyNew = false;
};
