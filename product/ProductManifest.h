#pragma once

#include <juce_core/juce_core.h>

#include "product/ProductDefinition.h"

namespace ov::product
{

const juce::StringArray& extraNames();
const juce::StringArray& formatNames();
const juce::StringArray& formatExtensions();

/** The end-user licence agreement, plain ASCII with line feeds. */
extern const char* const eulaText;

/** The display name: the identifier with its first "_" turned into a blank. */
juce::String makeProductName (const juce::String& identifier);

/** The module whose version the probe reads, relative to the install folder and "/"-separated: the
    bundle itself for a single-file bundle, else the bundle name's file in moduleFolder inside it. */
juce::String modulePathInBundle (int formatIndex, const juce::String& productName);

} // namespace ov::product
