#include "tnclient/TnWire.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <cmath>
#include <limits>

namespace TnWire {

QJsonObject fieldsToJson(const Fields& fields)
{
    QJsonObject out;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        const Field& f = it.value();
        switch (f.type) {
        case Field::Type::Int:
            out.insert(it.key(), QJsonObject{{QStringLiteral("i"), f.intValue}});
            break;
        case Field::Type::Text:
            out.insert(it.key(), QJsonObject{{QStringLiteral("s"), f.textValue}});
            break;
        case Field::Type::Date:
            out.insert(it.key(), QJsonObject{{QStringLiteral("d"), f.dateValue}});
            break;
        }
    }
    return out;
}

namespace {

const Field* findField(const Fields* fields, const QString& key, Field::Type type)
{
    if (!fields)
        return nullptr;
    auto it = fields->constFind(key);
    return it != fields->cend() && it->type == type ? &*it : nullptr;
}

} // namespace

qint32 intField(const Fields* fields, const QString& key)
{
    const Field* f = findField(fields, key, Field::Type::Int);
    return f ? f->intValue : 0;
}

double dateField(const Fields* fields, const QString& key)
{
    const Field* f = findField(fields, key, Field::Type::Date);
    return f ? f->dateValue : 0.0;
}

QString textField(const Fields* fields, const QString& key)
{
    const Field* f = findField(fields, key, Field::Type::Text);
    return f ? f->textValue : QString();
}

namespace {

std::optional<Field> decodeField(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    if (o.size() != 1)
        return std::nullopt;
    const QString tag = o.begin().key();
    const QJsonValue v = o.begin().value();
    if (tag == QLatin1String("s")) {
        if (!v.isString())
            return std::nullopt;
        return Field::ofText(v.toString());
    }
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d))
        return std::nullopt;
    if (tag == QLatin1String("d"))
        return Field::ofDate(d);
    if (tag == QLatin1String("i")) {
        if (d != std::floor(d) || d < std::numeric_limits<qint32>::min() ||
            d > std::numeric_limits<qint32>::max())
            return std::nullopt;
        return Field::ofInt(static_cast<qint32>(d));
    }
    return std::nullopt;
}

} // namespace

QByteArray encodeFrame(const Message& message)
{
    if (message.command.isEmpty() || message.command.size() > kMaxCommandLength)
        return {};
    for (const Field& f : message.fields)
        if (f.type == Field::Type::Date && !std::isfinite(f.dateValue))
            return {};
    QJsonObject root{{QStringLiteral("cmd"), message.command}};
    if (!message.fields.isEmpty())
        root.insert(QStringLiteral("fields"), fieldsToJson(message.fields));
    const QByteArray payload = QJsonDocument(root).toJson(QJsonDocument::Compact);
    if (payload.size() > kMaxPayload)
        return {};
    QByteArray frame(kHeaderSize, Qt::Uninitialized);
    qToBigEndian<quint32>(static_cast<quint32>(payload.size()), frame.data());
    return frame + payload;
}

std::optional<Message> decodePayload(const QByteArray& payload)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject root = doc.object();
    const QJsonValue cmd = root.value(QLatin1String("cmd"));
    if (!cmd.isString() || cmd.toString().isEmpty() || cmd.toString().size() > kMaxCommandLength)
        return std::nullopt;
    Message message;
    message.command = cmd.toString();
    const QJsonValue fields = root.value(QLatin1String("fields"));
    if (fields.isUndefined())
        return message;
    if (!fields.isObject())
        return std::nullopt;
    const QJsonObject fieldObject = fields.toObject();
    for (auto it = fieldObject.begin(); it != fieldObject.end(); ++it) {
        if (it.key().isEmpty())
            return std::nullopt;
        std::optional<Field> field = decodeField(it.value());
        if (!field)
            return std::nullopt;
        message.fields.insert(it.key(), *field);
    }
    return message;
}

void FrameReader::feed(const QByteArray& bytes)
{
    if (!m_failed)
        m_buffer.append(bytes);
}

qint64 FrameReader::bytesWanted() const
{
    if (m_buffer.size() < kHeaderSize)
        return kHeaderSize - m_buffer.size();
    const quint32 length = qFromBigEndian<quint32>(m_buffer.constData());
    const qint64 total = kHeaderSize + qint64(qMin<quint32>(length, kMaxPayload));
    return qMax<qint64>(0, total - m_buffer.size());
}

FrameReader::Status FrameReader::fail(const QString& why)
{
    m_failed = true;
    m_error = why;
    m_buffer.clear();
    return Status::Failed;
}

FrameReader::Status FrameReader::next(Message* out)
{
    if (m_failed)
        return Status::Failed;
    if (m_buffer.size() < kHeaderSize)
        return Status::NeedMore;
    const quint32 length = qFromBigEndian<quint32>(m_buffer.constData());
    if (length < quint32(kMinPayload) || length > quint32(kMaxPayload))
        return fail(QStringLiteral("frame length %1 out of range").arg(length));
    if (m_buffer.size() < kHeaderSize + qint64(length))
        return Status::NeedMore;
    std::optional<Message> message = decodePayload(m_buffer.mid(kHeaderSize, int(length)));
    m_buffer.remove(0, kHeaderSize + int(length));
    if (!message)
        return fail(QStringLiteral("malformed payload"));
    *out = std::move(*message);
    return Status::Ready;
}

} // namespace TnWire
