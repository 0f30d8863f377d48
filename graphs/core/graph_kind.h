// The abstract graph bases: one equation's graph as a 2D, 3D or 4D view sees it, and the records a
// 2D graph answers the probe with. Views and the view set reach graphs only through these virtual
// operations. Contract of every graph: Compute keeps its progress between calls, so many small
// budgets finish the same picture as one large one; IsComplete turns true once nothing is left to
// compute at the present parameters and geometry, and a graph whose memory was refused reports
// complete (its Status carries the message), so the idle loop never spins on it.
#pragma once

#include <cstdint>

#include "kernel/memory/growable_array.h"

struct CompiledFunction;

// The graph result message of the kinds that found no point to draw in their ranges ("Undefined or
// infinite for the coordinate ranges given").
inline constexpr int32_t kMessageUndefinedForRanges = 11;
// The graph result message of a graph some of whose values gave up on their sums, past the work
// limit of one evaluation ("Too many terms to sum at some points"); those points draw nothing.
inline constexpr int32_t kMessageTooManyTerms = 26;

// What the view's tick (TickGraphList) learnt of a graph's computing: whether some evaluation gave
// up on its sums during the run now under way, and during the last run that finished.
struct GaveUpRecord {
  bool thisRun = false;
  bool lastRun = false;
};

// The operations the three bases share, in slot order. The bases' only data is the tick's record and
// the graph's serial.
class GraphKind {
 public:
  GraphKind();
  GraphKind(const GraphKind& other);  // a copy is another graph: a serial of its own
  GraphKind& operator=(const GraphKind& other);  // the record only
  virtual ~GraphKind() = default;
  // Computes for at most `budget` timer units (ElapsedTimerUnits counts them); 0 or less
  // computes nothing.
  virtual void Compute(int32_t budget) = 0;
  // Draws into the view's current target. False when the graph could not draw a finished
  // picture (the 3D view then stops its frame); the kinds that always draw return true.
  virtual bool Draw() = 0;
  // 0, or the number (1..26) of the graph result message to show under the equation row.
  virtual int32_t Status() = 0;
  // A parameter (symbol id) took a new value: what depends on it becomes stale, nothing is
  // rebuilt here.
  virtual void VariableChanged(int32_t symbol, double value) = 0;
  // Graph options: 0 PlottingMode, 5 hand the samples to the mesh, 6 colour index, 7 opacity,
  // 8 grain, 11 equal-length arrows; unknown codes are ignored.
  virtual void SetOption(int32_t code, double value) = 0;
  // Discards computed results; the next Compute starts over.
  virtual void Invalidate() = 0;
  virtual bool IsComplete() = 0;

  // A number no other graph of the process has had, each new graph's higher than any before: what
  // tells a list of graphs made again from the list it replaced.
  uint64_t Serial() const { return serial_; }

  GaveUpRecord gaveUp;  // kept by TickGraphList, read by GraphListStatus

 private:
  uint64_t serial_;
};

// The pointer lists a probe may carry (x, y pairs).
struct ProbePoint {
  double x;
  double y;
};

// What a 2D graph reads out under the pointer. Mode: 0 nothing, 1 a point value, 2 a value with
// extents, 7 a level-line point, 8 a raster value, 9 a field vector, 10 two point lists,
// 11 a draggable point. The view's drawn word is this record's Mode.
struct ProbeRecord {
  double value;
  double x;
  double y;
  double aux[10];  // kind-specific; mode 2 extents in aux[2..5], mode 9 vectors in aux[6..9]
  uint32_t rgb;
  uint32_t mode;
  uint8_t snapped;
  GrowArray<ProbePoint>* listA;  // owned by the record until the view takes them (mode 10)
  GrowArray<ProbePoint>* listB;
};
// Clears every field except aux[0] and aux[1], which are left as they are.
void InitProbeRecord(ProbeRecord* record);
// A mode-10 record's point lists: made by the graph kinds, taken over by the view the moment it
// stores the record (the record's pointers are then cleared), and disposed by the view.
// NewProbeList answers null when memory is refused; DisposeProbeList ignores null.
GrowArray<ProbePoint>* NewProbeList();
void DisposeProbeList(GrowArray<ProbePoint>* list);

// A probe list while a query fills it between evaluations: disposed if the query unwinds (a job
// abandoned at one of those evaluations), handed to the record by Release once it is whole.
class HeldProbeList {
 public:
  HeldProbeList() = default;
  ~HeldProbeList() { DisposeProbeList(list_); }
  HeldProbeList(const HeldProbeList&) = delete;
  HeldProbeList& operator=(const HeldProbeList&) = delete;
  // A new empty list (NewProbeList); null when memory is refused.
  GrowArray<ProbePoint>* Make() {
    DisposeProbeList(list_);
    return list_ = NewProbeList();
  }
  // The list, no longer held (null when none was made).
  GrowArray<ProbePoint>* Release() {
    GrowArray<ProbePoint>* list = list_;
    list_ = nullptr;
    return list;
  }

 private:
  GrowArray<ProbePoint>* list_ = nullptr;
};

// The points around a graph's nearest point to a probe: (argument, plot x, plot y) before, at
// and after it, and whether one was found.
struct NearestPointRecord {
  double before[3];
  double at[3];
  double after[3];
  uint8_t found;
};
// The shared answer of kinds that have no nearest point: all zero, found clear.
NearestPointRecord NoNearestPoint();

// Disposes a function a graph owns and deletes the object; null is ignored.
void DeleteCompiledFunction(CompiledFunction* function);
// The compiled derivative of a compiled function by the symbol, when the function uses only smooth
// operators and the algebra could work it out; null otherwise (the tests that need it are then
// skipped rather than fed NaN).
CompiledFunction* NewCompiledDerivative(const CompiledFunction* function, int32_t symbol);
// The functions (null ones passed over) evaluate their constant parts afresh at their next use: a
// parameter moved, or a value was cached as NaN while memory was refused.
void ForgetCachedConstants(CompiledFunction* const* functions, int count);
// A parameter changed: ForgetCachedConstants of the functions; true when one of them depends on
// the symbol.
bool ForgetBindingsOf(CompiledFunction* const* functions, int count, int32_t symbol);

// The deadline of a Compute of `budget` timer units from now (a budget below 0 counts as 0), for
// DeadlineReached.
uint32_t ComputeDeadline(int32_t budget);

// A row value (colour index, plotting mode, xy type) as the kinds and the factory read it: truncated
// toward zero to 32 bits, saturating; NaN gives the most negative value.
int32_t TruncateToInt32(double value);

// The equation row's grain (resolution) q as the kinds size their grids by it: into [0, 1], NaN
// giving the default 0.5. The grain comes from a document as it stands, and the kinds' formulas
// hold for 0..1 only: above 1 they size grids past the finest one (the arrow spacing 100 - 90 q
// reaches 0 at q = 10/9), below 0 the level count falls to 0 and under (the raster's bands then
// divide by it).
double ClampGrain(double q);
// The number of level lines or raster bands the grain asks for: trunc(20 q + 4.5) of the clamped
// grain, so 4 (q = 0) to 24 (q = 1).
int32_t LevelCountOfGrain(double q);
// Samples of a curve of the grain q: trunc(800 q + 200) of the clamped grain, 200 (q = 0) to 1000
// (q = 1).
int32_t CurveSamplesOfGrain(double q);
// The parameter of sample k of `count` (at least 2) over [t0, t1]: t0 + k (t1 - t0) / (count - 1),
// and the last sample (k >= count - 1) exactly t1, whatever the rounding of the steps.
double CurveSampleParameter(int32_t k, int32_t count, double t0, double t1);
// A grid size trunc(a q + b) from the grain as it stands, for the kinds whose formulas hold past
// q = 1 (a finer grid is asked for on purpose): NaN, or a grain whose size would fall outside
// [low, high], gives the size of the default grain 0.5 instead, so no size is ever 1 (a step of
// range / (n - 1) would divide by zero), negative, or past what the kind can index.
int32_t GrainSize(double q, double a, double b, int32_t low, int32_t high);

class GraphKind2D : public GraphKind {
 public:
  // The view's scale or origin changed.
  virtual void GeometryChanged() = 0;
  // The view scrolled by whole pixels; a kind may shift what it computed.
  virtual void Scroll(int32_t dh, int32_t dv) = 0;
  // The world point lies on the graph.
  virtual bool HitTest(double x, double y) = 0;
  virtual ProbeRecord Probe(double x, double y) = 0;
  // Nearest point within tolerance (argument units) and the argument range [tmin, tmax].
  virtual NearestPointRecord NearestPoint(double x, double y, double tolerance, double tmin, double tmax) = 0;
  // Order of the pointer search: class 0 is found first, class 1 last, the default 2 between.
  virtual int32_t HitClass() { return 2; }
};

class GraphKind3D : public GraphKind {
 public:
  // The graph's extent for the view's framing.
  virtual double Extent() = 0;
  virtual bool IsTransparent() { return false; }
};

class GraphKind4D : public GraphKind {
 public:
  virtual double Extent() = 0;
};
