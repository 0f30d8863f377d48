// Filling the entry-point table from a proc-address lookup: every entry is looked up, required
// and optional alike, so a table reported incomplete still holds all it could find.
#include "platform/gl/gl_entry_points.h"

bool LoadGLEntryPoints(GLProcLookup lookup, GLEntryPoints* out) {
  bool complete = true;
#define QV_GL_LOAD(Name) out->Name = reinterpret_cast<decltype(out->Name)>(lookup("gl" #Name));
#define QV_GL_LOAD_REQUIRED(Name) QV_GL_LOAD(Name) complete = complete && out->Name != nullptr;
  QV_GL_REQUIRED_ENTRY_POINTS(QV_GL_LOAD_REQUIRED)
  QV_GL_OPTIONAL_ENTRY_POINTS(QV_GL_LOAD)
#undef QV_GL_LOAD_REQUIRED
#undef QV_GL_LOAD
  return complete;
}
