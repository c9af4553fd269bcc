// The yardstick of the start-up benchmark: the installer's window with an empty 600 pixel panel, built
// against the same framework library, so that what the installer adds to its first frame is all that differs.

#include <juce_gui_basics/juce_gui_basics.h>

class BareWindowApplication final : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override       { return "bare_window"; }
    const juce::String getApplicationVersion() override    { return "1.0"; }
    bool moreThanOneInstanceAllowed() override             { return true; }

    void initialise (const juce::String&) override
    {
        window = std::make_unique<Window> (getApplicationName());
    }

    void shutdown() override
    {
        window = nullptr;
    }

    void systemRequestedQuit() override
    {
        quit();
    }

private:
    class Window final : public juce::DocumentWindow
    {
    public:
        explicit Window (const juce::String& name)
            : DocumentWindow (name,
                              juce::Desktop::getInstance().getDefaultLookAndFeel()
                                  .findColour (juce::ResizableWindow::backgroundColourId),
                              DocumentWindow::allButtons)
        {
            setUsingNativeTitleBar (true);
            auto panel = std::make_unique<juce::Component>();
            panel->setSize (600, 600);
            setContentOwned (panel.release(), true);
            setResizable (true, true);
            getConstrainer()->setFixedAspectRatio (1.0);
            centreWithSize (getWidth(), getHeight());
            setVisible (true);
        }

        void closeButtonPressed() override
        {
            JUCEApplication::getInstance()->systemRequestedQuit();
        }
    };

    std::unique_ptr<Window> window;
};

START_JUCE_APPLICATION (BareWindowApplication)
