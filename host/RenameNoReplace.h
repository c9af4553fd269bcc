#pragma once

#include <juce_core/juce_core.h>

namespace ov
{

/** Why a rename did not happen, in the few kinds the installer tells apart. */
enum class RenameFailure
{
    none,
    destinationExists,
    inUse,          // held open by another program
    accessDenied,   // protected, read-only or not ours to change
    noSpace,
    other
};

/** Renames within one volume and never replaces anything at the destination, not even an empty
    folder: the installer's moves must fail rather than lose what is already there. A symbolic link
    is moved as a link. */
RenameFailure renameNoReplace (const juce::File& source, const juce::File& destination);

/** True when a file, folder or symbolic link (even a dangling one) sits at the path. */
bool pathIsTaken (const juce::File& path);

} // namespace ov
