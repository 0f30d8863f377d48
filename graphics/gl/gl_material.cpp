// Material state. Every material call sets both faces: the view lights back faces with the
// two-sided light model, and the curve material relies on the ambient term alone.
#include "graphics/gl/gl_material.h"

#include "graphics/gl/gl_globals.h"
#include "graphics/gl/graphics_context.h"

namespace {

void SetMaterial(GLenum which, float r, float g, float b) {
  const GLfloat value[4] = {r, g, b, 1.0f};
  GLApi().Materialfv(GL_FRONT_AND_BACK, which, value);
}

// The software kind keeps the colour; true when the caller is done (kinds 0 and 1).
bool KeptInSoftware(uint32_t rgb, GraphicsContext* ctx) {
  if (IsGLContextKind(ctx)) return false;
  if (ctx->kind == kContextQuickDraw) {
    ctx->color = rgb & 0xFFFFFFu;
    ctx->colorSource = 0;
  }
  return true;
}

void Channels(uint32_t rgb, float c[3]) {
  c[0] = float(rgb >> 16 & 0xFF) / 255.0f;
  c[1] = float(rgb >> 8 & 0xFF) / 255.0f;
  c[2] = float(rgb & 0xFF) / 255.0f;
}

}  // namespace

void SetGLMaterialColor(uint32_t rgb, GraphicsContext* ctx) {
  if (KeptInSoftware(rgb, ctx)) return;
  float c[3];
  Channels(rgb, c);
  GLApi().Materialf(GL_FRONT_AND_BACK, GL_SHININESS, 32.0f);
  SetMaterial(GL_SPECULAR, c[0], c[1], c[2]);
  SetMaterial(GL_AMBIENT_AND_DIFFUSE, c[0], c[1], c[2]);
}

void SetGLCurveMaterialColor(uint32_t rgb, GraphicsContext* ctx) {
  if (KeptInSoftware(rgb, ctx)) return;
  float c[3];
  Channels(rgb, c);
  SetMaterial(GL_SPECULAR, 0, 0, 0);
  SetMaterial(GL_DIFFUSE, 0, 0, 0);
  SetMaterial(GL_AMBIENT, c[0] / 0.2f, c[1] / 0.2f, c[2] / 0.2f);
}

void EnableColorArrayMaterial() {
  const GLEntryPoints& gl = GLApi();
  gl.Materialf(GL_FRONT_AND_BACK, GL_SHININESS, 32.0f);
  SetMaterial(GL_SPECULAR, 1, 1, 1);
  gl.ColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  gl.Enable(GL_COLOR_MATERIAL);
  gl.EnableClientState(GL_COLOR_ARRAY);
}

void EnableTexCoordMaterial() {
  const GLEntryPoints& gl = GLApi();
  gl.Materialf(GL_FRONT_AND_BACK, GL_SHININESS, 32.0f);
  SetMaterial(GL_SPECULAR, 1, 1, 1);
  SetMaterial(GL_AMBIENT_AND_DIFFUSE, 1, 1, 1);
  gl.EnableClientState(GL_TEXTURE_COORD_ARRAY);
}
