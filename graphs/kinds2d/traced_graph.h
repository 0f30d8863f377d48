// GraphTraced2D: y = f(x) and a bare f(x) (orientation 1), x = f(y) and a bare f(y) (orientation
// 0), traced without joining samples: one TraceColumn a pixel column (a pixel row, counted upwards
// from the bottom, for a function of y) of the view's drawing map, computed column by column
// under the time budget; drawn, hit, probed and walked from those records.
// Invariants: a record with a state other than 0 was computed for the column it sits in on the
// present map (scrolls and geometry changes keep only records whose centre still matches); the
// centre of column i depends on i and the map alone, so any slicing of Compute gives the same
// records; a graph without column storage is complete and draws, hits and probes nothing.
// The members are implemented by topic: traced_graph.cpp (object, compute, lifecycle, status)
// and traced_graph_queries.cpp (drawing, hit test, probe with feature snap, nearest point).
#pragma once

#include <cstdint>

#include "graphs/kinds2d/column_tracer.h"
#include "graphs/core/graph_kind.h"
#include "graphs/view2d/view_map.h"

class GraphColor;
struct CompiledFunction;

class GraphTraced2D final : public GraphKind2D {
 public:
  // Takes over f (compiled here) and the colour. The derivative by u is made when f uses only
  // smooth operators and the algebra could differentiate it. Column storage that cannot be had
  // posts error 7 and leaves the graph empty.
  GraphTraced2D(CompiledFunction* function, uint8_t orientation, GraphColor* color, uint32_t traceMode,
                const ViewMap* frame);
  ~GraphTraced2D() override;
  GraphTraced2D(const GraphTraced2D&) = delete;
  GraphTraced2D& operator=(const GraphTraced2D&) = delete;

  // ---- GraphKind2D (traced_graph.cpp) ----
  // Reads the clock before each column; a column once started is finished.
  void Compute(int32_t budget) override;
  int32_t Status() override;
  void VariableChanged(int32_t symbol, double value) override;
  // 0: trace mode (exactly 0.0, 1.0 or 2.0; any value resets the columns); 6: colour index.
  void SetOption(int32_t code, double value) override;
  void Invalidate() override;
  bool IsComplete() override;
  void GeometryChanged() override;
  void Scroll(int32_t dh, int32_t dv) override;

  // ---- Queries (traced_graph_queries.cpp) ----
  bool Draw() override;
  // Within 4 pixels of the hull of the five computed columns around the point.
  bool HitTest(double x, double y) override;
  ProbeRecord Probe(double x, double y) override;
  // Trace mode 2 only: a walk of a tenth of a column a step within the tolerance.
  NearestPointRecord NearestPoint(double x, double y, double tolerance, double tmin, double tmax) override;

  // Read access for the view's tests and the benchmarks.
  const TraceColumn* Columns() const { return columns_; }
  int32_t ColumnCount() const { return columnCount_; }
  int32_t NextColumn() const { return nextColumn_; }
  uint32_t TraceModeValue() const { return traceMode_; }
  uint8_t Orientation() const { return orientation_; }
  CompiledFunction* Function() const { return function_; }
  CompiledFunction* Derivative() const { return derivative_; }
  GraphColor* Color() const { return color_; }

 private:
  ColumnTracer Tracer() const;
  // The frame's width (orientation 1) or height; 0 for an inverted frame.
  int32_t FrameColumnCount() const;
  // Centre of column i on the argument axis, and the column's width.
  double ColumnCenter(int32_t i) const;
  double ColumnWidth() const;
  // Column index of an argument value (outside 0..count-1 when outside the frame).
  int32_t ColumnOfArgument(double t) const;
  // Every record to state 0, nextColumn 0; the map is noted as the one computed on.
  void ResetColumns();
  // After records moved or the map changed: a record stays only when its centre is still its
  // column's and the value axis kept its scale and moved by whole pixels; the map is noted.
  void DropStaleColumns();
  double EvaluateAt(double t) const;
  // Feature snap of a mode-2 probe (traced_graph_queries.cpp).
  void SnapToFeature(int32_t i, double x, ProbeRecord* record);
  uint32_t NeighbourState(int32_t j, double a, double b) const;

  const ViewMap* frame_;
  CompiledFunction* function_;
  CompiledFunction* derivative_ = nullptr;
  int32_t nextColumn_ = 0;
  int32_t columnCount_ = 0;
  TraceColumn* columns_ = nullptr;  // counted memory, columnCount_ records
  GraphColor* color_;
  uint32_t traceMode_;
  uint8_t orientation_;
  ViewMap computedMap_;  // the map the records were computed on
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind2D* NewTracedGraph(CompiledFunction* function, uint8_t orientation, GraphColor* color, uint32_t traceMode,
                            const ViewMap* frame);
