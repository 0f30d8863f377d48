// How a graph draws into its view's context: array state, indexed triangles and lines, a user
// clip plane, two-sided shading with ARB programs, and the mesh draw that combines them. The GL
// kinds issue GL calls in the current context; the software kind keeps the state in the context
// and projects, lights and hands each primitive to the rasteriser; kind 0 does nothing.
// The software lighting model has its light at (-1, 1, -1)/√3 and negates the normals of
// triangles facing the viewer: the two sign changes cancel into GL's two-sided lighting.
// Invariants: the software state never names arrays after their Disable call; nothing with a
// non-finite box mapping is drawn.
#pragma once

#include <cstdint>

#include "graphics/gl/gl_textures.h"

struct GraphicsContext;
struct GLMesh;
struct ShaderProgram;

// The software kind keeps the opacity for the triangles it draws (lines ignore it).
void SetQDOpacity(float opacity, GraphicsContext* ctx);
// The surfaces pass their opacity under this name.
inline void SetQDLineWidth(float value, GraphicsContext* ctx) { SetQDOpacity(value, ctx); }

// n vertices of 3 floats; the software kind also keeps n to check indices against.
void SetGLVertexArray(const float* vertices, int32_t n, GraphicsContext* ctx);
void SetGLNormalArray(const float* normals, GraphicsContext* ctx);
// Per-vertex colours (3 floats): colour source 1 in software.
void SetGLColorArray(const float* colors, GraphicsContext* ctx);
// Texture coordinates (2 floats): colour source 2 in software.
void SetGLTexCoordArray(const float* coords, GraphicsContext* ctx);
void BindGLTexture(TextureRef texture, GraphicsContext* ctx);
// Off again. In software the pointer is cleared and, when the colour source named that array,
// the source goes back to the uniform colour: the arrays are the mesh's and may be freed right
// after its draw, so a later draw must not read them (GL drops them with its array state too).
void DisableTexCoordArray(GraphicsContext* ctx);
void DisableColorArray(GraphicsContext* ctx);
void DisableNormalArray(GraphicsContext* ctx);
// The surface graphs call the first two by these names.
inline void DisableGLTextureArray(GraphicsContext* ctx) { DisableTexCoordArray(ctx); }
inline void DisableGLColorArray(GraphicsContext* ctx) { DisableColorArray(ctx); }

// count triangles of three 32-bit indices (GL: null = offset 0 of the bound element buffer).
// Software: triangles naming a missing vertex or with a corner before the near plane are
// skipped; a refused vertex block posts error 7 and draws nothing.
void DrawGLTriangleElements(const uint32_t* indices, uint32_t count, GraphicsContext* ctx);
// count lines of two 16-bit indices. GL fades them to grey with depth; software draws them in
// the uniform colour, opaque and without fog.
void DrawGLLineElements(const uint16_t* indices, uint32_t count, GraphicsContext* ctx);
// Refreshes the mesh's storage, then draws it with the state above, which it turns off again.
void DrawGLMesh(GLMesh* mesh);

// GL kinds: GL_CLIP_PLANE1 (a x + b y + c z + d >= 0 kept, in model coordinates) on or off.
// A non-finite equation turns the plane off: GL would otherwise clip by NaN, whose result is
// undefined (the surface could vanish whole), and a plane that cannot be had clips nothing.
void SetGLClipPlane(double a, double b, double c, double d, GraphicsContext* ctx);
void DisableGLClipPlane(GraphicsContext* ctx);

// Used as: begin, draw the mesh, flip, draw it again, end. Begin makes its state changes in
// any GL kind and answers whether both programs loaded (false in other kinds); callers end
// either way.
bool BeginTwoSidedShading(ShaderProgram* fragmentProgram, ShaderProgram* vertexProgram, GraphicsContext* ctx);
void FlipTwoSidedShading(GraphicsContext* ctx);
void EndTwoSidedShading(GraphicsContext* ctx);
// Local parameter `index` of the bound fragment program (current context).
void SetFragmentProgramParameter(uint32_t index, double x, double y, double z, double w);
