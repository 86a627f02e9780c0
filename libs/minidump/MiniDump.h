#pragma once

#include <cstddef>
#include <cstdint>

// What the program hands to RegisterExceptionFilter. The layout (a 32-bit value, two bytes, a
// path buffer of 260 characters including the terminator) is fixed; on this platform the path
// is UTF-8 in a char buffer.
struct ExceptionFilterRecord
{
    static constexpr std::size_t PathCapacity = 260;

    std::uint32_t reserved = 0;        // must be 0
    std::uint8_t appendToReport = 0;   // 0: a new report replaces an older file at the path
    std::uint8_t includeMemoryMap = 1; // 1: the report ends with the process's memory map
    char dumpPath[PathCapacity] = {};  // UTF-8, NUL-terminated

    // Copies path into dumpPath. Returns false (and leaves dumpPath empty) when path is null or
    // does not fit with its terminator: a cut path could name another file.
    bool setPath(const char* path);
};

using ExceptionFilterHandle = std::uint32_t;

// Installs handlers for SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT that run on an alternate
// signal stack (set up for the calling thread), write a crash report to record.dumpPath and
// re-raise, so the process still dies by the same signal. Returns a non-zero handle, or 0 when
// nothing was installed: the record's path is empty or unterminated, reserved is not 0, or a
// filter is already registered. Not thread-safe against a concurrent Register/Unregister.
ExceptionFilterHandle RegisterExceptionFilter(const ExceptionFilterRecord& record);

// Restores the handlers and the alternate stack that were in place before the registration
// with this handle. Returns false, changing nothing, for 0 or a handle that is not the current
// registration.
bool UnregisterExceptionFilter(ExceptionFilterHandle handle);
