#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// How a second instance finds the running one: the running instance listens on a local
// socket named "KRNotifyMainFrame" in the user's runtime folder; a second instance asks it to
// come to the front, or to close, and then waits until that process has ended.
//
// Wire format, one line each way: "activate\n" is answered "ok\n"; "close\n" is answered with
// the running instance's process id in decimal and "\n".
class FrameWindowChannel : public QObject
{
    Q_OBJECT

public:
    enum class Request
    {
        Activate,
        Close
    };
    enum class Answer
    {
        NotFound,  // nobody listens: no running instance in this user's session
        Activated, // the running instance was asked to come to the front
        Closed,    // the running instance was asked to close and has ended
        NoReply    // something listens but did not answer in time
    };

    static constexpr const char* DefaultName = "KRNotifyMainFrame";
    // KRNOTIFY_FRAME_NAME when set (tests), else "KRNotifyMainFrame".
    static QString defaultName();
    // A name without '/' lives in the user's runtime folder; a path is used as it is.
    static QString socketPath(const QString& name);

    explicit FrameWindowChannel(const QString& name = defaultName(), QObject* parent = nullptr);
    ~FrameWindowChannel() override;

    // Running instance: starts listening. A socket file left behind by a crashed instance is
    // removed first. False when the name is served by a live process or cannot be bound.
    bool listen();
    bool isListening() const;

    // Second instance. Blocks: connecting and the reply are bounded by replyTimeoutMs; the
    // wait for a closing instance to end has no time limit but ends as soon as that process
    // is gone.
    static Answer ask(Request request, const QString& name = defaultName(),
                      int replyTimeoutMs = 5000);

Q_SIGNALS:
    void activateRequested();
    void closeRequested();

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket* socket);

    QString m_path;
    QLocalServer* m_server;
};
