#pragma once

#include "product/ProductManifest.h"
#include "support/Sandbox.h"
#include "ui/MainComponent.h"
#include "ui/OverlayTestSupport.h"

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
        const auto module = moduleFolder.isEmpty() ? bundle : bundle.getChildFile (moduleFolder + bundle.getFileName());
        module.getParentDirectory().createDirectory();
        module.replaceWithText ("module");

        versions[bundle.getFullPathName()] = version;
        host->versionReader = [bundles = versions] (const juce::File& file)
        {
            for (const auto& [path, text] : bundles)
                if (file.getFullPathName() == path || file.isAChildOf (juce::File (path)))
                    return text;

            return juce::String();
        };
    }

    juce::Button& control (const juce::String& name) const
    {
        if (auto* button = findButton (*panel, name))
            return *button;

        ADD_FAILURE() << "no control named " << name;
        throw std::runtime_error ("missing control");
    }

    void click (const juce::String& name)     { panel->buttonClicked (&control (name)); }

    /** What the panel's area shows, children (help line, overlays) included. */
    juce::Image paint() const
    {
        juce::Image image (juce::Image::RGB, panel->getWidth(), panel->getHeight(), true, juce::SoftwareImageType());
        juce::Graphics g (image);
        panel->paintEntireComponent (g, true);
        return image;
    }

    juce::Colour pixel (juce::Point<int> p) const     { return paint().getPixelAt (p.x, p.y); }

    Sandbox sandbox;
    std::shared_ptr<SandboxHost> host = std::make_shared<SandboxHost> (sandbox);
    std::unique_ptr<MainComponent> panel;
    std::map<juce::String, juce::String> versions;
};

/** How many pixels of the area come within the tolerance of the colour. */
inline int countPixels (const juce::Image& image, juce::Rectangle<int> area, juce::Colour colour, int tolerance = 3)
{
    int count = 0;

    for (auto y = area.getY(); y < area.getBottom(); ++y)
        for (auto x = area.getX(); x < area.getRight(); ++x)
            count += colourNear (image.getPixelAt (x, y), colour, tolerance) ? 1 : 0;

    return count;
}

/** The most lit pixel of an area: thin text rarely covers a whole pixel, but its stems do somewhere,
    so this shows the ink that light text was drawn in. */
inline juce::Colour brightestPixel (const juce::Image& image, juce::Rectangle<int> area)
{
    auto best = image.getPixelAt (area.getX(), area.getY());

    for (auto y = area.getY(); y < area.getBottom(); ++y)
        for (auto x = area.getX(); x < area.getRight(); ++x)
            if (const auto c = image.getPixelAt (x, y); c.getPerceivedBrightness() > best.getPerceivedBrightness())
                best = c;

    return best;
}

/** A pixel expected in a colour, within a tolerance. */
struct Spot
{
    juce::Point<int> at;
    juce::Colour colour;
    int tolerance = 3;
};

inline void expectSpots (const juce::Image& image, std::initializer_list<Spot> spots)
{
    for (const auto& spot : spots)
        EXPECT_TRUE (colourNear (image.getPixelAt (spot.at.x, spot.at.y), spot.colour, spot.tolerance)) << spot.at.toString();
}

inline bool samePixels (const juce::Image& a, const juce::Image& b)
{
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                return false;

    return true;
}

} // namespace ov::test
