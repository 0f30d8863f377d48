// GraphCurve4D: a curve of 4D space in the 4D view: the parametric curve (x, y, z, w) = f(t) of n
// samples over the t range, or the polyline through a comma list of constant 4-vectors. Samples
// are computed under the time budget into the view's cube [-1, 1]^4 and projected through the
// view's Projection4D at every drawing pass, so rotating or spinning the view never resamples.
// Invariants: the five arrays exist all together or not at all; a sample is valid only when all
// four coordinates (and their cube images) are finite and the condition is exactly 1.0, and no
// segment touches an invalid sample or one behind the eye; 2 <= n <= 65535 for the parametric
// curve (16-bit line indices), n = the number of items for a list.
#pragma once

#include <cstdint>

#include "graphs/core/graph_kind.h"
#include "graphs/view4d/projection_4d.h"

class GraphColor;
struct CompiledFunction;
struct GraphicsContext;

class GraphCurve4D final : public GraphKind4D {
 public:
  // (x, y, z, w) = f(t) with t already renamed u in the four functions; the condition (null:
  // none; t in it is read as u) sees the sample's t as u and x, y, z, w as the sample's
  // coordinates. Takes over the functions, the condition and the colour; n from the grain.
  GraphCurve4D(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, CompiledFunction* w,
               CompiledFunction* condition, GraphColor* color, double grain, GraphicsContext* context,
               const Projection4D* projection, const double* tMin, const double* tMax);
  // The polyline through the items of a comma list of 4x1 matrices of constants (or one such
  // matrix alone); an item of another shape is an invalid sample.
  GraphCurve4D(CompiledFunction* list, GraphColor* color, GraphicsContext* context, const Projection4D* projection);
  ~GraphCurve4D() override;
  GraphCurve4D(const GraphCurve4D&) = delete;
  GraphCurve4D& operator=(const GraphCurve4D&) = delete;

  void Compute(int32_t budget) override;
  // Projects the valid samples and draws the segments between neighbours both valid and in front
  // of the eye. Always true.
  bool Draw() override;
  // 11 ("Undefined or infinite for the coordinate ranges given") without samples, without memory,
  // or with no valid sample; else 0.
  int32_t Status() override;
  // Starts over when a function or the condition depends on the symbol.
  void VariableChanged(int32_t symbol, double value) override;
  // 6 the colour index; 8 the grain (parametric curve: new arrays, started over).
  void SetOption(int32_t code, double value) override;
  void Invalidate() override { Reset(); }
  // Every sample computed; also true without arrays (memory was refused: Status says so).
  bool IsComplete() override;
  // The largest length of a valid sample in cube coordinates.
  double Extent() override;

  int32_t SampleCount() const { return count_; }
  int32_t LastSample() const { return next_; }
  const double* Points() const { return points_; }  // 4 a sample, cube coordinates
  const uint8_t* Valid() const { return valid_; }
  const float* Vertices() const { return vertices_; }  // of the last Draw
  const uint16_t* Lines() const { return lines_; }
  uint32_t LineCount() const { return lineCount_; }
  // The t of sample k (the last one exactly t1).
  double SampleParameter(int32_t k, double t0, double t1) const;

 private:
  void Allocate();
  void FreeArrays();
  void Reset();
  // The coordinates of list item k; NaN where the item is not a 4x1 matrix.
  void ListItem(int32_t k, double out[4]) const;

  GraphicsContext* context_;
  const Projection4D* projection_;
  const double* tMin_;
  const double* tMax_;
  CompiledFunction* function_[4] = {nullptr, nullptr, nullptr, nullptr};  // the list alone in [0] for a list
  CompiledFunction* condition_ = nullptr;
  GraphColor* color_;
  double* points_ = nullptr;
  uint8_t* valid_ = nullptr;
  float* vertices_ = nullptr;
  uint16_t* lines_ = nullptr;
  uint8_t* visible_ = nullptr;
  int32_t count_ = 0;
  int32_t next_ = -1;
  int32_t validCount_ = 0;
  uint32_t lineCount_ = 0;
  double maxRadius_ = 0.0;
  uint32_t kind_ = 0;  // 0 parametric, 1 list
};

// The factory's constructors of the kind: null (nothing taken over) when the object cannot be had.
GraphKind4D* NewCurve4DGraph(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, CompiledFunction* w,
                             CompiledFunction* condition, GraphColor* color, double grain, GraphicsContext* context,
                             const Projection4D* projection, const double* tMin, const double* tMax);
GraphKind4D* NewCurveList4DGraph(CompiledFunction* list, GraphColor* color, GraphicsContext* context,
                                 const Projection4D* projection);
