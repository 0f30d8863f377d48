// The table of the graph kinds' constructors: one row a kind, replaced entry by entry.
#include "graphs/factory/graph_kind_table.h"

#include "graphs/kinds2d/arrow_2d.h"
#include "graphs/kinds2d/color_plot_graph.h"
#include "graphs/kinds2d/contour_graph.h"
#include "graphs/kinds2d/curve_graph.h"
#include "graphs/kinds2d/mapped_picture_graph.h"
#include "graphs/kinds2d/point_graph.h"
#include "graphs/kinds2d/raster_graph.h"
#include "graphs/kinds2d/relation_graph.h"
#include "graphs/kinds2d/slope_field_graph.h"
#include "graphs/kinds2d/textured_image_graph.h"
#include "graphs/kinds2d/traced_graph.h"
#include "graphs/kinds2d/vector_field_graph.h"
#include "graphs/view3d/arrow_3d.h"
#include "graphs/view3d/implicit_surface_3d.h"
#include "graphs/view3d/implicit_surface_field_3d.h"
#include "graphs/view3d/parametric_surface_3d.h"
#include "graphs/view3d/point_3d.h"
#include "graphs/view3d/space_curve_3d.h"
#include "graphs/view3d/surface_companion_3d.h"
#include "graphs/view3d/surface_field_3d.h"
#include "graphs/view3d/vector_field_3d.h"
#include "graphs/view4d/graph_curve_4d.h"
#include "graphs/view4d/graph_surface_4d.h"

namespace {

template <typename F>
F Either(F replaced, F own) {
  return replaced != nullptr ? replaced : own;
}

}  // namespace

GraphConstructors GraphKindConstructors() {
  const GraphConstructors& r = GraphsGlobals().constructors;
  GraphConstructors c{};
  c.traced2D = Either(r.traced2D, &NewTracedGraph);
  c.relation2D = Either(r.relation2D, &NewRelationGraph);
  c.raster2D = Either(r.raster2D, &NewRasterGraph);
  c.contour2D = Either(r.contour2D, &NewContourGraph);
  c.vectorField2D = Either(r.vectorField2D, &NewVectorFieldGraph);
  c.mesh2D = Either(r.mesh2D, &NewMeshGraph);
  c.image2D = Either(r.image2D, &NewImageGraph);
  c.curve2D = Either(r.curve2D, &NewCurveGraph);
  c.point2D = Either(r.point2D, &NewPointGraph);
  c.slopeField2D = Either(r.slopeField2D, &NewSlopeFieldGraph);
  c.colorPlot2D = Either(r.colorPlot2D, &NewColorPlotGraph);
  c.vectorField3D = Either(r.vectorField3D, &NewVectorField3DGraph);
  c.surface3D = Either(r.surface3D, &NewSurface3DGraph);
  c.implicitSurface3D = Either(r.implicitSurface3D, &NewImplicitSurface3DGraph);
  c.surfaceCompanion3D = Either(r.surfaceCompanion3D, &NewSurfaceCompanion3DGraph);
  c.curve3D = Either(r.curve3D, &NewSpaceCurveGraph);
  c.arrow2D = Either(r.arrow2D, &NewArrow2DGraph);
  c.arrow3D = Either(r.arrow3D, &NewArrow3DGraph);
  c.point3D = Either(r.point3D, &NewPoint3DGraph);
  c.surfaceField3D = Either(r.surfaceField3D, &NewSurfaceField3DGraph);
  c.implicitSurfaceField3D = Either(r.implicitSurfaceField3D, &NewImplicitSurfaceField3DGraph);
  c.curve4D = Either(r.curve4D, &NewCurve4DGraph);
  c.curveList4D = Either(r.curveList4D, &NewCurveList4DGraph);
  c.surface4D = Either(r.surface4D, &NewSurface4DGraph);
  return c;
}
