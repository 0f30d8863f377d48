// Renderer capability tests and the start-up switches. A null string from GL counts as empty, so
// every test answers false on a context that reports nothing.
#include "graphics/gl/renderer_caps.h"

#include <cstring>

#include "graphics/gl/gl_globals.h"
#include "platform/preferences.h"

namespace {

const char* OrEmpty(const char* s) { return s != nullptr ? s : ""; }

const char* GLText(GLenum name) {
  return OrEmpty(reinterpret_cast<const char*>(GLApi().GetString(name)));
}

}  // namespace

bool ExtensionListHas(const char* list, const char* name) {
  if (list == nullptr || name == nullptr || name[0] == '\0' || std::strchr(name, ' ') != nullptr) return false;
  const size_t n = std::strlen(name);
  for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  }
  return false;
}

bool HasGLExtension(const char* name) { return ExtensionListHas(CurrentExtensionString(), name); }

bool BeginsWith(const char* s, const char* prefix) { return std::strstr(OrEmpty(s), prefix) == OrEmpty(s); }

bool IsNVidiaRenderer(const char* renderer) {
  const char* r = OrEmpty(renderer);
  return (r[0] == 'N' || r[0] == 'n') && (r[1] == 'V' || r[1] == 'v');
}

bool IsATIRenderer(const char* renderer) { return BeginsWith(renderer, "ATI"); }

bool IsRadeonR200Renderer(const char* renderer) {
  return BeginsWith(renderer, "ATI Radeon 8500") || BeginsWith(renderer, "ATI Radeon 9000") ||
         BeginsWith(renderer, "ATI Radeon 9200");
}

bool IsRadeon9800Renderer(const char* renderer) { return BeginsWith(renderer, "ATI Radeon 9800"); }

bool IsGeForce4MXRenderer(const char* renderer) { return BeginsWith(renderer, "NVidia GeForce4 MX"); }

bool ShouldUseBufferObjects(const char* extensions, const char* renderer) {
  const GLPlatformState& g = GLGlobals();
  if (g.switches.noBufferObjects) return false;
  const bool has = ExtensionListHas(extensions, "GL_ARB_vertex_buffer_object");
  const bool option = g.BufferObjectOptionByte != 0;
  if (g.switches.forceBufferObjects) return has && option;
  return has && option != IsRadeon9800Renderer(renderer);
}

bool ShaderExtensionsListed(const char* extensions) {
  return ExtensionListHas(extensions, "GL_ARB_vertex_program") &&
         ExtensionListHas(extensions, "GL_ARB_fragment_program") &&
         ExtensionListHas(extensions, "GL_ARB_fragment_shader") && ExtensionListHas(extensions, "GL_ARB_shader_objects");
}

const char* CurrentRendererString() { return GLText(GL_RENDERER); }
const char* CurrentExtensionString() { return GLText(GL_EXTENSIONS); }

// Each switch is set by its key's value 1 alone. The fragment-program switch has no rule by the
// system's version on purpose: the versions such a rule would test are releases of a system this
// program does not run on, so no version here could meet it, and the preferences alone decide.
// The line-width switches matter only for the renderers they name, which no driver here reports,
// and disable_gl_multisample_works tunes a context parameter EGL does not have; they are read all
// the same, so a preferences file keeps its meaning.
void ReadRendererSwitches() {
  GLPlatformState& g = GLGlobals();
  SynchronizePreferences();
  auto isOne = [](const char* key) {
    bool found = false;
    return GetAppIntegerPreference(key, &found) == 1 && found;
  };
  RendererSwitches& s = g.switches;
  if (isOne("disable_vertex_buffer_objects")) s.noBufferObjects = true;
  if (isOne("disable_fragment_programs")) s.noFragmentPrograms = true;
  if (isOne("enable_fragment_programs")) s.noFragmentPrograms = false;
  if (isOne("r200_fsaa_linewidth_bug_is_fixed")) s.r200LineFixPresent = true;
  if (isOne("geforce_fsaa_linewidth_bug_is_fixed")) s.geforceLineFixPresent = true;
  if (isOne("enable_vertex_buffer_objects")) s.forceBufferObjects = true;
  if (isOne("disable_gl_multisample_works")) s.multisampleSwitchOffWorks = true;
  if (isOne("use_software_renderer")) g.OpenGLAvailable = 0;
}
