// Serves rounds of saving for tst_CrashSafeFiles. For each byte read from standard input it
// forks a saver, which writes its process id (4 bytes) to standard output as its first save
// begins and then saves the host list and the options, version 1 and 0 in turn, until it is
// killed. Once that saver is gone the server writes one byte ('k' when it was killed by
// SIGKILL) and waits for the next round; it ends with its input. Forking an initialised
// process keeps a round quick even in a sanitizer build, where starting a program is slow.
#include "SavedVersions.h"

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

[[noreturn]] void SaveUntilKilled(const QString& hostList, const QString& ini)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlives the server
    const pid_t self = ::getpid();
    if (::write(STDOUT_FILENO, &self, sizeof self) != sizeof self)
        ::_exit(1);
    for (int version = 1;; version = 1 - version) {
        if (!SavedVersions::Save(hostList, ini, version))
            ::_exit(1);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: crashsafe_saver HOSTLIST INI\n");
        return 2;
    }
    const QString hostList = QString::fromLocal8Bit(argv[1]);
    const QString ini = QString::fromLocal8Bit(argv[2]);
    char request = 0;
    while (::read(STDIN_FILENO, &request, 1) == 1) {
        const pid_t saver = ::fork();
        if (saver < 0)
            return 1;
        if (saver == 0)
            SaveUntilKilled(hostList, ini);
        int status = 0;
        if (::waitpid(saver, &status, 0) != saver)
            return 1;
        const char ended = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? 'k' : 'e';
        if (::write(STDOUT_FILENO, &ended, 1) != 1)
            return 1;
    }
    return 0;
}
