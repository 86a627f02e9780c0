#include "StreamProfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QUrl>
#include <initializer_list>
#include <utility>

namespace {
constexpr qint64 MaxProfileBytes = 64 * 1024;
constexpr int MaxProfileLines = 1000;
const char ProfileFileName[] = "KRVideoProfiles.ini";

QByteArray readBounded(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(MaxProfileBytes);
}

// Host names, IPv4 and IPv6 addresses; nothing that could change the URL's structure.
bool isValidAddress(const QString& address)
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9.:_-]{1,253}$"));
    return allowed.match(address).hasMatch();
}

QString percentEncoded(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

// The choice a profile value names; an absent or unknown value leaves it to the library.
template <typename Choice>
Choice choiceOf(const QString& value, std::initializer_list<std::pair<const char*, Choice>> names)
{
    for (const auto& [name, choice] : names)
        if (value.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return choice;
    return Choice::Auto;
}
} // namespace

StreamProfiles StreamProfiles::fromText(const QByteArray& text)
{
    StreamProfiles profiles;
    QString section;
    const QList<QByteArray> lines = text.left(MaxProfileBytes).split('\n');
    for (int i = 0; i < lines.size() && i < MaxProfileLines; ++i) {
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2).trimmed().toLower();
            continue;
        }
        const int eq = line.indexOf(u'=');
        if (eq > 0 && !section.isEmpty())
            profiles.m_sections[section][line.left(eq).trimmed().toLower()] =
                line.mid(eq + 1).trimmed();
    }
    return profiles;
}

StreamProfiles StreamProfiles::load()
{
    QStringList candidates;
    const QString explicitPath = qEnvironmentVariable("KRVIDEO_PROFILES");
    if (!explicitPath.isEmpty())
        candidates << explicitPath;
    const QString programDir = qEnvironmentVariable("KRNOTIFY_PROGRAM_DIR");
    if (!programDir.isEmpty())
        candidates << QDir(programDir).filePath(QLatin1String(ProfileFileName));
    if (QCoreApplication::instance()) {
        const QDir programDir(QCoreApplication::applicationDirPath());
        candidates << programDir.filePath(QLatin1String(ProfileFileName))
                   << programDir.filePath(QStringLiteral(KRNOTIFY_DATA_FROM_BIN "/") +
                                          QLatin1String(ProfileFileName));
    }
    candidates << QStringLiteral(":/krvideo/KRVideoProfiles.ini");
    for (const QString& path : candidates)
        if (QFile::exists(path))
            return fromText(readBounded(path));
    return {};
}

QString StreamProfiles::value(int type, int brand, const QString& key) const
{
    // Most specific first: type and brand, then type, then the defaults.
    const QString names[] = {QStringLiteral("type%1.brand%2").arg(type).arg(brand),
                             QStringLiteral("type%1").arg(type), QStringLiteral("default")};
    for (const QString& name : names) {
        const auto section = m_sections.constFind(name);
        if (section != m_sections.cend() && section->contains(key))
            return section->value(key);
    }
    return {};
}

std::optional<StreamTarget> StreamProfiles::resolve(const QString& address, int port,
                                                    const QString& user, const QString& password,
                                                    int type, int brand, int camera) const
{
    const QString pattern = value(type, brand, QStringLiteral("url"));
    if (pattern.isEmpty() || !isValidAddress(address) || port > 65535 || camera < -1)
        return std::nullopt;
    bool portOk = true;
    const int effectivePort =
        port > 0 ? port : value(type, brand, QStringLiteral("port")).toInt(&portOk);
    if (!portOk || effectivePort <= 0 || effectivePort > 65535)
        return std::nullopt;
    const int channelBase = value(type, brand, QStringLiteral("channel-base")).toInt();
    const int cameraNumber = camera < 0 ? 0 : camera;
    const QString host = address.contains(u':') ? u'[' + address + u']' : address;

    QString url = pattern;
    url.replace(QLatin1String("{address}"), host)
        .replace(QLatin1String("{port}"), QString::number(effectivePort))
        .replace(QLatin1String("{camera}"), QString::number(cameraNumber))
        .replace(QLatin1String("{channel}"), QString::number(qint64(cameraNumber) + channelBase))
        .replace(QLatin1String("{user}"), percentEncoded(user))
        .replace(QLatin1String("{password}"), percentEncoded(password))
        .replace(QLatin1String("{auth}"),
                 user.isEmpty() ? QString()
                                : percentEncoded(user) + u':' + percentEncoded(password) + u'@');
    QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.host().isEmpty())
        return std::nullopt;

    StreamTarget target;
    target.http =
        parsed.scheme() == QLatin1String("http") || parsed.scheme() == QLatin1String("https");
    if (!target.http && parsed.scheme() != QLatin1String("rtsp"))
        return std::nullopt;
    target.user = parsed.userName(QUrl::FullyDecoded);
    target.password = parsed.password(QUrl::FullyDecoded);
    if (target.user.isEmpty() && !user.isEmpty() && target.http) {
        target.user = user; // HTTP cameras take credentials as basic authentication
        target.password = password;
    }
    parsed.setUserInfo(QString());
    target.url = parsed.toString(QUrl::FullyEncoded);
    target.backchannel = choiceOf<BackchannelChoice>(
        value(type, brand, QStringLiteral("backchannel")),
        {{"onvif", BackchannelChoice::Always}, {"none", BackchannelChoice::Never}});
    target.transport =
        choiceOf<TransportChoice>(value(type, brand, QStringLiteral("transport")),
                                  {{"tcp", TransportChoice::Tcp}, {"udp", TransportChoice::Udp}});
    return target;
}
