#pragma once

#include <juce_graphics/juce_graphics.h>

namespace ov::palette
{

inline const juce::Colour backgroundColour   { 0xff111111 };
inline const juce::Colour darkInkColour      { 0xff171717 };
inline const juce::Colour lightTextColour    { 0xfff5f5f5 };
inline const juce::Colour greyTextColour     { 0xffaaa6a6 };
inline const juce::Colour accentGreenColour  { 0xff86cf7a };
inline const juce::Colour accentBlueColour   { 0xff0094d8 };
inline const juce::Colour accentYellowColour { 0xffd3c55f };

} // namespace ov::palette
