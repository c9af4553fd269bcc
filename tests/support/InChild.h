#pragma once

#include <juce_core/juce_core.h>

#include <functional>

#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ov::test
{

/** Runs fn in a forked child process, as the given user when there is one, and returns the text fn
    returned, or what kept the child from answering. */
inline juce::String runInChild (const std::function<juce::String()>& fn, const passwd* user = nullptr)
{
    int channel[2];

    if (pipe (channel) != 0)
        return "no pipe";

    const auto child = fork();

    if (child == 0)
    {
        close (channel[0]);
        const auto text = user != nullptr && (setgid (user->pw_gid) != 0 || setuid (user->pw_uid) != 0)
                              ? "could not become " + juce::String::fromUTF8 (user->pw_name)
                              : fn();
        [[maybe_unused]] const auto written = ::write (channel[1], text.toRawUTF8(), text.getNumBytesAsUTF8());
        _exit (0);
    }

    close (channel[1]);
    juce::MemoryOutputStream text;
    char buffer[256];

    for (ssize_t n; child > 0 && (n = ::read (channel[0], buffer, sizeof (buffer))) > 0;)
        text.write (buffer, (size_t) n);

    close (channel[0]);
    int status = 0;

    if (child < 0 || waitpid (child, &status, 0) != child || ! WIFEXITED (status))
        return "the child did not end normally";

    return text.toString();
}

} // namespace ov::test
