// Graphics contexts on the fake backend: kind choice, the fall-back chain with its attempt log,
// the "too big" rule, rebuilds on rectangle and transparency changes, retirement with objects
// read back before their context goes, presenting frames, and failure injection with no leak.
#include <gtest/gtest.h>

#include <vector>

#include "graphics/gl/gl_resources.h"
#include "kernel/memory/memory_budget.h"
#include "platform/handles.h"
#include "tests/graphics/gl/gl_test_support.h"

namespace {

using gl_test::gDocument;

const QDRect kView = MakeRect(20, 10, 120, 60);  // 100 x 50 inside the 400 x 300 buffer

class GraphicsContextTest : public gl_test::FakeGLTest {
 protected:
  void SetUp() override {
    FakeGLTest::SetUp();
    ctx = NewGLContextRecord();
    ASSERT_NE(ctx, nullptr);
  }
  void TearDown() override {
    DetachGLContext(ctx);
    DeleteGLContextRecord(ctx);
    FakeGLTest::TearDown();
  }
  // Every preparation keeps the view's frame and rectangle, whatever was rebuilt.
  int32_t Prepare(const QDRect& r = kView) {
    int32_t kind = PrepareViewGraphicsContext(ctx, r, &frame);
    EXPECT_TRUE(CheckGraphicsContext(ctx));
    EXPECT_EQ(ctx->viewFrame, &frame);
    EXPECT_TRUE(EqualRect(ctx->rect, r));
    return kind;
  }
  int32_t Retired() const { return GLGlobals().RetiredGLContexts.count; }
  GraphicsContext* ctx = nullptr;
  ViewFrame frame{};
};

// A fake object living in a context: records which context was current when it was released.
struct FakeMesh {
  GLContextResource resource;
  static inline std::vector<uint64_t> released;
  static void Release(GLContextResource*) { released.push_back(ActiveFakeGLBackend()->CurrentContext()->serial); }
};

}  // namespace

TEST_F(GraphicsContextTest, TheSoftwareKindFollowsOpenGLAndTransparency) {
  ASSERT_EQ(Prepare(), kContextGLWindow);
  gDocument.transparent = true;  // forces the software kind, with fragment heads
  ASSERT_EQ(Prepare(), kContextQuickDraw);
  EXPECT_GE(MallocSize(ctx->fragmentHeads), 4u * 100 * 50);
  EXPECT_EQ(ctx->depthBuffer, nullptr);
  gDocument.transparent = false;
  GLGlobals().OpenGLAvailable = 0;  // request 4 without OpenGL: software, with a depth buffer
  ASSERT_EQ(Prepare(), kContextQuickDraw);
  EXPECT_GE(MallocSize(ctx->depthBuffer), 8u * 100 * 50);
  EXPECT_EQ(ctx->fragmentHeads, nullptr);
  EXPECT_EQ(fake.attempts.size(), 1u);
}

TEST_F(GraphicsContextTest, FallbackChainLogsEveryAttemptAndLeaksNothing) {
  struct Case {
    bool refuseOptionWindow, refuseAllWindow, refuseOffscreen, antialiased;
    int32_t kind;
    std::vector<std::string> log;  // "window/1": option set (not robust); "ms": multisampled
  } cases[] = {
      {false, false, false, false, kContextGLWindow, {"window/1"}},
      {false, false, false, true, kContextGLWindow, {"window/1ms"}},
      {true, false, false, false, kContextGLWindow, {"window/1", "window/0"}},
      {true, false, false, true, kContextGLWindow, {"window/1ms", "window/1", "window/0"}},
      {false, true, false, false, kContextGLOffscreen, {"window/1", "window/0", "offscreen/1"}},
      {false, true, true, false, kContextQuickDraw, {"window/1", "window/0", "offscreen/1", "offscreen/0"}},
  };
  for (const Case& c : cases) {
    DetachGLContext(ctx);
    DestroyRetiredGLContexts();
    fake.attempts.clear();
    gDocument.antialiased = c.antialiased;
    fake.refuseCreate = [&c](const GLContextRequest& r) {
      if (r.target == GLTargetKind::kOffscreen) return c.refuseOffscreen;
      return c.refuseAllWindow || (c.refuseOptionWindow && !r.robust);
    };
    EXPECT_EQ(Prepare(), c.kind);
    std::vector<std::string> log;
    for (const auto& a : fake.attempts) {
      log.push_back(std::string(a.request.target == GLTargetKind::kWindow ? "window/" : "offscreen/") +
                    (a.request.robust ? "0" : "1") + (a.request.samples > 0 ? "ms" : ""));
    }
    EXPECT_EQ(log, c.log);
    EXPECT_EQ(fake.LiveContextCount(), c.kind == kContextQuickDraw ? 0 : 1) << "a failed kind leaked its context";
    EXPECT_FALSE(HasPendingError());
  }
}

// Fail each counted allocation of the software build in turn (all of them last): the kind is
// built whole, or it is 0 with error 7 posted, nothing left allocated and the buffer unlocked.
TEST_F(GraphicsContextTest, EveryRefusedAllocationOfTheLastKindIsReported) {
  fake.refuseCreate = [](const GLContextRequest&) { return true; };
  for (uint64_t n = 1;; ++n) {
    ResetErrorRegister();
    DetachGLContext(ctx);
    const size_t before = GetBytesInUse();
    FailAllocationAt(n, n == 1);
    int32_t kind = Prepare();
    FailAllocationAt(0);
    if (kind == kContextQuickDraw && n > 1) break;
    EXPECT_EQ(kind, kContextNone) << n;
    EXPECT_EQ(PendingError(), kErrorOutOfMemory) << n;
    EXPECT_EQ(GetBytesInUse(), before) << n;
    EXPECT_EQ(GetPixelsState(gDocument.buffer) & kPixelsLocked, 0) << n;
    ASSERT_LT(n, 10u);
  }
}

// Kinds 3 and 1 need the document's buffer to hold the view (else their drawing would land
// outside its pixels); the window kind does not.
TEST_F(GraphicsContextTest, KindsNeedingTheDocumentBufferAnswerTwoWithoutIt) {
  SetRequestedContextKind(ctx, kContextGLOffscreen);
  EXPECT_EQ(Prepare(MakeRect(350, 10, 450, 60)), kContextNone) << "a view partly outside the buffer";
  SafeDisposeGWorld(gDocument.buffer);
  gDocument.buffer = nullptr;
  ResetErrorRegister();
  EXPECT_EQ(Prepare(), kContextNone);
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
  EXPECT_EQ(CreateOffscreenGLContext(ctx, 1), kGraphicsBufferMissing);
  EXPECT_EQ(CreateQuickDrawBuffers(ctx), kGraphicsBufferMissing);
  ResetErrorRegister();
  SetRequestedContextKind(ctx, kContextGLWindow);
  EXPECT_EQ(Prepare(), kContextGLWindow);
  EXPECT_FALSE(HasPendingError());
  EXPECT_EQ(Prepare(MakeRect(20, 10, 20, 60)), kContextNone) << "an empty view builds nothing";
  EXPECT_FALSE(HasPendingError()) << "and raises no memory alert";
}

TEST_F(GraphicsContextTest, TooBigForTheViewportFallsToSoftware) {
  fake.maxViewportDims[0] = fake.maxViewportDims[1] = 256;
  EXPECT_EQ(Prepare(MakeRect(0, 0, 300, 100)), kContextQuickDraw);
  EXPECT_EQ(fake.LiveContextCount(), 0);
  EXPECT_EQ(Prepare(MakeRect(0, 0, 200, 100)), kContextGLWindow);
  EXPECT_EQ(Prepare(MakeRect(0, 0, 257, 100)), kContextQuickDraw) << "a window view grown past the limit";
}

TEST_F(GraphicsContextTest, RectangleChangesKeepWindowContextsOnly) {
  ASSERT_EQ(Prepare(), kContextGLWindow);
  PlatformGLContext* window = GLContextHandle(ctx);
  ASSERT_EQ(Prepare(MakeRect(20, 10, 150, 90)), kContextGLWindow);
  EXPECT_EQ(GLContextHandle(ctx), window);
  EXPECT_EQ(window->width * 1000 + window->height, 130080);
  EXPECT_EQ(Retired(), 0);
  fake.refuseResize = true;  // a framebuffer that cannot be resized gets a new context
  ASSERT_EQ(Prepare(), kContextGLWindow);
  EXPECT_NE(GLContextHandle(ctx), window);
  EXPECT_EQ(Retired(), 1);
  SetRequestedContextKind(ctx, kContextGLOffscreen);
  ASSERT_EQ(Prepare(), kContextGLOffscreen);
  EXPECT_EQ(Retired(), 2);
  uint64_t offscreen = GLContextHandle(ctx)->serial;
  ASSERT_EQ(Prepare(MakeRect(20, 10, 150, 90)), kContextGLOffscreen);
  EXPECT_NE(GLContextHandle(ctx)->serial, offscreen);
  EXPECT_EQ(fake.LiveContextCount(), 3);
  DestroyRetiredGLContexts();
  EXPECT_EQ(Retired(), 0);
  EXPECT_EQ(fake.LiveContextCount(), 1);
}

// A retired context goes at idle time, after its objects were released with it current; when the
// queue cannot grow it goes at once, the same way.
TEST_F(GraphicsContextTest, RetiredContextsGoOnlyAfterTheirObjectsWereReadBack) {
  for (bool queueRefused : {false, true}) {
    DetachGLContext(ctx);
    DestroyRetiredGLContexts();
    fake.destroyed.clear();
    FakeMesh::released.clear();
    ASSERT_EQ(Prepare(), kContextGLWindow);
    FakeMesh mesh;
    RegisterGLResource(&mesh.resource, GLContextHandle(ctx), FakeMesh::Release);
    const uint64_t serial = GLContextHandle(ctx)->serial;
    FailAllocationAt(queueRefused ? 1 : 0);
    DetachGLContext(ctx);
    FailAllocationAt(0);
    EXPECT_EQ(FakeMesh::released.size(), queueRefused ? 1u : 0u);
    DestroyRetiredGLContexts();
    EXPECT_EQ(FakeMesh::released, std::vector<uint64_t>{serial});
    EXPECT_EQ(fake.destroyed, std::vector<uint64_t>{serial});
    EXPECT_EQ(mesh.resource.context, nullptr);
    EXPECT_TRUE(CheckGLResources());
  }
}

// Mesa lacks the multisample filter hint: it is not given, and no error is left for the first frame.
TEST_F(GraphicsContextTest, BuildsGiveTheHintOnlyWhereItExists) {
  for (int32_t kind : {kContextGLWindow, kContextGLOffscreen}) {
    SetRequestedContextKind(ctx, kind);
    ASSERT_EQ(Prepare(), kind);
    EXPECT_TRUE(fake.pendingErrors.empty());
    EXPECT_TRUE(fake.hints.empty());
  }
  fake.extensions += " GL_NV_multisample_filter_hint";
  SetRequestedContextKind(ctx, kContextGLWindow);
  ASSERT_EQ(Prepare(), kContextGLWindow);
  EXPECT_EQ(fake.hints, std::vector<GLenum>{GL_MULTISAMPLE_FILTER_HINT_NV});
}

// Lines in a multisampled window: 3 on the Radeon 8500-9200 and the GeForce4 MX unless their fix
// is known, else 1.5; without multisampling they stay 1.
TEST_F(GraphicsContextTest, MultisampledLinesFollowTheRendererQuirks) {
  struct Case {
    const char* renderer;
    bool antialiased, r200Fix;
    float width;
  } cases[] = {{"ATI Radeon 9200", true, false, 3}, {"ATI Radeon 9200", true, true, 1.5}, {"llvmpipe", true, false, 1.5},
               {"NVidia GeForce4 MX", true, false, 3}, {"NVidia GeForce4 MX", false, false, 1}};
  for (const Case& c : cases) {
    DetachGLContext(ctx);
    fake.renderer = c.renderer, fake.lineWidth = 1, gDocument.antialiased = c.antialiased;
    GLGlobals().switches.r200LineFixPresent = c.r200Fix;
    ASSERT_EQ(Prepare(), kContextGLWindow);
    EXPECT_EQ(fake.lineWidth, c.width) << c.renderer;
  }
}

// The fake's frame holds (GL row << 12) | column: the view's top row is GL row height - 1.
TEST_F(GraphicsContextTest, PresentedFramesLandFlippedAtTheViewRectangle) {
  auto at = [](GWorldPtr gw, int h, int v) { return *PixelAddress(gw, h, v); };
  SetRequestedContextKind(ctx, kContextGLOffscreen);
  ASSERT_EQ(Prepare(), kContextGLOffscreen);
  ASSERT_EQ(PresentGLFrame(ctx), kGraphicsDone);
  EXPECT_EQ(at(gDocument.buffer, 20, 10), 0xFF000000u | (49u << 12) | 0u);
  EXPECT_EQ(at(gDocument.buffer, 119, 59), 0xFF000000u | (0u << 12) | 99u);
  EXPECT_EQ(at(gDocument.buffer, 19, 10), 0x00FFFFFFu) << "written outside the view";
  EXPECT_EQ(at(gDocument.buffer, 20, 60), 0x00FFFFFFu) << "written outside the view";

  gDocument.antialiased = true;
  gDocument.windowPixels = NewGWorld32(MakeRect(0, 0, 400, 300));
  SetRequestedContextKind(ctx, kContextGLWindow);
  ASSERT_EQ(Prepare(), kContextGLWindow);
  SafeDisposeGWorld(gDocument.buffer);
  gDocument.buffer = nullptr;  // the window kind needs no document buffer
  ASSERT_EQ(PresentGLFrame(ctx), kGraphicsDone);
  EXPECT_EQ(fake.resolves, 1) << "a multisampled frame is resolved before it is read";
  EXPECT_EQ(at(gDocument.windowPixels, 20, 10), 0xFF000000u | (49u << 12));
}
