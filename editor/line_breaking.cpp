// Line breaking on the current editor: collect the candidates of the breakable chain in
// post-order, then break.
#include "editor/line_breaking.h"

#include <algorithm>
#include <cstring>

#include "editor/operator_layout.h"
#include "editor/typeset_state.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/trees/expr_node.h"

namespace {

FormulaEditor& Editor() { return *TypesettingGlobals().currentEditor; }

Fixed RootHeight(const FormulaEditor& e) { return SumFixed(e.root->box->descent, e.root->box->ascent); }

Fixed LineStart(const FormulaEditor& e, int32_t i) { return e.lineTable && i > 0 ? e.lineTable[i - 1].start : 0; }

// The end of line i: the next line's start, or the root's width for the last line.
Fixed LineEnd(const FormulaEditor& e, int32_t i) {
  return i < e.lineCount && e.lineTable ? e.lineTable[i].start : e.root->box->width;
}

int64_t RightEdge(const ExprNode* n) { return int64_t{n->box->absoluteHorizontal} + n->box->width; }

// A node's right edge, moved past the closing parentheses a fraction or power set in one line
// draws right after it, so that no line starts with them.
Fixed CandidateEdge(const ExprNode* n) {
  int64_t edge = RightEdge(n);
  for (const ExprNode* m = n; m->parent && RightEdge(m) == edge; m = m->parent) edge += OneLineClosingRoom(m);
  return SaturateFixed(edge);
}

// Right edges of the children of the nodes on the breakable chain, in post-order. The chain is
// the root and, under a node on it, every child whose too-wide flag is set and that may be broken
// inside. It is worked out on the walk rather than by clearing the flags off it: the fraction,
// power and sn handlers draw the form the flags chose when they were measured, under an
// unbreakable parent too. A char or matrix standing as a side of an equation is never a break
// point.
int32_t CollectCandidates(ExprNode* root, Fixed* out) {
  int32_t count = 0;
  int chain = 0;  // the nodes at depths 0 .. chain - 1 of the path down to the current one are on it
  TreeCursor cursor(root, WalkOrder::kEnterAndLeave);
  for (ExprNode* n = cursor.Current(); n; n = cursor.Next()) {
    const int depth = cursor.Depth();
    if (cursor.Entering()) {
      if (chain == depth && n->box->tooWideFlag && CanBreakInside(n)) chain = depth + 1;
      continue;
    }
    chain = std::min(chain, depth);
    if (depth == 0 || chain < depth) continue;  // its parent is off the chain
    if ((n->kind == KindChar || n->kind == KindMatrix) && n->parent->kind == KindEqual) continue;
    out[count++] = CandidateEdge(n);
  }
  return count;
}

void BreakLongLines(FormulaEditor& e, const Fixed* candidates, int32_t count) {
  for (int32_t i = 1; i <= e.lineCount;) {
    if (LineWidth(i) <= e.widthLimit) {
      ++i;
      continue;
    }
    Fixed s = LineStart(e, i), end = LineEnd(e, i);
    int64_t reach = int64_t{s} + e.widthLimit;
    int32_t k = 0;
    while (k < count && candidates[k] < reach) ++k;
    if (k < count && k > 0 && candidates[k - 1] > s && candidates[k - 1] < end) {
      if (!InsertLineBreak(candidates[k - 1])) return;
      continue;  // line i is now within the limit; it is examined again
    }
    if (k < count && k > 0 && candidates[k] > s && candidates[k] < end && !InsertLineBreak(candidates[k])) return;
    ++i;
  }
}

}  // namespace

bool CanBreakInside(const ExprNode* node) {
  switch (node->kind) {
    case KindNum: case KindPrompt: case KindChar: case KindDummy: case KindString: case KindIndexes: case KindChem:
    case KindTensor: case KindMatrix: case KindAtop: case KindOptotal: case KindOppartial: case KindSum:
    case KindProd: case KindInt: case KindOint: case KindBigcup: case KindBigcap: case KindBranch: case KindSn:
      return false;
    case KindLog: case KindGrad: return node->arity == 1;
    case KindSubstitution: case KindLim: case KindSqrt: case KindDownbrace: case KindUpbrace: case KindOverline:
    case KindChoice:
      return false;
    default: return true;
  }
}

Fixed LineWidth(int32_t i) {
  const FormulaEditor& e = Editor();
  return SaturateFixed(int64_t{LineEnd(e, i)} - LineStart(e, i));
}

bool InsertLineBreak(Fixed x) {
  FormulaEditor& e = Editor();
  int32_t n = e.lineTable ? e.lineCount : 1;
  auto* rows = static_cast<FormulaLine*>(AllocMemory(sizeof(FormulaLine) * size_t(n + 1)));
  if (!rows) return false;
  int32_t at = 0;
  if (e.lineTable) {
    while (at < n && e.lineTable[at].start < x) ++at;
    std::memcpy(rows, e.lineTable, sizeof(FormulaLine) * size_t(at));
    std::memcpy(rows + at + 1, e.lineTable + at, sizeof(FormulaLine) * size_t(n - at));
  } else {
    rows[0] = FormulaLine{0, 0};
    at = 1;
  }
  rows[at].start = x;
  FreeMemory(e.lineTable);
  e.lineTable = rows;
  e.lineCount = n + 1;
  Fixed height = RootHeight(e);
  e.widestLine = 0;
  for (int32_t k = 0; k < e.lineCount; ++k) {
    rows[k].top = SaturateFixed(int64_t{k} * height);
    e.widestLine = std::max(e.widestLine, LineWidth(k + 1));
  }
  return true;
}

void BreakFormulaLines() {
  FormulaEditor& e = Editor();
  TypesetState& g = TypesetGlobals();
  if (!e.lineTable) e.lineTable = static_cast<FormulaLine*>(AllocMemory(sizeof(FormulaLine)));
  if (e.lineTable) e.lineTable[0] = FormulaLine{0, 0};
  e.lineCount = 1;
  e.widestLine = e.root->box->width;
  if (LineWidth(1) <= e.widthLimit) return;
  g.breakCandidates = static_cast<Fixed*>(AllocMemory(sizeof(Fixed) * size_t(CountSubtreeNodes(e.root))));
  if (!g.breakCandidates) return;
  g.breakCandidateCount = CollectCandidates(e.root, g.breakCandidates);
  BreakLongLines(e, g.breakCandidates, g.breakCandidateCount);
  FreeMemory(g.breakCandidates);
  g.breakCandidates = nullptr;
  g.breakCandidateCount = 0;
}

bool CheckLineTable(const char** message) {
  const char* why = "";
  const FormulaEditor& e = Editor();
  Fixed widest = 0;
  if (e.lineCount < 1) why = "no line";
  for (int32_t i = 1; *why == 0 && i <= e.lineCount; ++i) {
    if (LineWidth(i) < 0 || (LineWidth(i) == 0 && e.lineCount > 1)) why = "an empty line, or a negative width";
    if (e.lineCount > 1 && (!e.lineTable || e.lineTable[i - 1].top != SaturateFixed(int64_t{i - 1} * RootHeight(e))))
      why = "a line top that is not index x height";
    widest = std::max(widest, LineWidth(i));
  }
  if (*why == 0 && e.lineTable && (e.lineTable[0].start != 0 || e.lineTable[0].top != 0)) why = "line 0 not at (0, 0)";
  if (*why == 0 && widest != e.widestLine) why = "the widest line is not the largest line width";
  if (message) *message = why;
  return *why == 0;
}
