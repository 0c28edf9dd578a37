// Layout arithmetic: twips, font heights, faces and windows kept on screen.
#include <gtest/gtest.h>

#include "windows/layout.h"

namespace glyphary::windows {
namespace {

TEST(Layout, TwipsBecomePixelsAtTheScreensDpi) {
  EXPECT_EQ(TwipsToPixels(15, 96), 1);
  EXPECT_EQ(TwipsToPixels(15360, 96), 1024);
  EXPECT_EQ(TwipsToPixels(105, 96), 7);
  EXPECT_EQ(TwipsToPixels(8865, 120), 739);   // 738.75 rounds up
  EXPECT_EQ(TwipsToPixels(4290, 144), 429);
  EXPECT_EQ(TwipsToPixels(7, 96), 0);         // under half a pixel
  EXPECT_EQ(TwipsToPixels(8, 96), 1);         // half a pixel and more
  EXPECT_EQ(TwipsToPixels(-15, 96), -1);
}

TEST(Layout, PointSizesBecomeCharacterHeights) {
  EXPECT_EQ(FontHeightForPoints(8.25, 96), -11);
  EXPECT_EQ(FontHeightForPoints(18, 96), -24);
  EXPECT_EQ(FontHeightForPoints(48, 96), -64);
  EXPECT_EQ(FontHeightForPoints(8.25, 120), -14);
  EXPECT_EQ(FontHeightForPoints(48, 144), -96);
  // A caption too wide for its box shrinks no further than four fifths.
  EXPECT_EQ(SmallestFontHeight(8.25, 96), -9);    // 8.8
  EXPECT_EQ(SmallestFontHeight(8.25, 144), -14);  // 13.2
  EXPECT_EQ(SmallestFontHeight(18, 96), -20);     // 19.2
  EXPECT_EQ(SmallestFontHeight(48, 120), -64);    // exactly 64
}

TEST(Layout, OnlyTheBitmapDefaultFaceIsReplacedByItsScalableTwin) {
  EXPECT_STREQ(ScalableFace(L"MS Sans Serif"), L"Microsoft Sans Serif");
  EXPECT_STREQ(ScalableFace(L"Impact"), L"Impact");
  EXPECT_STREQ(ScalableFace(L"MS Serif"), L"MS Serif");
}

TEST(Layout, AWindowMovesTheLeastDistanceThatPutsItInsideTheWorkArea) {
  const PixelRect screen{0, 0, 1280, 984};  // 1280 x 1024 less a 40 px taskbar
  // Fits where designed: stays.
  EXPECT_EQ(FitInside({591, 328, 1003, 774}, screen), (PixelRect{591, 328, 1003, 774}));
  // The agreement window at 144 DPI: moved left and up, just enough.
  EXPECT_EQ(FitInside({884, 461, 1499, 1122}, screen), (PixelRect{665, 323, 1280, 984}));
  // Only one edge over: only that direction moves.
  EXPECT_EQ(FitInside({900, 100, 1400, 300}, screen), (PixelRect{780, 100, 1280, 300}));
  // Off the left or top of a monitor: moved right or down.
  EXPECT_EQ(FitInside({-50, -20, 150, 80}, screen), (PixelRect{0, 0, 200, 100}));
  // Larger than the work area (800 x 600 at 192 DPI): the top-left corner,
  // and with it the title bar, stays on the screen.
  EXPECT_EQ(FitInside({1182, 656, 2006, 1522}, {0, 0, 800, 560}),
            (PixelRect{0, 0, 824, 866}));
  // A second monitor to the right, with its taskbar on top.
  EXPECT_EQ(FitInside({2500, 10, 2900, 400}, {1280, 30, 2560, 1024}),
            (PixelRect{2160, 30, 2560, 420}));
}

}  // namespace
}  // namespace glyphary::windows
