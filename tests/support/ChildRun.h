#pragma once

#include <juce_core/juce_core.h>

#include <cstdio>
#include <functional>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ov::test
{

/** What a forked child reports by its exit code. */
inline constexpr int childSkipped = 77;

/** Runs work in a forked child, for what must not touch the test program itself (limits, mount
    namespaces, dropped rights). The work returns what went wrong, the empty text when nothing did, or
    a text starting with "skip" when the machine does not allow the case; the child prints it. The
    result is 0, 1, childSkipped, or -1 when the child did not exit normally. */
inline int runInChild (const std::function<juce::String()>& work)
{
    const auto child = fork();

    if (child == 0)
    {
        const auto wrong = work();

        if (wrong.isNotEmpty())
            std::fprintf (stderr, "%s\n", wrong.toRawUTF8());

        std::fflush (stderr);
        _exit (wrong.isEmpty() ? 0 : wrong.startsWith ("skip") ? childSkipped : 1);
    }

    int status = 0;
    return child > 0 && waitpid (child, &status, 0) == child && WIFEXITED (status) ? WEXITSTATUS (status) : -1;
}

/** Gives up the rights to pass over file permissions, as a user without them would be. */
inline void dropPermissionOverride()
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct caps[2] {};
    syscall (SYS_capget, &header, caps);
    caps[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
    syscall (SYS_capset, &header, caps);
}

} // namespace ov::test
