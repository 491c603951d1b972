// The image class of the buttons, pixel by pixel against a golden picture: one pen number a
// pixel, "-" where nothing was drawn. At rest 0 is the background, 2 the shine and 1 the shadow
// and the drawer line; pressed, the fill is 3, the bevel recessed (pens swapped) and the line 2.
// The line runs through the table's points, every segment straight or at 45 degrees, so its
// pixels are exact.
#include <gtest/gtest.h>

#include "tests/support/test_support.hpp"
#include "ui/platform/testing.hpp"
#include "ui/vexo.hpp"

namespace vexo::uitest {
namespace {

using namespace vexo::ui;
namespace pt = vexo::platform::testing;

TEST(ImageClassTest, NeedsTheVisualInfoAndDrawsEachStateInItsBox) {
    Screen* screen = LockPubScreen(nullptr);
    APTR visual_info = GetVisualInfoA(screen, nullptr);
    IClass* cl = initGet();
    ASSERT_NE(cl, nullptr);
    const TagItem null_info[] = {{GT_VisualInfo, 0}, {TAG_DONE, 0}};
    EXPECT_EQ(NewObjectA(cl, nullptr, nullptr), nullptr);
    EXPECT_EQ(NewObjectA(cl, nullptr, null_info), nullptr);
    const TagItem tags[] = {{GT_VisualInfo, reinterpret_cast<IPTR>(visual_info)}, {TAG_DONE, 0}};
    auto* image = static_cast<Image*>(NewObjectA(cl, nullptr, tags));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Width, 20);
    EXPECT_EQ(image->Height, 14);
    EXPECT_EQ(image->ImageData, visual_info);
    // One instance draws every button, each state at its own place; states other than selected
    // draw the face at rest.
    pt::TestRastPort rp(60, 120);
    const ULONG states[] = {IDS_SELECTED, IDS_NORMAL, IDS_SELECTED, IDS_DISABLED, IDS_INACTIVENORMAL};
    for (int i = 0; i < 5; ++i)
        DrawImageState(&rp.rp, image, 30, 20 * i + 10, states[i], GetScreenDrawInfo(screen));
    std::string pens;
    for (int y = 8; y < 106; ++y) {
        for (int x = 28; x < 52; ++x)
            pens += rp.PenAt(x, y) < 0 ? '-' : static_cast<char>('0' + rp.PenAt(x, y));
        pens += '\n';
    }
    EXPECT_TRUE(vexo::testing::MatchesGolden(pens, "ui/ImageClassTest.Faces.txt"));
    DisposeObject(image);
    FreeClass(cl);
    FreeVisualInfo(visual_info);
    UnlockPubScreen(nullptr, screen);
}

}  // namespace
}  // namespace vexo::uitest
