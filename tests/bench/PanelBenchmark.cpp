// Times what the main panel costs: making the typeface, parsing the icons, building the panel, its first paint
// (the process's first text), and one full paint at 600 and 1200 pixels, on a clean machine and with all three
// bundles installed (three probes that each read a module's version); and opening each overlay. A program, not a
// test: figures vary by machine.

#include "product/ProductManifest.h"
#include "support/Sandbox.h"
#include "ui/CustomLookAndFeel.h"
#include "ui/MainComponent.h"
#include "ui/panel_eula.h"
#include "ui/panel_support.h"

#include "BinaryData.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace
{
    double millisecondsOf (const std::function<void()>& work)
    {
        const auto start = juce::Time::getHighResolutionTicks();
        work();
        return juce::Time::highResolutionTicksToSeconds (juce::Time::getHighResolutionTicks() - start) * 1000.0;
    }

    double median (const std::function<void()>& work, int runs)
    {
        std::vector<double> times;

        for (int i = 0; i < runs; ++i)
            times.push_back (millisecondsOf (work));

        std::sort (times.begin(), times.end());
        return times[times.size() / 2];
    }

    void parseAllIcons()
    {
        const std::pair<const char*, int> icons[] = {
            { BinaryData::icon_vst3_svg, BinaryData::icon_vst3_svgSize },
            { BinaryData::icon_clap_svg, BinaryData::icon_clap_svgSize },
            { BinaryData::icon_aax_svg, BinaryData::icon_aax_svgSize },
            { BinaryData::icon_eula_svg, BinaryData::icon_eula_svgSize },
            { BinaryData::icon_manual_svg, BinaryData::icon_manual_svgSize },
            { BinaryData::icon_web_svg, BinaryData::icon_web_svgSize },
            { BinaryData::icon_help_svg, BinaryData::icon_help_svgSize },
            { BinaryData::icon_install_svg, BinaryData::icon_install_svgSize },
            { BinaryData::logo_orvella_svg, BinaryData::logo_orvella_svgSize },
            { BinaryData::icon_warning_svg, BinaryData::icon_warning_svgSize },
        };

        for (const auto& [data, size] : icons)
            juce::Drawable::createFromImageData (data, (size_t) size);
    }

    void installAllBundles (const ov::test::Sandbox& sandbox, const juce::File& peModule)
    {
        for (int i = 0; i < ov::product::numFormats; ++i)
        {
            const auto& format = ov::product::formats[(size_t) i];
            const auto bundle = sandbox.getCommonFiles().getChildFile (format.defaultSubfolder)
                                    .getChildFile (juce::String ("Tavrin3") + ov::product::formatExtensions()[i]);
            const juce::String moduleFolder (format.moduleFolder);
            const auto module = moduleFolder.isEmpty() ? bundle : bundle.getChildFile (moduleFolder + bundle.getFileName());
            module.getParentDirectory().createDirectory();
            peModule.copyFileTo (module);
        }
    }

    /** An overlay as the panel opens it: built, laid over 600 pixels and painted once. */
    template <typename Overlay, typename... Args>
    double medianOpening (const Args&... args)
    {
        return median ([&]
        {
            Overlay overlay (args...);
            overlay.layoutUnit = 6.0f;
            overlay.setBounds (0, 0, 600, 600);
            juce::Image image (juce::Image::RGB, 600, 600, true, juce::SoftwareImageType());
            juce::Graphics g (image);
            overlay.paintEntireComponent (g, true);
        }, 5);
    }

    double medianPaint (MainComponent& panel, int size)
    {
        panel.setSize (size, size);
        juce::Image image (juce::Image::RGB, size, size, true, juce::SoftwareImageType());

        return median ([&]
        {
            juce::Graphics g (image);
            panel.paintEntireComponent (g, true);
        }, 51);
    }
}

int main()
{
    juce::ScopedJuceInitialiser_GUI gui;

    // The program's window makes the desktop before the panel; made by the first panel, its set-up (which
    // asks the system for its theme) would be timed as the panel's.
    juce::Desktop::getInstance();

    // The program's first typeface is the look-and-feel's: made any other way first, the framework's
    // one-time set-up would be timed as it is not paid.
    const auto firstTypeface = millisecondsOf ([] { CustomLookAndFeel lf; });
    const auto typeface = median ([]
    {
        juce::Typeface::createSystemTypefaceFor (BinaryData::SFProRoundedRegular_otf, (size_t) BinaryData::SFProRoundedRegular_otfSize);
    }, 21);
    const auto lookAndFeel = median ([] { CustomLookAndFeel lf; }, 21);
    const auto firstIcons = millisecondsOf (parseAllIcons);
    const auto icons = median (parseAllIcons, 21);

    std::printf ("typeface from the embedded font (%d bytes): first %.2f ms, then %.2f ms\n",
                 BinaryData::SFProRoundedRegular_otfSize, firstTypeface, typeface);
    std::printf ("look-and-feel (typeface and colours):          %.2f ms\n", lookAndFeel);
    std::printf ("parsing the ten SVG icons:                     first %.2f ms, then %.2f ms\n", firstIcons, icons);

    for (const auto installed : { false, true })
    {
        ov::test::Sandbox sandbox;

        if (installed)
            installAllBundles (sandbox, juce::File (OV_PE_FIXTURE));

        auto host = std::make_shared<ov::test::SandboxHost> (sandbox);
        std::unique_ptr<MainComponent> panel;
        const auto build = millisecondsOf ([&] { panel = std::make_unique<MainComponent> (host); });

        std::printf ("%s:\n", installed ? "all three bundles installed" : "clean machine");
        std::printf ("  building the panel:                          %.2f ms\n", build);

        if (! installed)
        {
            juce::Image image (juce::Image::RGB, 600, 600, true, juce::SoftwareImageType());
            std::printf ("  first paint at 600 px (the first text):      %.2f ms\n", millisecondsOf ([&]
            {
                juce::Graphics g (image);
                panel->paintEntireComponent (g, true);
            }));
        }

        std::printf ("  one full paint at 600 px:                    %.3f ms\n", medianPaint (*panel, 600));
        std::printf ("  one full paint at 1200 px:                   %.3f ms\n", medianPaint (*panel, 1200));
        std::printf ("  three probes alone:                          %.3f ms\n",
                     median ([&] { for (int i = 0; i < 3; ++i) panel->probeFormatStatus (i); }, 51));
    }

    // The overlays in the program's look, as the panel has made it the default.
    CustomLookAndFeel programLook;
    juce::Desktop::getInstance().setDefaultLookAndFeel (&programLook);
    std::printf ("licence overlay opened and painted at 600 px:  %.2f ms\n",
                 medianOpening<panel_eula> (juce::String (ov::product::eulaText)));
    std::printf ("support overlay opened and painted at 600 px:  %.2f ms\n", medianOpening<panel_support>());
    juce::Desktop::getInstance().setDefaultLookAndFeel (nullptr);

    return 0;
}
