// The kind-to-handler table and the box operations the handler families share. The table is
// indexed by the kernel's handler id; the atoms are in from the start, the other handler ids are
// filled by the steps that build them, and the ids the layout gives no handler of their own
// (chem, tensor, the box signs, braces, norms, bra-kets, lim, vector, hat ...) keep the
// side-by-side layout.
#include "editor/layout_handlers.h"

#include <algorithm>
#include <array>

#include "editor/atom_layout.h"
#include "editor/line_mapping.h"
#include "editor/typeset_state.h"
#include "kernel/trees/expr_node.h"

namespace {

struct InitialHandler {
  LayoutHandler id;
  LayoutHandlerFn fn;
};
constexpr InitialHandler kAtomHandlers[] = {{LayoutHandler::Num, LayoutNumber},
                                            {LayoutHandler::Prompt, LayoutPrompt},
                                            {LayoutHandler::Symbol, LayoutCharacter},
                                            {LayoutHandler::String, LayoutString}};

using HandlerTable = std::array<LayoutHandlerFn, kLayoutHandlerCount>;

constexpr HandlerTable InitialHandlers() {
  HandlerTable table{};
  for (const InitialHandler& h : kAtomHandlers) table[static_cast<size_t>(h.id)] = h.fn;
  return table;
}

// Null entries lay out side by side.
HandlerTable gHandlers = InitialHandlers();

LayoutHandlerFn& Slot(LayoutHandler id) { return gHandlers[static_cast<size_t>(id)]; }

void PrefixBoxWithMinimums(ExprNode* node, Fixed gap, Fixed minDescent, Fixed minAscent) {
  TypesetBox& box = *node->box;
  BaselineMetrics m{0, 0};
  Fixed width = 0;
  if (node->arity > 0) {
    m = ChildBaselineMetrics(*node->children[0]->box);
    width = node->children[0]->box->width;
  }
  box.descent = std::max(m.descent, minDescent);
  box.ascent = std::max(m.ascent, minAscent);
  if (node->arity > 0) AlignChildOnBaseline(*node->children[0]->box, gap, box.descent);
  box.width = gap + width;
  box.baselineFlag = 1;
}

}  // namespace

LayoutHandlerFn RegisterLayoutHandler(LayoutHandler id, LayoutHandlerFn handler) {
  LayoutHandlerFn& slot = Slot(id);
  LayoutHandlerFn previous = slot ? slot : LayoutSideBySide;
  slot = handler;
  return previous;
}

LayoutHandlerFn LayoutHandlerForKind(uint32_t kind) {
  const NodeKindRow* row = GetNodeKindRow(kind);
  LayoutHandlerFn fn = row ? Slot(row->handler) : nullptr;
  return fn ? fn : LayoutSideBySide;
}

BaselineMetrics ChildBaselineMetrics(const TypesetBox& child) {
  if (child.baselineFlag) return BaselineMetrics{child.descent, child.ascent};
  Fixed a = MathAxisOf(TypesetGlobals().metrics.typeSize);
  return BaselineMetrics{child.descent - a, child.ascent + a};
}

void AlignChildOnBaseline(TypesetBox& child, Fixed x, Fixed nodeDescent) {
  child.relativeHorizontal = x;
  child.relativeVertical = ChildBaselineMetrics(child).descent - nodeDescent;
}

void LayoutSideBySide(ExprNode* node, int32_t mode) {
  if (mode != kLayoutMeasure) return;
  TypesetBox& box = *node->box;
  Fixed descent = 0, ascent = TypesetGlobals().metrics.typeSize, x = 0;
  for (int i = 0; i < node->arity; ++i) {
    BaselineMetrics m = ChildBaselineMetrics(*node->children[i]->box);
    descent = std::max(descent, m.descent);
    ascent = std::max(ascent, m.ascent);
  }
  for (int i = 0; i < node->arity; ++i) {
    TypesetBox& child = *node->children[i]->box;
    AlignChildOnBaseline(child, x, descent);
    x = SaturateFixed(int64_t{x} + child.width);
  }
  box.descent = descent;
  box.ascent = ascent;
  box.width = x;
  box.baselineFlag = 1;
}

void PrefixBox(ExprNode* node, Fixed gap) {
  const TypeMetrics& m = TypesetGlobals().metrics;
  PrefixBoxWithMinimums(node, gap, m.typeQuarter, m.typeSize);
}

void PrefixBoxTight(ExprNode* node, Fixed gap) { PrefixBoxWithMinimums(node, gap, 0, 0); }

Fixed SubscriptDrop(Fixed h, Fixed d) {
  Fixed s20 = TypesetGlobals().metrics.typeSize / 20;
  return std::min(SaturateFixed(int64_t{h} / 2 - s20), MulDivFixed(d, 3, 4));
}

Fixed SuperscriptRaise(Fixed h, Fixed e) {
  Fixed s20 = TypesetGlobals().metrics.typeSize / 20;
  return std::min(SaturateFixed(int64_t{MulDivFixed(h, 3, 4)} - s20), MulDivFixed(e, 85, 100));
}

void MoveToBaselinePoint(const ExprNode* node, Fixed dx) {
  const TypesetBox& box = *node->box;
  LineMoveTo(box.absoluteHorizontal + dx, box.absoluteVertical - box.descent);
}
