// Graphics contexts on the fake backend: kind choice, the fall-back chain with its attempt log,
// the "too big" rule, rebuilds on rectangle and transparency changes, retirement with objects
// read back before their context goes, presenting frames, and failure injection with no leak.
#include <gtest/gtest.h>

#include <vector>

#include "graphics/gl/gl_resources.h"
#include "graphics/gl/graphics_context.h"
#include "kernel/memory/memory_budget.h"
#include "platform/handles.h"
#include "tests/graphics/gl/gl_test_support.h"

namespace {

using gl_test::FakeGLTest;
using gl_test::gDocument;

const QDRect kView = MakeRect(20, 10, 120, 60);  // 100 x 50 inside the 400 x 300 buffer

class GraphicsContextTest : public FakeGLTest {
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
  // Attempts as "window/1" (option set: not robust) or "offscreen/0", with "ms" when multisampled.
  std::vector<std::string> AttemptLog() const {
    std::vector<std::string> log;
    for (const auto& a : fake.attempts) {
      log.push_back(std::string(a.request.target == GLTargetKind::kWindow ? "window/" : "offscreen/") +
                    (a.request.robust ? "0" : "1") + (a.request.samples > 0 ? "ms" : ""));
    }
    return log;
  }
  GraphicsContext* ctx = nullptr;
  ViewFrame frame{};
};

// Records the release of a fake object living in a context: the context must still exist and be current.
struct FakeMesh {
  GLContextResource resource;
  static inline std::vector<uint64_t> released;
  static void Release(GLContextResource* r) {
    PlatformGLContext* current = ActiveFakeGLBackend()->CurrentContext();
    released.push_back(current != nullptr ? current->serial : 0);
    (void)r;
  }
};

}  // namespace

TEST_F(GraphicsContextTest, WithoutOpenGLTheSoftwareKindFollowsTransparency) {
  GLGlobals().OpenGLAvailable = 0;
  ASSERT_EQ(Prepare(), kContextQuickDraw);
  ASSERT_NE(ctx->depthBuffer, nullptr);
  EXPECT_GE(MallocSize(ctx->depthBuffer), 8u * 100 * 50);
  EXPECT_EQ(ctx->fragmentHeads, nullptr);
  gDocument.transparent = true;
  ASSERT_EQ(Prepare(), kContextQuickDraw);
  ASSERT_NE(ctx->fragmentHeads, nullptr);
  EXPECT_GE(MallocSize(ctx->fragmentHeads), 4u * 100 * 50);
  EXPECT_EQ(ctx->depthBuffer, nullptr);
  gDocument.transparent = false;
  ASSERT_EQ(Prepare(), kContextQuickDraw);
  EXPECT_NE(ctx->depthBuffer, nullptr);
  EXPECT_TRUE(fake.attempts.empty());
}

// Transparency forces the software kind even when a GL kind was asked for.
TEST_F(GraphicsContextTest, TransparencyForcesTheSoftwareKind) {
  ASSERT_EQ(Prepare(), kContextGLWindow);
  gDocument.transparent = true;
  EXPECT_EQ(Prepare(), kContextQuickDraw);
  EXPECT_EQ(GLGlobals().RetiredGLContexts.count, 1);
}

TEST_F(GraphicsContextTest, FallbackChainLogsEveryAttempt) {
  struct Case {
    bool refuseOptionWindow, refuseAllWindow, refuseOffscreen, antialiased;
    int32_t kind;
    std::vector<std::string> log;
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
    EXPECT_EQ(AttemptLog(), c.log);
    EXPECT_EQ(fake.LiveContextCount(), c.kind == kContextQuickDraw ? 0 : 1) << "a failed kind leaked its context";
    EXPECT_FALSE(HasPendingError());
  }
}

TEST_F(GraphicsContextTest, EverythingFailingPostsErrorSevenAndClearsTheRecord) {
  fake.refuseCreate = [](const GLContextRequest&) { return true; };
  const size_t before = GetBytesInUse();
  FailAllocationAt(1, true);
  EXPECT_EQ(Prepare(), kContextNone);
  FailAllocationAt(0);
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
  EXPECT_EQ(ctx->backgroundGWorld, nullptr);
  EXPECT_EQ(ctx->depthBuffer, nullptr);
  EXPECT_EQ(GetBytesInUse(), before);
  EXPECT_EQ(GetPixelsState(gDocument.buffer) & kPixelsLocked, 0) << "the document buffer stayed locked";
}

// Fail each counted allocation of the software build in turn: either the kind is built whole, or
// it is 0 with error 7 posted, and nothing is left allocated.
TEST_F(GraphicsContextTest, EveryRefusedAllocationOfTheSoftwareBuildIsReported) {
  SetRequestedContextKind(ctx, kContextQuickDraw);
  for (uint64_t n = 1;; ++n) {
    ResetErrorRegister();
    const size_t before = GetBytesInUse();
    FailAllocationAt(n);
    int32_t kind = Prepare();
    FailAllocationAt(0);
    if (kind == kContextQuickDraw) break;
    EXPECT_EQ(kind, kContextNone) << n;
    EXPECT_EQ(PendingError(), kErrorOutOfMemory) << n;
    EXPECT_EQ(GetBytesInUse(), before) << n;
    ASSERT_LT(n, 10u);
  }
}

TEST_F(GraphicsContextTest, NoDocumentBufferAnswersTwoForTheKindsThatNeedIt) {
  SafeDisposeGWorld(gDocument.buffer);
  gDocument.buffer = nullptr;
  EXPECT_EQ(CreateOffscreenGLContext(ctx, 1), kGraphicsBufferMissing);
  EXPECT_EQ(CreateQuickDrawBuffers(ctx), kGraphicsBufferMissing);
  SetRequestedContextKind(ctx, kContextGLOffscreen);
  EXPECT_EQ(Prepare(), kContextNone);
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
  ResetErrorRegister();
  SetRequestedContextKind(ctx, kContextGLWindow);  // the window kind needs no document buffer
  EXPECT_EQ(Prepare(), kContextGLWindow);
  EXPECT_FALSE(HasPendingError());
}

// A view outside the document's buffer would be drawn outside its pixels: the buffer counts as missing.
TEST_F(GraphicsContextTest, AViewLargerThanTheBufferGetsNoBufferKind) {
  SetRequestedContextKind(ctx, kContextGLOffscreen);
  EXPECT_EQ(Prepare(MakeRect(350, 10, 450, 60)), kContextNone);
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
}

TEST_F(GraphicsContextTest, TooBigForTheViewportFallsToSoftware) {
  fake.maxViewportDims[0] = fake.maxViewportDims[1] = 256;
  EXPECT_EQ(Prepare(MakeRect(0, 0, 300, 100)), kContextQuickDraw);
  EXPECT_EQ(fake.LiveContextCount(), 0);
  EXPECT_EQ(Prepare(MakeRect(0, 0, 200, 100)), kContextGLWindow);
  // Growing the window view past the limit rebuilds it, and it cannot stay GL.
  EXPECT_EQ(Prepare(MakeRect(0, 0, 257, 100)), kContextQuickDraw);
}

TEST_F(GraphicsContextTest, RectangleChangesKeepWindowContextsOnly) {
  ASSERT_EQ(Prepare(), kContextGLWindow);
  PlatformGLContext* window = GLContextHandle(ctx);
  ASSERT_EQ(Prepare(MakeRect(20, 10, 150, 90)), kContextGLWindow);
  EXPECT_EQ(GLContextHandle(ctx), window);
  EXPECT_EQ(window->width, 130);
  EXPECT_EQ(window->height, 80);
  EXPECT_EQ(GLGlobals().RetiredGLContexts.count, 0);
  fake.refuseResize = true;  // a framebuffer that cannot grow gets a new context
  ASSERT_EQ(Prepare(kView), kContextGLWindow);
  EXPECT_NE(GLContextHandle(ctx), window);
  EXPECT_EQ(GLGlobals().RetiredGLContexts.count, 1);

  SetRequestedContextKind(ctx, kContextGLOffscreen);
  ASSERT_EQ(Prepare(), kContextGLOffscreen);
  EXPECT_EQ(GLGlobals().RetiredGLContexts.count, 2);
  uint64_t offscreen = GLContextHandle(ctx)->serial;
  ASSERT_EQ(Prepare(MakeRect(20, 10, 150, 90)), kContextGLOffscreen);
  EXPECT_NE(GLContextHandle(ctx)->serial, offscreen);
  EXPECT_EQ(fake.LiveContextCount(), 3);
  DestroyRetiredGLContexts();
  EXPECT_EQ(GLGlobals().RetiredGLContexts.count, 0);
  EXPECT_EQ(fake.LiveContextCount(), 1);
}

TEST_F(GraphicsContextTest, RetiredContextsGoOnlyAfterTheirObjectsWereReadBack) {
  ASSERT_EQ(Prepare(), kContextGLWindow);
  PlatformGLContext* window = GLContextHandle(ctx);
  FakeMesh mesh;
  FakeMesh::released.clear();
  RegisterGLResource(&mesh.resource, window, FakeMesh::Release);
  SetRequestedContextKind(ctx, kContextGLOffscreen);
  ASSERT_EQ(Prepare(), kContextGLOffscreen);
  EXPECT_EQ(CountGLResources(window), 1) << "retiring must not release";
  EXPECT_TRUE(FakeMesh::released.empty());
  uint64_t serial = window->serial;
  DestroyRetiredGLContexts();
  ASSERT_EQ(FakeMesh::released, std::vector<uint64_t>{serial});
  EXPECT_EQ(mesh.resource.context, nullptr);
  EXPECT_EQ(fake.destroyed, std::vector<uint64_t>{serial});
  EXPECT_TRUE(CheckGLResources());
}

// When the queue cannot grow, the context is destroyed at once, its objects released first.
TEST_F(GraphicsContextTest, ARetirementTheQueueCannotHoldDestroysAtOnce) {
  ASSERT_EQ(Prepare(), kContextGLWindow);
  FakeMesh mesh;
  FakeMesh::released.clear();
  RegisterGLResource(&mesh.resource, GLContextHandle(ctx), FakeMesh::Release);
  FailAllocationAt(1);
  DetachGLContext(ctx);
  FailAllocationAt(0);
  EXPECT_EQ(FakeMesh::released.size(), 1u);
  EXPECT_EQ(fake.LiveContextCount(), 0);
}

// Mesa lacks the multisample filter hint: it is not given, and no error is left for the first frame.
TEST_F(GraphicsContextTest, BuildsLeaveNoGLErrorPending) {
  for (int32_t kind : {kContextGLWindow, kContextGLOffscreen}) {
    DetachGLContext(ctx);
    SetRequestedContextKind(ctx, kind);
    ASSERT_EQ(Prepare(), kind);
    EXPECT_TRUE(fake.pendingErrors.empty());
    EXPECT_TRUE(fake.hints.empty());
  }
  fake.extensions += " GL_NV_multisample_filter_hint";
  DetachGLContext(ctx);
  ASSERT_EQ(Prepare(), kContextGLOffscreen);
  EXPECT_EQ(fake.hints, std::vector<GLenum>{GL_MULTISAMPLE_FILTER_HINT_NV});
}

TEST_F(GraphicsContextTest, MultisampledLinesFollowTheRendererQuirks) {
  gDocument.antialiased = true;
  struct Case {
    const char* renderer;
    bool r200Fix;
    float width;
  } cases[] = {{"ATI Radeon 9200", false, 3.0f}, {"ATI Radeon 9200", true, 1.5f},
               {"NVidia GeForce4 MX", false, 3.0f}, {"llvmpipe", false, 1.5f}};
  for (const Case& c : cases) {
    DetachGLContext(ctx);
    fake.renderer = c.renderer;
    fake.lineWidth = 1.0f;
    GLGlobals().switches.r200LineFixPresent = c.r200Fix;
    ASSERT_EQ(Prepare(), kContextGLWindow);
    EXPECT_EQ(fake.lineWidth, c.width) << c.renderer;
    EXPECT_EQ(ctx->rendererIsATI, c.renderer[0] == 'A');
  }
  gDocument.antialiased = false;  // without multisampling the width stays 1
  DetachGLContext(ctx);
  fake.lineWidth = 1.0f;
  ASSERT_EQ(Prepare(), kContextGLWindow);
  EXPECT_EQ(fake.lineWidth, 1.0f);
}

// The fake's frame holds (GL row << 12) | column: the view's top row is GL row height - 1.
TEST_F(GraphicsContextTest, PresentedFramesLandFlippedAtTheViewRectangle) {
  SetRequestedContextKind(ctx, kContextGLOffscreen);
  ASSERT_EQ(Prepare(), kContextGLOffscreen);
  ASSERT_EQ(PresentGLFrame(ctx), kGraphicsDone);
  auto at = [](GWorldPtr gw, int h, int v) { return *PixelAddress(gw, h, v); };
  EXPECT_EQ(at(gDocument.buffer, 20, 10), 0xFF000000u | (49u << 12) | 0u);
  EXPECT_EQ(at(gDocument.buffer, 119, 59), 0xFF000000u | (0u << 12) | 99u);
  EXPECT_EQ(at(gDocument.buffer, 19, 10), 0x00FFFFFFu) << "written outside the view";
  EXPECT_EQ(at(gDocument.buffer, 20, 60), 0x00FFFFFFu) << "written outside the view";

  gDocument.antialiased = true;
  gDocument.windowPixels = NewGWorld32(MakeRect(0, 0, 400, 300));
  SetRequestedContextKind(ctx, kContextGLWindow);
  ASSERT_EQ(Prepare(), kContextGLWindow);
  ASSERT_EQ(PresentGLFrame(ctx), kGraphicsDone);
  EXPECT_EQ(fake.resolves, 1) << "a multisampled frame is resolved before it is read";
  EXPECT_EQ(at(gDocument.windowPixels, 20, 10), 0xFF000000u | (49u << 12));

  SafeDisposeGWorld(gDocument.buffer);
  gDocument.buffer = nullptr;
  SetRequestedContextKind(ctx, kContextAutomatic);
  EXPECT_EQ(PresentGLFrame(ctx), kGraphicsDone) << "the window kind needs no document buffer";
}

// A collapsed view builds nothing and raises no memory alert.
TEST_F(GraphicsContextTest, AnEmptyViewBuildsNothingQuietly) {
  ASSERT_EQ(Prepare(), kContextGLWindow);
  EXPECT_EQ(Prepare(MakeRect(20, 10, 20, 60)), kContextNone);
  EXPECT_FALSE(HasPendingError());
  EXPECT_EQ(GLGlobals().RetiredGLContexts.count, 1);
}

TEST_F(GraphicsContextTest, OptionByteChangesOnlyWithOpenGL) {
  SetGLFlagIfEnabled(0);
  EXPECT_EQ(GLGlobals().GLOptionByte, 0);
  GLGlobals().OpenGLAvailable = 0;
  SetGLFlagIfEnabled(1);
  EXPECT_EQ(GLGlobals().GLOptionByte, 0);
}
