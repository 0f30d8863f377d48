// GLMesh: the triangles or lines one graph draws in a 3D or 4D view, held in counted client
// arrays (storage 1) or in ARB buffer objects of the view's GL context (storage 2), and moved
// between the two at draw time when the context's buffer-object decision or GL context changes.
// Every input array is copied and checked on the way in: non-finite positions, normals and
// colours never reach GL or the rasteriser (a triangle or line touching a bad vertex, or naming
// a vertex that does not exist, is kept as a degenerate one that draws nothing).
// Invariants (CheckGLMesh): exactly the storage's data exists; per-vertex colours and texture
// coordinates never both; while in buffer objects the mesh is registered with their context,
// which reads them back into client arrays before it is destroyed (so the record must not move).
#pragma once

#include <cstdint>

#include "graphics/gl/gl_resources.h"
#include "kernel/memory/chunk_pool.h"

struct GraphicsContext;
struct PlatformGLContext;

enum : int32_t { kMeshEmpty = 0, kMeshClientArrays = 1, kMeshBufferObjects = 2 };

// Lines index their vertices with 16 bits: a line mesh holds at most this many vertices.
constexpr uint32_t kMaxLineMeshVertices = 65536;

struct GLMesh {
  GraphicsContext* context = nullptr;  // the view's context the mesh was last filled for
  int32_t storage = kMeshEmpty;
  uint32_t triangleCount = 0;
  uint32_t lineCount = 0;  // index pairs
  uint32_t vertexCount = 0;
  PlatformGLContext* bufferContext = nullptr;  // where the buffer objects live
  uint32_t vertexBuffer = 0;
  uint32_t elementBuffer = 0;
  uint8_t hasColorBlock = 0;     // the vertex buffer holds a colour block at 24n
  uint8_t hasTexCoordBlock = 0;  // ... or a texture-coordinate block at 24n
  uint8_t interleaved = 0;       // positions and normals interleaved, 24 bytes a vertex
  uint8_t isTriangleMesh = 0;
  float* vertices = nullptr;   // 3 floats a vertex
  float* normals = nullptr;    // 3 floats a vertex
  float* colors = nullptr;     // r, g, b in 0..1
  uint32_t* triangles = nullptr;
  uint16_t* lines = nullptr;
  float* texCoords = nullptr;  // s, t
  uint64_t vertexBufferBytes = 0;
  GLContextResource owner;  // registered with bufferContext while storage is 2
};

// The records of the pool variant: position and normal as doubles, and three vertex indices.
struct MeshVertexRecord {
  double position[3];
  double normal[3];
};
struct MeshTriangleRecord {
  uint32_t index[3];
};
using MeshVertexPool = ChunkPool<MeshVertexRecord>;
using MeshTrianglePool = ChunkPool<MeshTriangleRecord>;

// The three fillers release the old data first. They choose buffer objects when the context
// allows them, except for triangle meshes marked dynamic on an NVIDIA renderer unless buffer
// objects are forced; a buffer that cannot be made or mapped falls back to client arrays. A
// refused client array posts error 7 (once an array) and leaves the mesh empty; an empty vertex
// or primitive count leaves it empty too. Colours are 3 floats a vertex, texture coordinates 2.
// A line mesh of more than kMaxLineMeshVertices vertices is refused (error 7, empty).
void SetGLLineMesh(GLMesh* mesh, const float* vertices, const uint16_t* lineIndices, uint32_t vertexCount,
                   uint32_t lineCount, GraphicsContext* ctx);
// The surfaces pass their uses-GPU-program flag as `dynamic`.
void SetGLTriangleMesh(GLMesh* mesh, const float* vertices, const float* normals, const float* colors,
                       const float* texCoords, const uint32_t* triangles, uint32_t vertexCount,
                       uint32_t triangleCount, uint8_t dynamic, GraphicsContext* ctx);
// The counts are the pools' totals; doubles become floats; positions and normals interleave.
void SetGLTriangleMeshFromPools(GLMesh* mesh, const MeshVertexPool& vertexPool, const MeshTrianglePool& trianglePool,
                                const float* colors, uint8_t dynamic, GraphicsContext* ctx);
// The surface graphs replace their mesh data under this name.
inline void UpdateGLMeshData(GLMesh* mesh, const MeshVertexPool& vertexPool, const MeshTrianglePool& trianglePool,
                             const float* colors, uint8_t dynamic, GraphicsContext* ctx) {
  SetGLTriangleMeshFromPools(mesh, vertexPool, trianglePool, colors, dynamic, ctx);
}

// Attach (or with null detach) per-vertex colours or texture coordinates; attaching one drops
// the other. A buffer-object mesh whose vertex buffer has no room for the block is moved to
// client arrays first (it returns to buffer objects at its next draw). A refused array posts
// error 7 and leaves the mesh without the block. Empty meshes: nothing.
void SetGLMeshColors(GLMesh* mesh, const float* colors);
void SetGLMeshTexCoords(GLMesh* mesh, const float* texCoords);

// Releases the data (storage 0); the record itself is the owner's.
void DestroyGLMesh(GLMesh* mesh);
// The 3D graphs release their meshes under this name.
inline void ReleaseGLMesh(GLMesh* mesh) { DestroyGLMesh(mesh); }

// Before each draw: into buffer objects when the context now allows them (not on NVIDIA
// renderers), back to client arrays when it does not, and re-uploaded into the context's new
// GL context when the old one was rebuilt. Leaves the view's GL context current.
void RefreshMeshStorage(GLMesh* mesh);
// GL array pointers of a buffer-object mesh, its buffers bound (current context).
void BindMeshBuffers(const GLMesh* mesh);

// True when the mesh holds something to draw.
inline bool MeshHasData(const GLMesh* mesh) { return mesh->storage != kMeshEmpty; }
// Verifies the invariants above; true when they hold.
bool CheckGLMesh(const GLMesh* mesh);
