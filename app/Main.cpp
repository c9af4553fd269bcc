#include "product/ProductManifest.h"
#include "ui/MainComponent.h"

#include "AppIconData.h"

#include <juce_gui_basics/juce_gui_basics.h>

class ov_installerApplication final : public juce::JUCEApplication
{
public:
    ov_installerApplication() = default;

    const juce::String getApplicationName() override       { return ov::product::applicationName; }
    const juce::String getApplicationVersion() override    { return ov::product::applicationVersion; }
    bool moreThanOneInstanceAllowed() override             { return true; }

    void initialise (const juce::String&) override
    {
        mainWindow = std::make_unique<MainWindow> (getApplicationName());
    }

    void shutdown() override
    {
        mainWindow = nullptr;
    }

    void anotherInstanceStarted (const juce::String&) override {}

    void systemRequestedQuit() override
    {
        quit();
    }

    class MainWindow final : public juce::DocumentWindow
    {
    public:
        explicit MainWindow (const juce::String& name)
            : DocumentWindow (name,
                              juce::Desktop::getInstance().getDefaultLookAndFeel()
                                  .findColour (juce::ResizableWindow::backgroundColourId),
                              DocumentWindow::allButtons)
        {
            setUsingNativeTitleBar (true);
            setContentOwned (new MainComponent(), true);
            setResizable (true, true);
            // The software renderer's image of a window overflows past 2^31 bytes (about 23170 pixels
            // square): the framework's own limit of 32768 would let a resize crash the program.
            setResizeLimits (128, 128, 16384, 16384);
            getConstrainer()->setFixedAspectRatio (1.0);
            centreWithSize (getWidth(), getHeight());
            setVisible (true);

            // Windows takes the icon from the executable; elsewhere the native title bar needs it handed over.
           #if ! JUCE_WINDOWS
            if (auto* peer = getPeer())
                peer->setIcon (juce::ImageCache::getFromMemory (AppIconData::app_icon_png, AppIconData::app_icon_pngSize));
           #endif
        }

        // X11 window managers are told only the size limits, never the ratio, and sizes set while the window
        // handles the server's report of a resize are not sent back: put every outside resize through the
        // constrainer once that report has been handled.
        void resized() override
        {
            DocumentWindow::resized();

           #if ! JUCE_WINDOWS && ! JUCE_MAC
            juce::MessageManager::callAsync ([window = juce::Component::SafePointer<MainWindow> (this)]
            {
                if (window != nullptr && ! window->isFullScreen() && ! window->isMinimised())
                    window->setBoundsConstrained (window->getBounds());
            });
           #endif
        }

        // Shift may have changed while another window had the keyboard.
        void activeWindowStatusChanged() override
        {
            DocumentWindow::activeWindowStatusChanged();

            if (auto* panel = dynamic_cast<MainComponent*> (getContentComponent()))
                panel->followShiftKey();
        }

        void closeButtonPressed() override
        {
            JUCEApplication::getInstance()->systemRequestedQuit();
        }

    private:
        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
    };

private:
    std::unique_ptr<MainWindow> mainWindow;
};

START_JUCE_APPLICATION (ov_installerApplication)
