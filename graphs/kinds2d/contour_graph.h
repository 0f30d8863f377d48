// GraphContour2D: level lines of a function of x and y: n simple levels chosen in a sampled range,
// crossings located on the edges of a fixed 50 x 50 grid of cells (two triangles each) and joined
// into segments. Invariants: the level choice writes only its 24 slots; the range is measured only
// inside Compute, and while a measure is due the graph is neither complete nor holds valid levels;
// each crossing is one point shared by the cells on both sides of its edge, so points of closed
// lines lie on two segments; a graph whose memory ran out stops, complete and empty, until it is
// invalidated.
#pragma once

#include <cstdint>

#include "graphs/core/graph_kind.h"
#include "graphs/view2d/view_map.h"
#include "kernel/memory/chunk_pool.h"
#include "kernel/numeric/numeric_helpers.h"

class GraphColor;
struct CompiledFunction;

inline constexpr int32_t kMaxLevels = 24;
inline constexpr int32_t kContourGrid = 50;

struct ContourPoint {
  double x, y;
  int16_t level;
};
struct ContourSegment {
  int32_t first, second;  // point indexes
};

// Chooses n simple levels (4 <= n <= 24) in [min, max] into levels[0..n-1], ascending: an anchor
// c, the simplest number in the range, and a step NiceRoundStep((max - min) / n), levels reaching
// at most n steps round c, never below the sampled range by more than it needs (c = 0 is exactly
// a level). Returns n, the levels strictly ascending; 1 (the value itself) when min = max; 0 when
// the range is empty, not finite or too narrow or wide to step through (anchor candidates past
// 2^53, or a step too fine for the values to keep n levels apart). Never divides by zero, never
// loops without bound, never writes past levels[n - 1].
int32_t ChooseContourLevels(double min, double max, int32_t n, double levels[kMaxLevels]);

class GraphContour2D final : public GraphKind2D {
 public:
  // Takes over the function (compiled here) and the colour. The level count comes from the grain
  // (clamped, so 4..24); the range is measured by the first Compute. A row buffer that cannot be
  // had posts error 7.
  GraphContour2D(CompiledFunction* function, double grain, GraphColor* color, const ViewMap* map);
  ~GraphContour2D() override;
  GraphContour2D(const GraphContour2D&) = delete;
  GraphContour2D& operator=(const GraphContour2D&) = delete;

  // The range measure when one is due (whole, whatever the budget), then cell by cell; the clock
  // is read after each cell.
  void Compute(int32_t budget) override;
  bool Draw() override;
  // 10 ("Undefined or constant throughout the region shown") while there is no segment.
  int32_t Status() override;
  void VariableChanged(int32_t symbol, double value) override;
  // 6: colour index; 8: level count of the grain, the range to be measured and the levels chosen
  // again by the next Compute.
  void SetOption(int32_t code, double value) override;
  // The segments go; a range measured with no valid levels (a constant, say) is measured again.
  void Invalidate() override;
  bool IsComplete() override;
  void GeometryChanged() override { Invalidate(); }
  void Scroll(int32_t, int32_t) override { Invalidate(); }
  // The lowest level whose line passes within 4 pixels becomes the selected level.
  bool HitTest(double x, double y) override;
  // Mode 7: the point on the selected level's line nearest the point, Value the level.
  ProbeRecord Probe(double x, double y) override;
  // The level tmax (or, for tmax = +infinity, the level of the nearest segment) round the point;
  // the argument of all three points is that level.
  NearestPointRecord NearestPoint(double x, double y, double tolerance, double tmin, double tmax) override;

  // Read access for the tests.
  bool LevelsValid() const { return levelsValid_ != 0; }
  int32_t LevelCount() const { return levelCount_; }
  const double* Levels() const { return levels_; }
  int32_t SelectedLevel() const { return selectedLevel_; }
  const ChunkPool<ContourPoint>& Points() const { return points_; }
  const ChunkPool<ContourSegment>& Segments() const { return segments_; }

 private:
  struct RowEntry {
    double value;                // the corner value carried to the next row
    int32_t points[kMaxLevels];  // point index + 1 on the lower edge, per level; 0 none
  };
  // The levels no longer hold and the next Compute measures the range.
  void MeasureLater();
  // The 20 x 20 sample of the present frame and the level choice from its range. Evaluates: runs
  // only inside Compute, and clears the due flag only past its last evaluation.
  void MeasureAndChooseLevels();
  // A cleared row buffer and the grid of the present map; the computation restarts.
  void AllocateGrid();
  // One cell; false when a pool refused an append.
  bool ComputeCell(int32_t c, int32_t r);
  // The crossing of each level k on one edge into out[k] (level -1 where there is none).
  void EdgeCrossings(double xa, double ya, double va, double xb, double yb, double vb, ContourPoint* out);
  void Stop();
  // The segment nearest (x, y) with y scaled by the aspect, of one level (or any for -1); -1 none.
  int32_t NearestSegment(double x, double y, int32_t level) const;

  const ViewMap* map_;
  CompiledFunction* function_;
  RealEvaluator f_;
  GraphColor* color_;
  ChunkPool<ContourPoint> points_;
  ChunkPool<ContourSegment> segments_;
  RowEntry* rowBuffer_ = nullptr;  // counted memory, kContourGrid + 1 entries
  double carryValue_ = 0;          // corner 2 of the cell before, along the row
  int32_t carryPoints_[kMaxLevels] = {};
  uint8_t levelsValid_ = 0;
  uint8_t measureDue_ = 0;  // the next Compute measures the range before any cell
  double levels_[kMaxLevels] = {};
  int32_t levelCount_;
  int32_t selectedLevel_ = 0;
  double xmin_ = 0, ymin_ = 0, cw_ = 0, ch_ = 0;
  int32_t nextCell_ = 0;
  int32_t nextRow_ = 0;
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind2D* NewContourGraph(CompiledFunction* function, double grain, GraphColor* color, const ViewMap* map);
