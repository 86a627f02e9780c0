// The live video over a recording fake library: connections per source or per camera (with
// the camera profile file), camera selection and its effect on the audio, listening and
// talking with the door operations of a call, the library's reports (talk status, busy,
// camera closed, codecs) delivered from another thread, and capture requests.
#include "VideoFixture.h"

#include "platform/ProfileFile.h"
#include "video/CIPCamProfileList.h"
#include "video/KRVideoMessages.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

namespace {

// Runs f on a thread of its own, as the library runs its callbacks, and waits for it.
template <typename F> void OnLibraryThread(F f)
{
    std::thread(f).join();
}

// Delivers what the library's threads posted to the user-interface thread.
void DeliverPosted()
{
    QCoreApplication::processEvents();
}

QString Show(KRVideoHandle handle, int camera, int hostId, int v1 = 0, int v2 = 0)
{
    return QStringLiteral("Show %1 camera %2 host %3 values %4 %5")
        .arg(handle)
        .arg(camera)
        .arg(hostId)
        .arg(v1)
        .arg(v2);
}
const QString kNoCamera = QStringLiteral("Show -1 camera -1 host -1 values -1 -1");

QList<int> Cameras(const CLiveConnectionList& list)
{
    QList<int> cameras;
    for (const auto& item : list.items())
        cameras << item.camera;
    return cameras;
}

// A listed profile file: NUM 2, PD0 = 100, PD1 = code.
void WriteProfileFile(const QString& path, int code)
{
    QFile::remove(path);
    QVERIFY(ProfileFile::writeInt(path, QStringLiteral("USE_PROFILE"), QStringLiteral("NUM"), 2));
    QVERIFY(ProfileFile::writeInt(path, QStringLiteral("USE_PROFILE"), QStringLiteral("PD0"), 100));
    QVERIFY(
        ProfileFile::writeInt(path, QStringLiteral("USE_PROFILE"), QStringLiteral("PD1"), code));
}

QByteArray JpegBytes(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

} // namespace

class tst_LiveVideo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void connectionsFromProfileFile_data();
    void connectionsFromProfileFile();
    void editedProfileFileLeavesNoConnectionOpen();
    void openConnectionOnceAndFailedConnectLeavesNoEntry();
    void disconnectHostClosesCameraSourcesToo();

    void selectionShowsCamera_data();
    void selectionShowsCamera();
    void sameCameraKeepsAudioAnotherSwitchesItOff();
    void cameraReachedThroughController();
    void audioWithoutConnectionKeepsFlagsOnly();
    void audioOffAfterSourceRemoved();

    void callStartsOnTalkStatusAndEndsAtItsDoor();
    void talkStatusOnlyWhileAudioMessagesEnabled();
    void busyEndsTalking_data();
    void busyEndsTalking();
    void talkFailureNamesItsCause_data();
    void talkFailureNamesItsCause();
    void speakerWithoutSoundOutput();
    void codecFlags_data();
    void codecFlags();
    void unsupportedCodecRefusesAudio_data();
    void unsupportedCodecRefusesAudio();
    void cameraCloseEndsAudioOfShownSource();

    void captureRequest();
    void captureWithoutConnection();

private:
    std::unique_ptr<LiveVideoFixture> f;
    std::unique_ptr<QTemporaryDir> dir;
};

void tst_LiveVideo::init()
{
    dir = std::make_unique<QTemporaryDir>();
    f = std::make_unique<LiveVideoFixture>();
}

void tst_LiveVideo::cleanup()
{
    f.reset();
    CameraProfiles::install(nullptr);
    dir.reset();
}

void tst_LiveVideo::connectionsFromProfileFile_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("brand");
    QTest::addColumn<QList<int>>("cameras");

    // Brand 7 is listed (code 9 = brand + 2); brand 8 is not.
    QTest::newRow("recorder: whole device") << 1 << 7 << QList<int>{-1};
    QTest::newRow("type 5: per camera") << 5 << 0 << QList<int>{0, 1, 2};
    QTest::newRow("type 7: per camera") << 7 << 0 << QList<int>{0, 1, 2};
    QTest::newRow("type 2, listed brand") << 2 << 7 << QList<int>{0, 1, 2};
    QTest::newRow("type 2, brand not listed") << 2 << 8 << QList<int>{-1};
    QTest::newRow("type 2, brand matching code itself") << 2 << 9 << QList<int>{-1};
}

void tst_LiveVideo::connectionsFromProfileFile()
{
    QFETCH(int, type);
    QFETCH(int, brand);
    QFETCH(QList<int>, cameras);
    const QString profiles = dir->filePath(QString::fromLatin1(CIPCamProfileList::kFileName));
    WriteProfileFile(profiles, 9);
    CameraProfiles::install(std::make_shared<CIPCamProfileList>(profiles));

    CKRHost& host = f->site.AddHost(1);
    CDvr& dvr = AddDvr(host, 10, type, 3, brand);
    f->live->ConnectDvr(host, dvr);

    QStringList expected;
    for (int i = 0; i < cameras.size(); ++i)
        expected << QStringLiteral("Connect dvr10:554 admin type %1 brand %2 camera %3 -> %4")
                        .arg(type)
                        .arg(brand)
                        .arg(cameras[i])
                        .arg(i + 1);
    QCOMPARE(f->library->take(), expected);
    QCOMPARE(Cameras(f->live->connections()), cameras);

    f->live->DisconnectDvr(host, dvr);
    QCOMPARE(f->library->take().size(), cameras.size());
    QVERIFY(f->live->connections().isEmpty());
}

void tst_LiveVideo::editedProfileFileLeavesNoConnectionOpen()
{
    const QString profiles = dir->filePath(QString::fromLatin1(CIPCamProfileList::kFileName));
    WriteProfileFile(profiles, 9);
    CameraProfiles::install(std::make_shared<CIPCamProfileList>(profiles));
    CKRHost& host = f->site.AddHost(1);
    CDvr& dvr = AddDvr(host, 10, 2, 2, 7);
    f->live->ConnectDvr(host, dvr);
    QCOMPARE(Cameras(f->live->connections()), (QList<int>{0, 1}));

    // Without "NUM" nothing is listed: later selections and connections use camera -1.
    QVERIFY(QFile::remove(profiles));
    QVERIFY(
        ProfileFile::writeInt(profiles, QStringLiteral("USE_PROFILE"), QStringLiteral("PD1"), 9));
    f->live->SelectCamera(Selection(1, -1, -1, 0, 10, 1));
    QCOMPARE(Cameras(f->live->connections()), (QList<int>{0, 1, -1}));
    QVERIFY(f->library->take().contains(Show(3, 1, 1)));

    // Disconnecting the source closes the connections opened under the old setting as well.
    f->live->DisconnectDvr(host, dvr);
    QCOMPARE(f->library->take(), (QStringList{"Disconnect 1", "Disconnect 2", "Disconnect 3"}));
    QVERIFY(f->library->connections.empty());
}

void tst_LiveVideo::openConnectionOnceAndFailedConnectLeavesNoEntry()
{
    CKRHost& host = f->site.AddHost(1);
    CDvr& dvr = AddDvr(host, 10, 1, 2);
    CDvr& dead = AddDvr(host, 11, 1, 2);
    f->library->refused << dead.address;

    f->live->ConnectDvr(host, dvr);
    f->live->ConnectDvr(host, dvr);
    f->live->OpenConnection(dvr, 1, -1);
    f->live->ConnectDvr(host, dead);
    QCOMPARE(f->library->take().size(), 2); // one connection, one refused attempt
    QCOMPARE(f->live->connections().items().size(), 1);

    // Later uses of the failed connection find nothing and do nothing.
    f->live->DisconnectDvr(host, dead);
    f->live->SelectCamera(Selection(1, -1, -1, 0, 11, 0));
    QStringList calls = f->library->take();
    QCOMPARE(calls.filter(QStringLiteral("Disconnect")), QStringList());
    QCOMPARE(calls.last(), kNoCamera);
}

void tst_LiveVideo::disconnectHostClosesCameraSourcesToo()
{
    CKRHost& host = f->site.AddHost(1);
    CKRHost& other = f->site.AddHost(2);
    CDvr& perCamera = AddDvr(host, 10, 5, 2);
    CDvr& recorder = AddDvr(host, 11, 1, 4);
    auto source = std::make_unique<CDvr>(CDvr::CameraSourceId(11, 3));
    source->type = 2;
    source->address = QStringLiteral("controller");
    CDvr& cameraSource = *(recorder.cameraSources[3] = std::move(source));
    CDvr& foreign = AddDvr(other, 10, 1, 1);
    for (CDvr* dvr : {&perCamera, &recorder, &cameraSource})
        f->live->ConnectDvr(host, *dvr);
    f->live->ConnectDvr(other, foreign);
    QCOMPARE(f->live->connections().items().size(), 5);
    f->library->take();

    f->live->DisconnectHost(host);
    QCOMPARE(f->library->take(),
             (QStringList{"Disconnect 1", "Disconnect 2", "Disconnect 3", "Disconnect 4"}));
    QCOMPARE(f->live->connections().items().size(), 1);
    QCOMPARE(f->live->connections().items().first().hostId, 2);
}

void tst_LiveVideo::selectionShowsCamera_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<quint32>("privileges");
    QTest::addColumn<int>("dvrId");
    QTest::addColumn<int>("camera");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("audioButtons");

    const quint32 live = CKRHost::kLiveVideoPrivilege;
    QTest::newRow("IP camera: audio") << 2 << live << 10 << 1 << Show(1, 1, 1) << true;
    QTest::newRow("recorder: video only") << 1 << live << 10 << 1 << Show(1, 1, 1) << false;
    QTest::newRow("per-camera recorder") << 6 << live << 10 << 1 << Show(2, 1, 1) << false;
    QTest::newRow("no live-video privilege") << 2 << 0x80u << 10 << 1 << kNoCamera << false;
    QTest::newRow("unknown source") << 2 << live << 99 << 1 << kNoCamera << false;
    QTest::newRow("no camera") << 2 << live << 10 << -1 << kNoCamera << false;
}

void tst_LiveVideo::selectionShowsCamera()
{
    QFETCH(int, type);
    QFETCH(quint32, privileges);
    QFETCH(int, dvrId);
    QFETCH(int, camera);
    QFETCH(QString, shown);
    QFETCH(bool, audioButtons);
    CKRHost& host = f->site.AddHost(1, privileges);
    f->live->ConnectDvr(host, AddDvr(host, 10, type, 2));
    f->library->take();
    QSignalSpy enabled(f->live.get(), &CLiveVideo::audioButtonsEnabled);
    QSignalSpy actions(f->live.get(), &CLiveVideo::actionButtonsChanged);

    f->live->SelectCamera(Selection(1, 4, 2, 0, dvrId, camera));
    QCOMPARE(f->library->take().last(), shown);
    QCOMPARE(enabled.size(), 1);
    QCOMPARE(enabled.first().first().toBool(), audioButtons);
    QCOMPARE(actions.size(), 1);
    QCOMPARE(f->live->cameraSelection().doorId, 2);
    QCOMPARE(f->live->shownCamera().showing, shown != kNoCamera);
}

void tst_LiveVideo::sameCameraKeepsAudioAnotherSwitchesItOff()
{
    CKRHost& host = f->site.AddHost(1);
    f->live->ConnectDvr(host, AddDvr(host, 10, 2, 2));
    f->live->SelectCamera(Selection(1, 5, 2, 1, 10, 0));
    QVERIFY(f->live->SetSpeaker(true));
    QVERIFY(f->live->SetMicrophone(true));
    f->library->take();
    f->site.commands.clear();
    QSignalSpy checked(f->live.get(), &CLiveVideo::audioButtonsChecked);
    QSignalSpy actions(f->live.get(), &CLiveVideo::actionButtonsChanged);

    // Another door showing the same camera (or the tree focused again): nothing changes but
    // the place.
    f->live->SelectCamera(Selection(1, 5, 3, 1, 10, 0));
    f->live->SelectCamera(Selection(1, 5, 3, 1, 10, 0));
    QCOMPARE(f->library->take(), QStringList());
    QVERIFY(f->live->speakerOn() && f->live->microphoneOn());
    QCOMPARE(f->live->cameraSelection().doorId, 3);
    QCOMPARE(actions.size(), 2);
    QCOMPARE(checked.size(), 0);

    // Another camera: both off; the call ends at the door it was opened for (door 2).
    f->live->SelectCamera(Selection(1, 5, 3, 1, 10, 1));
    QCOMPARE(f->library->take(),
             (QStringList{"Listen 1 camera 0 off", "Talk 1 off", Show(1, 1, 1)}));
    QCOMPARE(f->site.commands, QStringList{"door 1/5/2 op 3 value 1"});
    QVERIFY(!f->live->speakerOn() && !f->live->microphoneOn() && !f->live->isTalking());
    QCOMPARE(checked.last(), (QVariantList{false, false, false}));
}

void tst_LiveVideo::cameraReachedThroughController()
{
    CKRHost& host = f->site.AddHost(1);
    CDvr& recorder = AddDvr(host, 10, 1, 2);
    auto created = std::make_unique<CDvr>(CDvr::CameraSourceId(10, 1));
    created->type = 2;
    created->brand = 139;
    created->address = QStringLiteral("controller");
    CDvr& source = *(recorder.cameraSources[1] = std::move(created));
    f->live->ConnectDvr(host, recorder); // handle 1
    f->live->ConnectDvr(host, source);   // handle 2
    f->library->take();
    QSignalSpy enabled(f->live.get(), &CLiveVideo::audioButtonsEnabled);

    // The door's camera is seen, heard and spoken to through its own source, as camera 0.
    f->live->SelectCamera(Selection(1, 5, 2, 0, 10, 1));
    QCOMPARE(f->library->take(), QStringList{Show(2, 0, 1)});
    QVERIFY(enabled.last().first().toBool());
    QVERIFY(f->live->SetSpeaker(true));
    QVERIFY(f->live->SetMicrophone(true));
    QCOMPARE(f->library->take(), (QStringList{"Listen 2 camera 0 on", "Talk 2 on callback"}));
    QCOMPARE(f->site.commands, QStringList{"log 1 'DVR 10 - Cam 1' by operator"});

    // The source's own codec report and camera-close report apply to it.
    KRVideoCodecInfo info{int(sizeof(KRVideoCodecInfo)), 0, 2, 8000, KRVIDEO_CODEC_NONE, 1, 8000};
    OnLibraryThread([&] { f->library->cameraCallback->OnAudioCodec(&info); });
    OnLibraryThread([&] { f->library->cameraCallback->OnCameraClose(2); });
    DeliverPosted();
    QCOMPARE(source.listenCodecUnsupported, int(KRVIDEO_CODEC_NONE));
    QCOMPARE(recorder.listenCodecUnsupported, 0);
    QVERIFY(!f->live->speakerOn() && !f->live->microphoneOn());

    // The configuration handler shows the selection again with its place values.
    f->library->take();
    f->live->SetCamera(1, 10, 1, 5, 2);
    QCOMPARE(f->library->take(), QStringList{Show(2, 0, 1, 5, 2)});
}

void tst_LiveVideo::audioWithoutConnectionKeepsFlagsOnly()
{
    CKRHost& host = f->site.AddHost(1);
    CDvr& dvr = AddDvr(host, 10, 2, 1);
    f->library->refused << dvr.address;
    f->live->SelectCamera(Selection(1, 5, 2, 0, 10, 0));
    f->library->take();
    QSignalSpy checked(f->live.get(), &CLiveVideo::audioButtonsChecked);

    QVERIFY(f->live->SetSpeaker(true));
    QVERIFY(f->live->SetMicrophone(true));
    QVERIFY(f->live->isTalking());
    QCOMPARE(checked.last(), (QVariantList{true, true, true}));
    QVERIFY(f->live->SetSpeaker(false) == false);
    QVERIFY(!f->live->SetMicrophone(false));
    QCOMPARE(f->library->take(), QStringList());
    QCOMPARE(f->site.commands.last(), QStringLiteral("door 1/5/2 op 3 value 0"));

    // Without a usable camera nothing is switched on and the buttons are unchecked again.
    f->live->SelectCamera(Selection(1, 5, 2, 0, -1, -1));
    f->site.commands.clear();
    QVERIFY(!f->live->SetSpeaker(true));
    QVERIFY(!f->live->SetMicrophone(true));
    QCOMPARE(checked.last(), (QVariantList{false, false, false}));
    QCOMPARE(f->site.commands, QStringList());
}

void tst_LiveVideo::audioOffAfterSourceRemoved()
{
    CKRHost& host = f->site.AddHost(1);
    CDvr& dvr = AddDvr(host, 10, 2, 1);
    f->live->ConnectDvr(host, dvr);
    f->live->SelectCamera(Selection(1, 5, 2, 0, 10, 0));
    QVERIFY(f->live->SetSpeaker(true));
    QVERIFY(f->live->SetMicrophone(true));

    // The host withdraws the privilege: the selection no longer resolves, yet off still
    // stops the sound where it was started and ends the call.
    host.privilegeMask = 0;
    f->library->take();
    f->site.commands.clear();
    f->live->SetSpeaker(false);
    f->live->SetMicrophone(false);
    QCOMPARE(f->library->take(), (QStringList{"Listen 1 camera 0 off", "Talk 1 off"}));
    QCOMPARE(f->site.commands, QStringList{"door 1/5/2 op 3 value 0"});
    QVERIFY(!f->live->speakerOn() && !f->live->microphoneOn());

    // With the privilege back, the next camera can be listened to.
    host.privilegeMask = CKRHost::kLiveVideoPrivilege;
    f->live->SelectCamera(Selection(1, 5, 3, 0, 10, 0));
    QVERIFY(f->live->SetSpeaker(true));
}

void tst_LiveVideo::callStartsOnTalkStatusAndEndsAtItsDoor()
{
    CKRHost& host = f->site.AddHost(1);
    f->live->ConnectDvr(host, AddDvr(host, 10, 2, 1));
    f->live->setAudioMessagesEnabled(true);
    f->live->SelectCamera(Selection(1, 5, 2, 1, 10, 0));
    f->library->take();

    QVERIFY(f->live->SetMicrophone(true));
    QVERIFY(!f->live->SetMicrophone(true)); // already on
    QCOMPARE(f->library->take(), QStringList{"Talk 1 on callback"});
    QCOMPARE(f->site.commands, QStringList());

    const KRVideoTalkCallback talk = f->library->talkCallback;
    OnLibraryThread([talk] { talk(1, 0, KRVIDEO_TALK_STARTED); });
    DeliverPosted();
    QCOMPARE(f->site.commands, QStringList{"door 1/5/2 op 1 value 1"});

    // The selection moves to another door that shows the same camera: the call stays with
    // door 2.
    f->live->SelectCamera(Selection(1, 5, 4, 1, 10, 0));
    QVERIFY(!f->live->SetMicrophone(false));
    QCOMPARE(f->library->take(), QStringList{"Talk 1 off"});
    QCOMPARE(f->site.commands.last(), QStringLiteral("door 1/5/2 op 3 value 1"));

    // A late start report after the call ended opens nothing.
    OnLibraryThread([talk] { talk(1, 0, KRVIDEO_TALK_STARTED); });
    DeliverPosted();
    QCOMPARE(f->site.commands.size(), 2);
}

void tst_LiveVideo::talkStatusOnlyWhileAudioMessagesEnabled()
{
    CKRHost& host = f->site.AddHost(1);
    f->live->ConnectDvr(host, AddDvr(host, 10, 2, 1));
    f->live->SelectCamera(Selection(1, 5, 2, 0, 10, 0));
    QVERIFY(f->live->SetMicrophone(true));
    const KRVideoTalkCallback talk = f->library->talkCallback;
    OnLibraryThread([talk] { talk(1, 0, KRVIDEO_TALK_STARTED); });
    OnLibraryThread([&] { f->library->cameraCallback->OnAudioBusy(1, 0); });
    DeliverPosted();
    QCOMPARE(f->site.commands, QStringList());
    QVERIFY(f->live->microphoneOn());
}

void tst_LiveVideo::busyEndsTalking_data()
{
    QTest::addColumn<bool>("throughCameraCallback");
    QTest::newRow("talk status: camera unreachable") << false;
    QTest::newRow("camera callback: busy") << true;
}

void tst_LiveVideo::busyEndsTalking()
{
    QFETCH(bool, throughCameraCallback);
    CKRHost& host = f->site.AddHost(1);
    f->live->ConnectDvr(host, AddDvr(host, 10, 2, 1));
    f->live->setAudioMessagesEnabled(true);
    f->live->SelectCamera(Selection(1, 5, 2, 0, 10, 0));
    QVERIFY(f->live->SetSpeaker(true));
    QVERIFY(f->live->SetMicrophone(true));
    f->library->take();
    f->site.commands.clear();
    QSignalSpy messages(f->live.get(), &CLiveVideo::messageRequested);
    QSignalSpy checked(f->live.get(), &CLiveVideo::audioButtonsChecked);

    if (throughCameraCallback) {
        OnLibraryThread([&] { f->library->cameraCallback->OnAudioBusy(1, 0); });
    } else {
        const KRVideoTalkCallback talk = f->library->talkCallback;
        OnLibraryThread([talk] { talk(1, 0, KRVIDEO_TALK_CAMERA_UNREACHABLE); });
    }
    DeliverPosted();
    QCOMPARE(f->library->take(), QStringList{"Talk 1 off"});
    QCOMPARE(f->site.commands, QStringList{"door 1/5/2 op 3 value 0"});
    QVERIFY(f->live->speakerOn());
    QVERIFY(!f->live->microphoneOn());
    QCOMPARE(checked.last(), (QVariantList{true, false, false}));
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().first().toString(), QStringLiteral("TAV_IDS_AUDIO_BUSY"));
    QCOMPARE(messages.first().last().value<CLiveVideo::MessageIcon>(),
             CLiveVideo::MessageIcon::Information);
}

void tst_LiveVideo::talkFailureNamesItsCause_data()
{
    QTest::addColumn<QList<int>>("statuses");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("message");
    const QString start = QStringLiteral("door 1/5/2 op 1 value 0");
    const QString end = QStringLiteral("door 1/5/2 op 3 value 0");
    QTest::newRow("microphone never worked: no call started")
        << QList<int>{KRVIDEO_TALK_MICROPHONE_FAILED} << QStringList{end}
        << "TAV_IDS_AUDIO_MIC_FAILED";
    QTest::newRow("microphone failed during the call: the call is ended")
        << QList<int>{KRVIDEO_TALK_STARTED, KRVIDEO_TALK_MICROPHONE_FAILED}
        << QStringList{start, end} << "TAV_IDS_AUDIO_MIC_FAILED";
    QTest::newRow("camera without back channel")
        << QList<int>{KRVIDEO_TALK_NO_BACKCHANNEL} << QStringList{end}
        << "TAV_IDS_AUDIO_NO_BACKCHANNEL";
}

// Statuses of this machine or of the camera are named for what they are, not as a busy door.
void tst_LiveVideo::talkFailureNamesItsCause()
{
    QFETCH(QList<int>, statuses);
    QFETCH(QStringList, commands);
    QFETCH(QString, message);
    CKRHost& host = f->site.AddHost(1);
    f->live->ConnectDvr(host, AddDvr(host, 10, 2, 1));
    f->live->setAudioMessagesEnabled(true);
    f->live->SelectCamera(Selection(1, 5, 2, 0, 10, 0));
    QVERIFY(f->live->SetMicrophone(true));
    f->library->take();
    QSignalSpy messages(f->live.get(), &CLiveVideo::messageRequested);
    QSignalSpy checked(f->live.get(), &CLiveVideo::audioButtonsChecked);

    const KRVideoTalkCallback talk = f->library->talkCallback;
    for (int status : statuses)
        OnLibraryThread([talk, status] { talk(1, 0, status); });
    DeliverPosted();
    QCOMPARE(f->site.commands, commands);
    QCOMPARE(f->library->take(), QStringList{"Talk 1 off"});
    QVERIFY(!f->live->microphoneOn());
    QCOMPARE(checked.last(), (QVariantList{false, false, false}));
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().first().toString(), message);
    QCOMPARE(messages.first().last().value<CLiveVideo::MessageIcon>(),
             CLiveVideo::MessageIcon::Warning);
}

// No working sound output: the operator is told once, the Speaker button's tooltip says why
// until sound plays again; listening stays on.
void tst_LiveVideo::speakerWithoutSoundOutput()
{
    CKRHost& host = f->site.AddHost(1);
    f->live->ConnectDvr(host, AddDvr(host, 10, 2, 1)); // handle 1
    f->live->ConnectDvr(host, AddDvr(host, 11, 2, 1)); // handle 2
    f->live->SelectCamera(Selection(1, 5, 2, 0, 10, 0));
    QSignalSpy messages(f->live.get(), &CLiveVideo::messageRequested);
    QSignalSpy tips(f->live.get(), &CLiveVideo::speakerToolTipChanged);
    const auto report = [this](KRVideoHandle handle, int status) {
        OnLibraryThread([this, handle, status] {
            f->library->cameraCallback->OnAudioOutput(handle, 0, status);
        });
        DeliverPosted();
    };

    report(1, KRVIDEO_OUTPUT_UNAVAILABLE); // not listening: nothing to say
    QVERIFY(f->live->SetSpeaker(true));
    report(2, KRVIDEO_OUTPUT_UNAVAILABLE); // another camera's stream
    QCOMPARE(tips.size(), 0);

    const QString noOutput = QStringLiteral("TAV_IDS_AUDIO_NO_OUTPUT");
    report(1, KRVIDEO_OUTPUT_UNAVAILABLE);
    QVERIFY(f->live->speakerOn());
    QCOMPARE(tips.last().first().toString(), noOutput);
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().first().toString(), noOutput);

    QVERIFY(!f->live->SetSpeaker(false));
    QVERIFY(f->live->SetSpeaker(true));
    report(1, KRVIDEO_OUTPUT_UNAVAILABLE);
    QCOMPARE(messages.size(), 1); // once
    QCOMPARE(tips.size(), 2);
    report(1, KRVIDEO_OUTPUT_PLAYING);
    QCOMPARE(tips.last().first().toString(), QString());
}

void tst_LiveVideo::codecFlags_data()
{
    QTest::addColumn<int>("listenBefore");
    QTest::addColumn<int>("talkBefore");
    QTest::addColumn<int>("listenCodec");
    QTest::addColumn<int>("talkCodec");
    QTest::addColumn<quint32>("privileges");
    QTest::addColumn<int>("handle");
    QTest::addColumn<int>("listenAfter");
    QTest::addColumn<int>("talkAfter");

    const quint32 live = CKRHost::kLiveVideoPrivilege;
    // An unusable codec's type is kept as the flag: it says why.
    QTest::newRow("no audio channel") << 0 << 0 << 6 << 1 << live << 1 << 6 << 0;
    QTest::newRow("talk codec unsupported") << 0 << 0 << 1 << 15 << live << 1 << 0 << 15;
    QTest::newRow("both unusable") << 0 << 0 << 15 << 6 << live << 1 << 15 << 6;
    QTest::newRow("one unusable resets the other") << 1 << 1 << 2 << 6 << live << 1 << 0 << 6;
    QTest::newRow("both usable: earlier flags stay") << 1 << 1 << 1 << 2 << live << 1 << 1 << 1;
    QTest::newRow("not known yet: earlier flags stay") << 1 << 0 << 0 << 0 << live << 1 << 1 << 0;
    QTest::newRow("without privilege") << 0 << 0 << 6 << 6 << 0x80u << 1 << 0 << 0;
    QTest::newRow("unknown handle") << 0 << 0 << 6 << 6 << live << 7 << 0 << 0;
}

void tst_LiveVideo::codecFlags()
{
    QFETCH(int, listenBefore);
    QFETCH(int, talkBefore);
    QFETCH(int, listenCodec);
    QFETCH(int, talkCodec);
    QFETCH(quint32, privileges);
    QFETCH(int, handle);
    QFETCH(int, listenAfter);
    QFETCH(int, talkAfter);
    CKRHost& host = f->site.AddHost(1, privileges);
    CDvr& dvr = AddDvr(host, 10, 2, 1);
    dvr.listenCodecUnsupported = listenBefore;
    dvr.talkCodecUnsupported = talkBefore;
    f->live->ConnectDvr(host, dvr);

    KRVideoCodecInfo info{
        int(sizeof(KRVideoCodecInfo)), 0, handle, 8000, listenCodec, talkCodec, 8000};
    OnLibraryThread([&] { f->library->cameraCallback->OnAudioCodec(&info); });
    DeliverPosted();
    QCOMPARE(dvr.listenCodecUnsupported, listenAfter);
    QCOMPARE(dvr.talkCodecUnsupported, talkAfter);
}

void tst_LiveVideo::unsupportedCodecRefusesAudio_data()
{
    QTest::addColumn<int>("talkCodec");
    QTest::addColumn<QString>("talkMessage");
    QTest::newRow("a codec that cannot be encoded")
        << int(KRVIDEO_CODEC_UNSUPPORTED) << "TAV_IDS_AUDIO_CODEC_NOT_SUPPORTED";
    QTest::newRow("no back channel") << int(KRVIDEO_CODEC_NONE) << "TAV_IDS_AUDIO_NO_BACKCHANNEL";
}

void tst_LiveVideo::unsupportedCodecRefusesAudio()
{
    QFETCH(int, talkCodec);
    QFETCH(QString, talkMessage);
    CKRHost& host = f->site.AddHost(1);
    CDvr& dvr = AddDvr(host, 10, 2, 1);
    dvr.listenCodecUnsupported = KRVIDEO_CODEC_UNSUPPORTED;
    dvr.talkCodecUnsupported = talkCodec;
    f->live->ConnectDvr(host, dvr);
    f->live->SelectCamera(Selection(1, 5, 2, 0, 10, 0));
    f->library->take();
    QSignalSpy messages(f->live.get(), &CLiveVideo::messageRequested);
    QSignalSpy checked(f->live.get(), &CLiveVideo::audioButtonsChecked);

    QVERIFY(!f->live->SetSpeaker(true));
    QVERIFY(!f->live->SetMicrophone(true));
    QCOMPARE(f->library->take(), QStringList());
    // Listening is logged as the operator's action before the codec is looked at.
    QCOMPARE(f->site.commands, QStringList{"log 1 'DVR 10 - Cam 0' by operator"});
    QVERIFY(!f->live->speakerOn() && !f->live->microphoneOn() && !f->live->isTalking());
    QCOMPARE(checked.last(), (QVariantList{false, false, false}));
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages.first().first().toString(),
             QStringLiteral("TAV_IDS_AUDIO_CODEC_NOT_SUPPORTED"));
    QCOMPARE(messages.last().first().toString(), talkMessage);
    for (const QVariantList& message : messages)
        QCOMPARE(message.last().value<CLiveVideo::MessageIcon>(), CLiveVideo::MessageIcon::Warning);
}

void tst_LiveVideo::cameraCloseEndsAudioOfShownSource()
{
    CKRHost& host = f->site.AddHost(1);
    f->live->ConnectDvr(host, AddDvr(host, 10, 2, 1)); // handle 1
    f->live->ConnectDvr(host, AddDvr(host, 11, 2, 1)); // handle 2
    f->live->SelectCamera(Selection(1, 5, 2, 0, 10, 0));
    QVERIFY(f->live->SetSpeaker(true));
    QVERIFY(f->live->SetMicrophone(true));
    f->library->take();

    OnLibraryThread([&] { f->library->cameraCallback->OnCameraClose(2); });
    DeliverPosted();
    QVERIFY(f->live->speakerOn() && f->live->microphoneOn());

    OnLibraryThread([&] { f->library->cameraCallback->OnCameraClose(1); });
    DeliverPosted();
    QVERIFY(!f->live->speakerOn() && !f->live->microphoneOn());
    QCOMPARE(f->library->take(), (QStringList{"Listen 1 camera 0 off", "Talk 1 off"}));
    QCOMPARE(f->live->connections().items().size(), 2); // the library reconnects by itself
}

void tst_LiveVideo::captureRequest()
{
    CKRHost& host = f->site.AddHost(1);
    f->live->ConnectDvr(host, AddDvr(host, 10, 1, 4)); // handle 1, whole device
    f->live->ConnectDvr(host, AddDvr(host, 20, 5, 2)); // handles 2, 3
    const QString folder = dir->filePath(QStringLiteral("KRNotifyPic"));
    f->live->setSnapshotFolder(folder);
    f->library->take();
    QSignalSpy captured(f->live.get(), &CLiveVideo::snapshotCaptured);

    CEventLogData::CardBlock card{};
    for (int i = 0; i < 9; ++i)
        card[size_t(i)] = quint8(0xA0 + i);
    const COleDateTime local(45292.75);
    f->live->CaptureSnapshot(QStringLiteral("20240101/EV.20240101.0000000007-1.jpg"), 1, 10, 3, 2,
                             local, COleDateTime(45292.5), card, 5, 2, 0);
    f->live->CaptureSnapshot(QStringLiteral("20240101/EV.20240101.0000000007-2.jpg"), 1, 20, 1, -5,
                             local, COleDateTime(45292.5), {}, 5, 2, 1);
    QCOMPARE(f->library->take(),
             (QStringList{"GetImage 1 camera 3 delay 2000", "GetImage 3 camera 1 delay 0"}));
    QVERIFY(QFileInfo(folder + QStringLiteral("/20240101")).isDir());
    QVERIFY(f->library->captures.front().card == card);
    QCOMPARE(f->library->captures.front().time.date, 45292.75);
    QCOMPARE(f->library->captures.front().time.status, 0);

    // The first brings a picture, the second none.
    const QByteArray jpeg = JpegBytes(QSize(64, 48));
    const KRVideoFrame frame{3, 64, 48, 0, 0, int(jpeg.size()), 0, 0, 1};
    OnLibraryThread([&] {
        f->library->CompleteCapture(&frame, reinterpret_cast<const std::uint8_t*>(jpeg.data()));
        f->library->CompleteCapture(nullptr, nullptr);
    });
    DeliverPosted();
    QCOMPARE(captured.size(), 1);
    QCOMPARE(QImage(folder + QStringLiteral("/20240101/EV.20240101.0000000007-1.jpg")).size(),
             QSize(64, 48));
    QVERIFY(!QFile::exists(folder + QStringLiteral("/20240101/EV.20240101.0000000007-2.jpg")));

    // A capture the library refuses is given back (and freed) at once.
    f->library->getImageResult = 0;
    f->live->CaptureSnapshot(QStringLiteral("x.jpg"), 1, 10, 0, 0, local, local, card, 5, 2, 0);
    QCOMPARE(f->library->take(), QStringList{"GetImage 1 camera 0 delay 0"});
    QVERIFY(f->library->captures.empty());
}

void tst_LiveVideo::captureWithoutConnection()
{
    CKRHost& host = f->site.AddHost(1);
    CDvr& dead = AddDvr(host, 10, 1, 1);
    f->library->refused << dead.address;
    f->live->ConnectDvr(host, dead);
    const QString folder = dir->filePath(QStringLiteral("KRNotifyPic"));
    f->live->setSnapshotFolder(folder);
    f->library->take();
    QSignalSpy captured(f->live.get(), &CLiveVideo::snapshotCaptured);

    const COleDateTime time(45292.5);
    f->live->CaptureSnapshot(QStringLiteral("20240102/a.jpg"), 1, 10, 0, 0, time, time, {}, 5, 2,
                             0);
    f->live->CaptureSnapshot(QStringLiteral("20240102/b.jpg"), 7, 10, 0, 0, time, time, {}, 5, 2,
                             0);
    // Names that leave the snapshot folder are refused before anything is created.
    f->live->CaptureSnapshot(QStringLiteral("../outside/c.jpg"), 1, 10, 0, 0, time, time, {}, 5, 2,
                             0);
    DeliverPosted();
    QCOMPARE(f->library->take(), QStringList());
    QCOMPARE(captured.size(), 0);
    QVERIFY(QFileInfo(folder + QStringLiteral("/20240102")).isDir());
    QVERIFY(!QFileInfo::exists(dir->filePath(QStringLiteral("outside"))));
}

QTEST_GUILESS_MAIN(tst_LiveVideo)
#include "tst_LiveVideo.moc"
