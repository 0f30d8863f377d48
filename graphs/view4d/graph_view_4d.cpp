// What there is of the 4D view: its tick and its graph options.
#include "graphs/view4d/graph_view_4d.h"

#include "graphs/core/document_services.h"

void GraphView4D::Tick(int32_t budget) {
  if (EmptyRect(rect)) return;
  if (document != nullptr) document->ApplyNumberFormat();
  TickGraphList(graphs, budget);
}

void GraphView4D::SetGraphOption(int32_t code, double value, int32_t index) {
  PassGraphOption(code, value, index, false);
}
