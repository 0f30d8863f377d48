// Structural edits: each case runs once to check the result (and the tree invariants), then again
// with the N-th allocation refused for every N the edit needs, where it must fail with the tree
// exactly as before, the out-of-memory flag up and error 7 pending.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/kernel/trees/tree_test_support.h"

namespace {

using tree_test::Build;
using tree_test::Show;

class TreeEditTest : public tree_test::TreeTest {};

struct EditCase {
  const char* name;
  const char* input;
  std::vector<const char*> others;  // operands built before the edit
  std::function<bool(ExprNode* root, std::vector<ExprNode*>& others)> edit;
  const char* expected;
};

// The current editor for the grouping cases: caret on the root, children 1..2 selected.
FormulaEditor gEditor;

void SelectChildren(ExprNode* root, int start, int end) {
  gEditor = FormulaEditor{};
  gEditor.root = root;
  gEditor.caretNode = root;
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
  return {
      {"WrapInBinaryAtSlot0", "sin(x)", {"y"},
       [](ExprNode* r, auto& o) { return WrapInBinary(r, o[0], 0, KindPlus); }, "plus(y,sin(x))"},
      {"WrapInBinaryAtSlot1", "sin(x)", {"y"},
       [](ExprNode* r, auto& o) { return WrapInBinary(r, o[0], 1, KindPlus); }, "plus(sin(x),y)"},
      {"WrapInBinaryOfNumberMovesItsRecord", "2.5", {"y"},
       [](ExprNode* r, auto& o) { return WrapInBinary(r, o[0], 1, KindPower); }, "power(2.5,y)"},
      {"WrapInUnaryInsideTree", "plus(a,b)", {},
       [](ExprNode* r, auto&) { return WrapInUnary(r->children[1], KindAbs); }, "plus(a,abs(b))"},
      {"PrependFactorOnTimes", "times(a,b)", {"c"},
       [](ExprNode* r, auto& o) { return PrependFactor(r, o[0]); }, "times(c,a,b)"},
      {"PrependFactorOnTimesGrowsToHeapArray", "times(a,b,c)", {"d"},
       [](ExprNode* r, auto& o) { return PrependFactor(r, o[0]); }, "times(d,a,b,c)"},
      {"PrependFactorOnOtherKind", "plus(a,b)", {"c"},
       [](ExprNode* r, auto& o) { return PrependFactor(r, o[0]); }, "times(c,plus(a,b))"},
      {"AppendOperandSameKind", "plus(a,b)", {"c"},
       [](ExprNode* r, auto& o) { return AppendOperand(r, o[0], KindPlus); }, "plus(a,b,c)"},
      {"AppendOperandOtherKind", "times(a,b)", {"c"},
       [](ExprNode* r, auto& o) { return AppendOperand(r, o[0], KindPlus); }, "plus(times(a,b),c)"},
      {"AppendFactorPastThreeSlots", "times(a,b,c)", {"d"},
       [](ExprNode* r, auto& o) { return AppendFactor(r, o[0]); }, "times(a,b,c,d)"},
      {"AppendFactorToLeaf", "a", {"b"},
       [](ExprNode* r, auto& o) { return AppendFactor(r, o[0]); }, "times(a,b)"},
      {"RemoveIdWrappersNested", "id(id(x))", {},
       [](ExprNode* r, auto&) { return RemoveIdWrappers(r); }, "x"},
      {"RemoveIdWrappersEverywhere", "plus(id(a),sin(id(id(b))),id(times(id(c),d)))", {},
       [](ExprNode* r, auto&) { return RemoveIdWrappers(r); }, "plus(a,sin(b),times(c,d))"},
      {"GroupSelectedRangeMiddle", "plus(a,b,c,d)", {},
       [](ExprNode* r, auto&) {
         SelectChildren(r, 1, 2);
         ExprNode* group = GroupSelectedRange();
         if (group == nullptr) return false;
         return gEditor.caretNode == group && gEditor.selectionMode == 0 && group->parent == r;
       },
       "plus(a,plus(b,c),d)"},
      {"GroupSelectedRangeReversedEnds", "times(a,b,c)", {},
       [](ExprNode* r, auto&) { return SelectChildren(r, 2, 0), GroupSelectedRange() != nullptr; },
       "times(times(a,b,c))"},
      {"ReplaceExpressionByOtherTree", "plus(a,sin(b))", {"times(p,q)"},
       [](ExprNode* r, auto& o) { return ReplaceExpression(o[0], r), true; }, "times(p,q)"},
      {"ReplaceExpressionIntoNumberReleasesItsRecord", "plus(2.5,b)", {"'s'"},
       [](ExprNode* r, auto& o) { return ReplaceExpression(o[0], r->children[0]), true; }, "plus('s',b)"},
      {"ReplaceExpressionByOwnDescendant", "plus(a,sin(times(b,c)))", {},
       [](ExprNode* r, auto&) { return ReplaceExpression(r->children[1]->children[0], r), true; }, "times(b,c)"},
      {"RemoveOperandOfBinary", "plus(a,b)", {},
       [](ExprNode* r, auto&) {
         ExprNode* a = r->children[0];
         return RemoveOperand(r, 0) == a && FreeDetached({a});  // r itself now holds b
       },
       "b"},
      {"RemoveOperandOfThree", "plus(a,b,c)", {},
       [](ExprNode* r, auto&) { return FreeDetached({RemoveOperand(r, 1)}); },
       "plus(a,c)"},
      {"RemoveOperandAndFreeFromFive", "plus(a,b,c,d,e)", {},
       [](ExprNode* r, auto&) { return RemoveOperandAndFree(r, 0); }, "plus(b,c,d,e)"},
      {"DeleteChildAtFromFour", "plus(a,b,c,d)", {},
       [](ExprNode* r, auto&) { return DeleteChildAt(r, 3); }, "plus(a,b,c)"},
      {"DeleteChildAtOfBinaryKeepsTheNode", "plus(a,b)", {},
       [](ExprNode* r, auto&) { return DeleteChildAt(r, 0); }, "plus(b)"},
      {"RemoveOperandAndFreeOfBinary", "plus(a,sin(b))", {},
       [](ExprNode* r, auto&) { return RemoveOperandAndFree(r, 1); }, "a"},
      {"RemoveChildSlotDetaches", "plus(a,b,c)", {},
       [](ExprNode* r, auto&) {
         ExprNode* a = r->children[0];
         return RemoveChildSlot(r, 0) && FreeDetached({a});
       },
       "plus(b,c)"},
      {"DeleteChildAtLastOperand", "sin(x)", {},
       [](ExprNode* r, auto&) { return DeleteChildAt(r, 0) && r->arity == 0; }, "sin()"},
      {"SetChildCountGrows", "plus(a,b)", {"c"},
       [](ExprNode* r, auto& o) {
         if (!SetChildCount(r, 3)) return false;
         r->children[2] = o[0];
         o[0]->parent = r;
         return true;
       },
       "plus(a,b,c)"},
      {"SetChildCountShrinksAndDetaches", "plus(a,b,c,d,e)", {},
       [](ExprNode* r, auto&) {
         ExprNode* d = r->children[3];
         ExprNode* e = r->children[4];
         return SetChildCount(r, 3) && FreeDetached({d, e});
       },
       "plus(a,b,c)"},
      {"SetChildCountShrinksLargeArrayInPlace", "plus(a,b,c,d,e,f)", {},
       [](ExprNode* r, auto&) {
         ExprNode* e = r->children[4];
         ExprNode* f = r->children[5];
         return SetChildCount(r, 4) && FreeDetached({e, f});
       },
       "plus(a,b,c,d)"},
      {"SetChildCountToSameCountMovesNothing", "times(a,b)", {},
       [](ExprNode* r, auto&) {
         ExprNode** array = r->children;
         return SetChildCount(r, 2) && r->children == array;
       },
       "times(a,b)"},
      {"SetChildCountToZeroOnNumberReleasesRecord", "plus(2,b)", {},
       [](ExprNode* r, auto&) {
         ExprNode* two = r->children[0];
         if (!SetChildCount(two, 0)) return false;
         const bool ok = two->value.number == nullptr;
         two->kind = KindPrompt;
         return ok;
       },
       "plus(prompt,b)"},
      {"UnwrapNodeKeepsIdentity", "plus(sin(x),y)", {},
       [](ExprNode* r, auto&) { return UnwrapNode(r->children[0]); }, "plus(x,y)"},
      {"UnwrapNodeDetachesOtherChildren", "plus(a,b,c)", {},
       [](ExprNode* r, auto&) {
         ExprNode* b = r->children[1];
         ExprNode* c = r->children[2];
         return UnwrapNode(r) && FreeDetached({b, c});
       },
       "a"},
      {"NegateNode", "plus(a,b)", {},
       [](ExprNode* r, auto&) { return NegateNode(r->children[0]); }, "plus(minus(a),b)"},
      {"DivideNodeBy", "a", {"b"}, [](ExprNode* r, auto& o) { return DivideNodeBy(r, o[0]); }, "over(a,b)"},
      {"RaiseNodeTo", "a", {"2"}, [](ExprNode* r, auto& o) { return RaiseNodeTo(r, o[0]); }, "power(a,2)"},
      {"AddToNode", "a", {"b"}, [](ExprNode* r, auto& o) { return AddToNode(r, o[0]); }, "plus(a,b)"},
      {"AddNodeBefore", "a", {"b"}, [](ExprNode* r, auto& o) { return AddNodeBefore(r, o[0]); }, "plus(b,a)"},
      {"InvertNode", "sin(a)", {}, [](ExprNode* r, auto&) { return InvertNode(r); }, "over(1,sin(a))"},
      {"WrapInSubstitution", "f", {"x", "2"},
       [](ExprNode* r, auto& o) { return WrapInSubstitution(r, o[0], o[1]); }, "substitution(f,equal(x,2))"},
      {"MoveContentToNewNodeThenPlace", "sin(x)", {},
       [](ExprNode* r, auto&) {
         ExprNode* inner = MoveContentToNewNode(r, KindSqrt, 1);
         if (inner == nullptr || inner->parent != nullptr) return false;
         r->children[0] = inner;
         inner->parent = r;
         return true;
       },
       "sqrt(sin(x))"},
      {"MoveContentOfStringNode", "'txt'", {},
       [](ExprNode* r, auto&) { return WrapInUnary(r, KindId); }, "id('txt')"},
      {"MoveNodeIntoReplacesContentNotChildren", "plus(a,b)", {"sin(c)"},
       [](ExprNode* r, auto& o) {
         ExprNode* a = r->children[0];
         ExprNode* b = r->children[1];
         MoveNodeInto(o[0], r);
         return FreeDetached({a, b});
       },
       "sin(c)"},
  };
}

// Builds the case's input and operands; a raised flag would refuse large arrays even here.
ExprNode* Arrange(const EditCase& c, std::vector<ExprNode*>& others) {
  SetOutOfMemoryFlag(false);
  ExprNode* root = Build(c.input);
  for (const char* text : c.others) others.push_back(Build(text));
  return root;
}

TEST_F(TreeEditTest, EditsGiveExpectedTreesAndKeepInvariants) {
  for (const EditCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    std::vector<ExprNode*> others;
    ExprNode* root = Arrange(c, others);
    EXPECT_TRUE(c.edit(root, others));
    const char* why = nullptr;
    EXPECT_TRUE(CheckExpressionTree(root, &why)) << why;
    EXPECT_EQ(root->parent, nullptr);
    EXPECT_EQ(Show(root), c.expected);
    EXPECT_FALSE(GetOutOfMemoryFlag());
    TypesettingGlobals().currentEditor = nullptr;
    FreeExpression(root);
  }
}

// For every allocation an edit makes, refusing it makes the edit fail and leaves the tree as it
// was (and the operands detached for the caller to keep or free).
TEST_F(TreeEditTest, EditsFailingAtEveryAllocationLeaveTreeIntact) {
  int failuresSeen = 0;
  for (const EditCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    std::vector<ExprNode*> used;
    ExprNode* done = Arrange(c, used);
    FailNodeAllocationAt(0);
    c.edit(done, used);
    const uint64_t needed = NodeAllocationAttempts();
    TypesettingGlobals().currentEditor = nullptr;
    FreeExpression(done);
    for (uint64_t n = 1; n <= needed; ++n) {
      ResetErrorRegister();
      std::vector<ExprNode*> others;
      ExprNode* root = Arrange(c, others);
      ExprNode* before = CopyExpression(root);
      const uint64_t reports = NodeExhaustionReports();
      FailNodeAllocationAt(n);
      const bool ok = c.edit(root, others);
      FailNodeAllocationAt(0);
      SCOPED_TRACE("allocation " + std::to_string(n));
      EXPECT_FALSE(ok);
      EXPECT_TRUE(CheckNodePools() && CheckExpressionTree(root));
      EXPECT_EQ(NodeExhaustionReports() - reports, 1u);
      EXPECT_TRUE(ExpressionsEqual(root, before)) << Show(root);
      EXPECT_TRUE(GetOutOfMemoryFlag() && PendingError() == 7);
      if (TypesettingGlobals().currentEditor != nullptr) {
        EXPECT_EQ(gEditor.caretNode, root);
        EXPECT_EQ(gEditor.selectionMode, SelectionChildRange);
        TypesettingGlobals().currentEditor = nullptr;
      }
      for (ExprNode* other : others) {
        EXPECT_EQ(other->parent, nullptr) << "operand left attached";
        FreeExpression(other);
      }
      FreeExpression(before);
      FreeExpression(root);
      ++failuresSeen;
    }
  }
  EXPECT_GT(failuresSeen, 30);
}

TEST_F(TreeEditTest, WidestNodeCopiesAndRefusesOneOperandMore) {
  ExprNode* wide = NewNode(KindPlus, kMaxArity);
  for (int i = 0; i < kMaxArity; ++i) {
    wide->children[i] = NewNumberNode(i);
    wide->children[i]->parent = wide;
  }
  ExprNode* copy = CopyExpression(wide);
  EXPECT_TRUE(ExpressionsEqual(wide, copy));
  EXPECT_EQ(CountSubtreeNodes(copy), kMaxArity + 1);
  copy->children[kMaxArity - 1]->value.number->value = -1;  // equality looks at the last operand
  EXPECT_FALSE(ExpressionsEqual(wide, copy));
  FreeExpression(copy);
  ExprNode* extra = Build("b");
  EXPECT_FALSE(AppendOperand(wide, extra, KindPlus) || SetChildCount(wide, kMaxArity + 1));
  EXPECT_EQ(extra->parent, nullptr);
  wide->kind = KindTimes;
  EXPECT_FALSE(PrependFactor(wide, extra) || AppendFactor(wide, extra));
  EXPECT_EQ(wide->arity, kMaxArity);
  EXPECT_TRUE(CheckExpressionTree(wide));
  EXPECT_FALSE(GetOutOfMemoryFlag());  // a limit, not exhaustion
  // Below the limit the same append works.
  EXPECT_TRUE(DeleteChildAt(wide, 0));
  EXPECT_TRUE(AppendFactor(wide, extra));
  EXPECT_EQ(wide->arity, kMaxArity);
  EXPECT_TRUE(CheckExpressionTree(wide));
  FreeExpression(wide);
  ReleaseNodePools();
}

TEST_F(TreeEditTest, BadIndexesAndArgumentsFailWithoutChange) {
  ExprNode* root = Build("plus(a,b,c)");
  ExprNode* x = Build("x");
  EXPECT_FALSE(RemoveChildSlot(root, 3) || RemoveChildSlot(root, -1));
  EXPECT_EQ(RemoveOperand(root, 5), nullptr);
  EXPECT_FALSE(RemoveOperandAndFree(root, 3) || DeleteChildAt(root, 3));
  EXPECT_FALSE(ShiftChildrenRight(root, 4) || ShiftChildrenRight(root, 0));
  EXPECT_FALSE(SetChildCount(root, -1));
  EXPECT_FALSE(WrapInBinary(root, x, 2, KindPlus) || WrapInBinary(root, nullptr, 0, KindPlus));
  EXPECT_FALSE(UnwrapNode(x) || AppendOperand(nullptr, x, KindPlus));
  EXPECT_EQ(MoveContentToNewNode(root, KindPlus, kMaxArity + 1), nullptr);
  EXPECT_EQ(Show(root), "plus(a,b,c)");
  EXPECT_TRUE(CheckExpressionTree(root));
  // No editor, wrong mode or a range outside the node: grouping and copying do nothing.
  EXPECT_EQ(GroupSelectedRange(), nullptr);
  SelectChildren(root, 1, 3);
  EXPECT_EQ(GroupSelectedRange(), nullptr);
  EXPECT_EQ(CopySelectedOperands(), nullptr);
  SelectChildren(root, 0, 1);
  gEditor.selectionMode = SelectionText;
  EXPECT_EQ(GroupSelectedRange(), nullptr);
  TypesettingGlobals().currentEditor = nullptr;
  EXPECT_EQ(Show(root), "plus(a,b,c)");
  FreeExpression(x);
  FreeExpression(root);
}

TEST_F(TreeEditTest, ShiftChildrenRightMovesTopDown) {
  ExprNode* root = Build("plus(a,b,c)");
  ExprNode* a = root->children[0];
  ExprNode* b = root->children[1];
  ExprNode* c = root->children[2];
  EXPECT_TRUE(ShiftChildrenRight(root, 2));  // slot 0 moves to slot 1, over b
  EXPECT_EQ(std::vector<ExprNode*>(root->children, root->children + 3), std::vector<ExprNode*>({nullptr, a, c}));
  root->children[0] = b;  // b was overwritten in slot 1; put it back in front
  EXPECT_TRUE(CheckExpressionTree(root));
  EXPECT_EQ(Show(root), "plus(b,a,c)");
  FreeExpression(root);
}

TEST_F(TreeEditTest, CopySelectedOperandsCopiesRangeDetached) {
  ExprNode* root = Build("times(a,sin(b),c,d)");
  SelectChildren(root, 1, 2);
  ExprNode* copy = CopySelectedOperands();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->parent, nullptr);
  EXPECT_EQ(Show(copy), "times(sin(b),c)");
  EXPECT_EQ(Show(root), "times(a,sin(b),c,d)");
  EXPECT_TRUE(CheckExpressionTree(copy));
  EXPECT_EQ(gEditor.selectionMode, SelectionChildRange);
  FreeExpression(copy);
  // Refusing any allocation of the copy gives null and leaks nothing.
  FailNodeAllocationAt(0);
  copy = CopySelectedOperands();
  const uint64_t needed = NodeAllocationAttempts();
  FreeExpression(copy);
  for (uint64_t n = 1; n <= needed; ++n) {
    SetOutOfMemoryFlag(false);
    const uint64_t reports = NodeExhaustionReports();
    FailNodeAllocationAt(n);
    EXPECT_EQ(CopySelectedOperands(), nullptr) << n;
    EXPECT_TRUE(GetOutOfMemoryFlag());
    EXPECT_EQ(NodeExhaustionReports() - reports, 1u) << n;
  }
  FailNodeAllocationAt(0);
  TypesettingGlobals().currentEditor = nullptr;
  FreeExpression(root);
}

// The node at pre-order position `index` of the tree.
ExprNode* NodeAt(ExprNode* root, int index) {
  SubtreeCursor cursor(root);
  ExprNode* n = cursor.Current();
  for (int i = 0; i < index && n != nullptr; ++i) n = cursor.Next();
  return n;
}

// Random edits at random places, some with a random allocation refused: after every edit the
// invariants hold, a copy equals the tree, and a failed edit changed nothing.
TEST_F(TreeEditTest, RandomEditSequencesKeepInvariants) {
  std::mt19937 random(20261206);  // fixed seed: the run is reproducible
  int failedEdits = 0;
  for (int round = 0; round < 40; ++round) {
    ExprNode* root = Build("plus(a, times(b, c), sin(x))");
    for (int step = 0; step < 60; ++step) {
      const int count = CountSubtreeNodes(root);
      if (count > 400) break;
      ExprNode* node = NodeAt(root, static_cast<int>(random() % count));
      ExprNode* leaf = NewSymbolNode(static_cast<int16_t>('a' + random() % 26));
      ExprNode* before = CopyExpression(root);
      const unsigned op = random() % 10;
      ExprNode* replacement = op == 9 && node != root ? CopyExpression(root->children[0]) : nullptr;
      const bool inject = random() % 4 == 0;
      if (inject) FailNodeAllocationAt(1 + random() % 3);
      bool ok = false;
      bool leafUsed = false;
      switch (op) {
        case 0: ok = WrapInUnary(node, KindMinus); break;
        case 1: ok = leafUsed = WrapInBinary(node, leaf, static_cast<int>(random() % 2), KindPlus); break;
        case 2: ok = leafUsed = AppendOperand(node, leaf, KindPlus); break;
        case 3: ok = leafUsed = PrependFactor(node, leaf); break;
        case 4: ok = InvertNode(node); break;
        case 5: ok = WrapInUnary(node, KindId) && RemoveIdWrappers(root); break;
        case 6:
          ok = node->arity >= 2 && RemoveOperandAndFree(node, static_cast<int>(random() % node->arity));
          break;
        case 7:
          ok = node->arity >= 2 && DeleteChildAt(node, static_cast<int>(random() % node->arity));
          break;
        case 8:
          if (node->arity >= 3) {
            const int first = static_cast<int>(random() % node->arity);
            SelectChildren(node, first, static_cast<int>(random() % node->arity));
            ok = GroupSelectedRange() != nullptr;
            TypesettingGlobals().currentEditor = nullptr;
          }
          break;
        default:
          if (replacement != nullptr) {
            ReplaceExpression(replacement, node);
            ok = true;
          }
          break;
      }
      FailNodeAllocationAt(0);
      if (!leafUsed) FreeExpression(leaf);
      const char* why = nullptr;
      ASSERT_TRUE(CheckExpressionTree(root, &why)) << why << " after " << Show(root);
      if (!ok && inject && GetOutOfMemoryFlag()) {
        EXPECT_TRUE(ExpressionsEqual(root, before)) << Show(before) << " became " << Show(root);
        ++failedEdits;
      }
      SetOutOfMemoryFlag(false);  // while raised, large child arrays are refused outright
      ExprNode* copy = CopyExpression(root);
      EXPECT_TRUE(ExpressionsEqual(root, copy)) << Show(root) << " copied as " << Show(copy);
      FreeExpression(copy);
      FreeExpression(before);
    }
    FreeExpression(root);
  }
  EXPECT_GT(failedEdits, 20);
}

}  // namespace
