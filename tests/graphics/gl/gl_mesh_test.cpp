// Meshes on real contexts: client arrays and buffer objects round-trip byte for byte through
// switches of the buffer-object option, context rebuilds and the death of a retired context;
// the pool layout; the NVIDIA rule for dynamic meshes; colours and texture coordinates that
// replace each other, also on a buffer without room for them; refused memory; and input that
// must never reach GL (non-finite values, indices past the vertices, too many line vertices).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "kernel/memory/memory_budget.h"
#include "tests/graphics/gl/frame_test_support.h"

namespace {

using frame_test::SphereMesh;

class GLMeshTest : public frame_test::FrameTest {
 protected:
  void TearDown() override {
    DestroyGLMesh(&mesh);
    FrameTest::TearDown();
  }
  // The context built again as a GL window with buffer objects allowed or not.
  void Rebuild(bool bufferObjects) {
    GLGlobals().BufferObjectOptionByte = bufferObjects;
    DetachGLContext(ctx);
    ASSERT_EQ(Begin(kContextGLWindow), kContextGLWindow);
    ASSERT_EQ(ctx->useBufferObjects, bufferObjects);
  }
  void Fill(const float* colors = nullptr, uint8_t dynamic = 0) {
    SetGLTriangleMesh(&mesh, sphere.vertices.data(), sphere.normals.data(), colors, nullptr, sphere.triangles.data(),
                      sphere.VertexCount(), sphere.TriangleCount(), dynamic, ctx);
  }
  // The mesh's arrays equal the sphere's (and the colours), byte for byte.
  void ExpectSphereData(const float* colors) {
    ASSERT_EQ(mesh.storage, kMeshClientArrays);
    const size_t n = sphere.vertices.size();
    EXPECT_EQ(std::memcmp(mesh.vertices, sphere.vertices.data(), 4 * n), 0);
    EXPECT_EQ(std::memcmp(mesh.normals, sphere.normals.data(), 4 * n), 0);
    EXPECT_EQ(std::memcmp(mesh.triangles, sphere.triangles.data(), 4 * sphere.triangles.size()), 0);
    if (colors != nullptr) {
      ASSERT_NE(mesh.colors, nullptr);
      EXPECT_EQ(std::memcmp(mesh.colors, colors, 4 * n), 0);
    }
    EXPECT_TRUE(CheckGLMesh(&mesh));
  }
  SphereMesh sphere{4, 6};
  std::vector<float> colors = std::vector<float>(sphere.vertices.size(), 0.25f);
  GLMesh mesh;
};

}  // namespace

TEST_F(GLMeshTest, DataSurvivesEveryMoveBetweenClientArraysAndBufferObjects) {
  Rebuild(false);
  Fill(colors.data());
  ExpectSphereData(colors.data());
  Rebuild(true);
  DrawGLMesh(&mesh);
  ASSERT_EQ(mesh.storage, kMeshBufferObjects);
  EXPECT_TRUE(mesh.hasColorBlock);
  EXPECT_EQ(mesh.bufferContext, ctx->windowContext);
  // A rebuilt context: the next draw reads the buffers back from the old (retired) context,
  // deletes them there and uploads into the new one.
  PlatformGLContext* old = mesh.bufferContext;
  const GLuint oldNames[2] = {mesh.vertexBuffer, mesh.elementBuffer};
  Rebuild(true);
  DrawGLMesh(&mesh);
  ASSERT_EQ(mesh.storage, kMeshBufferObjects);
  EXPECT_EQ(mesh.bufferContext, ctx->windowContext);
  EXPECT_NE(mesh.bufferContext, old);
  EXPECT_EQ(CountGLResources(old), 0);
  ASSERT_TRUE(CurrentGLBackend().MakeCurrent(old));
  EXPECT_FALSE(GLApi().IsBufferARB(oldNames[0]) || GLApi().IsBufferARB(oldNames[1]));
  // The buffers' context dies (retired, then destroyed at idle time): the mesh is read back first.
  Rebuild(true);
  DestroyRetiredGLContexts();
  ExpectSphereData(colors.data());
  Rebuild(false);
  DrawGLMesh(&mesh);
  ExpectSphereData(colors.data());
}

TEST_F(GLMeshTest, ThePoolVariantInterleavesAndReadsBackAsFloats) {
  Rebuild(true);
  MeshVertexPool vertices;
  MeshTrianglePool triangles;
  for (uint32_t i = 0; i < sphere.VertexCount(); ++i) {
    MeshVertexRecord r;
    for (int k = 0; k < 3; ++k) {
      r.position[k] = sphere.vertices[3 * i + k] * (1 + 1e-12);  // doubles that round to the sphere's floats
      r.normal[k] = sphere.normals[3 * i + k];
    }
    ASSERT_EQ(ChunkPoolAppend(vertices, r), 0);
  }
  for (uint32_t t = 0; t < sphere.TriangleCount(); ++t) {
    ASSERT_EQ(ChunkPoolAppend(triangles, MeshTriangleRecord{{sphere.triangles[3 * t], sphere.triangles[3 * t + 1],
                                                              sphere.triangles[3 * t + 2]}}),
              0);
  }
  UpdateGLMeshData(&mesh, vertices, triangles, colors.data(), 0, ctx);
  ASSERT_EQ(mesh.storage, kMeshBufferObjects);
  EXPECT_TRUE(mesh.interleaved && mesh.hasColorBlock);
  DrawGLMesh(&mesh);
  Rebuild(false);
  DrawGLMesh(&mesh);
  ExpectSphereData(colors.data());
  ChunkPoolClear(vertices);
  ChunkPoolClear(triangles);
}

// Dynamic meshes stay in client arrays on an NVIDIA renderer unless buffer objects are forced.
TEST_F(GLMeshTest, DynamicMeshesKeepClientArraysOnNVidia) {
  Rebuild(true);
  ctx->rendererIsNVidia = 1;
  for (bool forced : {false, true}) {
    GLGlobals().switches.forceBufferObjects = forced;
    Fill(nullptr, 1);
    DrawGLMesh(&mesh);
    EXPECT_EQ(mesh.storage, forced ? kMeshBufferObjects : kMeshClientArrays) << forced;
    EXPECT_TRUE(CheckGLMesh(&mesh));
  }
}

// Colours on a buffer filled without a colour block: no room at 24n, so the mesh goes back to
// client arrays with its colours and up again at the next draw, with no GL error on the way.
TEST_F(GLMeshTest, ColoursAndTextureCoordinatesReplaceEachOtherWhereverTheMeshLives) {
  const std::vector<float> coords(2 * sphere.VertexCount(), 0.5f);
  for (bool bufferObjects : {false, true}) {
    Rebuild(bufferObjects);
    Fill();
    SetGLMeshColors(&mesh, colors.data());
    DrawGLMesh(&mesh);
    EXPECT_EQ(mesh.storage, bufferObjects ? kMeshBufferObjects : kMeshClientArrays);
    EXPECT_TRUE(mesh.hasColorBlock || mesh.colors != nullptr);
    SetGLMeshTexCoords(&mesh, coords.data());
    EXPECT_TRUE((mesh.hasTexCoordBlock && !mesh.hasColorBlock) || (mesh.texCoords != nullptr && mesh.colors == nullptr));
    SetGLMeshColors(&mesh, colors.data());
    EXPECT_TRUE((mesh.hasColorBlock && !mesh.hasTexCoordBlock) || (mesh.colors != nullptr && mesh.texCoords == nullptr));
    EXPECT_TRUE(CheckGLMesh(&mesh));
    DrawGLMesh(&mesh);
    Rebuild(false);
    DrawGLMesh(&mesh);
    ExpectSphereData(colors.data());
  }
}

// Each of the three client arrays refused in turn: error 7, an empty mesh, nothing drawn, no leak.
TEST_F(GLMeshTest, RefusedArraysLeaveAnEmptyMeshThatDrawsNothing) {
  graphics_test::FailureGuard guard;
  Rebuild(false);
  for (uint64_t n = 1; n <= 3; ++n) {
    ResetErrorRegister();
    const size_t before = GetBytesInUse();
    FailAllocationAt(n);
    Fill();
    FailAllocationAt(0);
    EXPECT_EQ(mesh.storage, kMeshEmpty) << n;
    EXPECT_EQ(PendingError(), kErrorOutOfMemory);
    EXPECT_EQ(GetBytesInUse(), before);
    DrawGLMesh(&mesh);
  }
}

// A NaN vertex or one past the end makes its triangles degenerate; non-finite normals and
// colours become 0; a line mesh past 65,536 vertices is refused.
TEST_F(GLMeshTest, UnsafeInputNeverReachesGL) {
  const float vertices[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, NAN, 0, 0};
  const float normals[] = {0, 0, 1, INFINITY, 0, 1, 0, 0, 1, 0, 0, 1};
  const float bad[] = {NAN, 0.5f, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const uint32_t triangles[] = {0, 1, 2, 0, 1, 3, 0, 2, 9};
  for (bool bufferObjects : {true, false}) {
    Rebuild(bufferObjects);
    SetGLTriangleMesh(&mesh, vertices, normals, bad, nullptr, triangles, 4, 3, 0, ctx);
    Rebuild(false);
    DrawGLMesh(&mesh);
    ASSERT_EQ(mesh.storage, kMeshClientArrays);
    const uint32_t expected[] = {0, 1, 2, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(mesh.triangles, expected, sizeof expected), 0);
    EXPECT_EQ(mesh.vertices[9], 0.0f);
    EXPECT_EQ(mesh.normals[3], 0.0f);
    EXPECT_EQ(mesh.colors[0], 0.0f);
    EXPECT_EQ(mesh.colors[1], 0.5f);
  }
  std::vector<float> many(3 * (kMaxLineMeshVertices + 1), 0.0f);
  const uint16_t pair[2] = {0, 1};
  ResetErrorRegister();
  SetGLLineMesh(&mesh, many.data(), pair, kMaxLineMeshVertices + 1, 1, ctx);
  EXPECT_EQ(mesh.storage, kMeshEmpty);
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
  SetGLLineMesh(&mesh, many.data(), pair, kMaxLineMeshVertices, 1, ctx);
  EXPECT_EQ(mesh.storage, kMeshClientArrays);
}
