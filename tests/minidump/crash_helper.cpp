// Registers the crash filter with the path given and then crashes as told:
//   minidump_crash_helper <report path> segv|abort|fpe|ill|bus|overflow
#include "minidump/MiniDump.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>

extern "C" {

// Exported and never inlined, so the report's backtrace can be checked for them.
__attribute__((noinline)) void crashByNullPointer()
{
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

__attribute__((noinline)) int crashByDivision(volatile int divisor)
{
#if defined(__x86_64__) || defined(__i386__)
    volatile int numerator = 7; // not 1: 1/x is folded into a comparison without a division
    return numerator / divisor;
#else
    (void)divisor; // other architectures do not trap on integer division by zero
    return raise(SIGFPE);
#endif
}

__attribute__((noinline)) int crashByRecursion(volatile int depth)
{
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (depth < 0) // never: keeps the compiler from seeing an endless recursion
        return 0;
    return crashByRecursion(depth + 1) + frame[0];
}
}

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    // No core files from the deliberate crashes.
    const rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);

    ExceptionFilterRecord record;
    if (!record.setPath(argv[1]) || RegisterExceptionFilter(record) == 0)
        return 3;

    const char* mode = argv[2];
    if (std::strcmp(mode, "segv") == 0)
        crashByNullPointer();
    else if (std::strcmp(mode, "abort") == 0)
        std::abort();
    else if (std::strcmp(mode, "fpe") == 0)
        std::printf("%d\n", crashByDivision(0));
    else if (std::strcmp(mode, "ill") == 0)
        raise(SIGILL);
    else if (std::strcmp(mode, "bus") == 0)
        raise(SIGBUS);
    else if (std::strcmp(mode, "overflow") == 0)
        std::printf("%d\n", crashByRecursion(0));
    return 4; // the crash did not happen
}
