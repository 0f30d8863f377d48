// Initial GL state of a context, and the error drain. Both act on the current context and leave
// its bindings as they were.
#include "graphics/gl/gl_state.h"

#include "graphics/gl/gl_globals.h"
#include "graphics/gl/renderer_caps.h"

void InitGLState() {
  const GLEntryPoints& gl = GLApi();
  static const GLfloat kAmbient[] = {0.2f, 0.2f, 0.2f, 1.0f};
  static const GLfloat kDiffuse[] = {0.6f, 0.6f, 0.6f, 1.0f};
  static const GLfloat kSpecular[] = {0.2f, 0.2f, 0.2f, 1.0f};
  static const GLfloat kPosition[] = {-1.0f, 1.0f, 1.0f, 0.0f};
  gl.ShadeModel(GL_SMOOTH);
  gl.Enable(GL_LIGHTING);
  gl.Enable(GL_NORMALIZE);
  gl.Enable(GL_DEPTH_TEST);
  gl.LightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
  gl.LightModelfv(GL_LIGHT_MODEL_AMBIENT, kAmbient);
  // With the model-view matrix at identity the light's position is taken in eye space.
  gl.MatrixMode(GL_MODELVIEW);
  gl.LoadIdentity();
  gl.Lightfv(GL_LIGHT0, GL_DIFFUSE, kDiffuse);
  gl.Lightfv(GL_LIGHT0, GL_SPECULAR, kSpecular);
  gl.Lightfv(GL_LIGHT0, GL_POSITION, kPosition);
  gl.Enable(GL_LIGHT0);
  gl.Enable(GL_MULTISAMPLE_ARB);
  if (HasGLExtension("GL_NV_multisample_filter_hint")) gl.Hint(GL_MULTISAMPLE_FILTER_HINT_NV, GL_FASTEST);
  gl.EnableClientState(GL_VERTEX_ARRAY);
}

int32_t DrainGLErrors() {
  const GLEntryPoints& gl = GLApi();
  int32_t n = 0;
  while (n < 64 && gl.GetError() != GL_NO_ERROR) ++n;
  return n;
}
