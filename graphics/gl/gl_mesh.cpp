// Mesh storage. Data goes into buffer objects through write-only mappings (the checks of the
// input happen while writing, so nothing is copied twice) and comes back through
// glGetBufferSubDataARB, or a read-only mapping for the interleaved layout. A buffer object
// is only ever touched with its own context current; the caller's current context comes back.
#include "graphics/gl/gl_mesh.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "graphics/gl/gl_globals.h"
#include "graphics/gl/gl_material.h"
#include "graphics/gl/graphics_context.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"

namespace {

// ---- Checked copies: what is not finite never leaves here. ----

bool Finite3(const float* p) { return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]); }

// A vector, or zero when any component is not finite.
void PutVector(float* dst, const float* src) {
  if (Finite3(src)) {
    std::memcpy(dst, src, 12);
  } else {
    dst[0] = dst[1] = dst[2] = 0.0f;
  }
}
// A double as a float; NaN when it is beyond the float range (where the conversion is undefined).
float ToFloat(double v) { return std::fabs(v) <= FLT_MAX ? float(v) : float(kUndefinedReal); }

void PutVector(float* dst, const double* src) {
  const float f[3] = {ToFloat(src[0]), ToFloat(src[1]), ToFloat(src[2])};
  PutVector(dst, f);
}

void PutVectors(float* dst, const float* src, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) PutVector(dst + 3 * size_t(i), src + 3 * size_t(i));
}

// Colours (3 a vertex) or texture coordinates (2): non-finite components become 0.
void PutComponents(float* dst, const float* src, size_t count) {
  for (size_t i = 0; i < count; ++i) dst[i] = std::isfinite(src[i]) ? src[i] : 0.0f;
}

// Index groups of `width` whose vertices all exist and are finite; any other becomes all 0.
template <typename Index, typename Source, typename VertexOk>
void PutIndices(Index* dst, uint32_t groups, int width, Source groupAt, VertexOk ok) {
  for (uint32_t g = 0; g < groups; ++g) {
    const auto* src = groupAt(g);
    bool good = true;
    for (int k = 0; k < width; ++k) good = good && ok(uint32_t(src[k]));
    for (int k = 0; k < width; ++k) dst[size_t(g) * width + k] = good ? Index(src[k]) : Index(0);
  }
}

auto FiniteVertexOf(const float* vertices, uint32_t n) {
  return [vertices, n](uint32_t i) { return i < n && Finite3(vertices + 3 * size_t(i)); };
}

void PutTriangles(uint32_t* dst, const uint32_t* src, uint32_t t, const float* vertices, uint32_t n) {
  PutIndices(dst, t, 3, [src](uint32_t g) { return src + 3 * size_t(g); }, FiniteVertexOf(vertices, n));
}
void PutLines(uint16_t* dst, const uint16_t* src, uint32_t m, const float* vertices, uint32_t n) {
  PutIndices(dst, m, 2, [src](uint32_t g) { return src + 2 * size_t(g); }, FiniteVertexOf(vertices, n));
}

// ---- Buffer objects ----

bool HaveBufferEntryPoints() {
  const GLEntryPoints& gl = GLApi();
  return gl.GenBuffersARB != nullptr && gl.DeleteBuffersARB != nullptr && gl.BindBufferARB != nullptr &&
         gl.BufferDataARB != nullptr && gl.GetBufferSubDataARB != nullptr && gl.MapBufferARB != nullptr &&
         gl.UnmapBufferARB != nullptr;
}

void UnbindBuffers() {
  const GLEntryPoints& gl = GLApi();
  gl.BindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  gl.BindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
}

void DeleteBuffersOf(GLMesh* m) {
  {
    GLContextScope scope(m->bufferContext);
    if (scope.ok()) {
      const GLEntryPoints& gl = GLApi();
      if (m->vertexBuffer != 0) gl.DeleteBuffersARB(1, &m->vertexBuffer);
      if (m->elementBuffer != 0) gl.DeleteBuffersARB(1, &m->elementBuffer);
    }
  }
  UnregisterGLResource(&m->owner);
  m->vertexBuffer = m->elementBuffer = 0;
  m->hasColorBlock = m->hasTexCoordBlock = m->interleaved = 0;
  m->bufferContext = nullptr;
  m->vertexBufferBytes = 0;
}

void FreeClientArrays(GLMesh* m) {
  FreeMemory(m->vertices);
  FreeMemory(m->normals);
  FreeMemory(m->colors);
  FreeMemory(m->triangles);
  FreeMemory(m->lines);
  FreeMemory(m->texCoords);
  m->vertices = m->normals = m->colors = m->texCoords = nullptr;
  m->triangles = nullptr;
  m->lines = nullptr;
}

struct Mapped {
  float* vertex = nullptr;
  void* element = nullptr;
};

// Two new buffers of the given sizes in the current context, bound and mapped write-only.
// False (nothing left) when GL refuses.
bool MakeBuffers(GLMesh* m, uint64_t vertexBytes, uint64_t elementBytes, Mapped* out) {
  const GLEntryPoints& gl = GLApi();
  GLuint names[2] = {0, 0};
  gl.GenBuffersARB(2, names);
  gl.BindBufferARB(GL_ARRAY_BUFFER_ARB, names[0]);
  gl.BufferDataARB(GL_ARRAY_BUFFER_ARB, GLsizeiptrARB(vertexBytes), nullptr, GL_STATIC_DRAW_ARB);
  gl.BindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, names[1]);
  gl.BufferDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB, GLsizeiptrARB(elementBytes), nullptr, GL_STATIC_DRAW_ARB);
  out->vertex = static_cast<float*>(gl.MapBufferARB(GL_ARRAY_BUFFER_ARB, GL_WRITE_ONLY_ARB));
  out->element = gl.MapBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, GL_WRITE_ONLY_ARB);
  if (out->vertex == nullptr || out->element == nullptr) {
    if (out->vertex != nullptr) gl.UnmapBufferARB(GL_ARRAY_BUFFER_ARB);
    if (out->element != nullptr) gl.UnmapBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB);
    UnbindBuffers();
    gl.DeleteBuffersARB(2, names);
    return false;
  }
  m->vertexBuffer = names[0];
  m->elementBuffer = names[1];
  m->vertexBufferBytes = vertexBytes;
  m->bufferContext = CurrentGLBackend().CurrentContext();
  return true;
}

void ReadBackBeforeContextDies(GLContextResource* owner);

// Unmaps and unbinds what MakeBuffers made; the mesh is registered at storage 2 on success.
bool FinishBuffers(GLMesh* m) {
  const GLEntryPoints& gl = GLApi();
  const bool vertexKept = gl.UnmapBufferARB(GL_ARRAY_BUFFER_ARB) == GL_TRUE;
  const bool elementKept = gl.UnmapBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB) == GL_TRUE;
  UnbindBuffers();
  if (!vertexKept || !elementKept) {
    DeleteBuffersOf(m);
    return false;
  }
  m->storage = kMeshBufferObjects;
  RegisterGLResource(&m->owner, m->bufferContext, ReadBackBeforeContextDies);
  return true;
}

bool UseBufferObjects(const GraphicsContext* ctx, bool triangleMesh, uint8_t dynamic) {
  if (ctx == nullptr || !IsGLContextKind(ctx) || !UsesBufferObjects(ctx)) return false;
  if (triangleMesh && dynamic && AvoidBuffersForDynamicData(ctx) && !GLGlobals().switches.forceBufferObjects) {
    return false;
  }
  return MakeContextCurrent(ctx) && HaveBufferEntryPoints();
}

// The separate layout from arrays: positions, normals (triangle meshes), then the texture-
// coordinate or colour block (texture coordinates win); the triangles or pairs. Current context.
bool UploadSeparate(GLMesh* m, const float* vertices, const float* normals, const float* colors,
                    const float* texCoords, const uint32_t* triangles, const uint16_t* lines) {
  const uint64_t n = m->vertexCount;
  const bool tri = m->isTriangleMesh != 0;
  const uint64_t block = texCoords != nullptr ? 8 * n : colors != nullptr ? 12 * n : 0;
  Mapped map;
  if (!MakeBuffers(m, (tri || block != 0 ? 24 * n : 12 * n) + block,
                   tri ? 12 * uint64_t(m->triangleCount) : 4 * uint64_t(m->lineCount), &map)) {
    return false;
  }
  PutVectors(map.vertex, vertices, m->vertexCount);
  if (tri) PutVectors(map.vertex + 3 * n, normals, m->vertexCount);
  if (texCoords != nullptr) PutComponents(map.vertex + 6 * n, texCoords, 2 * n);
  else if (colors != nullptr) PutComponents(map.vertex + 6 * n, colors, 3 * n);
  if (tri) PutTriangles(static_cast<uint32_t*>(map.element), triangles, m->triangleCount, vertices, m->vertexCount);
  else PutLines(static_cast<uint16_t*>(map.element), lines, m->lineCount, vertices, m->vertexCount);
  if (!FinishBuffers(m)) return false;
  m->hasTexCoordBlock = texCoords != nullptr;
  m->hasColorBlock = texCoords == nullptr && colors != nullptr;
  return true;
}

float* AllocFloats(uint64_t count) {
  auto* p = static_cast<float*>(AllocMemory(count * sizeof(float)));
  if (p == nullptr) PostError(kErrorOutOfMemory);
  return p;
}

// The client arrays a mesh of its counts needs (colours and texture coordinates aside); every
// refusal posts error 7. False (nothing left allocated) unless all exist.
bool AllocateClientArrays(GLMesh* m) {
  const uint64_t n = m->vertexCount;
  m->vertices = AllocFloats(3 * n);
  bool ok = m->vertices != nullptr;
  if (m->isTriangleMesh) {
    m->normals = AllocFloats(3 * n);
    m->triangles = static_cast<uint32_t*>(AllocMemory(12 * uint64_t(m->triangleCount)));
    if (m->triangles == nullptr) PostError(kErrorOutOfMemory);
    ok = ok && m->normals != nullptr && m->triangles != nullptr;
  } else {
    m->lines = static_cast<uint16_t*>(AllocMemory(4 * uint64_t(m->lineCount)));
    if (m->lines == nullptr) PostError(kErrorOutOfMemory);
    ok = ok && m->lines != nullptr;
  }
  if (!ok) FreeClientArrays(m);
  return ok;
}

// Buffer objects back into client arrays, in the buffers' own context (the caller's current
// context comes back). Storage 1, or 0 when the arrays cannot be had.
void MoveToClientArrays(GLMesh* m) {
  GLContextScope scope(m->bufferContext);
  const uint64_t n = m->vertexCount;
  const GLEntryPoints& gl = GLApi();
  bool ok = scope.ok() && AllocateClientArrays(m);
  if (ok) {
    gl.BindBufferARB(GL_ARRAY_BUFFER_ARB, m->vertexBuffer);
    if (m->interleaved) {
      const auto* src = static_cast<const float*>(gl.MapBufferARB(GL_ARRAY_BUFFER_ARB, GL_READ_ONLY_ARB));
      ok = src != nullptr;
      for (uint64_t i = 0; ok && i < n; ++i) {
        std::memcpy(m->vertices + 3 * i, src + 6 * i, 12);
        std::memcpy(m->normals + 3 * i, src + 6 * i + 3, 12);
      }
      if (src != nullptr) ok = gl.UnmapBufferARB(GL_ARRAY_BUFFER_ARB) == GL_TRUE && ok;
    } else {
      gl.GetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, GLsizeiptrARB(12 * n), m->vertices);
      if (m->isTriangleMesh) gl.GetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, GLintptrARB(12 * n), GLsizeiptrARB(12 * n), m->normals);
    }
    if (ok && m->hasColorBlock && (m->colors = AllocFloats(3 * n)) != nullptr) {
      gl.GetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, GLintptrARB(24 * n), GLsizeiptrARB(12 * n), m->colors);
    }
    if (ok && m->hasTexCoordBlock && (m->texCoords = AllocFloats(2 * n)) != nullptr) {
      gl.GetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, GLintptrARB(24 * n), GLsizeiptrARB(8 * n), m->texCoords);
    }
    gl.BindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, m->elementBuffer);
    if (m->isTriangleMesh) {
      gl.GetBufferSubDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0, GLsizeiptrARB(12 * uint64_t(m->triangleCount)), m->triangles);
    } else {
      gl.GetBufferSubDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0, GLsizeiptrARB(4 * uint64_t(m->lineCount)), m->lines);
    }
    UnbindBuffers();
  }
  DeleteBuffersOf(m);
  if (!ok) FreeClientArrays(m);
  m->storage = ok ? kMeshClientArrays : kMeshEmpty;
}

void ReadBackBeforeContextDies(GLContextResource* owner) {
  MoveToClientArrays(reinterpret_cast<GLMesh*>(reinterpret_cast<char*>(owner) - offsetof(GLMesh, owner)));
}

// Client arrays into buffer objects of the mesh's context; stays in client arrays when GL refuses.
void MoveToBufferObjects(GLMesh* m) {
  if (!MakeContextCurrent(m->context) || !HaveBufferEntryPoints()) return;
  if (m->triangles == nullptr && m->lines == nullptr) return;
  if (!UploadSeparate(m, m->vertices, m->normals, m->colors, m->texCoords, m->triangles, m->lines)) return;
  FreeClientArrays(m);
}

// Releases the old data and records what the new fill is.
void BeginFill(GLMesh* m, GraphicsContext* ctx, uint32_t vertexCount, uint32_t triangleCount, uint32_t lineCount,
               bool triangleMesh) {
  DestroyGLMesh(m);
  m->context = ctx;
  m->vertexCount = vertexCount;
  m->triangleCount = triangleCount;
  m->lineCount = lineCount;
  m->isTriangleMesh = triangleMesh;
}

// Attaches colours (3 a vertex) or texture coordinates (2) to a mesh; shared by both setters.
void AttachBlock(GLMesh* m, const float* data, bool texture) {
  const uint64_t n = m->vertexCount, width = texture ? 2 : 3;
  if (m->storage == kMeshBufferObjects) {
    if (data == nullptr) {
      (texture ? m->hasTexCoordBlock : m->hasColorBlock) = 0;
      return;
    }
    bool written = false;
    if (m->vertexBufferBytes >= 24 * n + 4 * width * n) {
      GLContextScope scope(m->bufferContext);
      const GLEntryPoints& gl = GLApi();
      gl.BindBufferARB(GL_ARRAY_BUFFER_ARB, m->vertexBuffer);
      auto* map = scope.ok() ? static_cast<float*>(gl.MapBufferARB(GL_ARRAY_BUFFER_ARB, GL_WRITE_ONLY_ARB)) : nullptr;
      if (map != nullptr) {
        PutComponents(map + 6 * n, data, width * n);
        written = gl.UnmapBufferARB(GL_ARRAY_BUFFER_ARB) == GL_TRUE;
      }
      UnbindBuffers();
    }
    if (written) {
      m->hasTexCoordBlock = texture;
      m->hasColorBlock = !texture;
      return;
    }
    // No room in the vertex buffer (or it could not be written): the block goes on in client
    // arrays, and the whole mesh returns to buffer objects at its next draw.
    MoveToClientArrays(m);
  }
  if (m->storage != kMeshClientArrays) return;
  FreeMemory(m->colors);
  FreeMemory(m->texCoords);
  m->colors = m->texCoords = nullptr;
  if (data == nullptr) return;
  float* copy = AllocFloats(width * n);
  if (copy == nullptr) return;
  PutComponents(copy, data, width * n);
  (texture ? m->texCoords : m->colors) = copy;
}

}  // namespace

void SetGLLineMesh(GLMesh* mesh, const float* vertices, const uint16_t* lineIndices, uint32_t vertexCount,
                   uint32_t lineCount, GraphicsContext* ctx) {
  BeginFill(mesh, ctx, vertexCount, 0, lineCount, false);
  if (vertexCount > kMaxLineMeshVertices) {  // 16-bit indices would wrap
    PostError(kErrorOutOfMemory);
    return;
  }
  if (vertexCount == 0 || lineCount == 0 || vertices == nullptr || lineIndices == nullptr) return;
  if (UseBufferObjects(ctx, false, 0) && UploadSeparate(mesh, vertices, nullptr, nullptr, nullptr, nullptr, lineIndices)) {
    return;
  }
  if (!AllocateClientArrays(mesh)) return;
  PutVectors(mesh->vertices, vertices, vertexCount);
  PutLines(mesh->lines, lineIndices, lineCount, vertices, vertexCount);
  mesh->storage = kMeshClientArrays;
}

void SetGLTriangleMesh(GLMesh* mesh, const float* vertices, const float* normals, const float* colors,
                       const float* texCoords, const uint32_t* triangles, uint32_t vertexCount,
                       uint32_t triangleCount, uint8_t dynamic, GraphicsContext* ctx) {
  BeginFill(mesh, ctx, vertexCount, triangleCount, 0, true);
  if (vertexCount == 0 || triangleCount == 0 || vertices == nullptr || normals == nullptr || triangles == nullptr) return;
  if (UseBufferObjects(ctx, true, dynamic) && UploadSeparate(mesh, vertices, normals, colors, texCoords, triangles, nullptr)) {
    return;
  }
  if (!AllocateClientArrays(mesh)) return;
  PutVectors(mesh->vertices, vertices, vertexCount);
  PutVectors(mesh->normals, normals, vertexCount);
  PutTriangles(mesh->triangles, triangles, triangleCount, vertices, vertexCount);
  mesh->storage = kMeshClientArrays;
  if (colors != nullptr) SetGLMeshColors(mesh, colors);
  if (texCoords != nullptr) SetGLMeshTexCoords(mesh, texCoords);
}

void SetGLTriangleMeshFromPools(GLMesh* mesh, const MeshVertexPool& vertexPool, const MeshTrianglePool& trianglePool,
                                const float* colors, uint8_t dynamic, GraphicsContext* ctx) {
  const uint32_t n = uint32_t(ChunkPoolCount(vertexPool)), t = uint32_t(ChunkPoolCount(trianglePool));
  BeginFill(mesh, ctx, n, t, 0, true);
  if (n == 0 || t == 0) return;
  auto vertexOk = [&vertexPool, n](uint32_t i) {
    if (i >= n) return false;
    const double* p = ChunkPoolAt(vertexPool, int32_t(i))->position;
    const float f[3] = {ToFloat(p[0]), ToFloat(p[1]), ToFloat(p[2])};
    return Finite3(f);
  };
  auto triangleAt = [&trianglePool](uint32_t g) { return ChunkPoolAt(trianglePool, int32_t(g))->index; };
  Mapped map;
  if (UseBufferObjects(ctx, true, dynamic) &&
      MakeBuffers(mesh, 24 * uint64_t(n) + (colors != nullptr ? 12 * uint64_t(n) : 0), 12 * uint64_t(t), &map)) {
    for (uint32_t i = 0; i < n; ++i) {
      const MeshVertexRecord* r = ChunkPoolAt(vertexPool, int32_t(i));
      PutVector(map.vertex + 6 * size_t(i), r->position);
      PutVector(map.vertex + 6 * size_t(i) + 3, r->normal);
    }
    if (colors != nullptr) PutComponents(map.vertex + 6 * size_t(n), colors, 3 * size_t(n));
    PutIndices(static_cast<uint32_t*>(map.element), t, 3, triangleAt, vertexOk);
    if (FinishBuffers(mesh)) {
      mesh->interleaved = 1;
      mesh->hasColorBlock = colors != nullptr;
      return;
    }
  }
  if (!AllocateClientArrays(mesh)) return;
  for (uint32_t i = 0; i < n; ++i) {
    const MeshVertexRecord* r = ChunkPoolAt(vertexPool, int32_t(i));
    PutVector(mesh->vertices + 3 * size_t(i), r->position);
    PutVector(mesh->normals + 3 * size_t(i), r->normal);
  }
  PutIndices(mesh->triangles, t, 3, triangleAt, vertexOk);
  mesh->storage = kMeshClientArrays;
  if (colors != nullptr) SetGLMeshColors(mesh, colors);
}

void SetGLMeshColors(GLMesh* mesh, const float* colors) { AttachBlock(mesh, colors, false); }
void SetGLMeshTexCoords(GLMesh* mesh, const float* texCoords) { AttachBlock(mesh, texCoords, true); }

void DestroyGLMesh(GLMesh* mesh) {
  if (mesh->storage == kMeshBufferObjects || mesh->bufferContext != nullptr) DeleteBuffersOf(mesh);
  FreeClientArrays(mesh);
  mesh->storage = kMeshEmpty;
  mesh->triangleCount = mesh->lineCount = mesh->vertexCount = 0;
}

void RefreshMeshStorage(GLMesh* mesh) {
  GraphicsContext* ctx = mesh->context;
  if (ctx == nullptr) return;
  const bool use = UsesBufferObjects(ctx) && IsGLContextKind(ctx);
  if (use && mesh->storage == kMeshClientArrays && !AvoidBuffersForDynamicData(ctx)) {
    MoveToBufferObjects(mesh);
  } else if (!use && mesh->storage == kMeshBufferObjects) {
    MoveToClientArrays(mesh);
  } else if (use && mesh->storage == kMeshBufferObjects && mesh->bufferContext != GLContextHandle(ctx)) {
    MoveToClientArrays(mesh);  // the view's context was rebuilt: upload again into the new one
    if (mesh->storage == kMeshClientArrays) MoveToBufferObjects(mesh);
  }
  MakeContextCurrent(ctx);
}

void BindMeshBuffers(const GLMesh* mesh) {
  const GLEntryPoints& gl = GLApi();
  const uint64_t n = mesh->vertexCount;
  const GLsizei stride = mesh->interleaved ? 24 : 12;
  gl.BindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, mesh->elementBuffer);
  gl.BindBufferARB(GL_ARRAY_BUFFER_ARB, mesh->vertexBuffer);
  gl.VertexPointer(3, GL_FLOAT, stride, nullptr);
  if (mesh->isTriangleMesh) {
    gl.EnableClientState(GL_NORMAL_ARRAY);
    gl.NormalPointer(GL_FLOAT, stride, reinterpret_cast<const void*>(uintptr_t(mesh->interleaved ? 12 : 12 * n)));
  }
  if (mesh->hasColorBlock) {
    EnableColorArrayMaterial();
    gl.ColorPointer(3, GL_FLOAT, 12, reinterpret_cast<const void*>(uintptr_t(24 * n)));
  }
  if (mesh->hasTexCoordBlock) {
    EnableTexCoordMaterial();
    gl.TexCoordPointer(2, GL_FLOAT, 8, reinterpret_cast<const void*>(uintptr_t(24 * n)));
  }
}

bool CheckGLMesh(const GLMesh* m) {
  const bool anyArray = m->vertices || m->normals || m->colors || m->triangles || m->lines || m->texCoords;
  const bool anyBuffer = m->vertexBuffer != 0 || m->elementBuffer != 0 || m->bufferContext != nullptr;
  const bool registered = m->owner.context != nullptr;
  switch (m->storage) {
    case kMeshEmpty:
      return !anyArray && !anyBuffer && !registered;
    case kMeshClientArrays:
      if (anyBuffer || registered || m->vertices == nullptr || (m->colors && m->texCoords)) return false;
      return m->isTriangleMesh ? m->normals && m->triangles && !m->lines : m->lines && !m->triangles && !m->normals;
    case kMeshBufferObjects:
      return !anyArray && m->vertexBuffer != 0 && m->elementBuffer != 0 && m->bufferContext != nullptr &&
             m->owner.context == m->bufferContext && !(m->hasColorBlock && m->hasTexCoordBlock) &&
             m->vertexBufferBytes >= (m->isTriangleMesh ? 24 : 12) * uint64_t(m->vertexCount);
    default:
      return false;
  }
}
