#pragma once

#include "model/CLogData.h"
#include "model/OleDateTime.h"

#include <array>

// The full record of one access-control event of one host.
class CEventLogData : public CLogData
{
public:
    // Card bits followed by the eight card bytes: one block, handed on whole to capture requests.
    static constexpr int kCardBlockSize = 9;
    static constexpr int kCardByteCount = 8;
    using CardBlock = std::array<quint8, kCardBlockSize>;

    explicit CEventLogData(qint32 id);

    // The string-table text of the message id's key (see eventMessageKey).
    QString GetMessageText() const override;
    // "YYYYMMDD/EV.YYYYMMDD.LLLLLLLLLL-N.jpg" relative to the snapshot folder, from the UTC date
    // (-1 in each date field when it cannot be converted), the log id and direction index + 1.
    // Empty when the UTC time is not valid.
    QString GetSnapshotFileName(int directionIndex) const;

    quint8 cardBits() const { return card[0]; }
    // Card byte 0 to 7; 0 for any other index.
    quint8 cardByte(int index) const;
    // Received integers keep their low byte; an index outside 0 to 7 changes nothing.
    void setCardBits(qint32 received) { card[0] = quint8(received & 0xFF); }
    void setCardByte(int index, qint32 received);
    const quint8* cardData() const { return card.data(); }

    qint32 logId;
    qint32 messageId = -1;
    qint32 messageContent = -1;
    CardBlock card{}; // [0] card bits, [1..8] card bytes 0 to 7
    qint32 controllerId = -1;
    qint32 doorId = -1;
    COleDateTime localTime;
    COleDateTime utcTime;
};
