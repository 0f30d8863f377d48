// Reading a frame back: rows come out top first at the destination, a source outside the frame
// or a destination too narrow is refused. The fake's frame holds (GL row << 12) | column.
#include <gtest/gtest.h>

#include <vector>

#include "platform/gl/fake_gl_backend.h"

TEST(ReadFrame, RowsComeOutTopFirstAndBadRequestsAreRefused) {
  FakeGLBackend fake;
  PlatformGLContext* c = fake.CreateContext({GLTargetKind::kWindow, 6, 4, 4, false});
  ASSERT_NE(c, nullptr);
  std::vector<uint32_t> out(8 * 3, 0);
  // Rows 1..3 and columns 2..5 of a 6 x 4 frame into an 8-word-wide destination.
  ASSERT_TRUE(ReadFrameInto(fake, c, {1, 2, 4, 6}, out.data(), 8 * 4));
  for (int r = 0; r < 3; ++r) {
    for (int col = 0; col < 8; ++col) {
      uint32_t want = col < 4 ? 0xFF000000u | uint32_t(2 - r) << 12 | uint32_t(col + 2) : 0u;
      EXPECT_EQ(out[r * 8 + col], want) << r << "," << col;
    }
  }
  EXPECT_EQ(fake.resolves, 1);
  struct Case {
    GLFrameRect source;
    int32_t rowBytes;
  } refused[] = {{{0, 0, 5, 6}, 32}, {{-1, 0, 2, 2}, 32}, {{0, 0, 0, 2}, 32}, {{0, 0, 2, 6}, 20}, {{0, 0, 2, 2}, 30}};
  for (const Case& bad : refused) EXPECT_FALSE(ReadFrameInto(fake, c, bad.source, out.data(), bad.rowBytes));
  EXPECT_FALSE(ReadFrameInto(fake, nullptr, {0, 0, 1, 1}, out.data(), 32));
  fake.DestroyContext(c);
  EXPECT_EQ(fake.LiveContextCount(), 0);
}
