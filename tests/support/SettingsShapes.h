#pragma once

#include "product/SettingsFile.h"

#include <functional>
#include <string>

namespace ov::test
{

/** A head, then pieces (until one is empty) as many as a file of that size holds, then a tail: the shapes
    of settings file that used to stall the read step. */
inline std::string filled (const std::string& head, const std::function<std::string (size_t)>& piece, const std::string& tail,
                           size_t limit = SettingsFile::maxFileSize)
{
    std::string text = head;

    for (size_t i = 0;; ++i)
    {
        const auto next = piece (i);

        if (next.empty() || text.size() + next.size() + tail.size() > limit)
            break;

        text += next;
    }

    return text + tail;
}

/** Three characters of XML name, different for each i below 194,688 and falling as i rises: the
    framework's name pool keeps its names sorted, and each then goes in at its front. */
inline std::string fallingName (size_t i)
{
    static const std::string first = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    static const std::string more = "0123456789" + first;
    const auto n = first.size() * more.size() * more.size() - 1 - i;
    return { first[n / (more.size() * more.size())], more[n / more.size() % more.size()], more[n % more.size()] };
}

} // namespace ov::test
