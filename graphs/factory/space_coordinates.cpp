// The space coordinates: three coordinate systems, and the surface forms as one table of data.
#include "graphs/factory/space_coordinates.h"

#include "graphs/factory/factory_helpers.h"
#include "graphs/factory/form_shapes.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"
#include "kernel/trees/node_kinds.h"

namespace {

// The builders keep their operands on a refusal; these free them, so a failure anywhere frees all.
ExprNode* Product(ExprNode* a, ExprNode* b) {
  ExprNode* node = a != nullptr && b != nullptr ? MakeTimes(a, b) : nullptr;
  if (node == nullptr) FreeExpression(a), FreeExpression(b);
  return node;
}
ExprNode* Unary(ExprNode* (*make)(ExprNode*), ExprNode* a) {
  ExprNode* node = a != nullptr ? make(a) : nullptr;
  if (node == nullptr) FreeExpression(a);
  return node;
}
ExprNode* Copy(const ExprNode* a) { return a != nullptr ? CopyExpression(a) : nullptr; }

// What fills a coordinate of the system in a surface form: its function, or u, or v.
enum Slot : uint8_t { kFunction, kU, kV, kFirst, kSecond, kThird };

// A surface form: the system and what fills its three coordinates; for the explicit forms the
// coordinate the equation solves for and the two variables renamed u and v; the ranges of u and v
// and the ranges it marks.
struct SurfaceFormRow {
  int32_t form;
  CoordinateSystem system;
  Slot slot[3];
  int32_t solvedFor, toU, toV;
  int32_t uRange, vRange;
  int32_t marks[2];
};

constexpr SurfaceFormRow kSurfaceForms[] = {
    {5, CoordinateSystem::kCartesian, {kU, kV, kFunction}, kVarZ, kVarX, kVarY, kRangeX, kRangeY, {-1, -1}},
    {6, CoordinateSystem::kCartesian, {kFunction, kU, kV}, kVarX, kVarY, kVarZ, kRangeY, kRangeZ, {-1, -1}},
    {7, CoordinateSystem::kCartesian, {kU, kFunction, kV}, kVarY, kVarX, kVarZ, kRangeX, kRangeZ, {-1, -1}},
    {8, CoordinateSystem::kSpherical, {kFunction, kU, kV}, kVarR, kVarTheta, kVarPhi, kRangeTheta, kRangePhi,
     {kRangeTheta, kRangePhi}},
    {9, CoordinateSystem::kSpherical, {kU, kFunction, kV}, kVarTheta, kVarR, kVarPhi, kRangeR, kRangePhi,
     {kRangeR, kRangePhi}},
    {10, CoordinateSystem::kSpherical, {kU, kV, kFunction}, kVarPhi, kVarR, kVarTheta, kRangeR, kRangeTheta,
     {kRangeR, kRangeTheta}},
    {11, CoordinateSystem::kCylindrical, {kFunction, kU, kV}, kVarR, kVarTheta, kVarZ, kRangeTheta, kRangeZ,
     {kRangeTheta, -1}},
    {12, CoordinateSystem::kCylindrical, {kU, kV, kFunction}, kVarZ, kVarR, kVarTheta, kRangeR, kRangeTheta,
     {kRangeR, kRangeTheta}},
    {14, CoordinateSystem::kCylindrical, {kV, kFunction, kU}, kVarTheta, kVarZ, kVarR, kRangeZ, kRangeR,
     {kRangeR, -1}},
    {26, CoordinateSystem::kCartesian, {kFirst, kSecond, kThird}, kNoVariable, kNoVariable, kNoVariable, kRangeU,
     kRangeV, {kRangeU, kRangeV}},
    {27, CoordinateSystem::kSpherical, {kFirst, kSecond, kThird}, kNoVariable, kNoVariable, kNoVariable, kRangeU,
     kRangeV, {kRangeU, kRangeV}},
    {28, CoordinateSystem::kCylindrical, {kFirst, kSecond, kThird}, kNoVariable, kNoVariable, kNoVariable, kRangeU,
     kRangeV, {kRangeU, kRangeV}},
};

// The field-on-surface forms 55 to 66 and the surface form each draws on.
constexpr int32_t kFieldSurfaceForms[12][2] = {{55, 6},  {56, 7},  {57, 5},  {58, 8},  {59, 9},  {60, 10},
                                               {61, 11}, {62, 12}, {63, 14}, {64, 26}, {65, 27}, {66, 28}};

// The side of an explicit equation that holds the function: the one that is not the variable
// solved for (written plainly or with a subscript).
const ExprNode* FunctionSide(const ExprNode* equation, int32_t solvedFor) {
  if (equation == nullptr || equation->kind != KindEqual || equation->arity != 2) return nullptr;
  const ExprNode* left = equation->children[0];
  const bool leftSolved = IsVariableNamed(left, solvedFor) || IsVariableNamed(SubscriptedBase(left), solvedFor);
  return leftSolved ? equation->children[1] : left;
}

}  // namespace

bool ToCartesian(CoordinateSystem system, ExprNode* a, ExprNode* b, ExprNode* c, ExprNode* out[3]) {
  out[0] = out[1] = out[2] = nullptr;
  if (a == nullptr || b == nullptr || c == nullptr) {
    FreeExpression(a), FreeExpression(b), FreeExpression(c);
    return false;
  }
  switch (system) {
    case CoordinateSystem::kCartesian:
      out[0] = a, out[1] = b, out[2] = c;
      return true;
    case CoordinateSystem::kSpherical:
      out[0] = Product(Product(Copy(a), Unary(MakeSin, Copy(c))), Unary(MakeCos, Copy(b)));
      out[1] = Product(Product(Copy(a), Unary(MakeSin, Copy(c))), Unary(MakeSin, Copy(b)));
      out[2] = Product(a, Unary(MakeCos, c));
      FreeExpression(b);
      break;
    case CoordinateSystem::kCylindrical:
      out[0] = Product(Copy(a), Unary(MakeCos, Copy(b)));
      out[1] = Product(a, Unary(MakeSin, b));
      out[2] = c;
      break;
  }
  if (out[0] != nullptr && out[1] != nullptr && out[2] != nullptr) return true;
  for (int k = 0; k < 3; ++k) {
    FreeExpression(out[k]);
    out[k] = nullptr;
  }
  return false;
}

int32_t SurfaceFormOfField(int32_t form) {
  for (const auto& row : kFieldSurfaceForms) {
    if (row[0] == form) return row[1];
  }
  return 0;
}

namespace {

const SurfaceFormRow* SurfaceRowOf(int32_t form) {
  if (const int32_t surface = SurfaceFormOfField(form)) form = surface;
  for (const SurfaceFormRow& row : kSurfaceForms) {
    if (row.form == form) return &row;
  }
  return nullptr;
}

// The row's surface from its function (explicit forms) or its three components (parametric).
bool Parameterise(const SurfaceFormRow& row, const ExprNode* function, const ExprNode* components,
                  SurfaceParameterisation* out) {
  ExprNode* part[3];
  for (int k = 0; k < 3; ++k) {
    switch (row.slot[k]) {
      case kFunction:
        part[k] = CopyExpression(function);
        if (part[k] != nullptr) {
          RenameSymbol(part[k], row.toU, 'u');
          RenameSymbol(part[k], row.toV, 'v');
        }
        break;
      case kU: part[k] = NewSymbolNode('u'); break;
      case kV: part[k] = NewSymbolNode('v'); break;
      default: part[k] = CopyExpression(components->children[row.slot[k] - kFirst]); break;
    }
  }
  if (!ToCartesian(row.system, part[0], part[1], part[2], out->coordinate)) return false;
  out->uRange = row.uRange;
  out->vRange = row.vRange;
  out->marks[0] = row.marks[0];
  out->marks[1] = row.marks[1];
  return true;
}

}  // namespace

bool ParameteriseSurface(int32_t form, const ExprNode* equation, SurfaceParameterisation* out) {
  const SurfaceFormRow* row = SurfaceRowOf(form);
  if (row == nullptr || out == nullptr) return false;
  if (row->solvedFor != kNoVariable) {
    const ExprNode* function = FunctionSide(equation, row->solvedFor);
    return function != nullptr && Parameterise(*row, function, nullptr, out);
  }
  if (equation == nullptr || equation->kind != KindEqual || equation->arity != 2) return false;
  const ExprNode* components = equation->children[1];
  if (components->kind != KindMatrix || components->arity != 3) return false;
  return Parameterise(*row, nullptr, components, out);
}

bool ParameteriseExplicitSurface(int32_t form, const ExprNode* function, SurfaceParameterisation* out) {
  const SurfaceFormRow* row = SurfaceRowOf(form);
  if (row == nullptr || row->solvedFor == kNoVariable || function == nullptr || out == nullptr) return false;
  return Parameterise(*row, function, nullptr, out);
}
