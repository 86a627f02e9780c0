#include "shell/Autorun.h"
#include "shell/CommandLine.h"
#include "shell/CrashReportPath.h"
#include "shell/StartupSequence.h"
#include "tst_shell.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

class TestCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void argumentText_data();
    void argumentText();
    void wholeLineFromArguments();
    void crashReportTime_data();
    void crashReportTime();
    void crashReportPathCreatesFolder();
    void crashReportPathTooLongIsRefused();
    void autorunExecQuoting_data();
    void autorunExecQuoting();
    void autorunWriteAndRemove();
    void autorunFailuresAreReported();

private:
    QTemporaryDir m_config;
};

void TestCommandLine::argumentText_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<bool>("service");
    QTest::addColumn<bool>("minimize");
    QTest::addColumn<bool>("uninstall");

    QTest::newRow("quoted path with switches") << R"("/opt/KR Notify/KRNotify" /minimize /Service)"
                                               << "/minimize /Service" << true << true << false;
    QTest::newRow("quoted path alone") << R"("/opt/KRNotify")"
                                       << R"("/opt/KRNotify")" << false << false << false;
    QTest::newRow("quote without following space")
        << R"("/opt/KRNotify"/uninstall)"
        << R"("/opt/KRNotify"/uninstall)" << false << false << true;
    QTest::newRow("unquoted keeps the program path")
        << "/opt/KRNotify /uninstall"
        << "/opt/KRNotify /uninstall" << false << false << true;
    QTest::newRow("switch glued to other text") << R"("/opt/KRNotify" x/minimizey/Servicez)"
                                                << "x/minimizey/Servicez" << true << true << false;
    QTest::newRow("case matters") << R"("/opt/KRNotify" /service /MINIMIZE /Uninstall)"
                                  << "/service /MINIMIZE /Uninstall" << false << false << false;
    QTest::newRow("first pair only") << R"("a" "b" /minimize)"
                                     << R"("b" /minimize)" << false << true << false;
    QTest::newRow("empty") << ""
                           << "" << false << false << false;
}

void TestCommandLine::argumentText()
{
    QFETCH(QString, line);
    QFETCH(QString, arguments);

    const CommandLine commandLine(line);
    QCOMPARE(commandLine.argumentText(), arguments);
    QTEST(commandLine.hasService(), "service");
    QTEST(commandLine.hasMinimize(), "minimize");
    QTEST(commandLine.hasUninstall(), "uninstall");
    QCOMPARE(commandLine.handOverCommand(), arguments + " /Service");
}

void TestCommandLine::wholeLineFromArguments()
{
    const CommandLine withArguments =
        CommandLine::fromArguments("/opt/Service/KRNotify", {"/minimize", "x"});
    QCOMPARE(withArguments.wholeLine(), QString(R"("/opt/Service/KRNotify" /minimize x)"));
    QCOMPARE(withArguments.argumentText(), QString("/minimize x"));

    // Without arguments the program path is not searched for switches.
    const CommandLine bare = CommandLine::fromArguments("/opt/Service/KRNotify", {});
    QCOMPARE(bare.argumentText(), QString());
    QVERIFY(!bare.hasService());
}

void TestCommandLine::crashReportTime_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("epoch") << qint64(0) << "19700101000000";
    QTest::newRow("ordinary") << qint64(1717243199) << "20240601115959";
    QTest::newRow("before 1970") << qint64(-86400) << "19691231000000";
    QTest::newRow("last representable second") << qint64(253402300799) << "99991231235959";
    QTest::newRow("year 10000") << qint64(253402300800) << "Invalid DateTime";
}

void TestCommandLine::crashReportTime()
{
    QFETCH(qint64, seconds);
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "UTC");
    tzset();
    const QString text = CrashReportPath::timeText(static_cast<std::time_t>(seconds));
    qputenv("TZ", zone);
    tzset();
    QTEST(text, "text");
}

void TestCommandLine::crashReportPathCreatesFolder()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("data/sub");
    const QString path = CrashReportPath::prepare(folder, 0);
    QVERIFY(QFileInfo(folder + "/Exception").isDir());
    QVERIFY(path.startsWith(folder + "/Exception/KRNotify_"));
    QVERIFY(path.endsWith(".dmp"));
    QCOMPARE(path.size(), (folder + "/Exception/KRNotify_").size() + 14 + 4);
}

void TestCommandLine::crashReportPathTooLongIsRefused()
{
    ExceptionFilterRecord record;
    QVERIFY(SystemStartupSteps::fillRecord(record, "/" + QString(258, 'a')));
    QCOMPARE(QByteArray(record.dumpPath).size(), 259);

    // Counted in UTF-8 bytes: 130 two-byte characters do not fit.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("crash reports disabled"));
    QVERIFY(!SystemStartupSteps::fillRecord(record, "/" + QString(130, QChar(0x00e9))));
    QCOMPARE(record.dumpPath[0], '\0');
}

void TestCommandLine::autorunExecQuoting_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << "/opt/krnotify/KRNotify"
                           << R"("/opt/krnotify/KRNotify" /minimize)";
    QTest::newRow("space") << "/opt/KR Notify/KRNotify"
                           << R"("/opt/KR Notify/KRNotify" /minimize)";
    QTest::newRow("quote, dollar, backtick") << R"(/opt/a"b$c`d/KRNotify)"
                                             << R"("/opt/a\\"b\\$c\\`d/KRNotify" /minimize)";
    QTest::newRow("backslash") << R"(/opt/a\b/KRNotify)"
                               << R"("/opt/a\\\\b/KRNotify" /minimize)";
    QTest::newRow("percent") << "/opt/100%/KRNotify"
                             << R"("/opt/100%%/KRNotify" /minimize)";
}

void TestCommandLine::autorunExecQuoting()
{
    QFETCH(QString, program);
    QTEST(Autorun::execValue(program), "exec");
}

void TestCommandLine::autorunWriteAndRemove()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    const QString entry = m_config.filePath("autostart/KRNotify.desktop");
    QCOMPARE(Autorun::entryPath(), entry);

    QVERIFY(Autorun::remove()); // nothing to remove is not a failure
    QVERIFY(Autorun::write("/opt/old/KRNotify"));
    QVERIFY(Autorun::write("/opt/KR Notify/KRNotify"));
    QFile file(entry);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY(content.startsWith("[Desktop Entry]\n"));
    QVERIFY(content.contains("\nType=Application\n"));
    QVERIFY(content.contains("\nExec=\"/opt/KR Notify/KRNotify\" /minimize\n"));
    QVERIFY(!content.contains("/opt/old"));

    QVERIFY(Autorun::remove());
    QVERIFY(!QFile::exists(entry));
}

void TestCommandLine::autorunFailuresAreReported()
{
    QTemporaryDir dir;
    // The config folder is a file: the autostart folder cannot be created.
    QFile blocker(dir.filePath("config"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker.fileName()));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("autorun entry not written"));
    QVERIFY(!Autorun::write("/opt/krnotify/KRNotify"));

    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    for (const QString& breaker : {QStringLiteral("\n"), QStringLiteral("\r"), QString(QChar(0))}) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("autorun entry not written"));
        QVERIFY(!Autorun::write("/opt/krnotify" + breaker + "Exec=/bin/evil"));
    }
    QVERIFY(!QFile::exists(Autorun::entryPath()));
}

QObject* makeCommandLineTest()
{
    return new TestCommandLine;
}

#include "tst_commandline.moc"
