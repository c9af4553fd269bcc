#include "host/WindowRenderer.h"
#include "product/ProductManifest.h"
#include "ui/MainComponent.h"

#include "AppIconData.h"
#if ! JUCE_WINDOWS && ! JUCE_MAC
 #include "app/QueuedXEvents.h"
#endif

#include <juce_gui_basics/juce_gui_basics.h>

#include <utility>

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
                              DocumentWindow::allButtons,
                              false)
        {
            // Kept off the desktop until it is set up: changing the title bar or the resizing of a window on
            // the desktop destroys its native window and shows a new one, and a close request sent to the
            // first would be lost.
            setUsingNativeTitleBar (true);
            setContentOwned (new MainComponent(), true);
            setResizable (true, true);
            // The software renderer's image of a window overflows past 2^31 bytes (about 23170 pixels
            // square): the framework's own limit of 32768 would let a resize crash the program.
            setResizeLimits (minimumSide, minimumSide, maximumSide, maximumSide);
            getConstrainer()->setFixedAspectRatio (1.0);

           #if ! JUCE_WINDOWS && ! JUCE_MAC
            setCachedComponentImage (new RepaintsWithinLimits (*this));
           #endif
            centreWithSize (getWidth(), getHeight());
            addToDesktop();

            if (auto* peer = getPeer())
                ov::useRendererThatPresents (*peer);

            // Windows takes the icon from the executable; elsewhere the native title bar needs it handed over,
            // which no part of the first frame waits for.
           #if ! JUCE_WINDOWS
            if (auto* panel = dynamic_cast<MainComponent*> (getContentComponent()))
                panel->afterFirstPaint ([this]
                {
                    if (auto* peer = getPeer())
                        peer->setIcon (juce::ImageCache::getFromMemory (AppIconData::app_icon_png, AppIconData::app_icon_pngSize));
                });
           #endif
            setVisible (true);
        }

        // X11 window managers are told only the size limits, never the ratio, and sizes set while the window
        // handles the server's report of a resize are not sent back: put every outside resize through the
        // constrainer once that report has been handled.
        void resized() override
        {
           #if ! JUCE_WINDOWS && ! JUCE_MAC
            // Only another program resizing the window past a window manager (or without one) gets here.
            // Taken back at once, before anything is laid out or painted at that size; the server learns
            // of it below.
            if (! fitsLimits (*this))
            {
                sizeNotYetSent = true;
                setBounds (getX(), getY(), juce::jmin (getWidth(), maximumSide), juce::jmin (getHeight(), maximumSide));
                repaint();
                return;
            }
           #endif

            DocumentWindow::resized();

           #if ! JUCE_WINDOWS && ! JUCE_MAC
            juce::MessageManager::callAsync ([window = juce::Component::SafePointer<MainWindow> (this)]
            {
                if (window == nullptr || window->isFullScreen() || window->isMinimised())
                    return;

                const auto bounds = window->getBounds();

                // Bounds equal to the ones already held are not sent again: step off them and back.
                if (std::exchange (window->sizeNotYetSent, false))
                    window->setBounds (bounds.withSize (bounds.getWidth() - 1, bounds.getHeight() - 1));

                window->setBoundsConstrained (bounds);
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
        static constexpr int minimumSide = 128, maximumSide = 16384;

        static bool fitsLimits (juce::Rectangle<int> bounds)
        {
            return bounds.getWidth() <= maximumSide && bounds.getHeight() <= maximumSide;
        }

        /** The window and the native window under it: a repaint asked for in the window's own size is
            scaled to the native one's. */
        static bool fitsLimits (juce::Component& window)
        {
            auto* peer = window.getPeer();
            return fitsLimits (window.getBounds()) && (peer == nullptr || fitsLimits (peer->getBounds()));
        }

       #if ! JUCE_WINDOWS && ! JUCE_MAC
        /** Drops the repaints the window asks for while it is larger than the limits: the framework queues
            a repaint of the whole window as soon as the server reports a new size, before the window can
            take that size back, and painting it would overflow the renderer. Never used to paint: the
            window is painted by its peer, which bypasses it. */
        class RepaintsWithinLimits final : public juce::CachedComponentImage
        {
        public:
            explicit RepaintsWithinLimits (juce::Component& window) : owner (window) {}

            void paint (juce::Graphics& g) override                  { owner.paintEntireComponent (g, false); }
            bool invalidateAll() override                            { return fitsLimits (owner); }
            bool invalidate (const juce::Rectangle<int>&) override   { return fitsLimits (owner); }
            void releaseResources() override                         {}

        private:
            juce::Component& owner;
        };

        bool sizeNotYetSent = false;
        QueuedXEvents queuedXEvents;
       #endif

        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
    };

private:
    std::unique_ptr<MainWindow> mainWindow;
};

START_JUCE_APPLICATION (ov_installerApplication)
