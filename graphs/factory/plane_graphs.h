// The factory's 2D families beyond the traced graphs, relations, rasters and fields: plane curves of
// one parameter (forms 3, 4, 15, 18, 38, 46), points (42 to 45), the integral curves of a
// differential equation (36, 37, 41) and colour plots (49, 50), each with its companion under a
// plane coordinate transformation (mode 1 records the curves and points, mode 2 maps them; colour
// plots the other way round), and the transformation of a point through the forward map.
// Invariants: the equation trees are only read (every function is made over copies); the colour
// is taken by the first graph built (the companions get clones) and left to the caller otherwise;
// a graph whose attachment is refused is deleted, with error 7 posted.
#pragma once

#include <cstdint>

#include "graphs/factory/factory_helpers.h"

class GraphColor;
struct ExprNode;

// The graphs of a plane form (the codes above) of the prepared equation node for 2D view i, with
// the row's detail and, for 49 and 50, the read-out part (or null). *colour is taken (set null)
// when a graph took it. The curve forms built in a 3D view (is3D) belong to the space curve: they
// answer kKindMissing here.
FormBuild BuildPlaneForm(GraphViewSet* set, const ExprNode* node, int32_t form, int32_t i, GraphColor** colour,
                         const CoordinateTransform* transform, double detail, const ExprNode* extra, bool is3D);

// Forms 18, 38, 46: the curve (X(t), Y(t)) (read-only trees), t turned into u, as a parametric curve
// with the t range of 2D view i, its companion, and the t range marked. In 3D: kKindMissing.
FormBuild AddPlaneCurve(GraphViewSet* set, const ExprNode* x, const ExprNode* y, int32_t i, GraphColor** colour,
                        const CoordinateTransform* transform, double detail, bool is3D);
// Forms 49, 50: the colour plot of the right side's three components (x to u, y to v) with the
// read-out part, in 2D view i; mode 1 (i 0) the same again through the transformation in the
// second 2D view with a clone of the colour; mode 2 (i 0) the graph's index recorded.
FormBuild AddColorPlot(GraphViewSet* set, const ExprNode* equation, int32_t i, GraphColor** colour,
                       const CoordinateTransform* transform, const ExprNode* extra, uint8_t hsv);

// The companions of a curve or point built in 2D view i from (x, y): mode 1 (i 0) records the
// graph's index; mode 2 (i 0) maps (x, y) through the forward transformation into a curve (probe
// kind 3, over the first view's `range`) or an undraggable point in the second 2D view with a
// clone of the colour. True when a companion was attached.
bool AddCurveCompanion2D(GraphViewSet* set, const CoordinateTransform* transform, int32_t i, const ExprNode* x,
                         const ExprNode* y, const GraphColor* colour, double detail, const double* range);
bool AddPointCompanion2D(GraphViewSet* set, const CoordinateTransform* transform, int32_t i, const ExprNode* x,
                         const ExprNode* y, const GraphColor* colour);
// The companion of a plane arrow (a, b) to (c, d) built for view index i: mode 1 (i 0) records the
// graph's index; mode 2 (i 0) maps both ends through the forward transformation into an arrow in
// the second 2D view with a clone of the colour. True when a companion was attached.
bool AddArrowCompanion2D(GraphViewSet* set, const CoordinateTransform* transform, int32_t i, const ExprNode* a,
                         const ExprNode* b, const ExprNode* c, const ExprNode* d, const GraphColor* colour);
// The forward transformation's two expressions (primes exchanged) with x' and y' rewritten to
// copies of x and y through the algebra's rewrite pass: new trees in *outX and *outY, both null
// (error 7 posted) when memory is refused.
void TransformPlanePoint(const CoordinateTransform* transform, const ExprNode* x, const ExprNode* y, ExprNode** outX,
                         ExprNode** outY);
