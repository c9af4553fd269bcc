#include "host/RegularFile.h"

#if JUCE_WINDOWS
 #include <windows.h>
#else
 #include <cerrno>
 #include <fcntl.h>
 #include <sys/stat.h>
 #include <unistd.h>
#endif

namespace ov
{

#if JUCE_WINDOWS

std::optional<juce::MemoryBlock> readRegularFile (const juce::File& file, size_t maxBytes)
{
    const auto handle = CreateFileW (file.getFullPathName().toWideCharPointer(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);

    if (handle == INVALID_HANDLE_VALUE)
        return {};

    std::optional<juce::MemoryBlock> result;

    if (GetFileType (handle) == FILE_TYPE_DISK)
    {
        juce::MemoryBlock data (maxBytes);
        size_t total = 0;
        auto failed = false;

        while (total < maxBytes)
        {
            DWORD got = 0;
            failed = ! ReadFile (handle, static_cast<char*> (data.getData()) + total,
                                 (DWORD) juce::jmin (maxBytes - total, (size_t) 1 << 20), &got, nullptr);

            if (failed || got == 0)
                break;

            total += got;
        }

        if (! failed)
        {
            data.setSize (total);
            result = std::move (data);
        }
    }

    CloseHandle (handle);
    return result;
}

#else

std::optional<juce::MemoryBlock> readRegularFile (const juce::File& file, size_t maxBytes)
{
    const auto* path = file.getFullPathName().toRawUTF8();
    struct stat info {};

    // Asked before opening: opening a FIFO waits for a writer, and opening a device can act on it.
    if (stat (path, &info) != 0 || ! S_ISREG (info.st_mode))
        return {};

    const auto fd = open (path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);

    if (fd < 0)
        return {};

    std::optional<juce::MemoryBlock> result;

    // Asked again of what was opened, in case something else was put at the path in between.
    if (fstat (fd, &info) == 0 && S_ISREG (info.st_mode))
    {
        juce::MemoryBlock data (maxBytes);
        size_t total = 0;
        auto failed = false;

        while (total < maxBytes)
        {
            const auto got = read (fd, static_cast<char*> (data.getData()) + total, maxBytes - total);

            if (got < 0 && errno == EINTR)
                continue;

            failed = got < 0;

            if (got <= 0)
                break;

            total += (size_t) got;
        }

        if (! failed)
        {
            data.setSize (total);
            result = std::move (data);
        }
    }

    close (fd);
    return result;
}

#endif

} // namespace ov
