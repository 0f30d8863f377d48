// Graph colour: the colour-menu index mapping (NaN and huge indexes included, under UBSan), the
// texture index with software textures, brightening, clones that outlive their source, and the
// swatches and placed pictures drawn into an offscreen buffer. Goldens are hand-computed from the
// mapping and swatch rules; hues are the six primary and secondary colours.
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "graphics/gl/graphics_context.h"
#include "graphs/core/graph_color.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_scratch.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

using draw_test::Canvas;

constexpr uint32_t kWhite = 0xffffff, kBlack = 0x000000, kLight = 0xe5e5e5, kMagenta = 0xce00ce;

class GraphColorTest : public graphs_test::GraphsTest {};

TEST_F(GraphColorTest, ColorIndexesMapToModesAndColours) {
  const struct { double index; uint32_t mode, rgb; } cases[] = {
      {2, 0, 0xff0000}, {8, 0, 0x333333}, {9.7, 0, kWhite},  {-0.5, 0, kWhite}, {10, 1, kMagenta}, {17.9, 13, kMagenta},
      {998, 0, kWhite}, {1e12, 0, kWhite}, {-1e12, 0, kWhite}, {INFINITY, 0, kWhite},
      {std::numeric_limits<double>::quiet_NaN(), 0, kWhite}};
  GraphColor color(nullptr);
  for (const auto& c : cases) {
    color.mode = 5;
    SetGraphColorIndex(&color, c.index);
    EXPECT_TRUE(color.mode == c.mode && color.rgb == c.rgb) << c.index;
  }
}

// The software kind makes real software textures, so replacing and destroying them is checked
// by the sanitizers' leak and double-free reports.
TEST_F(GraphColorTest, TextureIndexCopiesTheCurrentPictureAndReplacesItsTexture) {
  GraphColor loose(nullptr);
  SetGraphColorIndex(&loose, 999);  // no current picture
  EXPECT_TRUE(loose.mode == kColorTexture && loose.texture == 0 && loose.rgb == kWhite);
  const uint32_t raster[4] = {0xff102030, 0xff102030, 0xff102030, 0xff102030};
  PicHandle picture = NewPicture(raster, 2, 2);
  GraphsGlobals().currentTexturePicture = picture;
  SetGraphColorIndex(&loose, 999);  // a picture, but no context: no texture
  ASSERT_NE(loose.picture, nullptr);
  EXPECT_TRUE(loose.picture != picture && loose.picture->pixels[3] == raster[3] && loose.rgb == kWhite);
  GraphicsContext context;
  context.kind = kContextQuickDraw;
  {
    GraphColor color(&context);
    SetGraphColorIndex(&color, 999);
    ASSERT_NE(color.texture, 0u);
    EXPECT_EQ(SoftwareTextureLevelsOf(color.texture)[0][0] & 0xffffff, 0x102030u);
    EXPECT_EQ(color.resourceContextKind, kContextQuickDraw);
    SetGraphColorIndex(&color, 999);  // the first texture goes, a second is made
    EXPECT_NE(color.texture, 0u);
  }
  GraphsGlobals().currentTexturePicture = nullptr;
  KillPicture(picture);
}

TEST_F(GraphColorTest, BrighteningScalesTheLargestChannelToFull) {
  const struct { uint32_t mode, rgb, expected; } cases[] = {
      {0, 0x800000, 0xff0000}, {0, 0x646432, 0xffff7f}, {0, 0xcccccc, 0xffffff}, {0, 0x008080, 0x00ffff},
      {0, 0x000040, 0x0000ff}, {0, 0x333333, 0x333333}, {0, 0x000000, 0x000000}, {1, 0x800000, 0x800000}};
  for (const auto& c : cases) {
    GraphColor color(nullptr);
    color.mode = c.mode;
    color.rgb = c.rgb;
    BrightenGraphColor(&color);
    EXPECT_EQ(color.rgb, c.expected) << std::hex << c.rgb;
  }
}

TEST_F(GraphColorTest, CloneOwnsItsExpressionsAfterTheSourceIsGone) {
  auto* source = new GraphColor(nullptr);
  source->mode = kColorRGBExpressions;
  source->rgb = 0x123456;
  const char* texts[3] = {"plus[x,y]", "times[x,y]", "2"};
  for (int k = 0; k < 3; ++k) InitFunction(source->component[k] = new CompiledFunction, graphs_test::Parse(texts[k]));
  GraphColor* clone = CloneGraphColor(source);
  delete source;
  ASSERT_NE(clone, nullptr);
  EXPECT_TRUE(clone->mode == kColorRGBExpressions && clone->rgb == 0x123456u);
  const double expected[3] = {5.0, 6.0, 2.0};  // at x = 2, y = 3
  for (int k = 0; k < 3; ++k) {
    CompileFunction(clone->component[k]);
    EXPECT_EQ(EvaluateFunction2(clone->component[k], 2.0, 3.0), expected[k]);
  }
  delete clone;
  FreeEvalScratch();  // the compile grew the process-wide scratch
}

TEST_F(GraphColorTest, SwatchesOfEachModeLeaveTheForegroundBlack) {
  const struct {
    uint32_t mode;
    int32_t width, height;
    std::vector<std::array<uint32_t, 3>> pixels;  // h, v, expected
    int black;                                    // black pixels; -1 not counted
  } cases[] = {
      {kColorFixed, 4, 4, {{0, 0, 0x123456}, {3, 3, 0x123456}}, 0},
      {kColorChecks, 16, 16, {{0, 0, kBlack}, {3, 3, kBlack}, {4, 0, kLight}, {0, 4, kLight}, {15, 15, kBlack}}, 128},
      {kColorStripesAcross, 8, 8, {{7, 3, kBlack}, {0, 4, kLight}}, 32},
      {kColorStripesAlong, 8, 8, {{3, 7, kBlack}, {4, 0, kLight}}, 32},
      {kColorHueRampDown, 4, 24, {{0, 0, 0xff0000}, {3, 8, 0x00ff00}, {1, 16, 0x0000ff}}, -1},
      {kColorHueRampAcross, 24, 4, {{0, 3, 0xff0000}, {8, 0, 0x00ff00}, {16, 2, 0x0000ff}}, -1},
      {kColorHueStepsDown, 4, 24, {{0, 3, 0xff0000}, {0, 8, 0x00ff00}, {0, 23, 0xff00ff}}, -1},
      {kColorHueStepsAcross, 24, 4, {{3, 0, 0xff0000}, {12, 0, 0x00ffff}, {16, 0, 0x0000ff}}, -1},
      {kColorTexture, 8, 8, {{0, 0, kWhite}}, 0},
      {kColorRGBExpressions, 8, 8, {{0, 0, kWhite}}, 0}};
  for (const auto& c : cases) {
    Canvas canvas(c.width, c.height);
    GraphColor color(nullptr);
    color.mode = c.mode;
    color.rgb = 0x123456;
    DrawGraphColorSwatch(&color, MakeRect(0, 0, c.width, c.height));
    for (const auto& p : c.pixels) EXPECT_EQ(canvas.At(p[0], p[1]), p[2]) << c.mode << " at " << p[0] << "," << p[1];
    EXPECT_TRUE(c.black < 0 || canvas.Count(kBlack) == c.black) << c.mode;
    RGBColor16 fore;
    GetForeColor(&fore);
    EXPECT_EQ(ColorToPixel(fore), kBlack) << c.mode;
  }
  Canvas canvas(10, 10);  // no fill: a framed cross
  GraphColor none(nullptr);
  SetGraphColorIndex(&none, 17);
  DrawGraphColorSwatch(&none, MakeRect(0, 0, 10, 10));
  EXPECT_EQ(canvas.Map(), "##########\n##......##\n#.#....#.#\n#..#..#..#\n#...##...#\n"
                          "#...##...#\n#..#..#..#\n#.#....#.#\n##......##\n##########\n");
}

TEST_F(GraphColorTest, PictureIsPlacedByItsBottomLeftCorner) {
  Canvas canvas(100, 100);
  std::vector<uint32_t> raster(20 * 10, 0xFF000000u);  // opaque black
  GraphColor color(nullptr);
  color.picture = NewPicture(raster.data(), 20, 10);
  DrawGraphColorPicture(&color, 50, 50, MakeRect(0, 0, 100, 100), 1, 1);
  const draw_test::Points black = canvas.Where(kBlack);
  ASSERT_EQ(black.size(), 200u);  // h = 50 - 20 / 2 and v = 50 + 10 / 2 the bottom edge
  EXPECT_TRUE(*black.begin() == std::make_pair(40, 45) && *black.rbegin() == std::make_pair(59, 54));
  GraphColor none(nullptr);
  DrawGraphColorPicture(&none, 50, 50, MakeRect(0, 0, 100, 100), 1, 1);  // no picture: nothing
}

}  // namespace
