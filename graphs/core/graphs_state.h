// Process-wide state of the graph subsystem, in one struct with one reset for tests: the picture
// that colour index 999 turns into a texture, the point lists of the last mode-10 probe, the
// text seam the 2D axes and read-out draw their labels through, the factory's table of graph
// constructors' replacements and the algebra's rewrite pass the coordinate transformations go
// through. Invariant: the two probe lists are owned here (disposed by the next probe and by the
// reset).
#pragma once

#include <cstdint>

#include "graphs/core/graph_kind.h"
#include "platform/draw/picture.h"

class GraphColor;
struct CompiledFunction;
struct ExprNode;
struct GraphViewSet;
struct GraphicsContext;
struct Projection4D;
struct ViewMap;

// How the 2D view measures and draws its label texts: the document's equation font by default;
// tests put fixed metrics in its place so label positions do not depend on installed fonts.
struct LabelTextSeam {
  void (*setFont)();                     // the equation font at the label size, in the current port
  int32_t (*width)(const char* text);    // in pixels
  void (*draw)(const char* text);        // at the pen, which it advances
};
LabelTextSeam DefaultLabelTextSeam();

// The graph kinds the factory builds, one constructor each (graph_kind_table.h resolves them).
// Each takes over its functions and colour when it returns a graph; a null result means the
// object could not be had and nothing was taken over.
struct GraphConstructors {
  // y = f(x) (orientation 1) or x = f(y) (0), in trace mode drawOption.
  GraphKind2D* (*traced2D)(CompiledFunction* function, uint8_t orientation, GraphColor* color, uint32_t traceMode,
                           const ViewMap* frame);
  // The region or curve of a relation: the relation, the product of its side differences, the
  // plotting mode and whether it is an equation (a curve) rather than a region.
  GraphKind2D* (*relation2D)(CompiledFunction* relation, CompiledFunction* differences, GraphColor* color,
                             int32_t drawOption, uint8_t isEquation, const ViewMap* frame);
  // A function of x and y as a banded density raster (in u and v) or as level lines (in x and
  // y), banded or counted by the row's grain.
  GraphKind2D* (*raster2D)(CompiledFunction* function, double grain, GraphColor* color, const ViewMap* frame);
  GraphKind2D* (*contour2D)(CompiledFunction* function, double grain, GraphColor* color, const ViewMap* frame);
  // The plane field (x, y) = (fieldX, fieldY), arrows of one length or scaled, spaced by the grain.
  GraphKind2D* (*vectorField2D)(CompiledFunction* fieldX, CompiledFunction* fieldY, GraphColor* color,
                                uint8_t equalLength, const ViewMap* frame, double grain);
  // The coordinate transformation's own graphs in the second 2D view: the grid of mode 1 and the
  // mapped image of mode 2, over x' and y' as functions of x and y.
  GraphKind2D* (*mesh2D)(CompiledFunction* fx, CompiledFunction* fy, GraphColor* color, const ViewMap* frame,
                         GraphViewSet* set, GrowArray<int32_t>* indexList);
  GraphKind2D* (*image2D)(CompiledFunction* fx, CompiledFunction* fy, GraphColor* color, double grain,
                          const ViewMap* frame, GraphViewSet* set, GrowArray<int32_t>* indexList);
  // The plane curve (x(u), y(u)) over the range's two bounds, read out in probe mode probeKind.
  GraphKind2D* (*curve2D)(CompiledFunction* x, CompiledFunction* y, GraphColor* color, double grain,
                          int32_t probeKind, const ViewMap* frame, const double* range);
  // The point (x, y), dragged by the pointer when draggable.
  GraphKind2D* (*point2D)(CompiledFunction* x, CompiledFunction* y, GraphColor* color, uint8_t draggable,
                          const ViewMap* frame);
  // The integral curves of dy/dx = slope (dydt null) or of d/dt (x, y) = (slope, dydt).
  GraphKind2D* (*slopeField2D)(CompiledFunction* slope, CompiledFunction* dydt, GraphColor* color, double grain,
                               const ViewMap* frame);
  // The colour plot of three components (hue, saturation, value when hsv), with a read-out or null.
  GraphKind2D* (*colorPlot2D)(CompiledFunction* first, CompiledFunction* second, CompiledFunction* third,
                              CompiledFunction* readout, uint8_t hsv, GraphColor* color, const ViewMap* frame);
  // The space field (x, y, z) = F on a grid over the 3D view's box (x, y, z low and high), kept
  // where the condition (or null) holds, spaced by the grain, drawn in the view's context.
  GraphKind3D* (*vectorField3D)(CompiledFunction* fieldX, CompiledFunction* fieldY, CompiledFunction* fieldZ,
                                CompiledFunction* condition, double grain, GraphColor* color,
                                GraphicsContext* context, const double* box);
  // A surface of three coordinate functions of u and v over the four bounds of its parameter
  // ranges, with the row's grain, opacity and plotting mode and the condition (or null).
  GraphKind3D* (*surface3D)(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, double grain,
                            double opacity, GraphColor* color, CompiledFunction* condition, int32_t plottingMode,
                            const double* uMin, const double* uMax, const double* vMin, const double* vMax,
                            GraphicsContext* context);
  // The zero set of f(x, y, z) in the 3D view's box (x, y, z low and high), meshed by the grain.
  GraphKind3D* (*implicitSurface3D)(CompiledFunction* f, double grain, double opacity, GraphColor* color,
                                    CompiledFunction* condition, const double* box, GraphicsContext* context);
  // The implicit surface `parent` (made by implicitSurface3D) mapped through three functions of
  // x, y, z into the second 3D view.
  GraphKind3D* (*surfaceCompanion3D)(CompiledFunction* xMap, CompiledFunction* yMap, CompiledFunction* zMap,
                                     GraphKind3D* parent, GraphicsContext* context);
  // The space curve (x, y, z) of u over [*tMin, *tMax], kept where the condition (or null) holds,
  // sampled by the grain.
  GraphKind3D* (*curve3D)(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, CompiledFunction* condition,
                          GraphColor* color, double grain, GraphicsContext* context, const double* tMin,
                          const double* tMax);
  // The arrows from (a, b) to (c, d) in a plane and from tail to tip in space, and the point (a, b, c)
  // of space drawn as a sphere sized by the grain: functions of constants.
  GraphKind2D* (*arrow2D)(CompiledFunction* a, CompiledFunction* b, CompiledFunction* c, CompiledFunction* d,
                          GraphColor* color, const ViewMap* frame);
  GraphKind3D* (*arrow3D)(CompiledFunction* const tail[3], CompiledFunction* const tip[3], GraphColor* color,
                          GraphicsContext* context);
  GraphKind3D* (*point3D)(CompiledFunction* a, CompiledFunction* b, CompiledFunction* c, GraphColor* color,
                          double grain, GraphicsContext* context);
  // The field F drawn at points of a surface (x, y, z) of u and v over the four range bounds, kept
  // where the condition (or null) holds, the grid by the grain.
  GraphKind3D* (*surfaceField3D)(CompiledFunction* fieldX, CompiledFunction* fieldY, CompiledFunction* fieldZ,
                                 CompiledFunction* x, CompiledFunction* y, CompiledFunction* z,
                                 CompiledFunction* condition, double grain, GraphColor* color, const double* uMin,
                                 const double* uMax, const double* vMin, const double* vMax,
                                 GraphicsContext* context);
  // The field F drawn at points of the implicit surface f(x, y, z) = 0 in the 3D view's box (x, y, z
  // low and high), kept where the condition (or null) holds, the cells by the grain.
  GraphKind3D* (*implicitSurfaceField3D)(CompiledFunction* fieldX, CompiledFunction* fieldY,
                                         CompiledFunction* fieldZ, CompiledFunction* f, CompiledFunction* condition,
                                         double grain, GraphColor* color, const double* box,
                                         GraphicsContext* context);
  // The 4D kinds, drawn through the 4D view's projection: the curve (x, y, z, w) = f(t) with t
  // renamed u, over the t range, kept where the condition (or null) holds, sampled by the grain; the
  // polyline through a list of constant 4-vectors; the surface of four functions of u and v over
  // the u and v ranges (low, high pointers each), with the row's opacity.
  GraphKind4D* (*curve4D)(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, CompiledFunction* w,
                          CompiledFunction* condition, GraphColor* color, double grain, GraphicsContext* context,
                          const Projection4D* projection, const double* tMin, const double* tMax);
  GraphKind4D* (*curveList4D)(CompiledFunction* list, GraphColor* color, GraphicsContext* context,
                              const Projection4D* projection);
  GraphKind4D* (*surface4D)(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, CompiledFunction* w,
                            double grain, double opacity, GraphColor* color, CompiledFunction* condition,
                            const double* uMin, const double* uMax, const double* vMin, const double* vMax,
                            GraphicsContext* context, const Projection4D* projection);
};

// One pass of the algebra's pattern rewriting with the rule `name = expression` over the tree, in
// place. Null (the default until the algebra fills it) leaves the tree as it is.
using RewritePassFunction = void (*)(ExprNode* tree, const ExprNode* rule);

struct GraphsState {
  // The document sets it to an equation row's picture just before it sends colour index 999 to
  // that row's graphs, and clears it right after. Not owned.
  const Picture* currentTexturePicture = nullptr;
  // The two point lists taken from the last mode-10 probe record; the next probe frees them.
  GrowArray<ProbePoint>* probeListA = nullptr;
  GrowArray<ProbePoint>* probeListB = nullptr;
  LabelTextSeam labelText = DefaultLabelTextSeam();
  // Replacements for the kinds' own constructors (tests put recorders here); null: the kind's own.
  GraphConstructors constructors{};
  RewritePassFunction rewritePass = nullptr;
};

GraphsState& GraphsGlobals();
// Disposes the held probe lists.
void FreeProbeLists();
// Puts every field back to its default (tests); the probe lists are disposed.
void ResetGraphsStateForTests();
