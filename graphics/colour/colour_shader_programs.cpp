// The colour programs. A colour records one context for its texture and its programs; whenever a
// new context is recorded, what lived in the old one is released there first (a texture name is
// deleted in its own context, programs go with theirs), so neither sync can vouch for a resource
// of another context.
#include "graphics/colour/colour_shader_programs.h"

#include <cstring>
#include <new>
#include <string>

#include "graphics/colour/colour_program_state.h"
#include "graphics/colour/colour_shader_front_end.h"
#include "graphics/gl/default_programs.h"
#include "graphics/gl/gl_globals.h"
#include "graphics/gl/gl_material.h"
#include "graphics/gl/graphics_context.h"
#include "graphics/gl/mesh_drawing.h"
#include "graphics/gl/shader_program.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/trees/expr_node.h"

namespace {

constexpr uint32_t kWhite = 0xffffff;

bool IsExpressionMode(uint32_t mode) { return mode == kColorRGBExpressions || mode == kColorHSVExpressions; }

bool RecordedIn(const GraphColorCore* color, const GraphicsContext* ctx) {
  return color->resourceContextKind == GLContextKind(ctx) && color->resourceContextHandle == GLContextHandle(ctx);
}

// Records ctx as the context of the colour's resources; a texture of another context is deleted
// there first.
void RecordContext(GraphColorCore* color, const GraphicsContext* ctx) {
  if (!RecordedIn(color, ctx) && color->texture != 0) DeleteColorTexture(color);
  color->resourceContextKind = GLContextKind(ctx);
  color->resourceContextHandle = GLContextHandle(ctx);
}

// The collected expressions become the colour's compiled parameter functions, in order (the list
// is emptied). False when one could not be had: the program would read the wrong parameters.
bool ReplaceParameters(GraphColorCore* color, ParameterList* list) {
  DeleteColorParameters(color);
  color->parameters = new (std::nothrow) FunctionArray();
  bool complete = color->parameters != nullptr;
  for (int32_t i = 0; i < list->count; ++i) {
    ExprNode* tree = list->data[i];
    auto* function = complete ? new (std::nothrow) CompiledFunction{} : nullptr;
    if (function == nullptr) {
      FreeExpression(tree);
      complete = false;
      continue;
    }
    InitFunction(function, tree);
    if (!GrowArrayAppend(*color->parameters, function)) {
      DisposeFunction(function);
      delete function;
      complete = false;
      continue;
    }
    CompileFunction(function);
  }
  list->count = 0;
  GrowArrayFree(*list);
  if (!complete) PostError(kErrorOutOfMemory);
  return complete;
}

// The text for the copy command: line feeds turned into carriage returns, NUL-terminated.
void CaptureText(const std::string& text) {
  ColorProgramState& g = ColorProgramGlobals();
  auto* copy = static_cast<char*>(AllocMemory(text.size() + 1));
  if (copy == nullptr) {
    PostError(kErrorOutOfMemory);
    return;
  }
  for (size_t i = 0; i < text.size(); ++i) copy[i] = text[i] == '\n' ? '\r' : text[i];
  copy[text.size()] = '\0';
  FreeMemory(g.capturedText);
  g.capturedText = copy;
  g.captureRequested = g.captureArmed = 0;
}

// The pair for the text, test-loaded in ctx (current); false (nothing kept) when it does not load.
// The vertex half is the same text for every colour: one already loaded in ctx is kept.
bool MakePrograms(GraphColorCore* color, const std::string& text, GraphicsContext* ctx) {
  ShaderProgram* vertex = color->vertexProgram;
  const bool keepVertex = vertex != nullptr && vertex->attempted && ShaderProgramIsUsable(vertex) &&
                          vertex->owner.context != nullptr && vertex->owner.context == GLContextHandle(ctx);
  if (keepVertex) color->vertexProgram = nullptr;
  DeleteColorPrograms(color);
  color->vertexProgram = keepVertex ? vertex : NewShaderProgram("", kDefaultVertexProgram, false);
  color->fragmentProgram = NewShaderProgram("", text.c_str(), true);
  RecordContext(color, ctx);
  bool ok = color->vertexProgram != nullptr && color->fragmentProgram != nullptr;
  if (ok) {
    ok = BeginTwoSidedShading(color->fragmentProgram, color->vertexProgram, ctx);
    EndTwoSidedShading(ctx);
  }
  if (!ok) DeleteColorPrograms(color);
  return ok;
}

}  // namespace

void PrepareColorShaderPrograms(GraphColorCore* color, const CompiledFunction* condition, int32_t gpuMode,
                                GraphicsContext* context) {
  if (color->mode == kColorGPUProgram) color->mode = color->savedMode;  // the expressions' own mode
  GLContextScope scope(context != nullptr ? GLContextHandle(context) : nullptr);
  const bool capable = scope.ok() && HasShaderExtensions(context);
  ColorProgramState& g = ColorProgramGlobals();
  const bool expressions = IsExpressionMode(color->mode);
  // A colour whose programs are to go (switched off, or the context can no longer take them) only
  // drops them: nothing is generated, so a requested capture waits for a capable preparation.
  const bool dropping = color->fragmentProgram != nullptr && (gpuMode == 1 || !capable);
  bool made = false;
  if (!dropping && gpuMode != 1 && (expressions || condition != nullptr) && (capable || g.captureRequested)) {
    ParameterList list{};
    const bool floatOutput = context == nullptr || !AvoidBuffersForDynamicData(context);
    std::string text =
        expressions ? BuildColorFragmentProgram(color->component[0], color->component[1], color->component[2],
                                                condition, color->mode == kColorHSVExpressions, &list, floatOutput)
                    : BuildColorShaderForGraph(condition, &list, color->mode == kColorTexture);
    const bool parameters = ReplaceParameters(color, &list);
    if (g.captureRequested && !text.empty()) CaptureText(text);
    if (!text.empty() && capable && parameters && MakePrograms(color, text, context)) {
      color->savedMode = color->mode;
      if (expressions) color->mode = kColorGPUProgram;
      made = true;
    }
  }
  if (!made) {
    DeleteColorPrograms(color);
    DeleteColorParameters(color);
  }
  if (IsExpressionMode(color->mode)) CompileFunctions3(color->component[0], color->component[1], color->component[2]);
}

bool BeginColorShadingPass(GraphColorCore* color, GraphicsContext* context) {
  if (context == nullptr) return false;
  if (color->mode == kColorGPUProgram) SetGLMaterialColor(kWhite, context);
  if (!BeginTwoSidedShading(color->fragmentProgram, color->vertexProgram, context)) return false;
  const int32_t n = color->parameters != nullptr ? color->parameters->count : 0;
  for (int32_t group = 0; group * 4 < n; ++group) {
    double value[4] = {0, 0, 0, 0};
    for (int32_t k = 0; k < 4 && group * 4 + k < n; ++k) {
      CompiledFunction* function = color->parameters->data[group * 4 + k];
      if (function == nullptr) continue;
      function->bindingsEvaluated = 0;
      value[k] = EvaluateFunction1(function, 0.0);
    }
    SetFragmentProgramParameter(uint32_t(group), value[0], value[1], value[2], value[3]);
  }
  return true;
}

bool ColorUsesVariable(const GraphColorCore* color, int32_t symbol) {
  if (!IsExpressionMode(color->mode) && color->mode != kColorGPUProgram) return false;
  for (const CompiledFunction* function : color->component) {
    if (function != nullptr && FunctionDependsOnSymbol(function, symbol)) return true;
  }
  return false;
}

void InvalidateColorFunctions(GraphColorCore* color) {
  if (!IsExpressionMode(color->mode)) return;
  for (CompiledFunction* function : color->component) {
    if (function != nullptr) function->bindingsEvaluated = 0;
  }
}

bool SyncColorShadersWithContext(GraphColorCore* color) {
  GraphicsContext* ctx = color->context;
  if (ctx == nullptr || GLContextKind(ctx) == kContextNone) return false;
  if (RecordedIn(color, ctx)) return true;
  RecordContext(color, ctx);
  PrepareColorShaderPrograms(color, nullptr, 1, ctx);
  return false;
}

bool SyncColorTextureWithContext(GraphColorCore* color) {
  GraphicsContext* ctx = color->context;
  if (ctx == nullptr || GLContextKind(ctx) == kContextNone) return false;
  GLContextScope scope(GLContextHandle(ctx));
  const bool sameContext = RecordedIn(color, ctx);
  if (sameContext && color->texture != 0 && IsTextureUsable(color->texture, ctx)) return true;
  if (!sameContext && color->fragmentProgram != nullptr) PrepareColorShaderPrograms(color, nullptr, 1, ctx);
  DeleteColorTexture(color);
  RecordContext(color, ctx);
  color->texture = TextureFromPicture(color->picture, ctx);
  return color->texture != 0;
}
