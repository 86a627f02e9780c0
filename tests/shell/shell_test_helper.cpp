// Child process for the shell tests. Every mode reports on stdout, one line per event:
//   lock <path>                      "owned" or "busy", then holds on until stdin closes
//   frame-server <name>              "listening", then "activate" / "close" per request;
//                                    ends after a close request
//   frame-ask activate|close <name>  the answer of the running instance as a number
//   agent <request file> <lock file> <event>
//                                    a startup agent: "waiting", then after the event
//                                    "Count=<n>" and "AP<i> <ExePath>|<CmdLine>" per entry
#include "platform/ProfileFile.h"
#include "shell/FrameWindowChannel.h"
#include "shell/LockFile.h"
#include "shell/SingleInstanceLock.h"

#include <QCoreApplication>

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <semaphore.h>
#include <unistd.h>

namespace {

void say(const QByteArray& line)
{
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void holdUntilStdinCloses()
{
    char buffer[64];
    while (::read(STDIN_FILENO, buffer, sizeof(buffer)) > 0) {
    }
}

int runAgent(const QString& requestFile, const QString& lockPath, const QByteArray& event)
{
    sem_t* wake = sem_open(event.constData(), O_CREAT, 0666, 0);
    if (wake == SEM_FAILED)
        return 2;
    say("waiting");
    timespec deadline = {};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += 60; // a test that never signals must not leave the agent behind
    if (sem_timedwait(wake, &deadline) != 0)
        return 3;
    sem_close(wake);

    LockFile lock(lockPath);
    if (!lock.open() || !lock.lock())
        return 4;
    const int count = ProfileFile::readInt(requestFile, "Startup", "Count", 0);
    say("Count=" + QByteArray::number(count));
    for (int i = 0; i < count; ++i) {
        const QString entry = QStringLiteral("AP%1").arg(i);
        say(entry.toUtf8() + ' ' +
            ProfileFile::readString(requestFile, entry, "ExePath", "?").toUtf8() + '|' +
            ProfileFile::readString(requestFile, entry, "CmdLine", "?").toUtf8());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0);

    if (mode == "lock" && args.size() == 2) {
        SingleInstanceLock lock(args[1]);
        say(lock.create() && lock.tryAcquire() ? "owned" : "busy");
        holdUntilStdinCloses();
        return 0;
    }
    if (mode == "frame-server" && args.size() == 2) {
        FrameWindowChannel channel(args[1]);
        QObject::connect(&channel, &FrameWindowChannel::activateRequested, [] { say("activate"); });
        QObject::connect(&channel, &FrameWindowChannel::closeRequested, &app, [&app] {
            say("close");
            app.quit();
        });
        if (!channel.listen())
            return 2;
        say("listening");
        return app.exec();
    }
    if (mode == "frame-ask" && args.size() == 3) {
        const auto request = args[1] == "close" ? FrameWindowChannel::Request::Close
                                                : FrameWindowChannel::Request::Activate;
        say(QByteArray::number(static_cast<int>(FrameWindowChannel::ask(request, args[2]))));
        return 0;
    }
    if (mode == "agent" && args.size() == 4)
        return runAgent(args[1], args[2], args[3].toUtf8());
    return 1;
}
