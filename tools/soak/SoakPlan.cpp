#include "SoakPlan.h"

#include <QDir>
#include <QJsonArray>
#include <QRandomGenerator>

#include <algorithm>
#include <array>

namespace Soak {

namespace {

constexpr double kFirstFaultAfter = 8;   // seconds: the site is in and events flow
constexpr double kFirstFaultSpread = 20; // the hosts' first faults fall within this
constexpr double kEndMargin = 10;        // a host is back this long before the end
constexpr double kRefusingFor = 8;       // logins refused; the program retries every 3 s
constexpr double kSnapshotFaultFor = 15;
constexpr double kEventsStartAt = 0.5;

const std::array<FaultKind, kFaultKinds> kAllKinds{
    FaultKind::Drop,        FaultKind::Silent,       FaultKind::Malformed,
    FaultKind::Oversized,   FaultKind::RefuseLogin,  FaultKind::SnapshotStall,
    FaultKind::SnapshotCut, FaultKind::SnapshotHuge, FaultKind::SnapshotRefuse};

double uniform(QRandomGenerator& random, double from, double to)
{
    return from + random.generateDouble() * (to - from);
}

QJsonObject step(double at, const QString& fault)
{
    return {{"at", at}, {"do", "fault"}, {"fault", fault}};
}

QJsonObject snapshotStep(double at, const QString& mode)
{
    QJsonObject s = step(at, QStringLiteral("snapshot"));
    s.insert("mode", mode);
    return s;
}

// The simulator's timeline steps of one fault starting at `at`.
QJsonArray faultSteps(FaultKind kind, double at)
{
    switch (kind) {
    case FaultKind::Drop:
    case FaultKind::Silent:
    case FaultKind::Malformed:
    case FaultKind::Oversized:
        return {step(at, faultName(kind))};
    case FaultKind::RefuseLogin:
        // Refusing first: the program's reconnection must meet a refusal.
        return {step(at, "refuse_login"), step(at + 0.1, "drop"),
                step(at + kRefusingFor, "accept_login")};
    case FaultKind::SnapshotStall:
        return {snapshotStep(at, "stall"), snapshotStep(at + kSnapshotFaultFor, "normal")};
    case FaultKind::SnapshotCut:
        return {snapshotStep(at, "cut"), snapshotStep(at + kSnapshotFaultFor, "normal")};
    case FaultKind::SnapshotHuge:
        return {snapshotStep(at, "huge"), snapshotStep(at + kSnapshotFaultFor, "normal")};
    case FaultKind::SnapshotRefuse:
        return {snapshotStep(at, "refuse"), snapshotStep(at + kSnapshotFaultFor, "normal")};
    }
    return {};
}

} // namespace

QString faultName(FaultKind kind)
{
    switch (kind) {
    case FaultKind::Drop:
        return QStringLiteral("drop");
    case FaultKind::Silent:
        return QStringLiteral("silent");
    case FaultKind::Malformed:
        return QStringLiteral("malformed");
    case FaultKind::Oversized:
        return QStringLiteral("oversized");
    case FaultKind::RefuseLogin:
        return QStringLiteral("refuse_login");
    case FaultKind::SnapshotStall:
        return QStringLiteral("snapshot_stall");
    case FaultKind::SnapshotCut:
        return QStringLiteral("snapshot_cut");
    case FaultKind::SnapshotHuge:
        return QStringLiteral("snapshot_huge");
    case FaultKind::SnapshotRefuse:
        return QStringLiteral("snapshot_refuse");
    }
    return {};
}

bool endsConnection(FaultKind kind)
{
    return kind == FaultKind::Drop || kind == FaultKind::Silent || kind == FaultKind::Malformed ||
           kind == FaultKind::Oversized || kind == FaultKind::RefuseLogin;
}

double Plan::recoverySeconds(FaultKind kind)
{
    switch (kind) {
    case FaultKind::Silent:
        // The silence may begin just after a keep-alive answer: the next request goes out
        // within 10 s, and the host is dropped 20 to 30 s after it; then a reconnection.
        return 50;
    case FaultKind::RefuseLogin:
        return kRefusingFor + 8;
    case FaultKind::Drop:
    case FaultKind::Malformed:
    case FaultKind::Oversized:
        return 8;
    default:
        // A stalled download holds its slot for up to 10 s after the fault ends.
        return kSnapshotFaultFor + 10;
    }
}

Plan Plan::make(const Settings& settings)
{
    Plan plan;
    plan.m_settings = settings;
    QRandomGenerator random(settings.seed);

    // The hosts' first faults take the kinds in a shuffled order, so that with one host per
    // kind each kind happens early enough to be over before the end.
    std::array<FaultKind, kFaultKinds> firstKinds = kAllKinds;
    std::shuffle(firstKinds.begin(), firstKinds.end(), random);
    const double lastEnd = settings.seconds - kEndMargin;
    for (int h = 0; h < settings.hosts; ++h) {
        double at = kFirstFaultAfter + uniform(random, 0, kFirstFaultSpread);
        FaultKind kind = firstKinds[size_t(h) % firstKinds.size()];
        while (at + recoverySeconds(kind) <= lastEnd) {
            plan.m_faults.push_back({h, at, kind});
            at += recoverySeconds(kind) + uniform(random, 3, 20);
            kind = kAllKinds[random.bounded(quint32(kFaultKinds))];
        }
    }

    for (double at = 15 + uniform(random, 0, 20);;) {
        const double downFor = uniform(random, 5, 10);
        if (at + downFor > lastEnd)
            break;
        plan.m_cameraDeaths.push_back({at, downFor});
        at += downFor + uniform(random, 20, 60);
    }
    return plan;
}

QJsonObject Plan::scenario() const
{
    QJsonArray hosts;
    for (int h = 0; h < m_settings.hosts; ++h)
        hosts.append(host(h));
    return {{"hosts", hosts}};
}

QJsonObject Plan::host(int index) const
{
    const QString address = QStringLiteral("127.0.0.1");
    // A recorder on the test camera's RTSP port, and a door station's camera on its MJPEG port.
    const QJsonArray dvrs{QJsonObject{{"id", 1},
                                      {"group", 1},
                                      {"name", "Recorder"},
                                      {"type", 1},
                                      {"address", address},
                                      {"port", m_settings.rtspPort},
                                      {"viewlog_port", m_settings.httpPort},
                                      {"cmd_port", m_settings.rtspPort},
                                      {"cameras", QJsonArray{"Entrance", "Hall"}}},
                          QJsonObject{{"id", 2},
                                      {"group", 1},
                                      {"name", "Door Station"},
                                      {"type", 2},
                                      {"brand", 1},
                                      {"address", address},
                                      {"port", m_settings.httpPort},
                                      {"cameras", QJsonArray{"Door"}}}};
    const QJsonObject controller{
        {"id", 1},
        {"group", 1},
        {"type", 1},
        {"name", "Controller"},
        {"status", 6},
        {"input_names", QJsonArray{"Motion"}},
        {"inputs",
         QJsonArray{QJsonObject{{"id", 0}, {"video1", QJsonObject{{"dvr", 1}, {"camera", 1}}}}}},
        {"doors", QJsonArray{QJsonObject{{"id", 0},
                                         {"name", "Entrance"},
                                         {"status", "0x1000"},
                                         {"video1", QJsonObject{{"dvr", 2}, {"camera", 0}}},
                                         {"video2", QJsonObject{{"dvr", 1}, {"camera", 0}}}},
                             QJsonObject{{"id", 1}, {"name", "Side Door"}, {"status", "0x1000"}}}}};

    QStringList pictures;
    const QDir pictureDir(m_settings.pictureDir);
    for (const QString& name : pictureDir.entryList({"*.jpg"}, QDir::Files, QDir::Name))
        pictures << pictureDir.absoluteFilePath(name);
    const auto picture = [&](int n) {
        return pictures.isEmpty() ? QString() : pictures.at(n % pictures.size());
    };
    // One of each kind of event the program treats differently: a snapshot to download, live
    // pictures to capture (both, or the direction without a snapshot), an input's event, an
    // event without pictures, a door without cameras, a log type whose record never attaches.
    QJsonArray variants{
        QJsonObject{
            {"door", 0}, {"message", 1}, {"direction", 0}, {"live", 1}, {"image", picture(0)}},
        QJsonObject{{"door", 0}, {"message", 29}, {"direction", 1}, {"image", picture(1)}},
        QJsonObject{{"input", 0}, {"message", 5}, {"image", picture(2)}},
        QJsonObject{{"door", 1}, {"message", 40}},
        QJsonObject{{"door", 0}, {"message", 18}, {"log_type", 1}},
        QJsonObject{{"door", 0}, {"message", 3}, {"live", 1}},
        QJsonObject{{"door", 1}, {"message", 2}, {"image", picture(3)}},
        QJsonObject{{"door", 0}, {"message", 20}, {"direction", 1}, {"image", picture(4)}}};
    for (QJsonValueRef v : variants) {
        QJsonObject o = v.toObject();
        o.insert("controller", 1);
        if (o.value("image").toString().isEmpty())
            o.remove("image");
        v = o;
    }
    QJsonArray timeline{QJsonObject{{"at", kEventsStartAt},
                                    {"every", 1.0 / m_settings.eventsPerSecond},
                                    {"do", "event"},
                                    {"variants", variants}}};
    for (const PlannedFault& f : m_faults)
        if (f.host == index)
            for (const QJsonValue& s : faultSteps(f.kind, f.at))
                timeline.append(s);

    return {
        {"name", QStringLiteral("Soak Host %1").arg(index + 1)},
        {"guid",
         QStringLiteral("{50a4c000-0000-4000-8000-%1}").arg(index + 1, 12, 10, QLatin1Char('0'))},
        {"version", "0x4030000"},
        {"key", 7000 + index},
        {"users", QJsonArray{QJsonObject{{"name", "operator"},
                                         {"password", "soak"},
                                         {"privilege", "0x2080"},
                                         {"rights", "all"}}}},
        {"groups", QJsonArray{QJsonObject{{"id", 1}, {"name", "Site"}}}},
        {"dvrs", dvrs},
        {"controllers", QJsonArray{controller}},
        {"timeline", timeline}};
}

} // namespace Soak
