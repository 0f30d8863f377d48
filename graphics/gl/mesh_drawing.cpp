// Mesh drawing for every kind. The software path projects every vertex once a draw (one
// counted block of RasterVertex), then lights each triangle's corners with the facing of that
// triangle, so a surface seen from behind is lit from its own side and never black.
#include "graphics/gl/mesh_drawing.h"

#include <cmath>

#include "graphics/gl/gl_globals.h"
#include "graphics/gl/gl_mesh.h"
#include "graphics/gl/gl_material.h"
#include "graphics/gl/graphics_context.h"
#include "graphics/gl/shader_program.h"
#include "graphics/render/software_camera.h"
#include "graphics/render/software_rasterizer.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"

namespace {

constexpr double kInvSqrt3 = 0.57735026918962576451;
constexpr double kLight[3] = {-kInvSqrt3, kInvSqrt3, -kInvSqrt3};

bool Software(const GraphicsContext* ctx) { return ctx->kind == kContextQuickDraw; }

// The box mapping, or false when its scales multiply to 0, an infinity or NaN (nothing drawn).
bool UsableMapping(const GraphicsContext* ctx, BoxToCube* out) {
  *out = BoxToCubeOf(FrameOf(ctx));
  const double product = out->scale[0] * out->scale[1] * out->scale[2];
  return product != 0 && std::isfinite(product) && std::isfinite(out->centre[0] + out->centre[1] + out->centre[2]);
}

float Clamp01(double v) { return v > 1 ? 1.0f : v > 0 ? float(v) : 0.0f; }

// Every vertex mapped to the cube and projected; colours filled in per corner later. Null
// (error 7 posted) when the block is refused.
RasterVertex* ProjectVertices(const GraphicsContext* ctx, const BoxToCube& b) {
  const int32_t n = ctx->vertexCount;
  auto* out = static_cast<RasterVertex*>(AllocMemory(sizeof(RasterVertex) * size_t(n)));
  if (out == nullptr) {
    PostError(kErrorOutOfMemory);
    return nullptr;
  }
  for (int32_t i = 0; i < n; ++i) {
    const float* v = ctx->vertices + 3 * size_t(i);
    const double q[3] = {(v[0] - b.centre[0]) * b.scale[0], (v[1] - b.centre[1]) * b.scale[1],
                         (v[2] - b.centre[2]) * b.scale[2]};
    double p[3];
    ProjectCubePoint(ctx, q, p);
    // x and y are within +-16383 (or NaN); z below -1 is as much in front of the near plane as -1.
    out[i] = RasterVertex{float(p[0]), float(p[1]), float(p[2] < -1 ? -1 : p[2]), 0, 0, 0, 0, 0, 0};
  }
  return out;
}

// 0.2 ambient + 0.6 diffuse + 0.2 specular^8 of a model normal, in the view's frame.
double Intensity(const float* normal, const BoxToCube& b, const double* m, bool backFacing) {
  double v[3] = {0, 0, 0};
  if (normal != nullptr) {
    for (int i = 0; i < 3; ++i) v[i] = normal[i] / b.scale[i];
  }
  const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  const double sign = backFacing ? -1.0 : 1.0;
  const double k = length != 0 && std::isfinite(length) ? sign / length : sign;
  for (double& c : v) c *= k;
  double n[3];
  for (int i = 0; i < 3; ++i) n[i] = m[i] * v[0] + m[3 + i] * v[1] + m[6 + i] * v[2];  // Mᵀ v
  const double d = n[0] * kLight[0] + n[1] * kLight[1] + n[2] * kLight[2];
  const double diffuse = d > 0 ? d : 0;
  double s = -(2 * d * n[0] - kLight[0]);
  s = s > 0 ? s : 0;
  const double s2 = s * s, s4 = s2 * s2;
  const double intensity = 0.2 + 0.6 * diffuse + 0.2 * s4 * s4;
  return std::isfinite(intensity) ? intensity : 0.2;
}

void DrawSoftwareTriangles(const uint32_t* indices, uint32_t count, GraphicsContext* ctx) {
  BoxToCube b;
  if (indices == nullptr || ctx->vertices == nullptr || ctx->vertexCount <= 0 || !UsableMapping(ctx, &b)) return;
  RasterVertex* rv = ProjectVertices(ctx, b);
  if (rv == nullptr) return;
  const uint32_t n = uint32_t(ctx->vertexCount);
  const double* m = FrameOf(ctx).orientation;
  int32_t source = ctx->colorSource;
  if (source == 1 && ctx->colors == nullptr) source = 0;
  if (source == 2 && (ctx->texCoords == nullptr || ctx->texture == nullptr)) source = 0;
  const float uniform[3] = {float(ctx->color >> 16 & 0xFF) / 255.0f, float(ctx->color >> 8 & 0xFF) / 255.0f,
                            float(ctx->color & 0xFF) / 255.0f};
  for (uint32_t t = 0; t < count; ++t) {
    const uint32_t* tri = indices + 3 * size_t(t);
    if (tri[0] >= n || tri[1] >= n || tri[2] >= n) continue;
    RasterVertex corner[3] = {rv[tri[0]], rv[tri[1]], rv[tri[2]]};
    if (corner[0].z < 0 || corner[1].z < 0 || corner[2].z < 0) continue;
    const float *P = ctx->vertices + 3 * size_t(tri[0]), *Q = ctx->vertices + 3 * size_t(tri[1]),
                *R = ctx->vertices + 3 * size_t(tri[2]);
    double e1[3], e2[3];
    for (int i = 0; i < 3; ++i) {
      e1[i] = b.scale[i] * (double(R[i]) - P[i]);
      e2[i] = b.scale[i] * (double(P[i]) - Q[i]);
    }
    const double facing[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                              e1[0] * e2[1] - e1[1] * e2[0]};
    const bool back = facing[0] * ctx->forward[0] + facing[1] * ctx->forward[1] + facing[2] * ctx->forward[2] < 0;
    for (int k = 0; k < 3; ++k) {
      const size_t v = tri[k];
      const double intensity = Intensity(ctx->normals != nullptr ? ctx->normals + 3 * v : nullptr, b, m, back);
      RasterVertex& c = corner[k];
      c.a = ctx->opacity;
      if (source == 2) {
        c.s = ctx->texCoords[2 * v];
        c.t = 1.0f - ctx->texCoords[2 * v + 1];
        c.r = c.g = c.b = Clamp01(intensity);
      } else {
        const float* base = source == 1 ? ctx->colors + 3 * v : uniform;
        c.r = Clamp01(base[0] * intensity);
        c.g = Clamp01(base[1] * intensity);
        c.b = Clamp01(base[2] * intensity);
      }
    }
    const bool ok = source == 2 ? RasterizeTexturedTriangle(static_cast<const uint32_t* const*>(ctx->texture),
                                                            corner[0], corner[1], corner[2], ctx)
                                : RasterizeTriangle(corner[0], corner[1], corner[2], ctx);
    if (!ok) break;
  }
  FreeMemory(rv);
}

void DrawSoftwareLines(const uint16_t* indices, uint32_t count, GraphicsContext* ctx) {
  BoxToCube b;
  if (indices == nullptr || ctx->vertices == nullptr || ctx->vertexCount <= 0 || !UsableMapping(ctx, &b)) return;
  RasterVertex* rv = ProjectVertices(ctx, b);
  if (rv == nullptr) return;
  const uint32_t n = uint32_t(ctx->vertexCount);
  const float r = float(ctx->color >> 16 & 0xFF) / 255.0f, g = float(ctx->color >> 8 & 0xFF) / 255.0f,
              bl = float(ctx->color & 0xFF) / 255.0f;
  for (uint32_t i = 0; i < n; ++i) {
    rv[i].r = r;
    rv[i].g = g;
    rv[i].b = bl;
    rv[i].a = 1.0f;
  }
  for (uint32_t l = 0; l < count; ++l) {
    const uint16_t* pair = indices + 2 * size_t(l);
    if (pair[0] >= n || pair[1] >= n || rv[pair[0]].z < 0 || rv[pair[1]].z < 0) continue;
    if (!RasterizeLine(rv[pair[0]], rv[pair[1]], ctx)) break;
  }
  FreeMemory(rv);
}

// GL kinds with a usable box mapping: GL may draw.
bool GLMayDraw(const GraphicsContext* ctx) {
  BoxToCube b;
  return IsGLContextKind(ctx) && UsableMapping(ctx, &b);
}

void SetVertexProgramSign(double sign) {
  const GLEntryPoints& gl = GLApi();
  const GLdouble value[4] = {sign, 0, 0, 0};
  if (gl.ProgramLocalParameter4dvARB != nullptr) gl.ProgramLocalParameter4dvARB(GL_VERTEX_PROGRAM_ARB, 0, value);
}

}  // namespace

void SetQDOpacity(float opacity, GraphicsContext* ctx) {
  if (Software(ctx)) ctx->opacity = opacity;
}

void SetGLVertexArray(const float* vertices, int32_t n, GraphicsContext* ctx) {
  if (IsGLContextKind(ctx)) {
    GLApi().VertexPointer(3, GL_FLOAT, 0, vertices);
  } else if (Software(ctx)) {
    ctx->vertices = vertices;
    ctx->vertexCount = n > 0 ? n : 0;
  }
}

void SetGLNormalArray(const float* normals, GraphicsContext* ctx) {
  if (IsGLContextKind(ctx)) {
    GLApi().EnableClientState(GL_NORMAL_ARRAY);
    GLApi().NormalPointer(GL_FLOAT, 0, normals);
  } else if (Software(ctx)) {
    ctx->normals = normals;
  }
}

void SetGLColorArray(const float* colors, GraphicsContext* ctx) {
  if (IsGLContextKind(ctx)) {
    EnableColorArrayMaterial();
    GLApi().ColorPointer(3, GL_FLOAT, 0, colors);
  } else if (Software(ctx)) {
    ctx->colors = colors;
    ctx->colorSource = 1;
  }
}

void SetGLTexCoordArray(const float* coords, GraphicsContext* ctx) {
  if (IsGLContextKind(ctx)) {
    EnableTexCoordMaterial();
    GLApi().TexCoordPointer(2, GL_FLOAT, 0, coords);
  } else if (Software(ctx)) {
    ctx->texCoords = coords;
    ctx->colorSource = 2;
  }
}

void BindGLTexture(TextureRef texture, GraphicsContext* ctx) {
  if (IsGLContextKind(ctx)) {
    // A texture of an earlier context binds none: its name may be another texture's here.
    GLApi().Enable(GL_TEXTURE_2D);
    GLApi().BindTexture(GL_TEXTURE_2D, GLTextureNameIn(texture, GLContextHandle(ctx)));
  } else if (Software(ctx)) {
    ctx->texture = reinterpret_cast<const void*>(texture);
  }
}

// The software Disable operations clear what they name rather than leave it: the arrays belong
// to the mesh just drawn, which its owner may free or refill before the next draw, and a stale
// pointer (or a colour source still naming it) would be read there.
void DisableTexCoordArray(GraphicsContext* ctx) {
  if (IsGLContextKind(ctx)) {
    GLApi().Disable(GL_TEXTURE_2D);
    GLApi().DisableClientState(GL_TEXTURE_COORD_ARRAY);
  } else if (Software(ctx)) {
    ctx->texCoords = nullptr;
    if (ctx->colorSource == 2) ctx->colorSource = 0;
  }
}

void DisableColorArray(GraphicsContext* ctx) {
  if (IsGLContextKind(ctx)) {
    GLApi().Disable(GL_COLOR_MATERIAL);
    GLApi().DisableClientState(GL_COLOR_ARRAY);
  } else if (Software(ctx)) {
    ctx->colors = nullptr;
    if (ctx->colorSource == 1) ctx->colorSource = 0;
  }
}

void DisableNormalArray(GraphicsContext* ctx) {
  if (IsGLContextKind(ctx)) {
    GLApi().DisableClientState(GL_NORMAL_ARRAY);
  } else if (Software(ctx)) {
    ctx->normals = nullptr;
  }
}

void DrawGLTriangleElements(const uint32_t* indices, uint32_t count, GraphicsContext* ctx) {
  if (Software(ctx)) {
    DrawSoftwareTriangles(indices, count, ctx);
  } else if (GLMayDraw(ctx) && count <= uint32_t(INT32_MAX / 3)) {
    GLApi().DrawElements(GL_TRIANGLES, GLsizei(3 * count), GL_UNSIGNED_INT, indices);
  }
}

void DrawGLLineElements(const uint16_t* indices, uint32_t count, GraphicsContext* ctx) {
  if (Software(ctx)) {
    DrawSoftwareLines(indices, count, ctx);
    return;
  }
  if (!GLMayDraw(ctx) || count > uint32_t(INT32_MAX / 2)) return;
  const GLEntryPoints& gl = GLApi();
  // The eye is 50 from the centre: lines fade towards grey from the front of the cube to its back.
  static const GLfloat kFogColor[4] = {0.5f, 0.5f, 0.5f, 1.0f};
  gl.Enable(GL_FOG);
  gl.Fogfv(GL_FOG_COLOR, kFogColor);
  gl.Fogi(GL_FOG_MODE, GL_LINEAR);
  gl.Hint(GL_FOG_HINT, GL_DONT_CARE);
  gl.Fogf(GL_FOG_DENSITY, 0.5f);
  gl.Fogf(GL_FOG_START, 48.0f);
  gl.Fogf(GL_FOG_END, 52.0f);
  gl.DrawElements(GL_LINES, GLsizei(2 * count), GL_UNSIGNED_SHORT, indices);
  gl.Disable(GL_FOG);
}

void DrawGLMesh(GLMesh* mesh) {
  if (mesh == nullptr || mesh->context == nullptr) return;
  RefreshMeshStorage(mesh);
  GraphicsContext* ctx = mesh->context;
  const bool texture = mesh->hasTexCoordBlock || mesh->texCoords != nullptr;
  const bool colors = mesh->hasColorBlock || mesh->colors != nullptr;
  if (mesh->storage == kMeshBufferObjects && IsGLContextKind(ctx)) {
    BindMeshBuffers(mesh);
    if (mesh->isTriangleMesh) DrawGLTriangleElements(nullptr, mesh->triangleCount, ctx);
    else DrawGLLineElements(nullptr, mesh->lineCount, ctx);
    GLApi().BindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    GLApi().BindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
  } else if (mesh->storage == kMeshClientArrays) {
    SetGLVertexArray(mesh->vertices, int32_t(mesh->vertexCount), ctx);
    if (mesh->normals != nullptr) SetGLNormalArray(mesh->normals, ctx);
    if (mesh->colors != nullptr) SetGLColorArray(mesh->colors, ctx);
    if (mesh->texCoords != nullptr) SetGLTexCoordArray(mesh->texCoords, ctx);
    if (mesh->isTriangleMesh) DrawGLTriangleElements(mesh->triangles, mesh->triangleCount, ctx);
    else DrawGLLineElements(mesh->lines, mesh->lineCount, ctx);
  } else {
    return;
  }
  if (texture) DisableTexCoordArray(ctx);
  if (colors) DisableColorArray(ctx);
  if (mesh->isTriangleMesh) DisableNormalArray(ctx);
}

void SetGLClipPlane(double a, double b, double c, double d, GraphicsContext* ctx) {
  if (!IsGLContextKind(ctx)) return;
  // A non-finite plane (an inequality whose coefficients overflowed) is switched off, never handed to GL.
  if (!(std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d))) {
    DisableGLClipPlane(ctx);
    return;
  }
  const GLdouble equation[4] = {a, b, c, d};
  GLApi().ClipPlane(GL_CLIP_PLANE1, equation);
  GLApi().Enable(GL_CLIP_PLANE1);
}

void DisableGLClipPlane(GraphicsContext* ctx) {
  if (IsGLContextKind(ctx)) GLApi().Disable(GL_CLIP_PLANE1);
}

bool BeginTwoSidedShading(ShaderProgram* fragmentProgram, ShaderProgram* vertexProgram, GraphicsContext* ctx) {
  if (!IsGLContextKind(ctx)) return false;
  const GLEntryPoints& gl = GLApi();
  gl.Disable(GL_LIGHTING);
  gl.Enable(GL_VERTEX_PROGRAM_ARB);
  gl.Enable(GL_FRAGMENT_PROGRAM_ARB);
  if (fragmentProgram != nullptr) ShaderProgramLoad(fragmentProgram);
  if (vertexProgram != nullptr) ShaderProgramLoad(vertexProgram);
  SetVertexProgramSign(1.0);
  gl.Enable(GL_CULL_FACE);
  gl.CullFace(GL_BACK);
  return fragmentProgram != nullptr && vertexProgram != nullptr && ShaderProgramIsUsable(fragmentProgram) &&
         ShaderProgramIsUsable(vertexProgram);
}

void FlipTwoSidedShading(GraphicsContext* ctx) {
  if (!IsGLContextKind(ctx)) return;
  SetVertexProgramSign(-1.0);
  GLApi().CullFace(GL_FRONT);
}

void EndTwoSidedShading(GraphicsContext* ctx) {
  if (!IsGLContextKind(ctx)) return;
  const GLEntryPoints& gl = GLApi();
  gl.Enable(GL_LIGHTING);
  gl.Disable(GL_VERTEX_PROGRAM_ARB);
  gl.Disable(GL_FRAGMENT_PROGRAM_ARB);
  gl.Disable(GL_CULL_FACE);
}

void SetFragmentProgramParameter(uint32_t index, double x, double y, double z, double w) {
  const GLEntryPoints& gl = GLApi();
  const GLdouble value[4] = {x, y, z, w};
  if (gl.ProgramLocalParameter4dvARB != nullptr) gl.ProgramLocalParameter4dvARB(GL_FRAGMENT_PROGRAM_ARB, index, value);
}
