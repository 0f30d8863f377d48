// What the graph factory builds on: attaching graphs to views with their graph-table rows, the
// coordinate and parameter ranges in use (13 range indexes), the coordinate transformation and
// the companion of a traced graph, the expression operations of equation preparation, the two
// form predicates, and BuildGraphsForEquationSet, which empties the set before the factory runs.
// Invariants: an attachment either appends the graph and its row or changes nothing (the graph
// stays the caller's); a companion fills a placement of the last row only after its main graph
// was attached, never a row that does not exist; every expression operation leaves a tree whose
// parent links hold, and frees what it copied when memory runs out.
#pragma once

#include <cstdint>

#include "graphs/viewset/graph_view_set.h"

class DocumentServices;
class GraphColor;
struct CompiledFunction;
struct ExprNode;

// What building one form's graphs came to: built (a row added), its kinds not there, or failed
// (nothing added; error 7 posted where memory ran out).
enum class FormBuild : int32_t { kBuilt, kKindMissing, kFailed };

// The document's coordinate transformation; the factory only reads it.
enum TransformMode : uint32_t {
  kTransformNone = 0,
  kTransformPlaneBackwards = 1,  // x and y given as functions of x' and y'
  kTransformPlaneForwards = 2,   // x' and y' given as functions of x and y
  kTransformSpace = 4,           // x', y', z' as functions of x, y, z
};
struct CoordinateTransform {
  uint32_t mode = kTransformNone;
  ExprNode* expression1 = nullptr;  // owned by the document
  ExprNode* expression2 = nullptr;
  ExprNode* expression3 = nullptr;
  double colorIndex = 1.0;  // colour of the transformation's own graph in the second 2D view
  // The grain of the textured image of mode 2: a row's Grain, the rows' default while the map
  // comes from a document setting rather than a row of its own.
  double grain = 0.5;
  uint32_t rowKey = 0;      // the row whose parameter list that graph uses
};

// The coordinate and parameter ranges the views share, by index.
enum RangeIndex : int32_t {
  kRangeX = 0, kRangeY = 1, kRangeZ = 2,  // the first 3D view's box
  kRangeW = 3,                            // the 4D view's fourth axis
  kRangeSecondX = 4, kRangeSecondY = 5, kRangeSecondZ = 6,
  kRangeR = 7, kRangeTheta = 8, kRangePhi = 9, kRangeT = 10, kRangeU = 11, kRangeV = 12,
  kRangeCount = 13,
};

// ---- Attachment ----
// Appends the graph to the view's list and a row {that view, the graph's index there} to the
// graph table. True on success; false (no view, no graph, or memory refused) changes nothing and
// leaves the graph to the caller. k selects the first (0) or second (1) view of the kind.
bool AttachTo2DView(GraphViewSet* set, GraphKind2D* graph, int32_t k);
bool AttachTo3DView(GraphViewSet* set, GraphKind3D* graph, int32_t k);
bool AttachTo4DView(GraphViewSet* set, GraphKind4D* graph);
// Appends a companion to the second 2D (3D) view and records it as the second placement of the
// last row. False, changing nothing, when the table is empty or memory is refused.
bool AttachToSecond2DView(GraphViewSet* set, GraphKind2D* graph);
bool AttachToSecond3DView(GraphViewSet* set, GraphKind3D* graph);
// Appends a graph to 2D view k (0 first, 1 second) and records it as placement p of the last row:
// 2 the boundary of a non-strict inequality, 3 that boundary's companion. Same failure rule.
bool AttachToRowPlacement2D(GraphViewSet* set, GraphKind2D* graph, int32_t k, int32_t p);

// The outcome of attaching a made graph, as every construction reads it: true when `attached`; a
// refused attachment deletes the graph and posts error 7; a null graph (its maker freed what it
// took, and said so) is false with nothing posted. Call as KeepIfAttached(g, AttachTo...(set, g)).
bool KeepIfAttached(GraphKind* graph, bool attached);

// ---- Ranges ----
void MarkRangeInUse(GraphViewSet* set, int32_t n);
// Flags 0, 1, 2 for 3D view 0; 4, 5, 6 for any other k.
void MarkViewRangesInUse(GraphViewSet* set, int32_t k);
// Flags 0, 1, 2, then 3.
void Mark4DRangesInUse(GraphViewSet* set);
// Stores the value as the lower (which 0) or upper bound in every place range n has: x, y, z
// (0-2) the first 3D view's box, or the 4D view's axes 0-3 while it is current; 4-6 the second
// 3D view's box; r, theta both 2D and both 3D views; phi both 3D views; t both 2D, both 3D and
// the 4D view; u, v both 3D views and the 4D view. Index 3 without the 4D view current, and
// indexes outside 0..12, store nothing.
void ViewSetSetRangeBound(GraphViewSet* set, int32_t n, double value, int32_t which);
// Hands (n, lower, upper) of range n, read from the first 3D view (the second 3D view for 4-6,
// the 4D view's axes for 0-3 while it is current), to the document. Index 3 without the 4D
// view current, and indexes outside 0..12, hand nothing.
void ViewSetCopyRangeToDocument(GraphViewSet* set, int32_t n);
// ViewSetCopyRangeToDocument of every flagged range, in index order.
void ViewSetCopyFlaggedRanges(GraphViewSet* set);
// The (low, high) pair of range n in a 3D view: its box for x, y, z (0-2), its polar ranges for r,
// theta, phi and its unit ranges for t, u, v. Null for any other index, or without a view.
double* RangeIn3DView(GraphView3D* view, int32_t n);
// The (low, high) pair of range n in a 2D view: r, theta or t. Null for any other index, or without
// a view.
double* RangeIn2DView(GraphView2D* view, int32_t n);
// Transform mode 1 or 2: the index of the first 2D view's last graph joins graphIndexList.
void RecordGraphIndex(GraphViewSet* set, const CoordinateTransform* transform);

// ---- Coordinate transformation ----
// Mode 1 only: r, theta, x and y are rewritten in that order (r = sqrt(x^2 + y^2), theta = the
// angle of (x, y), x = expression1, y = expression2) through the algebra's rewrite pass, then x'
// and y' are renamed x and y. Other modes leave the expression alone.
void TransformPlaneExpression(ExprNode* expression, const CoordinateTransform* transform);
// The companion of a traced graph built for view index i: in mode 1 (i 0) the relation y = E (x = E
// when isX) through the transformation, as a relation curve in the second 2D view with a clone of
// the colour; in mode 2 (i 0) the graph index is recorded. True when a companion was attached.
bool AddTracedRelationCompanion(GraphViewSet* set, const ExprNode* expression, int32_t i, const GraphColor* colour,
                                const CoordinateTransform* transform, int32_t drawOption, bool isX);

// The companion of a relation region or curve built for view index i: in mode 1 (i 0) the relation
// and its side differences through the transformation, as a relation in the second 2D view (an
// equation when flag > 0) with a clone of the colour; in mode 2 (i 0) the graph index is recorded.
bool AddRelationCompanion(GraphViewSet* set, const ExprNode* relation, int32_t i, const GraphColor* colour,
                          const CoordinateTransform* transform, int32_t drawOption, const ExprNode* differences,
                          int32_t flag);
// The companion of a raster built for view index i: in mode 1 (i 0) the function with z = x + i y,
// through the transformation, in u and v, as a raster in the second 2D view with a clone of the
// colour; in mode 2 (i 0) the graph index is recorded.
bool AddRasterCompanion2D(GraphViewSet* set, const ExprNode* expression, int32_t i, const GraphColor* colour,
                          const CoordinateTransform* transform, double grain);
// A relation graph over fn(relation) and fn(differences) (both trees taken over; differences may
// be null: no boundary) with the colour (taken over) on the frame. Null, all of it freed and error
// 7 posted, when a part or the graph cannot be had.
GraphKind2D* NewRelationOver(ExprNode* relation, ExprNode* differences, GraphColor* colour, int32_t drawOption,
                             uint8_t isEquation, const ViewMap* frame);

// ---- Space transformation and the surfaces ----
// The two parameter ranges of a surface: four bounds (first low, first high, second low, second
// high) in a 3D view's settings.
struct SurfaceRanges {
  double* bound[4];
};
// What carries a graph point (X, Y) or (X, Y, Z) (`dimensions` 2 or 3) through a coordinate
// transformation given in the primed coordinates: copies of the `count` trees, each with its primes
// exchanged and then rewritten by the algebra's rewrite pass with the rules x' = X, y' = Y (z' = Z),
// into out; a null tree gives null. False, every out null and error 7 posted, when memory is
// refused.
bool RewriteThroughPoint(const ExprNode* const* point, int dimensions, const ExprNode* const* trees, int count,
                         ExprNode** out);
// Mode 4: the graph point (X, Y, Z) through the transformation. With the rules x' = X, y' = Y,
// z' = Z, the transformation's three expressions through RewriteThroughPoint into *outX, *outY,
// *outZ; a condition tree (may be null) the same way, compiled into *outCond (null without one); the
// component functions of a colour in mode 9 or 10 (may be null) are replaced by their rewritten
// copies. Other modes give null outputs; refused memory too (error 7 posted), the colour unchanged.
void TransformSpacePoint(const CoordinateTransform* transform, const ExprNode* x, const ExprNode* y,
                         const ExprNode* z, const ExprNode* cond, GraphColor* colour, ExprNode** outX,
                         ExprNode** outY, ExprNode** outZ, CompiledFunction** outCond);
// A graph built for view index i has a companion in the second 3D view: mode 4, i 0, and the view.
bool WantsSpaceCompanion(const GraphViewSet* set, const CoordinateTransform* transform, int32_t i);
// A companion made for the second 3D view from the n functions (and condition, colour) it was to
// take over: attached as the last row's second placement, and the second view's box marked in use.
// A null graph has its parts freed and error 7 posted. True when attached.
bool KeepSpaceCompanion(GraphViewSet* set, GraphKind3D* graph, CompiledFunction* const* functions, int n,
                        CompiledFunction* condition, GraphColor* colour);
// The companion of a surface built for view index i: in mode 4 (i 0), with a clone of the colour, the
// surface (X, Y, Z) through the transformation as a surface of the same ranges in the second 3D view,
// whose ranges are then marked in use. True when a companion was attached.
bool AddSurfaceCompanion3D(GraphViewSet* set, const CoordinateTransform* transform, int32_t i, const ExprNode* x,
                           const ExprNode* y, const ExprNode* z, const ExprNode* cond, int32_t drawOption,
                           double detail, double detail2, const GraphColor* colour, const SurfaceRanges& ranges);
// The companion of a space curve built for view index i: in mode 4 (i 0) the curve (x, y, z of u,
// with its condition) through the transformation, as a space curve in the second 3D view over the
// given t range with a clone of the colour; then the second view's box ranges are marked. True
// when a companion was attached.
bool AddCurveCompanion3D(GraphViewSet* set, const CoordinateTransform* transform, int32_t i, const ExprNode* x,
                         const ExprNode* y, const ExprNode* z, const ExprNode* condition, const GraphColor* colour,
                         double grain, const double* range);
// A surface over fn(X), fn(Y), fn(Z) (the trees taken over) in 3D view i with the row's grain
// (detail), opacity (detail2) and plotting mode, over the two ranges; then its companion and the
// view's ranges marked in use. The colour and the condition (null: none) are the surface's once it
// is made (both pointers then null); otherwise they stay the caller's. True when it was attached.
bool AddSurface3D(GraphViewSet* set, int32_t i, ExprNode* x, ExprNode* y, ExprNode* z, GraphColor** colour,
                  CompiledFunction** cond, const CoordinateTransform* transform, double detail, double detail2,
                  int32_t drawOption, const SurfaceRanges& ranges);
// (x, y, z) = f(u, v): the surface of the vector's three components over 3D view i's u and v ranges,
// with its companion; u and v are marked in use. As AddSurface3D for the colour and the condition.
bool AddParametricSurface(GraphViewSet* set, const ExprNode* vector, int32_t i, GraphColor** colour,
                          const CoordinateTransform* transform, double detail, double detail2, int32_t drawOption,
                          CompiledFunction** cond);

// ---- Expression operations ----
// fn(e): a new, uncompiled function taking over the tree; null (tree freed, error 7) when the
// object cannot be had or the tree is null.
CompiledFunction* NewFunctionOver(ExprNode* tree);
// The pair test: a one-column matrix of 2 to 4 bare variables, such as (x, y) or (r, g, b).
bool IsVariableTuple(const ExprNode* node);
// (s0 - s1)(s1 - s2)...(sn-1 - sn) of the relation's sides, from copies, times the accumulator
// when there is one (which it takes over). On a refused allocation the accumulator comes back
// alone (error 7 posted).
ExprNode* ProductOfSideDifferences(ExprNode* accumulator, const ExprNode* relation);
// Every variable `name` becomes a + i b, in place.
void SubstituteComplexVariable(ExprNode* tree, int32_t name, int32_t a, int32_t b);
inline void SubstituteComplexZ(ExprNode* tree, int32_t a, int32_t b) { SubstituteComplexVariable(tree, 'z', a, b); }
void RenameXYToUV(ExprNode* tree);
// Every variable with a parameter value (the document's GetParameterValue, not NaN) becomes that
// number, in place; subscripts (children of an indexes node) and the letters of a tuple on the
// left of an equation keep their names. A null document substitutes nothing.
void SubstituteParameterValues(ExprNode* tree, const DocumentServices* document);
// Colour mode 9 or 10 from a part (r, g, b) = (e1, e2, e3): the document collects its parameters
// and sets its condition flag; the three components, with parameter values substituted and r
// renamed rho, become the colour's compiled component functions.
void SetColorFromPart(GraphColor* colour, uint32_t mode, const ExprNode* part, DocumentServices* document);
// The part is (a, b, c) = a 3-vector and the colour is not in the no-fill mode.
bool IsColorSpecPart(const ExprNode* part, const GraphColor* colour, int32_t a, int32_t b, int32_t c);
bool IsStrictInequalityKind(uint32_t kind);
// Truncated toward zero to 32 bits, saturating (NaN gives the most negative value), low two bits:
// 0 none, 1 surface, 2 raster, 3 contour.
int32_t DisplayKindOf(double value);
// The form accepts a condition part / colour expressions: always, or only in 3D (bit 0x100 ignored).
bool FormAcceptsCondition(int32_t form, bool is3D);
bool FormAcceptsColorExpressions(int32_t form, bool is3D);
// A relation whose left side is a bare variable or an f(x): its parameters are collected elsewhere.
bool IsExplicitGraphEquation(const ExprNode* equation);

// ---- The equation set ----
// Before the factory runs for a document's equations: graphs still listed are deleted (their
// indexes would disagree with the new table), both tables are emptied and the range flags
// cleared; the shown views are chosen and laid out; transform modes 1 and 2 add their own graph
// to the second 2D view (when its kind exists); the parameter ranges are made equal in all views
// from the shown one, and both 3D views' scene extent is set to 1.2.
void BuildGraphsForEquationSet(GraphViewSet* set, bool is3D, bool is4D, bool split, bool secondIs3D,
                               const CoordinateTransform* transform);
