// The colour programs. A colour records one context for its texture and its programs; whenever a
// new context is recorded, what lived in the old one is released there first, so neither sync can
// vouch for a resource of another context. A draft owns what it made until its installation takes
// it over, so one given up half-way (an evaluation or a compile that unwinds) leaves nothing behind.
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

// The generator's parameter list, freed however the draft ends.
struct OwnedParameterList {
  ParameterList list{};
  OwnedParameterList() = default;
  OwnedParameterList(const OwnedParameterList&) = delete;
  OwnedParameterList& operator=(const OwnedParameterList&) = delete;
  ~OwnedParameterList() { FreeParameterList(&list); }
};

// The collected expressions become the draft's compiled parameter functions, in order (the list is
// emptied), with a values' block for them. False when one could not be had: the program would read
// the wrong parameters.
bool TakeParameters(ColorProgramDraft* draft, ParameterList* list) {
  draft->parameters = new (std::nothrow) FunctionArray();
  bool complete = draft->parameters != nullptr;
  for (int32_t i = 0; i < list->count; ++i) {
    ExprNode* tree = list->data[i];
    list->data[i] = nullptr;
    auto* function = complete ? new (std::nothrow) CompiledFunction{} : nullptr;
    if (function == nullptr) {
      FreeExpression(tree);
      complete = false;
      continue;
    }
    InitFunction(function, tree);
    if (!GrowArrayAppend(*draft->parameters, function)) {
      DisposeFunction(function);
      delete function;
      complete = false;
      continue;
    }
    CompileFunction(function);
  }
  list->count = 0;
  if (complete && draft->parameters->count > 0) {
    draft->values = static_cast<double*>(AllocMemory(2 * sizeof(double) * size_t(draft->parameters->count), true));
    complete = draft->values != nullptr;
  }
  if (!complete) PostError(kErrorOutOfMemory);
  return complete;
}

// Each parameter function at 0, its bindings evaluated afresh, into out[k].
void EvaluateParameters(FunctionArray* parameters, double* out) {
  for (int32_t k = 0; k < parameters->count; ++k) {
    CompiledFunction* function = parameters->data[k];
    out[k] = 0.0;
    if (function == nullptr) continue;
    function->bindingsEvaluated = 0;
    out[k] = EvaluateFunction1(function, 0.0);
  }
}

bool SameTarget(const ColorProgramTarget& a, const ColorProgramTarget& b) {
  return a.kind == b.kind && a.handle == b.handle && a.capable == b.capable && a.floatOutput == b.floatOutput;
}

// The target of the context; `current` says whether it could be made current.
ColorProgramTarget TargetOf(GraphicsContext* context, bool current) {
  ColorProgramTarget target;
  if (context == nullptr) return target;
  target.kind = GLContextKind(context);
  target.handle = GLContextHandle(context);
  target.capable = current && HasShaderExtensions(context) ? 1 : 0;
  target.floatOutput = AvoidBuffersForDynamicData(context) ? 0 : 1;
  return target;
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

ColorProgramDraft::~ColorProgramDraft() {
  DisposeFunctionArray(parameters);
  delete parameters;
  FreeMemory(values);
}

ColorProgramTarget ReadColorProgramTarget(GraphicsContext* context) {
  GLContextScope scope(context != nullptr ? GLContextHandle(context) : nullptr);
  return TargetOf(context, scope.ok());
}

void DraftColorPrograms(const GraphColorCore* color, const CompiledFunction* condition, int32_t gpuMode,
                        const ColorProgramTarget& target, ColorProgramDraft* draft) {
  draft->target = target;
  const uint32_t mode = color->mode == kColorGPUProgram ? color->savedMode : color->mode;
  const bool expressions = IsExpressionMode(mode);
  // A colour whose programs are to go (switched off, or the context can no longer take them) only
  // drops them: nothing is generated, so a requested capture waits for a capable preparation.
  const bool dropping = color->fragmentProgram != nullptr && (gpuMode == 1 || !target.capable);
  if (dropping || gpuMode == 1 || (!expressions && condition == nullptr)) return;
  if (!target.capable && !ColorProgramGlobals().captureRequested) return;
  OwnedParameterList list;
  const CompiledFunction* const* c = color->component;
  draft->text = expressions ? BuildColorFragmentProgram(c[0], c[1], c[2], condition, mode == kColorHSVExpressions,
                                                        &list.list, target.floatOutput != 0)
                            : BuildColorShaderForGraph(condition, &list.list, mode == kColorTexture);
  draft->complete = TakeParameters(draft, &list.list) ? 1 : 0;
  if (draft->complete && target.capable && !draft->text.empty()) EvaluateParameters(draft->parameters, draft->values);
}

bool InstallColorPrograms(GraphColorCore* color, ColorProgramDraft* draft, GraphicsContext* context) {
  GLContextScope scope(context != nullptr ? GLContextHandle(context) : nullptr);
  const ColorProgramTarget target = TargetOf(context, scope.ok());
  if (!SameTarget(target, draft->target)) return false;
  if (color->mode == kColorGPUProgram) color->mode = color->savedMode;  // the expressions' own mode
  const bool expressions = IsExpressionMode(color->mode);
  if (ColorProgramGlobals().captureRequested && !draft->text.empty()) CaptureText(draft->text);
  bool made = false;
  if (draft->complete && target.capable && !draft->text.empty() &&
      MakePrograms(color, draft->text, context)) {
    DeleteColorParameters(color);
    color->parameters = draft->parameters;
    color->parameterValues = draft->values;
    draft->parameters = nullptr;
    draft->values = nullptr;
    color->savedMode = color->mode;
    if (expressions) color->mode = kColorGPUProgram;
    made = true;
  }
  if (!made) {
    DeleteColorPrograms(color);
    DeleteColorParameters(color);
  }
  if (IsExpressionMode(color->mode)) CompileFunctions3(color->component[0], color->component[1], color->component[2]);
  return true;
}

void PrepareColorShaderPrograms(GraphColorCore* color, const CompiledFunction* condition, int32_t gpuMode,
                                GraphicsContext* context) {
  ColorProgramDraft draft;
  DraftColorPrograms(color, condition, gpuMode, ReadColorProgramTarget(context), &draft);
  InstallColorPrograms(color, &draft, context);
}

void EvaluateColorParameters(GraphColorCore* color) {
  FunctionArray* parameters = color->parameters;
  if (parameters == nullptr || color->parameterValues == nullptr) return;
  double* fresh = color->parameterValues + parameters->count;
  EvaluateParameters(parameters, fresh);
  std::memcpy(color->parameterValues, fresh, sizeof(double) * size_t(parameters->count));
  color->parameterValuesStale = 0;
}

bool ForgetColorParameterBindings(GraphColorCore* color, int32_t symbol) {
  if (color->parameters == nullptr) return false;
  bool depends = false;
  for (int32_t k = 0; k < color->parameters->count; ++k) {
    CompiledFunction* function = color->parameters->data[k];
    if (function == nullptr || !FunctionDependsOnSymbol(function, symbol)) continue;
    function->bindingsEvaluated = 0;
    depends = true;
  }
  if (depends) color->parameterValuesStale = 1;
  return depends;
}

bool BeginColorShadingPass(GraphColorCore* color, GraphicsContext* context) {
  if (context == nullptr) return false;
  if (color->mode == kColorGPUProgram) SetGLMaterialColor(kWhite, context);
  if (!BeginTwoSidedShading(color->fragmentProgram, color->vertexProgram, context)) return false;
  const int32_t n = color->parameters != nullptr && color->parameterValues != nullptr ? color->parameters->count : 0;
  for (int32_t group = 0; group * 4 < n; ++group) {
    double value[4] = {0, 0, 0, 0};
    for (int32_t k = 0; k < 4 && group * 4 + k < n; ++k) value[k] = color->parameterValues[group * 4 + k];
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
