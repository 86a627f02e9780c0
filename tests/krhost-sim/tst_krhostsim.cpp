#include "tnclient/TnWire.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using TnWire::Field;
using TnWire::Message;

namespace {

constexpr int kWait = 10000; // upper bound; every exchange normally takes milliseconds

const char* const kScenario = R"({
  "name": "Test Host", "version": "0x4030000", "key": 4660, "guid": "{test-guid}",
  "users": [{"name": "operator", "password": "demo", "privilege": 8320, "rights": "all"}],
  "groups": [{"id": 1, "name": "A"}, {"id": 2, "name": "B"}],
  "controllers": [{"id": 5, "group": 1, "type": 18, "name": "C5",
    "inputs": [{"id": 0, "video1": {"dvr": 9, "camera": 0}}],
    "doors": [{"id": 0, "name": "Front", "status": 4096, "video1": {"dvr": 9, "camera": 1}},
              {"id": 1, "format": 1, "dvr_name": "Recorder", "camera": 2}]}],
  "dvrs": [{"id": 9, "group": 1, "name": "Recorder", "cameras": 2, "port": 8554}],
  "timeline": [{"at": 0, "do": "event", "controller": 5, "door": 0, "direction": 1,
                "message": 3, "image": "pic.jpg"}]
})";

// The simulator as a child process with the test scenario.
class Simulator
{
public:
    explicit Simulator(const QStringList& extraArgs = {}, const QByteArray& scenario = kScenario)
    {
        QVERIFY(m_dir.isValid());
        m_picture.resize(300000); // several TCP segments
        for (char& b : m_picture)
            b = char(QRandomGenerator::global()->generate());
        write("pic.jpg", m_picture);
        write("scenario.json", scenario);
        const QString program =
            qEnvironmentVariable("KRNOTIFY_BINARY_DIR") + "/tools/krhost-sim/krhost-sim";
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program,
                        QStringList{"--port", "0", "--scenario", path("scenario.json"), "--log",
                                    path("log.jsonl"), "--trace", path("trace.jsonl")} +
                            extraArgs);
        QVERIFY2(m_process.waitForStarted(kWait), qPrintable(program));
        QVERIFY(QTest::qWaitFor([this] { return m_process.canReadLine(); }, kWait));
        const QByteArray line = m_process.readLine().trimmed();
        QVERIFY2(line.startsWith("port "), line.constData());
        m_port = quint16(line.mid(5).toUInt());
        QVERIFY(m_port > 0);
    }
    ~Simulator()
    {
        m_process.kill();
        m_process.waitForFinished(kWait);
    }
    quint16 port() const { return m_port; }
    const QByteArray& picture() const { return m_picture; }
    QString path(const QString& name) const { return m_dir.filePath(name); }

private:
    void write(const QString& name, const QByteArray& bytes)
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_picture;
    quint16 m_port = 0;
};

// A monitor's end of a control connection, speaking the wire format directly.
class Monitor
{
public:
    explicit Monitor(quint16 port)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(m_socket.waitForConnected(kWait));
    }
    void send(const Message& m)
    {
        m_socket.write(TnWire::encodeFrame(m));
        m_socket.flush();
    }
    void sendRaw(const QByteArray& bytes)
    {
        m_socket.write(bytes);
        m_socket.flush();
    }
    // The next message; empty command on time-out, when the host closed the connection or sent
    // a bad frame (frameError() says which).
    Message next()
    {
        Message m;
        for (;;) {
            const TnWire::FrameReader::Status status = m_reader.next(&m);
            if (status == TnWire::FrameReader::Status::Ready)
                return m;
            if (status == TnWire::FrameReader::Status::Failed)
                return {};
            if (!m_socket.bytesAvailable() && !m_socket.waitForReadyRead(kWait))
                return {};
            m_reader.feed(m_socket.readAll());
        }
    }
    // Skips messages until one of the given commands arrives.
    Message waitFor(const QStringList& commands)
    {
        for (;;) {
            Message m = next();
            if (m.command.isEmpty() || commands.contains(m.command))
                return m;
        }
    }
    Message login(const QString& user, const QString& password)
    {
        send({"REMOTEMONITOR_LOGIN",
              {{"VERSION", Field::ofInt(0x6000200)},
               {"USERNAME", Field::ofText(user)},
               {"PASSWORD", Field::ofText(password)},
               {"KRREMOTE_TYPE", Field::ofInt(2)}}});
        return waitFor({"REMOTEMONITOR_LOGIN"});
    }
    QTcpSocket& socket() { return m_socket; }
    QString frameError() const { return m_reader.errorText(); }

private:
    QTcpSocket m_socket;
    TnWire::FrameReader m_reader;
};

qint32 intOf(const Message& m, const char* key)
{
    const Field f = m.fields.value(QLatin1String(key));
    return f.type == Field::Type::Int ? f.intValue : -999999;
}

// The trace's lines so far, each as "dir cmd" (or "dir fault" / "dir" for the other lines),
// for one monitor connection and the host-wide lines (conn 0).
QStringList traceOf(const Simulator& sim, int conn)
{
    QFile file(sim.path("trace.jsonl"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    while (!file.atEnd()) {
        const QJsonObject line = QJsonDocument::fromJson(file.readLine()).object();
        const int lineConn = line.value("conn").toInt();
        if (lineConn != conn && lineConn != 0)
            continue;
        const QString dir = line.value("dir").toString();
        const QString what =
            line.contains("cmd") ? line.value("cmd").toString() : line.value("fault").toString();
        out << (what.isEmpty() ? dir : dir + ' ' + what);
    }
    return out;
}

QByteArray le32(qint32 v)
{
    QByteArray out(4, Qt::Uninitialized);
    qToLittleEndian(v, out.data());
    return out;
}

// Reads exactly n bytes, or fewer if the host closes or goes silent.
QByteArray readExactly(QTcpSocket& s, qint64 n)
{
    QByteArray out;
    while (out.size() < n) {
        if (!s.bytesAvailable() && !s.waitForReadyRead(kWait))
            break;
        out += s.read(n - out.size());
    }
    return out;
}

} // namespace

class TestKrHostSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void login_data();
    void login();
    void keepAlive_data();
    void keepAlive();
    void largeSiteStreamsWhole();
    void snapshot_data();
    void snapshot();
    void acknowledgementsReachEveryMonitor_data();
    void acknowledgementsReachEveryMonitor();
    void unlockOpensAndClosesTheDoor();
    void badFrameDropsOnlyThatMonitor();
    void faultsEndTheConnection_data();
    void faultsEndTheConnection();
    void silentHostAnswersNothing();
    void timelineIntegersAsTexts();
    void logIdsStartOverAfterTheLargest();
    void badScenarioIsRejected_data();
    void badScenarioIsRejected();
};

void TestKrHostSim::login_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("result");
    QTest::newRow("accepted") << QStringList() << "operator"
                              << "demo" << 0;
    QTest::newRow("wrong password") << QStringList() << "operator"
                                    << "Demo" << 1;
    QTest::newRow("unknown user") << QStringList() << "nobody"
                                  << "demo" << 1;
    QTest::newRow("refused by fault") << QStringList{"--refuse-login"} << "operator"
                                      << "demo" << 2;
}

void TestKrHostSim::login()
{
    QFETCH(QStringList, args);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(int, result);
    Simulator sim(args);
    Monitor monitor(sim.port());
    const Message reply = monitor.login(user, password);
    QCOMPARE(intOf(reply, "R_RESULT"), result);
    QCOMPARE(reply.fields.value("R_GUID").textValue, QStringLiteral("{test-guid}"));
    QCOMPARE(intOf(reply, "R_VERSION"), 0x4030000);

    if (result != 0) {
        // No configuration follows a refused login: the next answer is the keep-alive.
        monitor.send({"CHECK_ALIVE", {}});
        QCOMPARE(monitor.next().command, QStringLiteral("CHECK_ALIVE"));
        return;
    }
    QCOMPARE(intOf(reply, "R_PRIVILEGE"), 0x2080);
    QCOMPARE(intOf(reply, "R_KEY"), 4660);
    QCOMPARE(reply.fields.value("R_EXECUTE").textValue, QString(1000, '1'));

    const QStringList expected{"HOST_PARAM",        "ALL_DEVICE_GROUPS_PARAM",
                               "CTRL_PARAM",        "CTRL_IO_NAMES",
                               "CTRL_INPUT_PARAM",  "DOOR_PARAM",
                               "DOOR_PARAM",        "CTRL_STATUS",
                               "DOOR_STATUS",       "DOOR_STATUS",
                               "CTRL_INPUT_STATUS", "DVR_PARAM"};
    QList<Message> config;
    for (int n = 0; n < expected.size(); ++n)
        config << monitor.next();
    QStringList order;
    for (const Message& m : config)
        order << m.command;
    QCOMPARE(order, expected);
    QCOMPARE(config[0].fields.value("H_NAME").textValue, QStringLiteral("Test Host"));
    QCOMPARE(intOf(config[1], "DG_COUNT"), 2);
    QCOMPARE(config[2].fields.value("C_DOOR_ID_LIST").textValue, QStringLiteral("0,1,"));
    QCOMPARE(intOf(config[5], "VER"), 2);
    QCOMPARE(intOf(config[5], "D_VIDEO_1_CAM_ID"), 1);
    QCOMPARE(config[6].fields.value("D_VIDEO_DVR_NAME").textValue, QStringLiteral("Recorder"));
    QCOMPARE(intOf(config[11], "DVR_CAMERA_COUNT"), 2);

    // The log shows the login as received, with typed fields.
    QFile log(sim.path("log.jsonl"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray firstLine = log.readLine();
    QVERIFY2(firstLine.contains(R"("cmd":"REMOTEMONITOR_LOGIN")"), firstLine.constData());
    QVERIFY2(firstLine.contains(R"("USERNAME":{"s":"operator"})"), firstLine.constData());
    QVERIFY2(firstLine.contains(R"("KRREMOTE_TYPE":{"i":2})"), firstLine.constData());
}

void TestKrHostSim::keepAlive_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("firstAnswer");
    QTest::newRow("answered") << QStringList() << "CHECK_ALIVE";
    QTest::newRow("silent by fault") << QStringList{"--no-alive"} << "KRNOTIFY_EVENT_HANDLED";
}

void TestKrHostSim::keepAlive()
{
    QFETCH(QStringList, args);
    QFETCH(QString, firstAnswer);
    Simulator sim(args);
    Monitor monitor(sim.port());
    QCOMPARE(intOf(monitor.login("operator", "demo"), "R_RESULT"), 0);
    // The host answers in order, so a missing keep-alive shows without waiting for it.
    monitor.send({"CHECK_ALIVE", {}});
    monitor.send({"KRNOTIFY_NOTIFY_EVENT_HANDLED",
                  {{"L_TYPE", Field::ofInt(2)}, {"L_ID", Field::ofInt(1)}}});
    QCOMPARE(monitor.waitFor({"CHECK_ALIVE", "KRNOTIFY_EVENT_HANDLED"}).command, firstAnswer);
}

// A site whose configuration is larger than what the host lets wait for a monitor reaches one
// that keeps reading: whole, in order, with the keep-alive answer after it.
void TestKrHostSim::largeSiteStreamsWhole()
{
    constexpr int kControllers = 850;
    constexpr int kPerController = 115; // as a host sends 48 inputs and 8 doors, status included
    QByteArray inputs, doors;
    for (int i = 0; i < 48; ++i)
        inputs += (i ? ",{\"id\":" : "{\"id\":") + QByteArray::number(i) + '}';
    for (int d = 0; d < 8; ++d)
        doors += (d ? ",{\"id\":" : "{\"id\":") + QByteArray::number(d) + '}';
    QByteArray controllers;
    for (int c = 1; c <= kControllers; ++c)
        controllers += QByteArray(c > 1 ? "," : "") + R"({"id":)" + QByteArray::number(c) +
                       R"(,"group":1,"inputs":[)" + inputs + R"(],"doors":[)" + doors + "]}";
    Simulator sim({}, R"({"users":[{"name":"operator","password":"demo","rights":"all"}],
                          "groups":[{"id":1,"name":"A"}],"controllers":[)" +
                          controllers + "]}");
    Monitor monitor(sim.port());
    QCOMPARE(intOf(monitor.login("operator", "demo"), "R_RESULT"), 0);
    monitor.send({"CHECK_ALIVE", {}});

    int messages = 0;
    qint64 bytes = 0;
    qint32 lastController = 0;
    for (Message m = monitor.next(); m.command != QLatin1String("CHECK_ALIVE");
         m = monitor.next()) {
        QVERIFY2(!m.command.isEmpty(), qPrintable(QString::number(messages)));
        ++messages;
        bytes += TnWire::encodeFrame(m).size();
        if (m.command == QLatin1String("CTRL_PARAM")) {
            QCOMPARE(intOf(m, "C_ID"), lastController + 1);
            lastController = intOf(m, "C_ID");
        }
    }
    QCOMPARE(messages, 2 + kControllers * kPerController);
    QCOMPARE(lastController, kControllers);
    QVERIFY2(bytes > 16 * 1024 * 1024, qPrintable(QString::number(bytes)));
}

void TestKrHostSim::snapshot_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("keyDelta");
    QTest::addColumn<int>("logIdDelta");
    QTest::addColumn<int>("accept");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("length");   // -1: the picture's size
    QTest::addColumn<int>("received"); // -1: the whole picture
    QTest::newRow("served") << "normal" << 0 << 0 << 1 << 1 << -1 << -1;
    QTest::newRow("wrong key") << "normal" << 1 << 0 << 1 << 0 << 0 << 0;
    QTest::newRow("unknown log id") << "normal" << 0 << 1 << 1 << 0 << 0 << 0;
    QTest::newRow("refused") << "refuse" << 0 << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("cut in half") << "cut" << 0 << 0 << 1 << 1 << -1 << 150000;
    QTest::newRow("huge") << "huge" << 0 << 0 << 1 << 1 << 5000000 << 0;
}

void TestKrHostSim::snapshot()
{
    QFETCH(QString, fault);
    QFETCH(int, keyDelta);
    QFETCH(int, logIdDelta);
    QFETCH(int, accept);
    QFETCH(int, result);
    QFETCH(int, length);
    QFETCH(int, received);
    Simulator sim({"--snapshot-fault", fault});
    Monitor monitor(sim.port());
    QCOMPARE(intOf(monitor.login("operator", "demo"), "R_RESULT"), 0);
    const Message event = monitor.waitFor({"NEW_EVENTLOG"});
    QCOMPARE(intOf(event, "LOG_WITH_IMAGE"), 1);
    QCOMPARE(intOf(event, "DIRECTION"), 1);
    QCOMPARE(event.fields.value("T_UTC").type, Field::Type::Date);

    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, sim.port());
    QVERIFY(s.waitForConnected(kWait));
    s.write(QByteArray(1, '\0')); // two separate one-byte sends, as the client does
    QVERIFY(s.waitForBytesWritten(kWait));
    s.write(QByteArray(1, '\xC9'));
    const QByteArray flag = readExactly(s, 1);
    QCOMPARE(flag.size(), 1);
    QCOMPARE(int(flag.at(0) != 0), accept);
    if (!accept) {
        QVERIFY(readExactly(s, 1).isEmpty()); // closed, nothing more
        return;
    }
    const double utc = event.fields.value("T_UTC").dateValue;
    QByteArray time(8, Qt::Uninitialized);
    qToLittleEndian(utc, time.data());
    s.write(le32(15) + le32(intOf(event, "L_ID") + logIdDelta) + le32(2) + le32(4660 + keyDelta) +
            time);
    QCOMPARE(qFromLittleEndian<qint32>(readExactly(s, 4).constData()), result);
    if (!result)
        return;
    QCOMPARE(qFromLittleEndian<qint32>(readExactly(s, 4).constData()),
             length < 0 ? qint32(sim.picture().size()) : length);
    const QByteArray body = readExactly(s, sim.picture().size());
    if (received < 0)
        QCOMPARE(body, sim.picture());
    else
        QCOMPARE(body, sim.picture().left(received));
}

void TestKrHostSim::acknowledgementsReachEveryMonitor_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("confirmation");
    QTest::newRow("handling") << "KRNOTIFY_NOTIFY_EVENT_HANDLING"
                              << "KRNOTIFY_EVENT_HANDLING";
    QTest::newRow("handled") << "KRNOTIFY_NOTIFY_EVENT_HANDLED"
                             << "KRNOTIFY_EVENT_HANDLED";
}

void TestKrHostSim::acknowledgementsReachEveryMonitor()
{
    QFETCH(QString, request);
    QFETCH(QString, confirmation);
    Simulator sim;
    Monitor first(sim.port());
    Monitor second(sim.port());
    QCOMPARE(intOf(first.login("operator", "demo"), "R_RESULT"), 0);
    QCOMPARE(intOf(second.login("operator", "demo"), "R_RESULT"), 0);
    first.send({request, {{"L_TYPE", Field::ofInt(2)}, {"L_ID", Field::ofInt(77)}}});
    for (Monitor* m : {&first, &second}) {
        const Message confirm = m->waitFor({confirmation});
        QCOMPARE(confirm.command, confirmation);
        QCOMPARE(intOf(confirm, "L_TYPE"), 2);
        QCOMPARE(intOf(confirm, "L_ID"), 77);
    }
}

void TestKrHostSim::unlockOpensAndClosesTheDoor()
{
    Simulator sim({"--door-open-seconds", "0.05"});
    Monitor monitor(sim.port());
    QCOMPARE(intOf(monitor.login("operator", "demo"), "R_RESULT"), 0);
    monitor.waitFor({"DVR_PARAM"}); // configuration complete
    monitor.send({"DOOR_OPERATIONS",
                  {{"C_ID", Field::ofInt(5)},
                   {"D_ID", Field::ofInt(0)},
                   {"CONTROL_CODE", Field::ofInt(22)},
                   {"DATA", Field::ofInt(0)}}});
    const Message opened = monitor.waitFor({"DOOR_STATUS"});
    QCOMPARE(intOf(opened, "D_STATUS"), 0x1002);
    const Message closed = monitor.waitFor({"DOOR_STATUS"});
    QCOMPARE(intOf(closed, "D_STATUS"), 0x1000);
}

void TestKrHostSim::badFrameDropsOnlyThatMonitor()
{
    Simulator sim;
    Monitor bad(sim.port());
    Monitor good(sim.port());
    QCOMPARE(intOf(good.login("operator", "demo"), "R_RESULT"), 0);
    QByteArray huge(4, '\0');
    qToBigEndian<quint32>(5000000, huge.data());
    bad.sendRaw(huge);
    QVERIFY(bad.next().command.isEmpty());
    QCOMPARE(bad.socket().state(), QAbstractSocket::UnconnectedState);
    good.send({"CHECK_ALIVE", {}});
    QCOMPARE(good.waitFor({"CHECK_ALIVE"}).command, QStringLiteral("CHECK_ALIVE"));
}

void TestKrHostSim::faultsEndTheConnection_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("frameError"); // empty: the host closes the connection
    QTest::newRow("dropped") << "drop"
                             << "";
    QTest::newRow("malformed frame") << "malformed"
                                     << "malformed payload";
    QTest::newRow("oversized frame") << "oversized"
                                     << "frame length 16777216 out of range";
}

// Each fault that ends a connection: the host closes it, or sends a frame the monitor refuses.
void TestKrHostSim::faultsEndTheConnection()
{
    QFETCH(QString, fault);
    QFETCH(QString, frameError);
    const QByteArray scenario =
        R"({"users": [{"name": "operator", "password": "demo", "rights": "all"}],
            "timeline": [{"at": 0, "do": "fault", "fault": ")" +
        fault.toLatin1() + R"("}]})";
    Simulator sim({}, scenario.constData());
    Monitor monitor(sim.port());
    QCOMPARE(intOf(monitor.login("operator", "demo"), "R_RESULT"), 0);
    while (!monitor.next().command.isEmpty()) {
    }
    QCOMPARE(monitor.frameError(), frameError);
    if (frameError.isEmpty())
        QCOMPARE(monitor.socket().state(), QAbstractSocket::UnconnectedState);
}

// A silent host sends a monitor nothing from the fault on, not even the keep-alive answer; the
// trace shows each step in order, down to the monitor's end.
void TestKrHostSim::silentHostAnswersNothing()
{
    Simulator sim({}, R"({"users": [{"name": "operator", "password": "demo", "rights": "all"}],
                          "timeline": [{"at": 0, "do": "fault", "fault": "silent"},
                                       {"at": 0, "every": 0.01, "do": "event"}]})");
    Monitor monitor(sim.port());
    QCOMPARE(intOf(monitor.login("operator", "demo"), "R_RESULT"), 0);
    QVERIFY(QTest::qWaitFor([&] { return traceOf(sim, 1).contains("fault silent"); }, kWait));
    monitor.send({"CHECK_ALIVE", {}});
    QVERIFY(QTest::qWaitFor([&] { return traceOf(sim, 1).contains("in CHECK_ALIVE"); }, kWait));
    monitor.socket().disconnectFromHost();
    QVERIFY(QTest::qWaitFor([&] { return traceOf(sim, 1).last() == "closed"; }, kWait));

    const QStringList trace = traceOf(sim, 1);
    QCOMPARE(trace.mid(0, 3),
             (QStringList{"in REMOTEMONITOR_LOGIN", "out REMOTEMONITOR_LOGIN", "out HOST_PARAM"}));
    const QStringList afterFault = trace.mid(trace.indexOf("fault silent"));
    QCOMPARE(afterFault, (QStringList{"fault silent", "in CHECK_ALIVE", "closed"}));
}

void TestKrHostSim::timelineIntegersAsTexts()
{
    // Step members take integers as the rest of the file does: numbers or texts; a number
    // beyond 64 bits takes the default, a wide one keeps its low 32 bits.
    Simulator sim({}, R"({
      "users": [{"name": "operator", "password": "demo", "rights": "all"}],
      "controllers": [{"id": 5, "doors": [{"id": 1}], "inputs": [{"id": 2}]}],
      "timeline": [
        {"at": 0, "do": "door_workmode", "controller": "0x5", "door": "1", "workmode": "2"},
        {"at": 0, "do": "event", "controller": 5, "input": "2", "message": 1e30},
        {"at": 0, "do": "send", "cmd": "X", "fields": {"BIG": -1e300, "MASK": 4294967295}}]
    })");
    Monitor monitor(sim.port());
    QCOMPARE(intOf(monitor.login("operator", "demo"), "R_RESULT"), 0);
    const Message workMode = monitor.waitFor({"DOOR_WORKMODE"});
    QCOMPARE(intOf(workMode, "C_ID"), 5);
    QCOMPARE(intOf(workMode, "D_ID"), 1);
    QCOMPARE(intOf(workMode, "D_WORKMODE"), 2);
    const Message event = monitor.waitFor({"NEW_EVENTLOG"});
    QCOMPARE(intOf(event, "IS_INPUT_MESSAGE"), 1);
    QCOMPARE(intOf(event, "D_ID"), 2);
    QCOMPARE(intOf(event, "M_ID"), 1);
    const Message sent = monitor.waitFor({"X"});
    QCOMPARE(intOf(sent, "BIG"), 0);
    QCOMPARE(intOf(sent, "MASK"), -1);
}

void TestKrHostSim::logIdsStartOverAfterTheLargest()
{
    Simulator sim({}, R"({
      "first_log_id": "0x7FFFFFFF",
      "users": [{"name": "operator", "password": "demo", "rights": "all"}],
      "timeline": [{"at": 0, "every": 0.01, "count": 2, "do": "event"}]
    })");
    Monitor monitor(sim.port());
    QCOMPARE(intOf(monitor.login("operator", "demo"), "R_RESULT"), 0);
    QCOMPARE(intOf(monitor.waitFor({"NEW_EVENTLOG"}), "L_ID"), 0x7FFFFFFF);
    QCOMPARE(intOf(monitor.waitFor({"NEW_EVENTLOG"}), "L_ID"), 1);
}

void TestKrHostSim::badScenarioIsRejected_data()
{
    QTest::addColumn<QByteArray>("scenario");
    QTest::newRow("not JSON") << QByteArray("{\"name\": ");
    QTest::newRow("no host") << QByteArray(R"({"hosts": []})");
    QTest::newRow("unknown action") << QByteArray(R"({"timeline": [{"do": "explode"}]})");
    QTest::newRow("missing picture")
        << QByteArray(R"({"timeline": [{"do": "event", "image": "nowhere.jpg"}]})");
    QTest::newRow("timer beyond range")
        << QByteArray(R"({"timeline": [{"do": "config", "at": 1e12}]})");
    QTest::newRow("bad rights") << QByteArray(R"({"users": [{"name": "a", "rights": [1000]}]})");
}

void TestKrHostSim::badScenarioIsRejected()
{
    QFETCH(QByteArray, scenario);
    QTemporaryDir dir;
    QFile file(dir.filePath("bad.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(scenario);
    file.close();
    QProcess process;
    process.start(qEnvironmentVariable("KRNOTIFY_BINARY_DIR") + "/tools/krhost-sim/krhost-sim",
                  {"--port", "0", "--scenario", file.fileName()});
    QVERIFY(process.waitForFinished(kWait));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty()); // no "port" line: nothing listens
    QVERIFY(!process.readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(TestKrHostSim)
#include "tst_krhostsim.moc"
