#include "support/Sandbox.h"
#include "ui/MainComponent.h"

#include <gtest/gtest.h>

TEST (MainComponent, StartsAtSixHundredSquare)
{
    ov::test::Sandbox sandbox;
    MainComponent panel (std::make_shared<ov::test::SandboxHost> (sandbox));
    EXPECT_EQ (panel.getWidth(), 600);
    EXPECT_EQ (panel.getHeight(), 600);
}
