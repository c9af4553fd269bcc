#pragma once

#include "product/ProductManifest.h"
#include "support/Sandbox.h"
#include "ui/MainComponent.h"
#include "ui/Palette.h"

#include <gtest/gtest.h>

#include <map>

namespace ov::test
{

/** A main panel over a sandboxed machine, painted into software images. */
class PanelRig : public ::testing::Test
{
protected:
    MainComponent& makePanel (int size = 600)
    {
        panel = std::make_unique<MainComponent> (host);
        panel->setSize (size, size);
        return *panel;
    }

    juce::File getBundle (int index) const
    {
        return sandbox.getCommonFiles().getChildFile (product::formats[(size_t) index].defaultSubfolder)
                                       .getChildFile (juce::String ("Tavrin3") + product::formatExtensions()[index]);
    }

    /** Puts a bundle where the format's default folder expects it, its module reporting the given version. */
    void makeBundle (int index, const juce::String& version = {})
    {
        const auto bundle = getBundle (index);
        const juce::String moduleFolder (product::formats[(size_t) index].moduleFolder);

        if (moduleFolder.isEmpty())
        {
            bundle.getParentDirectory().createDirectory();
            bundle.replaceWithText ("module");
        }
        else
        {
            const auto module = bundle.getChildFile (moduleFolder + bundle.getFileName());
            module.getParentDirectory().createDirectory();
            module.replaceWithText ("module");
        }

        versions[bundle.getFullPathName()] = version;
        host->versionReader = [bundles = versions] (const juce::File& module)
        {
            for (const auto& [path, text] : bundles)
                if (module.getFullPathName() == path || module.isAChildOf (juce::File (path)))
                    return text;

            return juce::String();
        };
    }

    juce::Button& control (const juce::String& name) const
    {
        for (auto* child : panel->getChildren())
            if (auto* button = dynamic_cast<juce::Button*> (child); button != nullptr && button->getName() == name)
                return *button;

        ADD_FAILURE() << "no control named " << name;
        throw std::runtime_error ("missing control");
    }

    /** What the panel's area shows, children (help line, overlays) included. */
    juce::Image paint() const
    {
        juce::Image image (juce::Image::RGB, panel->getWidth(), panel->getHeight(), true, juce::SoftwareImageType());
        juce::Graphics g (image);
        panel->paintEntireComponent (g, true);
        return image;
    }

    Sandbox sandbox;
    std::shared_ptr<SandboxHost> host = std::make_shared<SandboxHost> (sandbox);
    std::unique_ptr<MainComponent> panel;
    std::map<juce::String, juce::String> versions;
};

/** A palette colour as it shows once drawn over the panel's background. */
inline juce::Colour onBackground (juce::Colour colour)
{
    return palette::backgroundColour.overlaidWith (colour);
}

/** Equal within the rounding of the renderer's 8-bit blending. */
inline ::testing::AssertionResult looksLike (juce::Colour actual, juce::Colour expected, int tolerance = 3)
{
    const auto near = [tolerance] (juce::uint8 a, juce::uint8 b) { return std::abs ((int) a - (int) b) <= tolerance; };

    if (near (actual.getRed(), expected.getRed()) && near (actual.getGreen(), expected.getGreen())
        && near (actual.getBlue(), expected.getBlue()))
        return ::testing::AssertionSuccess();

    return ::testing::AssertionFailure() << "pixel " << actual.toDisplayString (false)
                                         << " is not " << expected.toDisplayString (false);
}

/** How many pixels of the area come within the tolerance of the colour. */
inline int countPixels (const juce::Image& image, juce::Rectangle<int> area, juce::Colour colour, int tolerance = 3)
{
    int count = 0;

    for (auto y = area.getY(); y < area.getBottom(); ++y)
        for (auto x = area.getX(); x < area.getRight(); ++x)
            if (looksLike (image.getPixelAt (x, y), colour, tolerance))
                ++count;

    return count;
}

/** The most and the least lit pixel of an area: thin text rarely covers a whole pixel, but its
    stems do somewhere, so these show the ink that the text was drawn in. */
inline juce::Colour brightestPixel (const juce::Image& image, juce::Rectangle<int> area)
{
    auto best = image.getPixelAt (area.getX(), area.getY());

    for (auto y = area.getY(); y < area.getBottom(); ++y)
        for (auto x = area.getX(); x < area.getRight(); ++x)
            if (const auto c = image.getPixelAt (x, y); c.getPerceivedBrightness() > best.getPerceivedBrightness())
                best = c;

    return best;
}

inline juce::Colour darkestPixel (const juce::Image& image, juce::Rectangle<int> area)
{
    auto best = image.getPixelAt (area.getX(), area.getY());

    for (auto y = area.getY(); y < area.getBottom(); ++y)
        for (auto x = area.getX(); x < area.getRight(); ++x)
            if (const auto c = image.getPixelAt (x, y); c.getPerceivedBrightness() < best.getPerceivedBrightness())
                best = c;

    return best;
}

} // namespace ov::test
