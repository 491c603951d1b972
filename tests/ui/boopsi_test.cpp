#include <gtest/gtest.h>

#include "ui/platform/testing.hpp"
#include "ui/vexo.hpp"

namespace vexo::uitest {
namespace {

using namespace vexo::ui;
namespace pt = vexo::platform::testing;

// The face at rest: '.' background pen 0, 'W' shine pen 2, 'B' shadow and text pen 1. The
// drawer line runs from (4, 10) through the table's points; every segment is straight or at 45
// degrees, so its pixels are exact.
const char* const kRest[14] = {
    "WWWWWWWWWWWWWWWWWWWB",  //
    "WW................BB",  //
    "WW........BBBB....BB",  //
    "WW.......B....B...BB",  //
    "WW..BBBBB......B..BB",  //
    "WW..BBBBBB.....B..BB",  //
    "WW..BB....BBBBBB..BB",  //
    "WW..BB.........B..BB",  //
    "WW..BB.........B..BB",  //
    "WW..BB.........B..BB",  //
    "WW..BBBBBBBBBBBB..BB",  //
    "WW................BB",  //
    "WW................BB",  //
    "WBBBBBBBBBBBBBBBBBBB",  //
};

int RestPen(char c) {
    return c == '.' ? 0 : c == 'W' ? 2 : 1;
}
// Pressed: fill pen 3, the bevel recessed (pens swapped) and the line in the fill-text pen 2.
int PressedPen(char c) {
    return c == '.' ? 3 : c == 'W' ? 1 : 2;
}

class ImageClassTest : public ::testing::Test {
  protected:
    void SetUp() override {
        screen = LockPubScreen(nullptr);
        visual_info = GetVisualInfoA(screen, nullptr);
        cl = initGet();
        ASSERT_NE(cl, nullptr);
        const TagItem tags[] = {{GT_VisualInfo, reinterpret_cast<IPTR>(visual_info)}, {TAG_DONE, 0}};
        image = static_cast<Image*>(NewObjectA(cl, nullptr, tags));
        ASSERT_NE(image, nullptr);
    }
    void TearDown() override {
        DisposeObject(image);
        FreeClass(cl);
        FreeVisualInfo(visual_info);
        UnlockPubScreen(nullptr, screen);
    }
    void ExpectFace(pt::TestRastPort& rp, int x, int y, int (*pen)(char)) {
        for (int row = 0; row < 14; ++row) {
            for (int col = 0; col < 20; ++col) {
                EXPECT_EQ(rp.PenAt(x + col, y + row), pen(kRest[row][col])) << "pixel " << col << "," << row;
            }
        }
    }

    Screen* screen = nullptr;
    APTR visual_info = nullptr;
    IClass* cl = nullptr;
    Image* image = nullptr;
};

TEST_F(ImageClassTest, NewObjectNeedsTheVisualInfo) {
    EXPECT_EQ(NewObjectA(cl, nullptr, nullptr), nullptr);
    const TagItem null_info[] = {{GT_VisualInfo, 0}, {TAG_DONE, 0}};
    EXPECT_EQ(NewObjectA(cl, nullptr, null_info), nullptr);
    EXPECT_EQ(image->Width, 20);
    EXPECT_EQ(image->Height, 14);
    EXPECT_EQ(image->ImageData, visual_info);
}

// One instance draws every button, each state at its own place; states other than selected
// draw the face at rest, and nothing is drawn outside the box.
TEST_F(ImageClassTest, FaceAtRestPixelByPixel) {
    const std::pair<ULONG, int (*)(char)> states[] = {{IDS_SELECTED, PressedPen},
                                                      {IDS_NORMAL, RestPen},
                                                      {IDS_SELECTED, PressedPen},
                                                      {IDS_DISABLED, RestPen},
                                                      {IDS_INACTIVENORMAL, RestPen}};
    pt::TestRastPort rp(60, 120);
    for (int i = 0; i < 5; ++i)
        DrawImageState(&rp.rp, image, 30, 20 * i + 10, states[i].first, GetScreenDrawInfo(screen));
    for (int i = 0; i < 5; ++i) ExpectFace(rp, 30, 20 * i + 10, states[i].second);
    EXPECT_EQ(rp.PenAt(29, 10), -1);
    EXPECT_EQ(rp.PenAt(50, 23), -1);
    EXPECT_EQ(rp.PenAt(30, 9), -1);
}

}  // namespace
}  // namespace vexo::uitest
