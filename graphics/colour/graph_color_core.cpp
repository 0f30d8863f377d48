// Release of what a colour owns in the graphics layer: its parameter functions and their values,
// its program pair and its texture, each freed where it was made.
#include "graphics/colour/graph_color_core.h"

#include "graphics/gl/shader_program.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"

void DisposeFunctionArray(FunctionArray* array) {
  if (array == nullptr) return;
  for (int32_t i = 0; i < array->count; ++i) {
    if (CompiledFunction* function = array->data[i]) {
      DisposeFunction(function);
      delete function;
    }
  }
  GrowArrayFree(*array);
}

void DeleteColorParameters(GraphColorCore* color) {
  FreeMemory(color->parameterValues);
  color->parameterValues = nullptr;
  color->parameterValuesStale = 0;
  if (color->parameters == nullptr) return;
  DisposeFunctionArray(color->parameters);
  delete color->parameters;
  color->parameters = nullptr;
}

void DeleteColorPrograms(GraphColorCore* color) {
  DeleteShaderProgram(color->fragmentProgram);
  DeleteShaderProgram(color->vertexProgram);
  color->fragmentProgram = color->vertexProgram = nullptr;
}

void DeleteColorTexture(GraphColorCore* color) {
  DeleteGLTexture(color->texture, color->resourceContextKind, color->resourceContextHandle, color->context);
  color->texture = 0;
  color->resourceContextKind = 0;
  color->resourceContextHandle = nullptr;
}
