// The radical handler. Measuring and drawing share one geometry, computed from the children's
// boxes at the node's size.
#include "editor/radical_layout.h"

#include <algorithm>

#include "editor/layout_boxes.h"
#include "editor/typeset_primitives.h"
#include "kernel/trees/expr_node.h"

namespace {

struct RadicalGeometry {
  Fixed ascent, descent;  // A + t + 200u (grown for the index), D
  Fixed shift;            // k: how far the index pushes the sign right
  Fixed indexBottom;      // q + 100u above the node's bottom, q = (H + D) / 4
  Fixed bar;              // the bar's height above the node's bottom
};

RadicalGeometry Measure(OperandBoxes& operands, const SizeUnits& n) {
  BaselineMetrics m = ChildBaselineMetrics(operands[0]);
  const Fixed a = std::max(m.ascent, n.size), d = std::max(m.descent, n.quarter);
  RadicalGeometry g{SaturateFixed(int64_t{a} + n.rule + n.U(200)), d, 0, 0, 0};
  g.bar = SaturateFixed(int64_t{a} + d + n.U(100) + n.rule);
  if (operands.Has(1)) {
    const TypesetBox& index = operands[1];
    // The index overlaps the sign by 300u. One narrower than that leaves the sign where it is:
    // a negative shift would pull the sign and the radicand left and draw the sign's foot
    // outside the node's box, over whatever stands before it.
    g.shift = std::max<Fixed>(SaturateFixed(int64_t{index.width} - n.U(300)), 0);
    g.indexBottom = SaturateFixed((int64_t{g.ascent} + d) / 4 + n.U(100));
    const int64_t indexTop = int64_t{g.indexBottom} + BoxHeight(index);
    g.ascent = SaturateFixed(g.ascent + std::max<int64_t>(indexTop - g.ascent, 0));
  }
  return g;
}

}  // namespace

void LayoutRadical(ExprNode* node, int32_t mode) {
  const SizeUnits n = CurrentUnits();
  SetTypesetFont(kTextSlot);
  OperandBoxes operands(node, 1);
  TypesetBox& radicand = operands[0];
  const RadicalGeometry g = Measure(operands, n);
  if (mode == kLayoutMeasure) {
    TypesetBox& box = *node->box;
    box.descent = g.descent;
    box.ascent = g.ascent;
    if (operands.Has(1)) PlaceChild(operands[1], 0, g.indexBottom);
    AlignChildOnBaseline(radicand, SaturateFixed(int64_t{g.shift} + n.U(700)), g.descent);
    box.width = SaturateFixed(int64_t{g.shift} + radicand.width + n.U(700));
    box.baselineFlag = 1;
    PlaceExtraOperands(node, 2);
  } else if (mode == kLayoutDraw) {
    // From the bar's right end, 100u short of the radicand's: left along the bar, down to the
    // sign's foot, up to its tick, and a short stroke down; points are (dy, dx), dy downwards.
    const Fixed h = g.bar;
    const Fixed points[] = {0,         NegateFixed(SubFixed(radicand.width, n.U(100))),
                            SaturateFixed(int64_t{h} - n.U(100) - n.rule), NegateFixed(n.U(300)),
                            -(h / 4),  NegateFixed(n.U(200)),
                            h / 8,     NegateFixed(n.U(100))};
    const int64_t ownBottom = int64_t{node->box->descent} - g.descent;  // operands past two may lower the box
    MoveToNodePoint(node, SaturateFixed(int64_t{g.shift} + n.U(600) + radicand.width), SaturateFixed(ownBottom + h));
    TypesetPolyLine(4, points);
  }
}
