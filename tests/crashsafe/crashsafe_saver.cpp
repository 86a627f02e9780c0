// Saves the host list and the options, version 0 and 1 in turn, until it is killed. Writes one
// byte to standard output once the first save has begun.
#include "SavedVersions.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: crashsafe_saver HOSTLIST INI\n");
        return 2;
    }
    const QString hostList = QString::fromLocal8Bit(argv[1]);
    const QString ini = QString::fromLocal8Bit(argv[2]);
    if (::write(STDOUT_FILENO, "s", 1) != 1)
        return 1;
    for (int version = 1;; version = 1 - version) {
        if (!SavedVersions::Save(hostList, ini, version))
            return 1;
    }
}
