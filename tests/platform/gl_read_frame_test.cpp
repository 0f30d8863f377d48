// Reading a frame back: rows come out top first at the destination, a source outside the frame
// or a destination too narrow is refused. The fake's frame holds (GL row << 12) | column.
#include <gtest/gtest.h>

#include <vector>

#include "platform/gl/fake_gl_backend.h"

TEST(ReadFrame, RowsComeOutTopFirstAndBadRequestsAreRefused) {
  FakeGLBackend fake;
  PlatformGLContext* c = fake.CreateContext({GLTargetKind::kWindow, 6, 4, 4, false});
  std::vector<uint32_t> out(8 * 3, 0);
  ASSERT_TRUE(ReadFrameInto(fake, c, {1, 2, 4, 6}, out.data(), 8 * 4));  // rows 1-3, columns 2-5
  for (int i = 0; i < 8 * 3; ++i) {
    const int r = i / 8, col = i % 8;
    EXPECT_EQ(out[i], col < 4 ? 0xFF000000u | uint32_t(2 - r) << 12 | uint32_t(col + 2) : 0u) << r << "," << col;
  }
  EXPECT_EQ(fake.resolves, 1);
  for (GLFrameRect bad : {GLFrameRect{0, 0, 5, 6}, GLFrameRect{-1, 0, 2, 2}, GLFrameRect{0, 0, 0, 2}}) {
    EXPECT_FALSE(ReadFrameInto(fake, c, bad, out.data(), 32));
  }
  EXPECT_FALSE(ReadFrameInto(fake, c, {0, 0, 2, 6}, out.data(), 20));  // narrower than the source
  EXPECT_FALSE(ReadFrameInto(fake, c, {0, 0, 2, 2}, out.data(), 30));  // not whole words
  fake.DestroyContext(c);
}
