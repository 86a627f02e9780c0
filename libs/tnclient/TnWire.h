#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>

#include <optional>

// Frames of the host control protocol (docs/protocol.md): a 4-byte big-endian length and a JSON
// payload {"cmd":..., "fields":{KEY:{"i"|"s"|"d": value}}}. Shared by the client control and the
// host simulator so both sides agree on one encoding.
namespace TnWire {

constexpr int kHeaderSize = 4;
constexpr int kMinPayload = 2;           // "{}"
constexpr int kMaxPayload = 1024 * 1024; // keeps the first two bytes away from 0x00 0xC9
constexpr int kMaxCommandLength = 256;

struct Field
{
    enum class Type
    {
        Int,
        Text,
        Date
    };
    Type type = Type::Int;
    qint32 intValue = 0;
    double dateValue = 0.0;
    QString textValue;

    static Field ofInt(qint32 v) { return {Type::Int, v, 0.0, {}}; }
    static Field ofDate(double v) { return {Type::Date, 0, v, {}}; }
    static Field ofText(const QString& v) { return {Type::Text, 0, 0.0, v}; }
    bool operator==(const Field& o) const
    {
        return type == o.type && intValue == o.intValue && dateValue == o.dateValue &&
               textValue == o.textValue;
    }
};

using Fields = QMap<QString, Field>;

struct Message
{
    QString command;
    Fields fields;
};

// Whole frame (header + payload); empty when the message cannot be framed (empty command,
// non-finite date, payload over kMaxPayload).
QByteArray encodeFrame(const Message& message);

// The payload of one frame; nullopt when it is not a valid message.
std::optional<Message> decodePayload(const QByteArray& payload);

// The {"K":{"i":1},...} object of a field map, as the payload carries it (also used for logs).
QJsonObject fieldsToJson(const Fields& fields);

// A received field as the client control's getters give it: a field that is missing, or of
// another type than asked for, reads as 0, 0.0 or empty text. fields may be null (no message).
qint32 intField(const Fields* fields, const QString& key);
double dateField(const Fields* fields, const QString& key);
QString textField(const Fields* fields, const QString& key);

// Splits a byte stream into messages. Holds at most one frame; the first bad frame puts it in
// the failed state for good (the connection must be closed).
class FrameReader
{
public:
    enum class Status
    {
        NeedMore,
        Ready,
        Failed
    };

    void feed(const QByteArray& bytes);
    // Ready: *out holds the next message. Failed: errorText() says why.
    Status next(Message* out);
    bool hasPartialFrame() const { return !m_buffer.isEmpty(); }
    const QString& errorText() const { return m_error; }
    // Bytes still needed to finish the frame being read (a hint for bounded reads).
    qint64 bytesWanted() const;

private:
    Status fail(const QString& why);

    QByteArray m_buffer;
    QString m_error;
    bool m_failed = false;
};

} // namespace TnWire
