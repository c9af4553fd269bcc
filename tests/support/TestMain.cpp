#include <gtest/gtest.h>

#if OV_TESTS_NEED_GUI
 #include <juce_gui_basics/juce_gui_basics.h>
#else
 #include <juce_core/juce_core.h>
#endif

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

   #if OV_TESTS_NEED_GUI
    // One for the whole run: components can be built and painted into images, but no window is shown.
    juce::ScopedJuceInitialiser_GUI gui;
   #endif

    return RUN_ALL_TESTS();
}
