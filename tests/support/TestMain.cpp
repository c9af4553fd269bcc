#include <gtest/gtest.h>

#include <cstdlib>

#if OV_TESTS_NEED_GUI
 #include <juce_gui_basics/juce_gui_basics.h>
#else
 #include <juce_core/juce_core.h>
#endif

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

   #if OV_TESTS_NEED_GUI
    // Panels are painted into images only. Without a display name the framework would fall back to ":0",
    // which may be a virtual display of the end-to-end tests running beside us; its end would kill this run.
    setenv ("DISPLAY", ":65535", 1);

    // One for the whole run: components can be built and painted into images, but no window is shown.
    juce::ScopedJuceInitialiser_GUI gui;
   #endif

    return RUN_ALL_TESTS();
}
