#include "events/EventFilter.h"

#include "events/EventListModel.h"
#include "events/EventPlace.h"

#include <algorithm>

void EventFilter::setText(const QString& text)
{
    m_text = text;
    m_words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool EventFilter::Matches(const EVENT& event, const EventPlace& place) const
{
    if (m_onlyNew && event.state != EVENT::New)
        return false;
    if (m_words.isEmpty())
        return true;
    const QString fields[] = {CEventListModel::MessageText(event), place.door, place.input,
                              place.controller, place.host};
    for (const QString& word : m_words) {
        const bool found = std::any_of(std::begin(fields), std::end(fields), [&](const QString& f) {
            return f.contains(word, Qt::CaseInsensitive);
        });
        if (!found)
            return false;
    }
    return true;
}

bool EventFilter::Matches(CConnectionManager& manager, const EVENT& event) const
{
    if (IsEmpty())
        return true;
    return Matches(event, EventPlace::Of(manager, event));
}
