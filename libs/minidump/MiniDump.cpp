#include "minidump/MiniDump.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

bool ExceptionFilterRecord::setPath(const char* path)
{
    dumpPath[0] = '\0';
    if (path == nullptr)
        return false;
    const std::size_t length = std::strlen(path);
    if (length >= PathCapacity)
        return false;
    std::memcpy(dumpPath, path, length + 1);
    return true;
}

namespace {

constexpr int FatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr int SignalCount = sizeof(FatalSignals) / sizeof(FatalSignals[0]);
constexpr std::size_t AltStackSize = 64 * 1024;
constexpr int MaxFrames = 64;

// Everything the handler needs is copied here at registration: the handler must not touch
// the caller's record or allocate.
struct Registration
{
    ExceptionFilterHandle handle = 0;
    char path[ExceptionFilterRecord::PathCapacity] = {};
    bool append = false;
    bool memoryMap = true;
    struct sigaction previous[SignalCount] = {};
    stack_t previousStack = {};
    void* altStack = nullptr;
    pid_t thread = 0;
};

Registration g_registration;
ExceptionFilterHandle g_lastHandle = 0;
std::atomic<pid_t> g_reportingThread{0};

pid_t currentThread()
{
    return static_cast<pid_t>(syscall(SYS_gettid));
}

void logLine(const char* text)
{
    std::fprintf(stderr, "minidump: %s\n", text);
}

void writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

// Formats into a fixed buffer and writes with write(2): usable inside a signal handler.
class ReportWriter
{
public:
    explicit ReportWriter(int fd) : m_fd(fd) {}
    ~ReportWriter() { flush(); }
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    ReportWriter& text(const char* s)
    {
        while (*s != '\0')
            put(*s++);
        return *this;
    }
    ReportWriter& dec(long long value)
    {
        unsigned long long magnitude = static_cast<unsigned long long>(value);
        if (value < 0) {
            put('-');
            magnitude = 0 - magnitude;
        }
        char digits[24];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        while (count > 0)
            put(digits[--count]);
        return *this;
    }
    ReportWriter& hex(unsigned long long value)
    {
        static const char Digits[] = "0123456789abcdef";
        text("0x");
        for (int shift = 60; shift >= 0; shift -= 4)
            put(Digits[(value >> shift) & 0xF]);
        return *this;
    }
    void flush()
    {
        writeAll(m_fd, m_buffer, m_length);
        m_length = 0;
    }

private:
    void put(char c)
    {
        if (m_length == sizeof(m_buffer))
            flush();
        m_buffer[m_length++] = c;
    }

    int m_fd;
    char m_buffer[512];
    std::size_t m_length = 0;
};

const char* signalName(int sig)
{
    switch (sig) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "?";
    }
}

void writeRegisters(ReportWriter& out, const void* context)
{
    out.text("registers:\n");
    if (context == nullptr) {
        out.text("  (none)\n");
        return;
    }
    const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    struct Named
    {
        const char* name;
        int index;
    };
    static const Named Registers[] = {
        {"rax", REG_RAX}, {"rbx", REG_RBX}, {"rcx", REG_RCX},   {"rdx", REG_RDX}, {"rsi", REG_RSI},
        {"rdi", REG_RDI}, {"rbp", REG_RBP}, {"rsp", REG_RSP},   {"r8", REG_R8},   {"r9", REG_R9},
        {"r10", REG_R10}, {"r11", REG_R11}, {"r12", REG_R12},   {"r13", REG_R13}, {"r14", REG_R14},
        {"r15", REG_R15}, {"rip", REG_RIP}, {"eflags", REG_EFL}};
    for (const Named& reg : Registers)
        out.text("  ")
            .text(reg.name)
            .text(" ")
            .hex(static_cast<unsigned long long>(uc->uc_mcontext.gregs[reg.index]))
            .text("\n");
#elif defined(__aarch64__)
    for (int i = 0; i < 31; ++i)
        out.text("  x").dec(i).text(" ").hex(uc->uc_mcontext.regs[i]).text("\n");
    out.text("  sp ").hex(uc->uc_mcontext.sp).text("\n");
    out.text("  pc ").hex(uc->uc_mcontext.pc).text("\n");
    out.text("  pstate ").hex(uc->uc_mcontext.pstate).text("\n");
#else
    (void)uc;
    out.text("  (not available on this architecture)\n");
#endif
}

void copyMemoryMap(int fd)
{
    const int maps = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (maps < 0)
        return;
    static char chunk[4096];
    for (;;) {
        const ssize_t got = read(maps, chunk, sizeof(chunk));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        writeAll(fd, chunk, static_cast<std::size_t>(got));
    }
    close(maps);
}

void writeReport(int sig, const siginfo_t* info, const void* context)
{
    const int flags =
        O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (g_registration.append ? O_APPEND : O_TRUNC);
    const int fd = open(g_registration.path, flags, 0600);
    if (fd < 0)
        return;
    {
        ReportWriter out(fd);
        timespec now = {};
        clock_gettime(CLOCK_REALTIME, &now);
        out.text("crash report\n");
        out.text("signal: ").dec(sig).text(" ").text(signalName(sig)).text("\n");
        if (info != nullptr) {
            out.text("code: ").dec(info->si_code).text("\n");
            if (sig == SIGABRT)
                out.text("sender: ").dec(info->si_pid).text("\n");
            else
                out.text("address: ")
                    .hex(reinterpret_cast<unsigned long long>(info->si_addr))
                    .text("\n");
        }
        out.text("pid: ").dec(getpid()).text("\n");
        out.text("thread: ").dec(currentThread()).text("\n");
        out.text("time: ").dec(now.tv_sec).text("\n");
        writeRegisters(out, context);
        out.text("backtrace:\n");
        out.flush();
    }
    void* frames[MaxFrames];
    const int count = backtrace(frames, MaxFrames);
    backtrace_symbols_fd(frames, count, fd);
    if (g_registration.memoryMap) {
        writeAll(fd, "memory map:\n", 12);
        copyMemoryMap(fd);
    }
    writeAll(fd, "end of report\n", 14);
    close(fd);
}

[[noreturn]] void dieBy(int sig)
{
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(sig, &fallback, nullptr);
    // The signal is blocked while the handler runs: it is delivered, with the default action,
    // as soon as it is unblocked.
    raise(sig);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    _exit(128 + sig); // not reached
}

void onFatalSignal(int sig, siginfo_t* info, void* context)
{
    const pid_t self = currentThread();
    pid_t expected = 0;
    if (g_reportingThread.compare_exchange_strong(expected, self)) {
        writeReport(sig, info, context);
    } else if (expected != self) {
        // Another thread is writing the report; it ends the process when it is done.
        for (;;)
            pause();
    }
    dieBy(sig);
}

void restoreHandlers(int count)
{
    for (int i = 0; i < count; ++i)
        sigaction(FatalSignals[i], &g_registration.previous[i], nullptr);
}

void releaseAltStack()
{
    if (g_registration.altStack == nullptr)
        return;
    // sigaltstack is per thread: only the registering thread may take its stack away.
    if (g_registration.thread == currentThread()) {
        sigaltstack(&g_registration.previousStack, nullptr);
        std::free(g_registration.altStack);
    }
    g_registration.altStack = nullptr;
}

bool installAltStack()
{
    stack_t current = {};
    if (sigaltstack(nullptr, &current) != 0)
        return false;
    g_registration.previousStack = current;
    // Keep an alternate stack someone else (a sanitizer, a runtime) already set up.
    if ((current.ss_flags & SS_DISABLE) == 0 && current.ss_size >= AltStackSize)
        return true;
    void* memory = std::malloc(AltStackSize);
    if (memory == nullptr)
        return false;
    stack_t ours = {};
    ours.ss_sp = memory;
    ours.ss_size = AltStackSize;
    if (sigaltstack(&ours, nullptr) != 0) {
        std::free(memory);
        return false;
    }
    g_registration.altStack = memory;
    return true;
}

} // namespace

ExceptionFilterHandle RegisterExceptionFilter(const ExceptionFilterRecord& record)
{
    if (g_registration.handle != 0) {
        logLine("a crash filter is already registered");
        return 0;
    }
    const std::size_t length = strnlen(record.dumpPath, ExceptionFilterRecord::PathCapacity);
    if (record.reserved != 0 || length == 0 || length == ExceptionFilterRecord::PathCapacity) {
        logLine("crash filter not registered: invalid record or report path");
        return 0;
    }

    // The first backtrace() loads the unwinder (libgcc_s) and allocates; do it now, not in
    // the handler.
    void* probe[2];
    backtrace(probe, 2);

    std::memcpy(g_registration.path, record.dumpPath, length + 1);
    g_registration.append = record.appendToReport != 0;
    g_registration.memoryMap = record.includeMemoryMap != 0;
    g_registration.thread = currentThread();
    if (!installAltStack()) {
        logLine("crash filter not registered: no alternate signal stack");
        return 0;
    }

    struct sigaction action = {};
    action.sa_sigaction = onFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int sig : FatalSignals)
        sigaddset(&action.sa_mask, sig);
    for (int i = 0; i < SignalCount; ++i) {
        if (sigaction(FatalSignals[i], &action, &g_registration.previous[i]) != 0) {
            restoreHandlers(i);
            releaseAltStack();
            logLine("crash filter not registered: sigaction failed");
            return 0;
        }
    }

    g_lastHandle = g_lastHandle == UINT32_MAX ? 1 : g_lastHandle + 1;
    g_registration.handle = g_lastHandle;
    return g_registration.handle;
}

bool UnregisterExceptionFilter(ExceptionFilterHandle handle)
{
    if (handle == 0 || handle != g_registration.handle)
        return false;
    restoreHandlers(SignalCount);
    releaseAltStack();
    g_registration.handle = 0;
    return true;
}
