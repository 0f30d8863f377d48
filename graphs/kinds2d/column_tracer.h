// The column tracer of the traced function graphs: what one pixel column (a pixel row for a
// function of y) must show, decided from point values and interval bounds of f over exactly that
// column: a segment between its end values, the interval hull (steep parts, jumps), a pole, or
// nothing. Invariants: the classification is sound (a column where f has a value somewhere is
// never dropped: one the interval machine cannot decide is subdivided, down to 512 pieces, or
// drawn by its hull, as is one at a domain edge with values on part of it only); every loop is
// bounded (512, 2048, ten pieces a pass, 64 halvings); nothing here allocates.
#pragma once

#include <cstdint>

#include "kernel/numeric/interval.h"

struct CompiledFunction;
struct ViewMap;

// The 21 ascending fractions of a column at which f is sampled (the monotony test, the probe's
// sign-change test), ending at the column's upper end.
inline constexpr double kColumnValueFractions[21] = {0.005, 0.047, 0.175, 0.196, 0.216, 0.217, 0.341,
                                                     0.343, 0.449, 0.496, 0.549, 0.596, 0.637, 0.651,
                                                     0.729, 0.748, 0.845, 0.891, 0.909, 0.922, 1.0};

// 2^-52 (|a| + |b|) / 2: the narrowest piece of [a, b] a search goes down to.
double ColumnTolerance(double a, double b);

// What a column shows.
enum ColumnState : uint32_t {
  kColumnPending = 0,    // not computed
  kColumnSegment = 1,    // draw low..high, the sorted end values
  kColumnHull = 2,       // draw the interval hull low..high
  kColumnPole = 3,       // a pole lies in the column
  kColumnUndefined = 4,  // nothing is drawn
};

// Trace modes (PlottingMode): end values only, interval hull only, the full analysis.
enum TraceMode : uint32_t { kTraceEndValues = 0, kTraceHull = 1, kTraceFull = 2 };

struct TraceColumn {
  double center;    // the column's centre on the argument axis
  double low;       // the extent of f drawn in the column
  double high;
  double endValue;  // f at the column's upper end; the next column reuses it
  uint32_t state;   // a ColumnState
};

// f, its derivative by the argument (null: every test that needs f' is skipped), and the map
// whose pixels the hull tests count in. Orientation 1: f gives y (rows); 0: f gives x (columns).
struct ColumnTracer {
  CompiledFunction* function;
  CompiledFunction* derivative;
  const ViewMap* map;
  uint8_t orientation;
};

// Computes `column` over [a, b] in the trace mode: the lower end value is the previous column's
// endValue when it is computed, else f(a). A mode other than 0, 1, 2 sets only endValue and centre.
void TraceColumnOver(const ColumnTracer& tracer, uint32_t traceMode, double a, double b, const TraceColumn* previous,
                     TraceColumn* column);
// The full analysis of [a, b] given the end values ya = f(a), yb = f(b): the state, with the
// extent to draw in *low, *high (the sorted end values for a segment, the hull otherwise).
uint32_t ClassifyTraceColumn(const ColumnTracer& tracer, double a, double b, double ya, double yb, double* low,
                             double* high);
// The monotony test: f' keeps one sign at 21 sample fractions, agrees with the direction of the
// end values at both ends, and f's differences at 21 ascending fractions keep one sign.
bool IsMonotoneOn(const ColumnTracer& tracer, double a, double b);
// The isolated-gap test: the part of [a, b] without values narrows, ten pieces a pass, to an end
// piece of at most 2^-52 (|a| + |b|) / 2 (a hole), or pieces with and without gaps alternate.
bool HasIsolatedGap(const ColumnTracer& tracer, double a, double b);
// Interval bounds of f over [a, b]; *partly: some point of it may have no value (a NaN bound, or
// a partial domain met: sqrt over [-1, 1] is [0, 1], with values on half of the range only).
Interval IntervalOverRange(CompiledFunction* f, double a, double b, bool* partly);
// The pixel (row for orientation 1, column for 0) of a function value, clamped by the map.
int32_t ValuePixel(const ColumnTracer& tracer, double value);
