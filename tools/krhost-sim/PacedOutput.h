#pragma once

#include "Scenario.h"
#include "SiteMessages.h"

#include <QByteArray>
#include <QObject>

#include <deque>
#include <functional>
#include <memory>

class QTcpSocket;

// What the host sends to one monitor, written only as fast as the monitor reads: frames in the
// order they were sent, and whole configurations made message by message as the socket drains,
// so a site of any size reaches a monitor that keeps reading.
class PacedOutput : public QObject
{
    Q_OBJECT

public:
    // Frames waiting beyond this mean the monitor does not read (configurations not counted).
    static constexpr qint64 kMaxUnsent = 16 * 1024 * 1024;

    PacedOutput(QTcpSocket& socket, QObject* parent);

    // False when the monitor already has more than kMaxUnsent bytes waiting.
    bool sendFrame(const QByteArray& frame);
    void sendConfiguration(const Sim::Host& host);
    // Everything not written yet is dropped, and nothing more is written.
    void Silence();
    // Told of every frame as it is written to the socket.
    void setWrittenHandler(std::function<void(const QByteArray& frame)> written);

private:
    struct Item
    {
        QByteArray frame;
        std::unique_ptr<Sim::ConfigurationStream> configuration;
    };

    void pump();

    void write(const QByteArray& frame);

    QTcpSocket& m_socket;
    std::function<void(const QByteArray&)> m_written;
    std::deque<Item> m_items;
    qint64 m_waitingBytes = 0; // frames in m_items
    bool m_silent = false;
};
