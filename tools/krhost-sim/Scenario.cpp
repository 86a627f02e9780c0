#include "Scenario.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <cmath>

namespace Sim {
namespace {

constexpr int kRightsLength = 1000;
constexpr qint64 kMaxScenarioBytes = 16 * 1024 * 1024;
constexpr double kMaxSeconds = 7 * 86400; // keeps timer periods within int milliseconds

const QSet<QString> kActions = {QStringLiteral("event"),         QStringLiteral("door_status"),
                                QStringLiteral("door_workmode"), QStringLiteral("ctrl_status"),
                                QStringLiteral("input_status"),  QStringLiteral("send"),
                                QStringLiteral("config"),        QStringLiteral("dvr_add"),
                                QStringLiteral("dvr_remove"),    QStringLiteral("fault")};

QStringList toStrings(const QJsonValue& v, int max)
{
    QStringList out;
    for (const QJsonValue& item : v.toArray()) {
        if (out.size() == max)
            break;
        out << item.toString();
    }
    return out;
}

Camera toCamera(const QJsonValue& v)
{
    const QJsonObject o = v.toObject();
    return {toInt(o.value("dvr"), -1), toInt(o.value("camera"), -1), toInt(o.value("delay"), 0)};
}

Controller toController(const QJsonObject& o)
{
    Controller c;
    c.id = toInt(o.value("id"), 0);
    c.group = toInt(o.value("group"), 0);
    c.type = toInt(o.value("type"), 1);
    c.name = o.value("name").toString(QStringLiteral("Controller %1").arg(c.id));
    c.address = o.value("address").toString();
    c.loginId = o.value("login").toString();
    c.loginPassword = o.value("password").toString();
    c.status = toInt(o.value("status"), 6);
    c.inputNames = toStrings(o.value("input_names"), 48);
    c.outputNames = toStrings(o.value("output_names"), 32);
    for (const QJsonValue& iv : o.value("inputs").toArray()) {
        const QJsonObject io = iv.toObject();
        Input in;
        in.id = toInt(io.value("id"), 0);
        in.enabled = toInt(io.value("enabled"), 1) != 0;
        in.active = toInt(io.value("active"), 0);
        in.video1 = toCamera(io.value("video1"));
        in.video2 = toCamera(io.value("video2"));
        c.inputs[in.id] = in;
    }
    for (const QJsonValue& dv : o.value("doors").toArray()) {
        const QJsonObject d = dv.toObject();
        Door door;
        door.id = toInt(d.value("id"), 0);
        door.name = d.value("name").toString(QStringLiteral("Door %1").arg(door.id + 1));
        door.status = toInt(d.value("status"), 0x1000);
        door.workMode = toInt(d.value("workmode"), 3);
        door.format = toInt(d.value("format"), 2);
        door.video1 = toCamera(d.value("video1"));
        door.video2 = toCamera(d.value("video2"));
        door.dvrName = d.value("dvr_name").toString();
        door.dvrCamera = toInt(d.value("camera"), 0);
        c.doors[door.id] = door;
    }
    return c;
}

bool checkPicture(const QJsonObject& o, const QString& baseDir, QString* error)
{
    const QString image = o.value("image").toString();
    if (image.isEmpty())
        return true;
    const QFileInfo info(QDir(baseDir), image);
    if (info.isFile())
        return true;
    *error = QStringLiteral("picture not found: %1").arg(info.filePath());
    return false;
}

std::optional<Step> toStep(const QJsonObject& o, const QString& baseDir, QString* error)
{
    Step s;
    s.at = o.value("at").toDouble(0.0);
    s.every = o.value("every").toDouble(0.0);
    s.count = toInt(o.value("count"), 0);
    s.action = o.value("do").toString();
    if (!kActions.contains(s.action)) {
        *error = QStringLiteral("unknown timeline action \"%1\"").arg(s.action);
        return std::nullopt;
    }
    if (!(s.at >= 0 && s.at <= kMaxSeconds) || !(s.every >= 0 && s.every <= kMaxSeconds) ||
        (s.every > 0 && s.every < 0.01) || s.count < 0) {
        *error = QStringLiteral("timeline: \"at\" and \"every\" must be 0 to %1 s, repeats at "
                                "least 0.01 s, \"count\" 0 or more")
                     .arg(kMaxSeconds);
        return std::nullopt;
    }
    s.params = o;
    if (!checkPicture(o, baseDir, error))
        return std::nullopt;
    for (const QJsonValue& v : o.value("variants").toArray()) {
        s.variants << v.toObject();
        if (!checkPicture(v.toObject(), baseDir, error))
            return std::nullopt;
    }
    return s;
}

std::optional<Host> toHost(const QJsonObject& o, const QString& baseDir, QString* error)
{
    Host h;
    h.baseDir = baseDir;
    h.name = o.value("name").toString(h.name);
    h.port = toInt(o.value("port"), -1);
    h.guid = o.value("guid").toString(h.guid);
    h.version = toInt(o.value("version"), h.version);
    h.key = toInt(o.value("key"), h.key);
    h.dvrsFirst = o.value("dvrs_first").toBool(false);
    h.firstLogId = toInt(o.value("first_log_id"), 1);
    for (const QJsonValue& uv : o.value("users").toArray()) {
        const QJsonObject u = uv.toObject();
        User user{u.value("name").toString(),
                  u.value("password").toString(),
                  toInt(u.value("privilege"), 0),
                  toInt(u.value("gp"), 0),
                  {},
                  {},
                  {}};
        const QJsonValue all = u.value("rights");
        const auto read = parseRights(u.contains("read") ? u.value("read") : all);
        const auto write = parseRights(u.contains("write") ? u.value("write") : all);
        const auto execute = parseRights(u.contains("execute") ? u.value("execute") : all);
        if (!read || !write || !execute) {
            *error = QStringLiteral("bad rights for user \"%1\"").arg(user.name);
            return std::nullopt;
        }
        user.read = *read;
        user.write = *write;
        user.execute = *execute;
        h.users << user;
    }
    for (const QJsonValue& gv : o.value("groups").toArray())
        h.groups[toInt(gv.toObject().value("id"), 0)] = gv.toObject().value("name").toString();
    for (const QJsonValue& cv : o.value("controllers").toArray()) {
        Controller c = toController(cv.toObject());
        h.controllers[c.id] = c;
    }
    for (const QJsonValue& dv : o.value("dvrs").toArray()) {
        const Dvr dvr = parseDvr(dv.toObject());
        h.dvrs[dvr.id] = dvr;
    }
    for (const QJsonValue& sv : o.value("timeline").toArray()) {
        const auto step = toStep(sv.toObject(), baseDir, error);
        if (!step)
            return std::nullopt;
        h.timeline << *step;
    }
    return h;
}

} // namespace

qint32 toInt(const QJsonValue& v, qint32 fallback)
{
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (!(std::abs(d) < 9.2e18)) // beyond 64 bits the conversion is undefined
            return fallback;
        return static_cast<qint32>(static_cast<qint64>(d));
    }
    if (v.isString()) {
        bool ok = false;
        const qint64 n = v.toString().toLongLong(&ok, 0);
        return ok ? static_cast<qint32>(n) : fallback;
    }
    if (v.isBool())
        return v.toBool() ? 1 : 0;
    return fallback;
}

std::optional<QString> parseRights(const QJsonValue& v)
{
    if (v.isUndefined() || v.isNull() || v.toString() == QLatin1String("none"))
        return QString(kRightsLength, QLatin1Char('0'));
    if (v.toString() == QLatin1String("all"))
        return QString(kRightsLength, QLatin1Char('1'));
    if (v.isArray()) {
        QString out(kRightsLength, QLatin1Char('0'));
        for (const QJsonValue& id : v.toArray()) {
            const int n = toInt(id, -1);
            if (n < 0 || n >= kRightsLength)
                return std::nullopt;
            out[n] = QLatin1Char('1');
        }
        return out;
    }
    if (v.isString())
        return v.toString(); // literal: may be short on purpose (grants nothing then)
    return std::nullopt;
}

Dvr parseDvr(const QJsonObject& o)
{
    Dvr d;
    d.id = toInt(o.value("id"), 0);
    d.group = toInt(o.value("group"), 0);
    d.name = o.value("name").toString(QStringLiteral("DVR %1").arg(d.id));
    d.type = toInt(o.value("type"), 1);
    d.brand = toInt(o.value("brand"), 0);
    d.user = o.value("user").toString();
    d.password = o.value("password").toString();
    d.address = o.value("address").toString(QStringLiteral("127.0.0.1"));
    d.port = toInt(o.value("port"), 0);
    d.viewLogPort = toInt(o.value("viewlog_port"), 0);
    d.cmdPort = toInt(o.value("cmd_port"), 0);
    d.cameras = toStrings(o.value("cameras"), 1024);
    if (o.value("cameras").isDouble()) {
        const int n = qBound(0, toInt(o.value("cameras"), 0), 1024);
        for (int i = 0; i < n; ++i)
            d.cameras << QStringLiteral("Camera %1").arg(i + 1);
    }
    return d;
}

std::optional<QList<Host>> parseScenario(const QByteArray& json, const QString& baseDir,
                                         QString* error)
{
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        *error = QStringLiteral("not a JSON object: %1").arg(parseError.errorString());
        return std::nullopt;
    }
    const QJsonObject root = doc.object();
    QList<QJsonObject> objects;
    if (root.contains("hosts")) {
        for (const QJsonValue& v : root.value("hosts").toArray())
            objects << v.toObject();
    } else {
        objects << root;
    }
    if (objects.isEmpty()) {
        *error = QStringLiteral("no host in the scenario");
        return std::nullopt;
    }
    QList<Host> hosts;
    for (const QJsonObject& o : objects) {
        auto host = toHost(o, baseDir, error);
        if (!host)
            return std::nullopt;
        hosts << *host;
    }
    return hosts;
}

std::optional<QList<Host>> loadScenario(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    if (file.size() > kMaxScenarioBytes) {
        *error = QStringLiteral("%1 is too large for a scenario").arg(path);
        return std::nullopt;
    }
    return parseScenario(file.readAll(), QFileInfo(path).absolutePath(), error);
}

Host defaultHost()
{
    Host h;
    h.users << User{QStringLiteral("operator"),
                    QStringLiteral("demo"),
                    0x2080,
                    0,
                    QString(kRightsLength, '1'),
                    QString(kRightsLength, '1'),
                    QString(kRightsLength, '1')};
    h.groups[1] = QStringLiteral("Main Building");
    Controller c;
    c.id = 1;
    c.group = 1;
    c.name = QStringLiteral("Entrance Controller");
    c.address = QStringLiteral("127.0.0.1");
    Door d;
    d.name = QStringLiteral("Front Door");
    d.status = 0x1000;
    c.doors[0] = d;
    h.controllers[1] = c;
    return h;
}

} // namespace Sim
