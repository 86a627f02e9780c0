// Bytes from a host, through the frame decoder and the dispatch into every message handler,
// with a connected host in the model and the event list behind it.
//
// Input: the first byte chooses how the rest is read. Even: one byte stream, as the socket
// delivers it, cut into frames by the decoder. Odd: payloads separated by 0xFF bytes (never
// part of UTF-8 JSON), each framed here, so the mutations reach the JSON rather than breaking
// the length prefix.

#include "FrameReplayControl.h"
#include "connection/ConnectionManager.h"
#include "connection/SnapshotDownload.h"
#include "events/EventAlertSink.h"
#include "events/EventListModel.h"
#include "events/EventMessageHandlers.h"
#include "events/SnapshotCapture.h"
#include "model/CKRHost.h"
#include "platform/TickSource.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtEndian>

namespace {

class SilentAlerts : public EventAlertSink
{
public:
    void RaiseEventAlert(const EVENT&) override {}
    void StopAlarm() override {}
    void RefreshActionButtons() override {}
};

class NoCapture : public SnapshotCapture
{
public:
    void CaptureSnapshot(const QString&, int, int, int, int, const COleDateTime&,
                         const COleDateTime&, const CEventLogData::CardBlock&, int, int,
                         int) override
    {
    }
};

// The program's core as the main dialog wires it, without windows.
struct Core
{
    FrameReplayControl control;
    ManualTickSource ticks{1000};
    DeviceTreeSink tree;
    LiveViewSink liveView;
    QTemporaryDir pictures;
    CConnectionManager manager{control, ticks};
    CEventListModel events;
    SilentAlerts alerts;
    NoCapture capture;
    CSnapshotDownloader downloads{manager, pictures.path()};
    CEventMessageHandlers handlers{manager, events, alerts, downloads, capture};

    Core()
    {
        manager.setDeviceTree(&tree);
        manager.setLiveView(&liveView);
        manager.setEventList(&events);
        manager.setHostListPath(pictures.filePath(QStringLiteral("KRNotifyHosts")));
        manager.Create();
        // A snapshot download for this host fails at once: it has no address.
        auto host = std::make_unique<CKRHost>(1);
        CKRHost& connected = *host;
        manager.AddHost(std::move(host));
        manager.TryConnect(connected);
        Q_EMIT control.OnConnected(FrameReplayControl::kConnectionId);
    }
};

QByteArray Framed(const QByteArray& payload)
{
    QByteArray frame(TnWire::kHeaderSize, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(payload.size()), frame.data());
    return frame + payload;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    QByteArray stream;
    if (data[0] % 2 == 0) {
        stream = rest;
    } else {
        for (const QByteArray& payload : rest.split('\xFF'))
            stream += Framed(payload);
    }

    Core core;
    TnWire::FrameReader reader;
    reader.feed(stream);
    TnWire::Message message;
    while (reader.next(&message) == TnWire::FrameReader::Status::Ready)
        core.control.deliver(message);
    // The downloads asked for fail at once (the host has no address); their ends come back
    // through the event loop and start the waiting ones.
    while (core.downloads.runningCount() > 0 || core.downloads.waitingCount() > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    return 0;
}
