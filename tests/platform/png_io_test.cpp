// PNG export and import: exact round trips (alpha kept or made opaque) and refused bad input.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/draw/png_io.h"
#include "tests/platform/draw_test_support.h"

namespace {

std::string TempPath(const char* name) {
  return testing::TempDir() + "/" + name + std::to_string(::testing::UnitTest::GetInstance()->random_seed());
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(PngFiles, BufferWrittenAndReadBackIsIdentical) {
  draw_test::Canvas canvas(5, 3, 10, 20);
  uint32_t value = 0x01020304u;
  for (int v = 20; v < 23; ++v)
    for (int h = 10; h < 15; ++h, value = value * 2654435761u + 0x9E3779B9u) canvas.Set(h, v, value);
  std::string path = TempPath("roundtrip.png");
  ASSERT_TRUE(WritePortPng(path.c_str(), canvas.gw(), true));
  PngImage image;
  ASSERT_TRUE(ReadPngFile(path.c_str(), &image));
  ASSERT_EQ(image.width, 5);
  ASSERT_EQ(image.height, 3);
  for (int v = 0; v < 3; ++v)
    for (int h = 0; h < 5; ++h) EXPECT_EQ(image.pixels[v * 5 + h], canvas.At(10 + h, 20 + v));
  FreePngImage(&image);
  // Without alpha every pixel reads back opaque with the same colour.
  ASSERT_TRUE(WritePortPng(path.c_str(), canvas.gw(), false));
  ASSERT_TRUE(ReadPngFile(path.c_str(), &image));
  for (int v = 0; v < 3; ++v)
    for (int h = 0; h < 5; ++h) EXPECT_EQ(image.pixels[v * 5 + h], 0xFF000000u | (canvas.At(10 + h, 20 + v) & 0xFFFFFFu));
  // The same bytes decode identically from memory.
  std::vector<uint8_t> bytes = ReadAll(path);
  PngImage fromMemory;
  ASSERT_TRUE(ReadPngMemory(bytes.data(), bytes.size(), &fromMemory));
  EXPECT_TRUE(std::equal(image.pixels, image.pixels + 15, fromMemory.pixels));
  FreePngImage(&fromMemory);
  FreePngImage(&image);
  std::remove(path.c_str());
}

TEST(PngFiles, BadInputIsRefusedCleanly) {
  PngImage image;
  EXPECT_FALSE(ReadPngFile("/nonexistent/nothing.png", &image));
  EXPECT_EQ(image.pixels, nullptr);
  std::string path = TempPath("notpng.png");
  { std::ofstream(path) << "this is not a picture at all"; }
  EXPECT_FALSE(ReadPngFile(path.c_str(), &image));
  // A real file cut short at every length fails without reading past the bytes given.
  std::vector<uint8_t> bytes = ReadAll(draw_test::SourcePath("resources/ppat_251.png"));
  ASSERT_GT(bytes.size(), 40u);
  for (size_t n = 0; n < bytes.size(); ++n) {
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
    EXPECT_FALSE(ReadPngMemory(cut.data(), cut.size(), &image)) << n;
  }
  EXPECT_TRUE(ReadPngMemory(bytes.data(), bytes.size(), &image));
  FreePngImage(&image);
  uint32_t px = 0;
  EXPECT_FALSE(WritePngFile(path.c_str(), &px, 0, 1, 4, true));
  EXPECT_FALSE(WritePngFile(path.c_str(), &px, 2, 1, 4, true));  // rows shorter than the width
  EXPECT_FALSE(WritePngFile("/nonexistent/dir/out.png", &px, 1, 1, 4, true));
  std::remove(path.c_str());
}

TEST(PngFiles, RefusedMemoryFailsWithoutLeaks) {
  using draw_test::FailingAllocator;
  std::string path = draw_test::SourcePath("resources/ppat_250.png");
  FailingAllocator::Install(1);
  FailingAllocator::live = 0;
  PngImage image;
  EXPECT_FALSE(ReadPngFile(path.c_str(), &image));
  EXPECT_EQ(FailingAllocator::live, 0);
  FailingAllocator::Remove();
}
