// The table of the graph kinds' constructors: one row a kind, replaced entry by entry.
#include "graphs/graph_kind_table.h"

#include "graphs/traced_graph.h"

GraphConstructors GraphKindConstructors() {
  const GraphConstructors own{NewTracedGraph, nullptr, nullptr, nullptr};
  const GraphConstructors& replaced = GraphsGlobals().constructors;
  return GraphConstructors{replaced.traced2D != nullptr ? replaced.traced2D : own.traced2D,
                           replaced.relation2D != nullptr ? replaced.relation2D : own.relation2D,
                           replaced.mesh2D != nullptr ? replaced.mesh2D : own.mesh2D,
                           replaced.image2D != nullptr ? replaced.image2D : own.image2D};
}
