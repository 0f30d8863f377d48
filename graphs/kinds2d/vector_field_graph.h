// GraphVectorField2D: the plane field (x, y) = F(x, y) as arrows on a square grid of samples,
// Spacing map pixels apart (FactorH round(100 - 90 q)), the longest as long as Spacing (or all of
// one length, in pixels), computed row by row. Invariants: samples lie at the y axis' column - 6 +
// k Spacing and on its row + k Spacing, also across scrolls; the grid is (width - OffsetH) /
// Spacing + 3 columns by (height - OffsetV) / Spacing + 3 rows, one spacing beyond the first edges
// and past the last ones, at most kMaxFieldSamples; only computed (done) samples of the grid are
// read; MaxMagnitude is that of the grid's computed samples; without samples it is complete.
#pragma once

#include <cmath>
#include <cstdint>

#include "graphs/core/graph_kind.h"
#include "graphs/view2d/view_map.h"

class GraphColor;
struct CompiledFunction;

inline constexpr int32_t kMaxFieldSamples = 1 << 20;

struct FieldSample {
  double x, y;    // world position
  double fx, fy;  // the field there
  uint8_t done;
};

// The arrow of a sample in world units as drawn: scaled by Spacing / MaxMagnitude, shortened by
// up to 6 pixel steps along its direction on the screen for the head, or Spacing - 8 pixels long
// in that direction with equal lengths.
struct ArrowWorld {
  double ax, ay;
};

class GraphVectorField2D final : public GraphKind2D {
 public:
  // Takes over both functions (compiled here) and the colour. A grain outside [0, 1] or NaN is
  // clamped first. Samples that cannot be had post error 7.
  GraphVectorField2D(CompiledFunction* fieldX, CompiledFunction* fieldY, GraphColor* color, uint8_t equalLength,
                     const ViewMap* map, double grain);
  ~GraphVectorField2D() override;
  GraphVectorField2D(const GraphVectorField2D&) = delete;
  GraphVectorField2D& operator=(const GraphVectorField2D&) = delete;

  // A row once started is finished; the clock is read after each.
  void Compute(int32_t budget) override;
  // Shafts antialiased, heads shaded by their 4 x 4 sample coverage, a dot where F is infinite.
  bool Draw() override;
  // 1 when no computed arrow reaches into the view, else 0.
  int32_t Status() override;
  void VariableChanged(int32_t symbol, double value) override;
  // 6: colour index; 8: grain (new spacing); 11: equal lengths.
  void SetOption(int32_t code, double value) override;
  void Invalidate() override;
  bool IsComplete() override;
  void GeometryChanged() override;
  // Kept samples move with the plane (a whole-pixel move at the same scale); only new ones are
  // computed, and the scale is that of the samples kept until they are. Any other move starts over.
  void Scroll(int32_t dh, int32_t dv) override;
  // Within 4 pixels of an arrow.
  bool HitTest(double x, double y) override;
  // Mode 9: the field and its drawn arrow at the point (also for a hidden, no-fill colour).
  ProbeRecord Probe(double x, double y) override;
  NearestPointRecord NearestPoint(double, double, double, double, double) override { return NoNearestPoint(); }

  ArrowWorld ArrowVector(double fx, double fy) const;
  // Read access for the tests.
  const FieldSample& SampleAt(int32_t column, int32_t row) const { return At(column, row); }
  int32_t Columns() const { return columns_; }
  int32_t Rows() const { return rows_; }
  int32_t Spacing() const { return spacing_; }
  int32_t OffsetH() const { return offsetH_; }
  int32_t OffsetV() const { return offsetV_; }
  double MaxMagnitude() const { return maxMagnitude_; }
  GraphColor* Color() const { return color_; }
  // Points evaluated (one a sample) since construction.
  uint64_t Evaluations() const { return evaluations_; }

 private:
  // Spacing, grid offsets and a fresh (not computed) sample grid for the present map.
  void AllocateSamples();
  // Columns and rows of the grid from the offsets (within the room allocated).
  void SizeGrid();
  FieldSample& At(int32_t column, int32_t row) { return samples_[row * stride_ + column]; }
  const FieldSample& At(int32_t column, int32_t row) const { return samples_[row * stride_ + column]; }
  // Calls visit for each computed sample of the grid without a NaN component, row by row, until
  // it returns true; true when it did.
  template <typename Visit>
  bool AnySample(Visit visit) const {
    for (int32_t j = 0; j < rows_; ++j) {
      for (int32_t i = 0; i < columns_; ++i) {
        const FieldSample& s = At(i, j);
        if (s.done && !std::isnan(s.fx) && !std::isnan(s.fy) && visit(s)) return true;
      }
    }
    return false;
  }
  // sqrt(fx^2 + a^2 fy^2) with a = UnitsPerPixelX / UnitsPerPixelY: the length in x units.
  double Magnitude(const FieldSample& s) const;
  // Step 1 of ArrowVector: (fx, fy) / MaxMagnitude x UnitsPerPixelX Spacing, finite for a grid
  // sample whatever the field's size. Only with a scale: some computed sample not zero.
  ArrowWorld ScaledVector(double fx, double fy) const;
  bool HasScale() const { return maxMagnitude_ > 0; }

  const ViewMap* map_;
  ViewMap samplesMap_;  // the map the samples' grid was laid on
  CompiledFunction* fieldX_;
  CompiledFunction* fieldY_;
  GraphColor* color_;
  FieldSample* samples_ = nullptr;  // counted memory, stride_ x capacityRows_, row by row
  double maxMagnitude_ = 0;
  uint8_t equalLength_;
  double grain_;  // clamped into [0, 1]
  int32_t spacing_ = 1;
  int32_t offsetH_ = 0;
  int32_t offsetV_ = 0;
  int32_t columns_ = 0;  // the grid, within the room below
  int32_t rows_ = 0;
  int32_t stride_ = 0;  // room for the largest grid the frame's offsets give
  int32_t capacityRows_ = 0;
  int32_t nextColumn_ = 0;
  int32_t nextRow_ = 0;
  uint64_t evaluations_ = 0;
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind2D* NewVectorFieldGraph(CompiledFunction* fieldX, CompiledFunction* fieldY, GraphColor* color,
                                 uint8_t equalLength, const ViewMap* map, double grain);
