// GraphCurve3D: a curve of a 3D view, (x, y, z) as functions of one parameter (t, renamed u by
// the factory) over the document's t range, sampled at n evenly spaced values (both ends
// included) under the time budget and drawn as one line mesh joining neighbouring valid samples.
// Invariants: n = trunc(800 q + 200) of the clamped grain, so 200..1000 samples and every
// segment index fits 16 bits; a sample is valid only when x, y, z are all finite and the optional
// condition is exactly 1.0 there, and an invalid sample is stored as NaN so it breaks the curve;
// without its arrays (memory refused, error 7) the graph is complete, draws nothing and reports
// 11; it owns its functions, condition, colour, mesh and arrays.
#pragma once

#include <cstdint>

#include "graphics/gl/gl_mesh.h"
#include "graphs/core/graph_kind.h"

class GraphColor;
struct CompiledFunction;
struct GraphicsContext;

class GraphCurve3D final : public GraphKind3D {
 public:
  // Takes over the three coordinate functions (compiled together), the condition (of x, y, z and
  // the parameter u; null: none) and the colour (a fixed colour is brightened); allocates the arrays. The range
  // bounds are read at every sample and must outlive the graph.
  GraphCurve3D(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, CompiledFunction* condition,
               GraphColor* color, double grain, GraphicsContext* context, const double* tMin, const double* tMax);
  ~GraphCurve3D() override;
  GraphCurve3D(const GraphCurve3D&) = delete;
  GraphCurve3D& operator=(const GraphCurve3D&) = delete;

  // Samples until the deadline (the clock is read after each sample); the call that takes the last
  // sample joins the segments and measures the extent. Nothing once complete, nor for a budget of
  // 0 or less.
  void Compute(int32_t budget) override;
  // The line mesh in the colour; nothing for the no-fill colour or without segments. True.
  bool Draw() override;
  // 11 ("Undefined or infinite for the coordinate ranges given") when no sample is valid or the
  // arrays were refused, else 0.
  int32_t Status() override;
  // A function or the condition that mentions the symbol starts the sampling over.
  void VariableChanged(int32_t symbol, double value) override;
  // 5: a finished, changed curve goes to the mesh; 6: colour index (brightened); 8: grain (new
  // arrays); other codes are ignored.
  void SetOption(int32_t code, double value) override;
  void Invalidate() override { Reset(); }
  bool IsComplete() override { return complete_ != 0; }
  double Extent() override { return extent_; }

  // Read access for the tests.
  int32_t SampleCount() const { return sampleCount_; }
  int32_t SegmentCount() const { return segmentCount_; }
  const float* Vertices() const { return vertices_; }
  const uint16_t* Segments() const { return segments_; }
  bool SampleValid(int32_t k) const { return valid_ != nullptr && valid_[k] != 0; }
  const GLMesh& Mesh() const { return mesh_; }

 private:
  // The arrays for n samples; refused memory posts error 7 and leaves none. Then Reset.
  void Allocate();
  void FreeArrays();
  // Back to the first sample; the mesh, its segment count and the extent stay until the next finish.
  void Reset();
  // Joins the neighbouring valid samples and measures the extent.
  void Finish();

  GraphicsContext* context_;
  const double* tMin_;
  const double* tMax_;
  CompiledFunction* coordinate_[3];
  CompiledFunction* condition_;
  GraphColor* color_;
  GLMesh mesh_;
  float* vertices_ = nullptr;     // counted memory, 3 floats a sample (NaN where invalid)
  uint8_t* valid_ = nullptr;      // counted memory, a byte a sample
  uint16_t* segments_ = nullptr;  // counted memory, room for n - 1 index pairs
  int32_t sampleCount_ = 0;
  int32_t nextSample_ = 0;
  int32_t segmentCount_ = 0;  // of the last finished sampling (the mesh's)
  int32_t validCount_ = 0;
  double extent_ = 0.0;
  uint8_t complete_ = 0;
  uint8_t meshDirty_ = 1;
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind3D* NewSpaceCurveGraph(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z,
                                CompiledFunction* condition, GraphColor* color, double grain, GraphicsContext* context,
                                const double* tMin, const double* tMax);
