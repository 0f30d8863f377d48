// Structural edits: each case's result, the same edit with each of its allocations refused, the
// operand limit, bad arguments, and random edit sequences against the invariants.
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/kernel/trees/tree_test_support.h"

namespace {

using tree_test::Build;
using tree_test::Same;
using tree_test::Text;

class TreeEditTest : public tree_test::TreeTest {};

using Edit = std::function<bool(ExprNode* root, std::vector<ExprNode*>& others)>;

struct EditCase { const char* input; std::vector<const char*> others; Edit edit; const char* expected; };  // others: operands

// The current editor for the grouping cases.
FormulaEditor gEditor;

void SelectChildren(ExprNode* root, int start, int end) {
  gEditor = FormulaEditor{};
  gEditor.root = gEditor.caretNode = root;
  gEditor.selectionMode = SelectionChildRange;
  gEditor.selectionStart = start;
  gEditor.selectionEnd = end;
  TypesettingGlobals().currentEditor = &gEditor;
}

// True when every node was cut loose from the tree; frees them either way.
bool FreeDetached(std::initializer_list<ExprNode*> nodes) {
  bool detached = true;
  for (ExprNode* n : nodes) {
    detached = detached && n != nullptr && n->parent == nullptr;
    FreeExpression(n);
  }
  return detached;
}

std::vector<EditCase> Cases() {
  using O = std::vector<ExprNode*>;
  return {
      {"sin[x]", {"y"}, [](ExprNode* r, O& o) { return WrapInBinary(r, o[0], 0, KindPlus); }, "plus[y,sin[x]]"},
      {"2.5", {"y"}, [](ExprNode* r, O& o) { return WrapInBinary(r, o[0], 1, KindPower); }, "power[2.5,y]"},
      {"string[\"t\"]", {}, [](ExprNode* r, O&) { return WrapInUnary(r, KindId); }, "id[string[\"t\"]]"},
      {"times[a,b,c]", {"d"}, [](ExprNode* r, O& o) { return PrependFactor(r, o[0]); }, "times[d,a,b,c]"},
      {"plus[a,b,c]", {"d"}, [](ExprNode* r, O& o) { return AppendOperand(r, o[0], KindPlus); }, "plus[a,b,c,d]"},
      {"times[a,b,c]", {"sin[d]"}, [](ExprNode* r, O& o) { return InsertOperand(r, 2, o[0]); },
       "times[a,b,sin[d],c]"},
      {"list[a]", {"d"}, [](ExprNode* r, O& o) { return InsertOperand(r, 1, o[0]); }, "list[a,d]"},
      {"sin[a]", {}, [](ExprNode* r, O&) { return InvertNode(r); }, "over[1,sin[a]]"},
      {"f", {"x", "2"}, [](ExprNode* r, O& o) { return WrapInSubstitution(r, o[0], o[1]); }, "substitution[f,equal[x,2]]"},
      {"plus[id[a],sin[id[id[b]]],id[times[id[c],d]]]", {}, [](ExprNode* r, O&) { return RemoveIdWrappers(r); },
       "plus[a,sin[b],times[c,d]]"},
      {"plus[id[a,b],id[id[c]]]", {}, [](ExprNode* r, O&) { return RemoveIdWrappers(r); },  // nothing dropped
       "plus[id[a,b],c]"},
      {"plus[a,b,c,d]", {}, [](ExprNode* r, O&) {
         ExprNode* group = (SelectChildren(r, 1, 2), GroupSelectedRange());
         return group != nullptr && gEditor.caretNode == group && gEditor.selectionMode == 0 && group->parent == r;
       }, "plus[a,plus[b,c],d]"},
      {"times[a,b,c]", {}, [](ExprNode* r, O&) { return SelectChildren(r, 2, 0), GroupSelectedRange() != nullptr; },
       "times[times[a,b,c]]"},
      {"times[a,sin[b],c,d]", {}, [](ExprNode* r, O&) {  // a detached copy of the selected operands
         ExprNode* copy = (SelectChildren(r, 1, 2), CopySelectedOperands());
         const bool copied = copy != nullptr && copy->arity == 2 && copy->children[0]->kind == KindSin;
         return FreeDetached({copy}) && copied;
       }, "times[a,sin[b],c,d]"},
      {"plus[2.5,b]", {"string[\"s\"]"}, [](ExprNode* r, O& o) { return ReplaceExpression(o[0], r->children[0]), true; },
       "plus[string[\"s\"],b]"},
      {"plus[a,sin[times[b,c]]]", {}, [](ExprNode* r, O&) { return ReplaceExpression(r->children[1]->children[0], r), true; },
       "times[b,c]"},
      {"plus[a,b]", {}, [](ExprNode* r, O&) { return FreeDetached({RemoveOperand(r, 0)}); }, "b"},  // r takes b's place
      {"plus[a,b,c,d]", {}, [](ExprNode* r, O&) { return DeleteChildAt(r, 3); }, "plus[a,b,c]"},
      {"plus[a,b]", {"c"}, [](ExprNode* r, O& o) { return SetChildCount(r, 3) && (SetChild(r, 2, o[0]), true); },
       "plus[a,b,c]"},
      {"plus[a,b,c,d,e,f]", {}, [](ExprNode* r, O&) {  // a large array shrinks in place
         ExprNode* cut[] = {r->children[4], r->children[5]};
         return SetChildCount(r, 4) && FreeDetached({cut[0], cut[1]});
       }, "plus[a,b,c,d]"},
      {"plus[2,b]", {}, [](ExprNode* r, O&) {  // slots replace a num node's record
         ExprNode* two = r->children[0];
         const bool released = SetChildCount(two, 0) && two->value.number == nullptr;
         return (two->kind = KindPrompt, released);
       }, "plus[prompt[],b]"},
      {"plus[a,b,c]", {}, [](ExprNode* r, O&) {
         ExprNode* cut[] = {r->children[1], r->children[2]};
         return UnwrapNode(r) && FreeDetached({cut[0], cut[1]});
       }, "a"},
      {"plus[a,b]", {"sin[c]"}, [](ExprNode* r, O& o) {
         ExprNode* cut[] = {r->children[0], r->children[1]};
         return (MoveNodeInto(o[0], r), FreeDetached({cut[0], cut[1]}));
       }, "sin[c]"},
  };
}

// Builds the case's input and operands; a raised flag would refuse large arrays even here.
ExprNode* Arrange(const EditCase& c, std::vector<ExprNode*>& others) {
  SetOutOfMemoryFlag(false);
  for (const char* text : c.others) others.push_back(Build(text));
  return Build(c.input);
}

// Each edit gives its tree with the invariants kept; then, for every allocation it makes, refusing
// that one fails the edit with the tree as it was, error 7 posted once and the operands detached.
TEST_F(TreeEditTest, EditsGiveTheirTreeOrFailWithoutChange) {
  int failures = 0;
  for (const EditCase& c : Cases()) {
    std::vector<ExprNode*> used;
    ExprNode* done = Arrange(c, used);
    FailNodeAllocationAt(0);
    EXPECT_TRUE(c.edit(done, used)) << c.input;
    const uint64_t needed = NodeAllocationAttempts();
    const char* why = "";
    EXPECT_TRUE(CheckExpressionTree(done, &why) && done->parent == nullptr && Same(done, c.expected)) << c.input << why;
    TypesettingGlobals().currentEditor = nullptr;
    FreeExpression(done);
    for (uint64_t n = 1; n <= needed; ++n, ++failures) {
      SCOPED_TRACE(std::string(c.input) + " failing at allocation " + std::to_string(n));
      ResetErrorRegister();
      std::vector<ExprNode*> others;
      ExprNode* root = Arrange(c, others);
      ExprNode* before = CopyExpression(root);
      const uint64_t reports = NodeExhaustionReports();
      FailNodeAllocationAt(n);
      EXPECT_FALSE(c.edit(root, others));
      FailNodeAllocationAt(0);
      EXPECT_TRUE(CheckNodePools() && CheckExpressionTree(root) && ExpressionsEqual(root, before)) << Text(root);
      EXPECT_TRUE(NodeExhaustionReports() - reports == 1u && GetOutOfMemoryFlag() && PendingError() == 7);
      EXPECT_TRUE(TypesettingGlobals().currentEditor == nullptr ||
                  (gEditor.caretNode == root && gEditor.selectionMode == SelectionChildRange));
      TypesettingGlobals().currentEditor = nullptr;
      for (ExprNode* other : others) {
        EXPECT_EQ(other->parent, nullptr) << "operand left attached";
        FreeExpression(other);
      }
      FreeExpression(before);
      FreeExpression(root);
    }
  }
  EXPECT_GT(failures, 25);
}

// Bad indexes and arguments fail without change and without a word, and so do appending,
// prepending and inserting at the operand limit, which says why (error 7, as for memory, so a caller that drops
// the result loses no operand unseen) but is not exhaustion (no memory flag); below it they work,
// the removal renumbering every later slot.
TEST_F(TreeEditTest, BadArgumentsAndTheOperandLimitFailWithoutChange) {
  ExprNode* root = Build("plus[a,b,c]");
  EXPECT_FALSE(RemoveChildSlot(root, 3) || RemoveChildSlot(root, -1) || RemoveOperand(root, 5) != nullptr ||
               RemoveOperandAndFree(root, 3) || DeleteChildAt(root, 3) || SetChildCount(root, -1) ||
               ShiftChildrenRight(root, 4) || WrapInBinary(root, root->children[0], 2, KindPlus) ||
               UnwrapNode(root->children[0]) || InsertOperand(root, 4, root->children[0]) ||
               InsertOperand(root, -1, root->children[0]) || InsertOperand(root, 0, nullptr));
  EXPECT_EQ(PendingError(), 0);
  EXPECT_EQ(MoveContentToNewNode(root, KindPlus, kMaxArity + 1), nullptr);
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
  SelectChildren(root, 1, 3);  // a range outside the node, then the wrong mode: no grouping
  EXPECT_TRUE(GroupSelectedRange() == nullptr && CopySelectedOperands() == nullptr);
  gEditor.selectionMode = SelectionText;
  EXPECT_TRUE(GroupSelectedRange() == nullptr && Same(root, "plus[a,b,c]") && CheckExpressionTree(root));
  FreeExpression(root);
  ExprNode* wide = NewNode(KindTimes, kMaxArity);
  for (int i = 0; i < kMaxArity; ++i) SetChild(wide, i, NewNumberNode(i));
  ExprNode* extra = Build("b");
  const std::function<bool()> refused[] = {[&] { return AppendOperand(wide, extra, KindTimes); },
                                           [&] { return PrependFactor(wide, extra); },
                                           [&] { return InsertOperand(wide, 5, extra); },
                                           [&] { return SetChildCount(wide, kMaxArity + 1); }};
  for (const auto& edit : refused) {
    ResetErrorRegister();
    EXPECT_TRUE(!edit() && PendingError() == kErrorOutOfMemory);
  }
  EXPECT_TRUE(extra->parent == nullptr && wide->arity == kMaxArity && !GetOutOfMemoryFlag());
  EXPECT_TRUE(DeleteChildAt(wide, 0) && PrependFactor(wide, extra) && wide->arity == kMaxArity && CheckExpressionTree(wide));
  FreeExpression(wide);
}

// Random edits at random places, some with a random allocation refused: after every edit the
// invariants hold, a copy equals the tree, and a failed edit changed nothing.
TEST_F(TreeEditTest, RandomEditSequencesKeepInvariants) {
  std::mt19937 random(20261206);
  int failedEdits = 0;
  for (int round = 0; round < 40; ++round) {
    ExprNode* root = Build("plus[a,times[b,c],sin[x]]");
    for (int step = 0, count; step < 60 && (count = CountSubtreeNodes(root)) < 400; ++step) {
      TreeCursor cursor(root, WalkOrder::kPreOrder);
      for (int i = static_cast<int>(random() % count); i > 0; --i) cursor.Next();
      ExprNode* node = cursor.Current();
      ExprNode* leaf = NewSymbolNode(static_cast<int16_t>('a' + random() % 26));
      ExprNode* before = CopyExpression(root);
      const unsigned op = random() % 9;
      const int arity = node->arity, pick = arity > 0 ? static_cast<int>(random() % arity) : 0;
      const bool inject = random() % 4 == 0;
      if (inject) FailNodeAllocationAt(1 + random() % 3);
      bool ok = false, leafUsed = false;
      switch (op) {
        case 0: ok = WrapInUnary(node, KindMinus); break;
        case 1: ok = leafUsed = WrapInBinary(node, leaf, pick % 2, KindPlus); break;
        case 2: ok = leafUsed = AppendOperand(node, leaf, KindPlus); break;
        case 3: ok = leafUsed = PrependFactor(node, leaf); break;
        case 4: ok = InvertNode(node); break;
        case 5: ok = WrapInUnary(node, KindId) && RemoveIdWrappers(root); break;
        case 6: ok = arity >= 2 && RemoveOperandAndFree(node, pick); break;
        case 7: ok = arity >= 2 && DeleteChildAt(node, pick); break;
        default:
          if (arity >= 3) SelectChildren(node, pick, static_cast<int>(random() % arity));
          ok = arity >= 3 && GroupSelectedRange() != nullptr;
          TypesettingGlobals().currentEditor = nullptr;
      }
      FailNodeAllocationAt(0);
      if (!leafUsed) FreeExpression(leaf);
      const char* why = nullptr;
      ASSERT_TRUE(CheckExpressionTree(root, &why)) << why << " after " << Text(root);
      if (!ok && inject && GetOutOfMemoryFlag()) {
        EXPECT_TRUE(ExpressionsEqual(root, before)) << Text(before) << " became " << Text(root);
        ++failedEdits;
      }
      SetOutOfMemoryFlag(false);  // while raised, large child arrays are refused outright
      ExprNode* copy = CopyExpression(root);
      EXPECT_TRUE(ExpressionsEqual(root, copy)) << Text(root) << " copied as " << Text(copy);
      FreeExpression(copy);
      FreeExpression(before);
    }
    FreeExpression(root);
  }
  EXPECT_GT(failedEdits, 20);
}

}  // namespace
