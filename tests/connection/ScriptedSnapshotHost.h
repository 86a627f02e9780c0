#pragma once

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>

// The host side of event snapshot downloads on a loopback port, answering every connection as
// scripted. Runs on the test's event loop.
class ScriptedSnapshotHost : public QObject
{
public:
    enum class Answer
    {
        Script,  // accept flag, result, length and sendBytes of the picture, as set below
        Silent,  // reads everything, answers nothing
        Trickle, // as Script, but the picture one byte every few milliseconds
    };

    Answer answer = Answer::Script;
    bool accept = true;
    qint32 result = 1;
    qint32 length = 0;
    qint64 sendBytes = 0; // picture bytes actually sent
    bool closeAfter = false;
    QByteArray picture;
    QByteArray received; // what the clients sent, all connections in turn
    int requests = 0;    // complete requests read (26 bytes each)

    ScriptedSnapshotHost()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* peer = m_server.nextPendingConnection()) {
                auto* state = new Peer;
                state->socket = peer;
                connect(peer, &QTcpSocket::readyRead, this, [this, state] { onData(*state); });
                connect(peer, &QObject::destroyed, this, [state] { delete state; });
            }
        });
    }
    quint16 port() const { return m_server.serverPort(); }

    // A whole picture of this many patterned bytes.
    void setPicture(int bytes)
    {
        picture.resize(qMax(0, bytes));
        for (int i = 0; i < picture.size(); ++i)
            picture[i] = char((i * 131) ^ (i >> 8));
        length = bytes;
        sendBytes = bytes;
    }

private:
    struct Peer
    {
        QTcpSocket* socket = nullptr;
        QByteArray in;
        int stage = 0;
        bool counted = false;
    };

    void onData(Peer& peer)
    {
        const QByteArray bytes = peer.socket->readAll();
        peer.in += bytes;
        received += bytes;
        if (!peer.counted && peer.in.size() >= 2 + 24) {
            peer.counted = true;
            ++requests;
        }
        if (answer == Answer::Silent)
            return;
        if (peer.stage == 0 && peer.in.size() >= 2) {
            peer.stage = 1;
            peer.socket->write(QByteArray(1, accept ? '\x01' : '\x00'));
            if (!accept)
                peer.socket->disconnectFromHost();
        }
        if (peer.stage == 1 && peer.in.size() >= 2 + 24) {
            peer.stage = 2;
            writeInt(peer, result);
            if (result != 0) {
                writeInt(peer, length);
                if (answer == Answer::Trickle)
                    trickle(peer.socket);
                else
                    peer.socket->write(picture.left(sendBytes));
            }
            if (closeAfter || result == 0)
                peer.socket->disconnectFromHost();
        }
    }
    void trickle(QTcpSocket* socket)
    {
        auto* tick = new QTimer(socket);
        connect(tick, &QTimer::timeout, socket, [this, socket, sent = qint64(0)]() mutable {
            if (sent < sendBytes)
                socket->write(picture.mid(sent++, 1));
        });
        tick->start(20);
    }
    void writeInt(Peer& peer, qint32 v)
    {
        char b[4];
        qToLittleEndian(v, b);
        peer.socket->write(b, 4);
    }

    QTcpServer m_server;
};
