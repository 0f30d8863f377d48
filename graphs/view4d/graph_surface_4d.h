// GraphSurface4D: a surface of 4D space in the 4D view: four coordinate functions of the grid
// parameters u and v sampled on an n x n grid under the time budget (n = trunc(74 q + 5) of the
// grain q), kept in the view's cube coordinates with their u and v derivatives, coloured by the
// colour's mode as the 3D surfaces colour, and projected at every drawing pass through the view's
// Projection4D: positions, and normals from the projected derivatives (or from the neighbours'
// projected positions where there are none), so rotations and spins never resample.
// Invariants: the arrays the colour mode needs exist all together or not at all; a sample is valid
// only when its four coordinates, their cube images and the condition (exactly 1.0) hold, and only
// finite values are stored, so nothing that is not a number reaches the drawing; derivatives are
// stored scaled into the cube like the positions (an axis range twice as wide halves them); the
// triangles are built once the last row is sampled and nothing is drawn before.
#pragma once

#include <cstdint>

#include "graphs/core/graph_kind.h"
#include "graphs/view4d/projection_4d.h"

class GraphColor;
struct CompiledFunction;
struct EvalContext;
struct GraphicsContext;

class GraphSurface4D final : public GraphKind4D {
 public:
  // Takes over the four functions of u and v, the colour and the condition (null: none; it sees
  // (u, v, x, y, z, w) of the sample). The range pointers are read at every Compute and must
  // outlive the graph, as must the projection.
  GraphSurface4D(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, CompiledFunction* w, double grain,
                 double opacity, GraphColor* color, CompiledFunction* condition, const double* uMin,
                 const double* uMax, const double* vMin, const double* vMax, GraphicsContext* context,
                 const Projection4D* projection);
  ~GraphSurface4D() override;
  GraphSurface4D(const GraphSurface4D&) = delete;
  GraphSurface4D& operator=(const GraphSurface4D&) = delete;

  void Compute(int32_t budget) override;
  // Nothing in colour mode 13, before the last row, or without arrays. Always true.
  bool Draw() override;
  // 11 ("Undefined or infinite for the coordinate ranges given") without memory or with no valid
  // sample; else 0.
  int32_t Status() override;
  // The colour's expressions are evaluated afresh; a function, a colour expression or the
  // condition that depends on the symbol starts the sampling over.
  void VariableChanged(int32_t symbol, double value) override;
  // 6 the colour index (between two fixed colours nothing more; otherwise new arrays, sampled at
  // once for 60 ticks unless the mode is the picture's), 7 the opacity, 8 the grain.
  void SetOption(int32_t code, double value) override;
  void Invalidate() override { Reset(); }
  // The colour prepared and the last row sampled; also true without arrays (memory was refused:
  // Status says so).
  bool IsComplete() override;
  // The largest length of a valid sample in cube coordinates.
  double Extent() override;

  int32_t GridSize() const { return n_; }
  bool HasDerivatives() const { return hasDerivatives_ != 0; }
  bool AnalyticNormals() const { return analyticNormals_ != 0; }
  double Opacity() const { return opacity_; }
  int32_t VertexCount() const;  // n^2 times the copies a sample has
  uint32_t TriangleCount() const { return triangleCount_; }
  const uint32_t* Triangles() const { return triangles_; }
  const uint8_t* Valid() const { return valid_; }
  const double* Points() const { return cube_; }  // 4 a sample, cube coordinates
  const float* Vertices() const { return vertices_; }  // of the last Draw
  const float* Normals() const { return normals_; }
  const float* Colors() const { return colors_; }
  const float* TexCoords() const { return texCoords_; }

 private:
  void PrepareFunctions();
  void Allocate();
  void FreeArrays();
  void Reset();
  // Sample (row, column) at (u, v): positions, derivatives, condition, colour.
  void ComputeSample(int32_t i, int32_t j, double u, double v, const CubeAxis axes[4]);
  // Projected positions and normals of every sample (in both copies).
  void ProjectSamples();

  GraphicsContext* context_;
  const Projection4D* projection_;
  CompiledFunction* function_[4];
  CompiledFunction* derivative_[8] = {};  // d/du of x, y, z, w, then d/dv; all or none
  CompiledFunction* condition_;
  GraphColor* color_;
  double opacity_;
  const double* uMin_;
  const double* uMax_;
  const double* vMin_;
  const double* vMax_;
  EvalContext* evalContext_ = nullptr;
  double* cube_ = nullptr;        // 4 a sample
  float* slopes_ = nullptr;       // 8 a sample: the derivatives, scaled into the cube
  float* vertices_ = nullptr;     // 3 a vertex
  float* normals_ = nullptr;      // 3 a vertex
  float* colors_ = nullptr;       // 3 a vertex, modes with colour arrays
  float* texCoords_ = nullptr;    // 2 a sample, mode 8
  uint32_t* triangles_ = nullptr;  // 3 a triangle, 2 (n - 1)^2 at most
  uint8_t* valid_ = nullptr;
  uint32_t arraysMode_ = 0;  // the colour mode the arrays were made for
  int32_t n_;
  int32_t row_ = 0;
  int32_t column_ = -1;
  int32_t validCount_ = 0;
  uint32_t triangleCount_ = 0;
  uint8_t hasDerivatives_ = 0;
  uint8_t analyticNormals_ = 1;
  uint8_t complete_ = 0;
  uint8_t colourDue_ = 0;  // the colour is yet to be kept off the GPU (its first Compute does it)
  double maxRadius_ = 0.0;
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind4D* NewSurface4DGraph(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, CompiledFunction* w,
                               double grain, double opacity, GraphColor* color, CompiledFunction* condition,
                               const double* uMin, const double* uMax, const double* vMin, const double* vMax,
                               GraphicsContext* context, const Projection4D* projection);
