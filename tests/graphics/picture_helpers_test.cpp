// Pictures placed by their left and bottom edges: white-keyed drawing that changes only the
// pixels under non-white source pixels, shaded by the paper beneath, clipped and scaled.
#include <gtest/gtest.h>

#include "graphics/picture_helpers.h"
#include "graphics/pixel_routines.h"
#include "tests/graphics/graphics_test_support.h"

using draw_test::Canvas;
using draw_test::kWhitePixel;

namespace {

const uint32_t kTwoByTwo[4] = {0xFFFFFFFFu, 0xFFFF0000u, 0xFF808080u, 0xFFFFFFFFu};  // white, red / grey, white

}  // namespace

// Red over white stays 0xFF0000, over 0x808080 becomes 0x7F0000 (L = 128); grey over white and
// over the grid colour stays; white source pixels leave the destination alone. Scaled 2 x 2 and
// clipped to rows 0-2, the picture's red is shaded where the grey pixel lies beneath.
TEST(PictureHelpers, WhiteKeyedPictureChangesOnlyItsNonWhitePixels) {
  PicHandle pic = NewPicture(kTwoByTwo, 2, 2);
  ASSERT_NE(pic, nullptr);
  const auto legend = {std::pair{kWhitePixel, '_'}, {0x00FF0000u, 'r'}, {0x007F0000u, 'R'}, {0x00808080u, 'g'},
                       {0x00123456u, 's'}};
  Canvas canvas(6, 6);
  canvas.Set(4, 3, 0x00808080u);  // under the red pixel of the second copy
  canvas.Set(3, 4, 0x00CCFFFFu);  // under the grey pixel of the second copy
  canvas.Set(1, 1, 0x00123456u);  // under a white pixel of the first copy
  DrawPictureInGWorld(pic, 0, 2, MakeRect(0, 0, 6, 6), 1, 1);  // rows 0-1, columns 0-1
  DrawPictureInGWorld(pic, 3, 5, MakeRect(0, 0, 6, 6), 1, 1);  // rows 3-4, columns 3-4
  EXPECT_EQ(canvas.Map(legend), "_r____\ngs____\n______\n____R_\n___g__\n______\n");
  Canvas scaled(6, 4);
  scaled.Set(2, 1, 0x00808080u);
  DrawPictureInGWorld(pic, 0, 4, MakeRect(0, 0, 8, 3), 2, 2);  // 4x4 at rows 0-3, clipped to rows 0-2
  EXPECT_EQ(scaled.Map(legend), "__rr__\n__Rr__\ngg____\n______\n");
  KillPicture(pic);
}

TEST(PictureHelpers, RefusedAndOutOfRangeDrawingDrawsNothing) {
  graphics_test::FailureGuard guard;
  PicHandle pic = NewPicture(kTwoByTwo, 2, 2);
  ASSERT_NE(pic, nullptr);
  Canvas canvas(8, 8);
  size_t before = GetBytesInUse();
  FailAllocationAt(0);
  DrawPictureInGWorld(pic, 0, 4, MakeRect(0, 0, 8, 8), 1, 1);
  uint64_t requests = CountedAllocationAttempts();
  ASSERT_GT(requests, 0u);
  for (uint64_t n = 1; n <= requests; ++n) {  // every refused request draws nothing
    EraseRect(MakeRect(0, 0, 8, 8));
    FailAllocationAt(n);
    DrawPictureInGWorld(pic, 0, 4, MakeRect(0, 0, 8, 8), 1, 1);
    FailAllocationAt(0);
    EXPECT_EQ(canvas.Count(kWhitePixel), 64) << n;
    EXPECT_EQ(GetBytesInUse(), before);
  }
  DrawPictureInGWorld(pic, 0, 4, MakeRect(0, 0, 8, 8), 0, 1);  // bad factor
  DrawPictureInGWorld(pic, -32768, 32767, MakeRect(-32768, -32768, 32767, 32767), 1, 1);
  DrawPictureInGWorld(pic, 0, 0, MakeRect(0, 0, 8, 8), 40000, 40000);
  EXPECT_EQ(canvas.Count(kWhitePixel), 64);
  KillPicture(pic);
}
