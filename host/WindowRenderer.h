#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace ov
{

/** Gives a window a renderer whose pictures reach the screen. The framework presents Direct2D windows
    through DirectComposition, which Wine only stubs: there such a window appears and stays blank, so it
    paints with the software renderer instead. On Windows itself, and on every other system, the
    framework's own choice is kept. */
void useRendererThatPresents (juce::ComponentPeer& peer);

} // namespace ov
