// Pictures placed by their left and bottom edges: hit tests, and white-keyed drawing that
// changes only the pixels under non-white source pixels, shaded by the paper beneath.
#include <gtest/gtest.h>

#include "graphics/picture_helpers.h"
#include "graphics/pixel_routines.h"
#include "tests/graphics/graphics_test_support.h"

using draw_test::Canvas;
using draw_test::kWhitePixel;

namespace {

PicHandle TwoByTwo() {
  // white, red / grey, white
  const uint32_t raster[4] = {0xFFFFFFFFu, 0xFFFF0000u, 0xFF808080u, 0xFFFFFFFFu};
  return NewPicture(raster, 2, 2);
}

}  // namespace

TEST(PictureHelpers, FrameAndHitTestsUseLeftAndBottomEdges) {
  const uint32_t raster[200] = {};
  PicHandle pic = NewPicture(raster, 20, 10);
  ASSERT_NE(pic, nullptr);
  QDRect frame;
  GetPictureFrame(pic, &frame);
  EXPECT_TRUE(EqualRect(frame, MakeRect(0, 0, 20, 10)));
  // Placed at h = 100, v = 50: left 100, top 40, right 120, bottom 50.
  struct { int h, v; bool in; } points[] = {{100, 40, true}, {119, 49, true}, {120, 45, false}, {110, 50, false},
                                            {110, 39, false}};
  for (auto p : points) EXPECT_EQ(PointInPictureAt(pic, MakePoint(p.h, p.v), 100, 50), p.in) << p.h << "," << p.v;
  EXPECT_TRUE(PictureOverlapsRectAt(pic, 100, 50, MakeRect(119, 49, 200, 200)));
  EXPECT_FALSE(PictureOverlapsRectAt(pic, 100, 50, MakeRect(120, 0, 200, 200)));
  EXPECT_FALSE(PointInPictureAt(nullptr, MakePoint(0, 0), 0, 0));
  KillPicture(pic);
}

// Red over white stays 0xFF0000, over 0x808080 becomes 0x7F0000 (L = 128); grey 0x808080 over
// white stays, over the grid colour stays; white source pixels leave the destination alone.
TEST(PictureHelpers, WhiteKeyedPictureChangesOnlyItsNonWhitePixels) {
  PicHandle pic = TwoByTwo();
  ASSERT_NE(pic, nullptr);
  Canvas canvas(6, 6);
  canvas.Set(4, 2, 0x00808080u);  // under the red pixel of the second copy
  canvas.Set(3, 4, 0x00CCFFFFu);  // under the grey pixel of the second copy
  canvas.Set(1, 1, 0x00123456u);  // under a white pixel of the first copy
  DrawPictureInGWorld(pic, 0, 2, MakeRect(0, 0, 6, 6), 1, 1);  // rows 0-1, columns 0-1
  DrawPictureInGWorld(pic, 3, 5, MakeRect(0, 0, 6, 6), 1, 1);  // rows 3-4, columns 3-4
  // 'r' red, 'g' grey, 's' the marked pixel under a white source pixel; row 2 is above the picture.
  EXPECT_EQ(canvas.Map({{kWhitePixel, '_'}, {0x00FF0000u, 'r'}, {0x00808080u, 'g'}, {0x00123456u, 's'}}),
            "_r____\ngs____\n____g_\n____r_\n___g__\n______\n");
  KillPicture(pic);
}

TEST(PictureHelpers, ScaledClippedAndRefusedDrawing) {
  graphics_test::FailureGuard guard;
  PicHandle pic = TwoByTwo();
  ASSERT_NE(pic, nullptr);
  Canvas canvas(8, 8);
  canvas.Set(2, 1, 0x00808080u);
  DrawPictureInGWorld(pic, 0, 4, MakeRect(0, 0, 8, 3), 2, 2);  // 4x4 at rows 0-3, clipped to rows 0-2
  // 'R' is red shaded by the grey beneath (L = 128); rows 3 and later are clipped away.
  EXPECT_EQ(canvas.Map({{kWhitePixel, '_'}, {0x00FF0000u, 'r'}, {0x007F0000u, 'R'}, {0x00808080u, 'g'}}),
            "__rr____\n__Rr____\ngg______\n________\n________\n________\n________\n________\n");
  // Every refused request draws nothing and keeps the byte count.
  Canvas empty(8, 8);
  size_t before = GetBytesInUse();
  for (int n = 1; n <= 6; ++n) {
    FailAllocationAt(uint64_t(n));
    DrawPictureInGWorld(pic, 0, 4, MakeRect(0, 0, 8, 8), 1, 1);
    FailAllocationAt(0);
    EXPECT_EQ(GetBytesInUse(), before);
    if (empty.Count(kWhitePixel) != 64) break;
  }
  DrawPictureInGWorld(pic, 0, 4, MakeRect(0, 0, 8, 8), 0, 1);  // bad factor
  DrawPictureInGWorld(pic, -32768, 32767, MakeRect(-32768, -32768, 32767, 32767), 1, 1);
  DrawPictureInGWorld(pic, 0, 0, MakeRect(0, 0, 8, 8), 40000, 40000);
  DrawPictureInGWorld(nullptr, 0, 0, MakeRect(0, 0, 8, 8), 1, 1);
  KillPicture(pic);
}
