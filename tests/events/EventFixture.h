#pragma once

#include "CoreFixture.h"
#include "connection/SnapshotDownload.h"
#include "events/EventActions.h"
#include "events/EventAlertSink.h"
#include "events/EventListModel.h"
#include "events/EventLiveView.h"
#include "events/EventMessageHandlers.h"
#include "events/SnapshotCapture.h"
#include "events/UnacknowledgedEvents.h"

#include <QTemporaryDir>

struct AlertRecorder : EventAlertSink
{
    QStringList log;
    void RaiseEventAlert(const EVENT& e) override
    {
        log << QStringLiteral("raise %1").arg(e.logId);
    }
    void StopAlarm() override { log << QStringLiteral("stop"); }
    void RefreshActionButtons() override { log << QStringLiteral("refresh"); }
};

struct CaptureRecorder : SnapshotCapture
{
    struct Call
    {
        QString name;
        int hostId, dvrId, camera, delay, controllerId, doorId, direction;
        CEventLogData::CardBlock card;
    };
    std::vector<Call> calls;
    void CaptureSnapshot(const QString& name, int hostId, int dvrId, int camera, int delay,
                         const COleDateTime&, const COleDateTime&,
                         const CEventLogData::CardBlock& card, int controllerId, int doorId,
                         int direction) override
    {
        calls.push_back(
            {name, hostId, dvrId, camera, delay, controllerId, doorId, direction, card});
    }
};

struct LiveViewRecorder : EventLiveView
{
    CameraSelection shown;
    bool talking = false;
    bool speaker = false;
    bool microphone = false;
    QStringList log;
    CameraSelection cameraSelection() const override { return shown; }
    void SelectCamera(const CameraSelection& s) override
    {
        shown = s;
        log << QStringLiteral("camera %1 %2 %3 %4 %5 %6 %7 %8")
                   .arg(s.hostId)
                   .arg(s.groupId)
                   .arg(s.controllerId)
                   .arg(s.doorId)
                   .arg(s.inputId)
                   .arg(s.direction)
                   .arg(s.dvrId)
                   .arg(s.camera);
    }
    void SelectPath(int hostId, int kind, const CameraSelection&) override
    {
        log << QStringLiteral("path %1 %2").arg(hostId).arg(kind);
    }
    bool SetSpeaker(bool on) override
    {
        speaker = on;
        log << QStringLiteral("speaker %1").arg(on);
        return on;
    }
    bool SetMicrophone(bool on) override
    {
        microphone = on;
        log << QStringLiteral("mic %1").arg(on);
        return on;
    }
    bool speakerOn() const override { return speaker; }
    bool microphoneOn() const override { return microphone; }
    bool isTalking() const override { return talking; }
};

// The real connection core and event side with recorders for the window, the live view and
// the camera capture. Hosts have controller 1 (group 3) with door 0 and inputs.
struct EventFixture : CoreFixture
{
    static constexpr double kUtc = 45000.25; // 2023-03-15 06:00

    QTemporaryDir pictures;
    CEventListModel model;
    AlertRecorder alerts;
    CaptureRecorder capture;
    LiveViewRecorder live;
    CSnapshotDownloader downloads{manager, pictures.path()};
    CEventMessageHandlers handlers{manager, model, alerts, downloads, capture};
    UnacknowledgedEvents unacknowledged{model, manager};
    CEventActions actions{manager, handlers, model, unacknowledged, alerts, live};

    CKRHost& siteHost(int hostId = 1)
    {
        CKRHost& host = connectedHost(hostId);
        host.connected = 1;
        host.address = QStringLiteral("127.0.0.1");
        host.port = 1; // nothing listens: downloads fail at once
        host.serverVersion = 0x4030000;
        host.privilegeMask = CKRHost::kDoorPrivilege;
        host.executeRights[3] = 1;
        auto controller = std::make_unique<CController>(1);
        controller->deviceGroupId = 3;
        controller->name = QStringLiteral("Lobby");
        auto door = std::make_unique<CDoor>(0, 1);
        door->name = QStringLiteral("Front");
        door->status = CDoor::kOperableStatusBit;
        door->video1Source = 11;
        door->video1Camera = 1;
        door->video1SnapshotDelay = 2;
        door->video2Source = 12;
        door->video2Camera = 4;
        controller->doors[0] = std::move(door);
        CKRInput* input = controller->FindInput(5);
        input->video1Source = 21;
        input->video1Camera = 3;
        input->video2Source = 22;
        input->video2Camera = 6;
        host.siteConfig.controllers[1] = std::move(controller);
        return host;
    }

    void notify(const CKRHost& host, int logId, double utc = kUtc, int direction = 0,
                int logType = 2, int doorId = 0, int inputId = -1)
    {
        control.receive(QStringLiteral("KRNOTIFY_EVENT"), host.connectionId,
                        {{"L_TYPE", logType},
                         {"L_ID", logId},
                         {"M_ID", 0x10},
                         {"C_ID", 1},
                         {"D_ID", doorId},
                         {"I_ID", inputId},
                         {"DIRECTION", direction},
                         {"T_LOCAL", utc + 1.0 / 24},
                         {"T_UTC", utc}});
    }

    void eventLog(const CKRHost& host, int logId, QVariantMap fields)
    {
        const QVariantMap defaults{
            {"L_ID", logId},  {"C_ID", 1},        {"D_ID", 0},     {"M_ID", 0x10},
            {"CARD_BIT", 26}, {"CARD_B0", 0x1A5}, {"T_UTC", kUtc}, {"T_LOCAL", kUtc + 1.0 / 24}};
        for (auto it = defaults.begin(); it != defaults.end(); ++it) {
            if (!fields.contains(it.key()))
                fields.insert(it.key(), it.value());
        }
        control.receive(QStringLiteral("NEW_EVENTLOG"), host.connectionId, fields);
    }

    QStringList sent() const
    {
        QStringList out;
        for (const auto& s : control.sent) {
            QStringList values;
            for (auto it = s.fields.begin(); it != s.fields.end(); ++it)
                values << it.key() + QLatin1Char('=') + it.value().toString();
            out << s.command + QLatin1Char(' ') + values.join(QLatin1Char(' '));
        }
        return out;
    }
};
