// PNG export and import: exact round trips (alpha kept or made opaque), file and memory alike,
// and bad input or refused memory failing cleanly, without leaks or reads past the input.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/draw/png_io.h"
#include "tests/platform/draw_test_support.h"

namespace {

std::string TempPath(const char* name) {
  return testing::TempDir() + "/" + name + std::to_string(::getpid());
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(PngFiles, BufferWrittenAndReadBackIsIdentical) {
  draw_test::Canvas canvas(5, 3, 10, 20);
  uint32_t value = 0x01020304u;
  canvas.Fill([&](int, int) { return value = value * 2654435761u + 0x9E3779B9u; });
  std::string path = TempPath("roundtrip.png");
  for (bool keepAlpha : {true, false}) {
    ASSERT_TRUE(WritePortPng(path.c_str(), canvas.gw(), keepAlpha));
    std::vector<uint8_t> bytes = ReadAll(path);
    PngImage fromFile, fromMemory;
    ASSERT_TRUE(ReadPngFile(path.c_str(), &fromFile) && ReadPngMemory(bytes.data(), bytes.size(), &fromMemory));
    ASSERT_EQ(std::make_pair(fromFile.width, fromFile.height), std::make_pair(5, 3));
    std::vector<uint32_t> want = canvas.Pixels();
    for (uint32_t& px : want) px |= keepAlpha ? 0 : 0xFF000000u;  // RGB files read opaque
    EXPECT_EQ(std::vector<uint32_t>(fromFile.pixels, fromFile.pixels + 15), want) << keepAlpha;
    EXPECT_EQ(std::vector<uint32_t>(fromMemory.pixels, fromMemory.pixels + 15), want) << keepAlpha;
    FreePngImage(&fromMemory);
    FreePngImage(&fromFile);
  }
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
  uint32_t px = 0;
  EXPECT_FALSE(WritePngFile(path.c_str(), &px, 0, 1, 4, true));
  EXPECT_FALSE(WritePngFile(path.c_str(), &px, 2, 1, 4, true));  // rows shorter than the width
  EXPECT_FALSE(WritePngFile("/nonexistent/dir/out.png", &px, 1, 1, 4, true));
  std::remove(path.c_str());
}

TEST(PngFiles, RefusedMemoryAtEveryRequestFailsWithoutLeaks) {
  for (int n = 1;; ++n) {
    draw_test::Refusal refusal(n);
    PngImage image;
    bool ok = ReadPngFile(draw_test::SourcePath("resources/ppat_250.png").c_str(), &image);
    if (ok) FreePngImage(&image);
    EXPECT_EQ(draw_test::FailingAllocator::live, 0) << n;
    if (ok) break;
    ASSERT_LT(n, 10);
  }
}
