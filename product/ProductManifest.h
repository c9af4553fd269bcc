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

} // namespace ov::product
