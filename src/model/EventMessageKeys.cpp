#include "model/EventMessageKeys.h"

#include <array>

namespace {
struct MessageEntry
{
    quint16 id;
    quint16 alias; // 0: the entry has no alias
};

// Ids whose text is shared with another entry are listed as that entry's alias.
constexpr std::array<MessageEntry, 69> kMessages{{
    {0x01, 0}, {0x02, 0}, {0x03, 0},    {0x04, 0},    {0x05, 0x06}, {0x07, 0}, {0x08, 0x09},
    {0x0A, 0}, {0x10, 0}, {0x11, 0},    {0x12, 0x18}, {0x13, 0},    {0x14, 0}, {0x15, 0},
    {0x17, 0}, {0x19, 0}, {0x1A, 0},    {0x1B, 0},    {0x1C, 0},    {0x1D, 0}, {0x1E, 0},
    {0x1F, 0}, {0x20, 0}, {0x21, 0x2E}, {0x22, 0x2D}, {0x23, 0x2C}, {0x24, 0}, {0x25, 0},
    {0x26, 0}, {0x27, 0}, {0x28, 0},    {0x29, 0},    {0x2A, 0},    {0x2B, 0}, {0x30, 0},
    {0x40, 0}, {0x41, 0}, {0x42, 0},    {0x43, 0},    {0x44, 0},    {0x45, 0}, {0x46, 0},
    {0x48, 0}, {0x4A, 0}, {0x50, 0},    {0x51, 0},    {0x52, 0},    {0x53, 0}, {0x54, 0},
    {0x55, 0}, {0x56, 0}, {0x57, 0},    {0x58, 0},    {0x60, 0},    {0x61, 0}, {0x70, 0},
    {0x71, 0}, {0x80, 0}, {0x81, 0},    {0x82, 0},    {0x83, 0},    {0x84, 0}, {0x85, 0},
    {0x86, 0}, {0x88, 0}, {0x8A, 0},    {0x90, 0},    {0xC3, 0},    {0xC4, 0},
}};
} // namespace

QString eventMessageKey(qint32 messageId)
{
    // Id 0 is no event a host reports; it must not match the empty alias slots.
    if (messageId > 0) {
        for (const MessageEntry& entry : kMessages) {
            if (messageId == qint32(entry.id) ||
                (entry.alias != 0 && messageId == qint32(entry.alias)))
                return QStringLiteral("TAV_IDS_EVENT_MSG_") +
                       QString::asprintf("%02X", unsigned(entry.id));
        }
    }
    return QStringLiteral("TAV_IDS_NA");
}
