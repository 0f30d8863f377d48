// Shared set-up of the surface tests: a software-kind context over a view frame of the box
// -2..2, colours, derivatives the algebra would give (looked up by the bracket text of what is
// differentiated), a rewrite pass that puts a rule's right side for its variable (the algebra's
// pass does that to the transformation rules), and the topology of a triangle list.
#pragma once

#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "graphs/core/graph_color.h"
#include "graphs/core/graphs_state.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/text/bracket_writer.h"
#include "tests/graphs/view3d/view_3d_test_support.h"

namespace surface_test {

using graphs_test::FunctionOf;
using graphs_test::kAll;
using graphs_test::Parse;

// d(expression)/d(variable) = derivative, all three as formula text.
struct KnownDerivative {
  std::string expression;
  int32_t variable;
  std::string derivative;
};
inline std::map<std::pair<std::string, int32_t>, std::string>& DerivativeTable() {
  static std::map<std::pair<std::string, int32_t>, std::string> table;
  return table;
}
inline std::string BracketText(const ExprNode* node) {
  char* text = FormatExpressionBracket(node);
  std::string s = text != nullptr ? text : "";
  FreeMemory(text);
  return s;
}
// The derivative pass answers from the table (an unknown one stays unexpanded, which evaluates to
// NaN as without the algebra). The fixture's reset removes the pass.
inline void InstallDerivatives(const std::vector<KnownDerivative>& known) {
  DerivativeTable().clear();
  for (const KnownDerivative& d : known) {
    ExprNode* e = Parse(d.expression);
    DerivativeTable()[{BracketText(e), d.variable}] = d.derivative;
    FreeExpression(e);
  }
  SetExpandDerivativesPass([](ExprNode* tree) {
    if (tree->kind != KindDerivativePartial || tree->arity != 2) return;
    const auto found = DerivativeTable().find({BracketText(tree->children[0]), tree->children[1]->value.symbol});
    if (found != DerivativeTable().end()) ReplaceExpression(Parse(found->second), tree);
  });
}

// Every char of the rule's left symbol becomes a copy of its right side.
inline void SubstituteRule(ExprNode* tree, const ExprNode* rule) {
  const int32_t symbol = rule->children[0]->value.symbol;
  TreeCursor cursor(tree, WalkOrder::kPreOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr;) {
    if (n->kind != KindChar || n->value.symbol != symbol) {
      n = cursor.Next();
      continue;
    }
    ExprNode* copy = CopyExpression(rule->children[1]);
    if (n == tree) {
      ReplaceExpression(copy, tree);
      return;
    }
    ExprNode* next = cursor.Pass();
    ReplaceExpression(copy, n);
    n = next;
  }
}

class SurfaceTest : public graphs_test::GraphsTest {
 protected:
  void SetUp() override {
    GraphsTest::SetUp();
    view3d_test::InstallSoftwarePane(200, 200);
    context = NewGLContextRecord();
    context->viewFrame = &frame;
  }
  void TearDown() override {
    DeleteGraphs();
    DetachGLContext(context);
    DeleteGLContextRecord(context);
    view3d_test::RemoveSoftwarePane();
    GraphsTest::TearDown();
  }
  // The graphs a test made, deleted in reverse order at its end (a companion before its parent).
  template <typename G>
  G* Keep(G* graph) {
    graphs.push_back(graph);
    return graph;
  }
  void DeleteGraphs() {
    for (auto it = graphs.rbegin(); it != graphs.rend(); ++it) delete *it;
    graphs.clear();
  }
  GraphColor* Colour(double index = 1) {
    auto* colour = new GraphColor(context);
    SetGraphColorIndex(colour, index);
    return colour;
  }
  ViewFrame frame = {{1, 0, 0, 0, 1, 0, 0, 0, 1}, {-2, 2, -2, 2, -2, 2}, 1.7330909743, 2.3};
  GraphicsContext* context = nullptr;
  std::vector<GraphKind3D*> graphs;
};

// Counts of a triangle list: vertices used, undirected edges, faces, edges used once (the border)
// and edges used more than twice; the Euler characteristic V - E + F of the used vertices.
struct Topology {
  int64_t vertices = 0, edges = 0, faces = 0, border = 0, overShared = 0, degenerate = 0;
  int64_t Euler() const { return vertices - edges + faces; }
  bool Closed() const { return border == 0 && overShared == 0; }
};
template <typename TriangleAt>
Topology TopologyOf(int64_t count, TriangleAt triangleAt) {
  Topology t;
  std::map<std::pair<uint32_t, uint32_t>, int> edges;
  std::set<uint32_t> used;
  for (int64_t f = 0; f < count; ++f) {
    const uint32_t* v = triangleAt(f);
    if (v[0] == v[1] || v[1] == v[2] || v[0] == v[2]) ++t.degenerate;
    for (int k = 0; k < 3; ++k) {
      used.insert(v[k]);
      const uint32_t a = v[k], b = v[(k + 1) % 3];
      ++edges[{std::min(a, b), std::max(a, b)}];
    }
  }
  t.vertices = int64_t(used.size());
  t.edges = int64_t(edges.size());
  t.faces = count;
  for (const auto& e : edges) {
    t.border += e.second == 1;
    t.overShared += e.second > 2;
  }
  return t;
}

// A triangle's face normal (Q - P) x (R - P), not normalised, in double for float or double points.
template <typename T>
std::array<double, 3> FaceNormal(const T* P, const T* Q, const T* R) {
  const double a[3] = {double(Q[0]) - P[0], double(Q[1]) - P[1], double(Q[2]) - P[2]};
  const double b[3] = {double(R[0]) - P[0], double(R[1]) - P[1], double(R[2]) - P[2]};
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

inline bool Finite(const float* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (!std::isfinite(p[i])) return false;
  }
  return true;
}

}  // namespace surface_test
