#include "alerts/CAlarm.h"
#include "alerts/COptions.h"
#include "alerts/COptionsDlg.h"
#include "alerts/SoundEffectPlayer.h"
#include "common/AlarmPlayerRecorder.h"
#include "platform/ProfileFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void writeIni(const QString& path, const QByteArray& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    ProfileFile::clearCache();
}

} // namespace

class tst_Alerts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void alarm_data();
    void alarm();
    void unreadableSoundFallsBack_data();
    void unreadableSoundFallsBack();
    void silentOutputIsReportedAndRetried();
    void optionsFile_data();
    void optionsFile();
    void demoOptionsRingAndPopUp();
    void okWritesEveryKey();
    void cancelChangesNothing();
};

void tst_Alerts::alarm_data()
{
    QTest::addColumn<int>("durationMs");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("played");
    QTest::addColumn<int>("timer"); // -1: no timer
    QTest::newRow("once") << 0 << "/w/Buzzer.wav" << QStringList{"stop", "once Buzzer.wav"} << -1;
    QTest::newRow("negative plays once")
        << -5000 << "/w/Ring.wav" << QStringList{"stop", "once Ring.wav"} << -1;
    QTest::newRow("looped") << 10000 << "/w/Ring.wav" << QStringList{"stop", "loop Ring.wav"}
                            << 10000;
    QTest::newRow("disabled only stops") << 10000 << "" << QStringList{"stop"} << -1;
}

void tst_Alerts::alarm()
{
    QFETCH(int, durationMs);
    QFETCH(QString, path);
    QFETCH(QStringList, played);
    QFETCH(int, timer);
    PlayerRecorder player;
    CAlarm alarm(player);
    alarm.StartAlarm(durationMs, path);
    QCOMPARE(player.log, played);
    QCOMPARE(alarm.isTimerActive(), timer >= 0);
    if (timer >= 0)
        QCOMPARE(alarm.timerInterval(), timer);

    // A second event restarts the loop and its period; the timer's end stops the sound.
    player.log.clear();
    alarm.StartAlarm(10000, QStringLiteral("/w/Buzzer.wav"));
    QCOMPARE(player.log, (QStringList{"stop", "loop Buzzer.wav"}));
    QVERIFY(alarm.isTimerActive());
    alarm.OnAlarmTimer();
    QVERIFY(!alarm.isTimerActive());
    QCOMPARE(player.log.last(), QStringLiteral("stop"));
}

void tst_Alerts::unreadableSoundFallsBack_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: the file does not exist
    QTest::addColumn<bool>("loop");
    QTest::newRow("user file deleted") << QByteArray() << true;
    QTest::newRow("not a wave file") << QByteArray("RIFFgarbagegarbage") << false;
}

void tst_Alerts::unreadableSoundFallsBack()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, loop);
    QTemporaryDir dir;
    const QString user = dir.filePath(QStringLiteral("Door.wav"));
    if (!content.isEmpty())
        writeIni(user, content);
    const QString buzzer = QDir(qEnvironmentVariable("KRNOTIFY_PROGRAM_DIR"))
                               .filePath(QStringLiteral("Wave/Buzzer.wav"));
    QVERIFY(QFile::exists(buzzer));
    SoundEffectPlayer player(buzzer);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot play"));
    player.Play(user, loop);
    QTRY_COMPARE(player.playingFile(), buzzer);
    QCOMPARE(player.isLooping(), loop);
    // Stopped before the file turned out bad: nothing plays.
    player.Stop();
    QCOMPARE(player.playingFile(), QString());
}

void tst_Alerts::silentOutputIsReportedAndRetried()
{
    // The player says whether its output opens, and asks anew for every sound.
    const QString buzzer = QDir(qEnvironmentVariable("KRNOTIFY_PROGRAM_DIR"))
                               .filePath(QStringLiteral("Wave/Buzzer.wav"));
    bool opens = false;
    SoundEffectPlayer sound(buzzer, [&opens] { return opens; });
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no audio output"));
    QVERIFY(!sound.Play(buzzer, false));
    opens = true;
    QVERIFY(sound.Play(buzzer, false));
    sound.Stop();

    // The alarm turns that into a state, and tries the output again at every alarm.
    PlayerRecorder player;
    CAlarm alarm(player);
    QSignalSpy changed(&alarm, &CAlarm::soundWorksChanged);
    player.outputOpens = false;
    alarm.StartAlarm(0, buzzer);
    alarm.StartAlarm(10000, buzzer);
    QVERIFY(!alarm.soundWorks());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(player.log, (QStringList{"stop", "once Buzzer.wav", "stop", "loop Buzzer.wav"}));
    QVERIFY(alarm.isTimerActive()); // a silent loop still ends on time
    alarm.StopAlarm();
    QVERIFY(!alarm.soundWorks()); // stopping is no proof the sound works
    player.outputOpens = true;
    alarm.StartAlarm(0, buzzer);
    QVERIFY(alarm.soundWorks());
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.last().at(0).toBool(), true);
}

void tst_Alerts::optionsFile_data()
{
    QTest::addColumn<QByteArray>("ini"); // empty: no file
    // autoPopup, invokeAlarm, waveSelect, duration, askBeforeUnlock
    QTest::addColumn<QList<int>>("expected");
    QTest::addColumn<QString>("waveFile");
    QTest::newRow("missing file") << QByteArray() << QList<int>{0, 0, 0, 0, 1} << "";
    QTest::newRow("sound choice 5 reads as buzzer")
        << QByteArray("[General]\nWaveSelect=5\nInvokeAlarm=1\n") << QList<int>{0, 1, 0, 0, 1}
        << "";
    QTest::newRow("negative choice")
        << QByteArray("[general]\nwaveselect=-1\n") << QList<int>{0, 0, 0, 0, 1} << "";
    QTest::newRow("empty duration")
        << QByteArray("[General]\nDuration=\nAutoPopup=1\n") << QList<int>{1, 0, 0, 0, 1} << "";
    QTest::newRow("all set") << QByteArray("[General]\nAutoPopup=1\nInvokeAlarm=1\nWaveSelect="
                                           "2\nWaveFile=/s/a.wav\nDuration=30\n"
                                           "AskBeforeUnlock=0\n")
                             << QList<int>{1, 1, 2, 30, 0} << "/s/a.wav";
    QTest::newRow("user sound without a file plays the buzzer")
        << QByteArray("[General]\nInvokeAlarm=1\nWaveSelect=2\n") << QList<int>{0, 1, 2, 0, 1}
        << "";
    QTest::newRow("any other value asks")
        << QByteArray("[General]\nAskBeforeUnlock=7\n") << QList<int>{0, 0, 0, 0, 1} << "";
}

void tst_Alerts::optionsFile()
{
    QFETCH(QByteArray, ini);
    QFETCH(QList<int>, expected);
    QFETCH(QString, waveFile);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KRNotify.ini"));
    if (!ini.isEmpty())
        writeIni(path, ini);
    COptions options(dir.path(), path);
    options.Load();
    QCOMPARE((QList<int>{options.autoPopup, options.invokeAlarm, options.waveSelect,
                         options.duration, options.askBeforeUnlock}),
             expected);
    QCOMPARE(options.waveFile, waveFile);
    if (options.invokeAlarm)
        QCOMPARE(options.GetWaveFile(), options.waveSelect == 2 && !waveFile.isEmpty()
                                            ? waveFile
                                            : dir.filePath(QStringLiteral("Wave/Buzzer.wav")));
    else
        QVERIFY(options.GetWaveFile().isEmpty());
}

void tst_Alerts::demoOptionsRingAndPopUp()
{
    const QString resources = qEnvironmentVariable("KRNOTIFY_SOURCE_DIR") + "/resources";
    COptions options(resources, resources + "/demo/KRNotify.ini");
    options.Load();
    QCOMPARE(options.autoPopup, 1);
    QCOMPARE(options.invokeAlarm, 1);
    QVERIFY2(QFile::exists(options.GetWaveFile()), qPrintable(options.GetWaveFile()));
}

void tst_Alerts::okWritesEveryKey()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KRNotify.ini"));
    COptions options(dir.path(), path);
    options.Load();
    PlayerRecorder player;
    COptionsDlg dialog(options, player);
    QVERIFY(!dialog.soundList()->isEnabled());
    dialog.alarmBox()->setChecked(true);
    QVERIFY(dialog.soundList()->isEnabled() && dialog.durationField()->isEnabled());
    dialog.autoPopupBox()->setChecked(true);
    dialog.setFileChooser([](QWidget*) { return QStringLiteral("/sounds/door.wav"); });
    dialog.soundList()->setCurrentIndex(2);
    Q_EMIT dialog.soundList()->activated(2);
    dialog.playButton()->click();
    QCOMPARE(player.log, QStringList{"once door.wav"});
    dialog.durationField()->setEditText(QString());
    QVERIFY(dialog.askUnlockBox()->isChecked()); // asking is the default
    dialog.askUnlockBox()->setChecked(false);
    dialog.accept();

    QCOMPARE(options.autoPopup, 1);
    QCOMPARE(options.invokeAlarm, 1);
    QCOMPARE(options.waveSelect, 2);
    QCOMPARE(options.waveFile, QStringLiteral("/sounds/door.wav"));
    QCOMPARE(options.duration, 0);
    QCOMPARE(options.askBeforeUnlock, 0);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    for (const char* line : {"AutoPopup=1", "InvokeAlarm=1", "WaveSelect=2",
                             "WaveFile=/sounds/door.wav", "Duration=", "AskBeforeUnlock=0"})
        QVERIFY2(text.contains(QLatin1String(line)), line);
    ProfileFile::clearCache();
    COptions reread(dir.path(), path);
    reread.Load();
    QCOMPARE(reread.duration, 0);
    QCOMPARE(reread.waveSelect, 2);
    QCOMPARE(reread.askBeforeUnlock, 0);
}

void tst_Alerts::cancelChangesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KRNotify.ini"));
    COptions options(dir.path(), path);
    options.invokeAlarm = 1;
    options.waveSelect = 1;
    PlayerRecorder player;
    COptionsDlg dialog(options, player);
    dialog.alarmBox()->setChecked(false);
    // The file dialog is cancelled: the list goes back to the previous choice.
    dialog.setFileChooser([](QWidget*) { return QString(); });
    dialog.soundList()->setCurrentIndex(2);
    Q_EMIT dialog.soundList()->activated(2);
    QCOMPARE(dialog.soundList()->currentIndex(), 1);
    dialog.soundList()->setCurrentIndex(0);
    Q_EMIT dialog.soundList()->activated(0);
    dialog.reject();
    QCOMPARE(options.invokeAlarm, 1);
    QCOMPARE(options.waveSelect, 1);
    QVERIFY(!QFile::exists(path));
}

QTEST_MAIN(tst_Alerts)
#include "tst_Alerts.moc"
