#pragma once

#include <QString>

// String-table key of the text for an event message id: "TAV_IDS_EVENT_MSG_XX" for a listed
// id (XX its entry's id in two upper-case hex digits), "TAV_IDS_NA" for anything else,
// including 0 and every id outside 0 to 0xFFFF.
QString eventMessageKey(qint32 messageId);
