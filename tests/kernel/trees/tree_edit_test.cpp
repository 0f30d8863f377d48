// Structural edits: each case runs once to check the result and the tree invariants, then again
// with the N-th allocation refused for every N the edit needs, where it must fail with the tree
// exactly as before, the out-of-memory flag up and error 7 pending. Then random edit sequences.
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

struct EditCase {
  const char* input;
  std::vector<const char*> others;  // operands built before the edit
  Edit edit;
  const char* expected;
};

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
      {"plus[a,b]", {}, [](ExprNode* r, O&) { return WrapInUnary(r->children[1], KindAbs); }, "plus[a,abs[b]]"},
      {"string[\"txt\"]", {}, [](ExprNode* r, O&) { return WrapInUnary(r, KindId); }, "id[string[\"txt\"]]"},
      {"times[a,b]", {"c"}, [](ExprNode* r, O& o) { return PrependFactor(r, o[0]); }, "times[c,a,b]"},
      {"times[a,b,c]", {"d"}, [](ExprNode* r, O& o) { return PrependFactor(r, o[0]); }, "times[d,a,b,c]"},
      {"plus[a,b]", {"c"}, [](ExprNode* r, O& o) { return PrependFactor(r, o[0]); }, "times[c,plus[a,b]]"},
      {"plus[a,b]", {"c"}, [](ExprNode* r, O& o) { return AppendOperand(r, o[0], KindPlus); }, "plus[a,b,c]"},
      {"plus[a,b,c]", {"d"}, [](ExprNode* r, O& o) { return AppendOperand(r, o[0], KindPlus); }, "plus[a,b,c,d]"},
      {"times[a,b]", {"c"}, [](ExprNode* r, O& o) { return AppendOperand(r, o[0], KindPlus); }, "plus[times[a,b],c]"},
      {"sin[a]", {}, [](ExprNode* r, O&) { return InvertNode(r); }, "over[1,sin[a]]"},
      {"f", {"x", "2"}, [](ExprNode* r, O& o) { return WrapInSubstitution(r, o[0], o[1]); }, "substitution[f,equal[x,2]]"},
      {"id[id[x]]", {}, [](ExprNode* r, O&) { return RemoveIdWrappers(r); }, "x"},
      {"plus[id[a],sin[id[id[b]]],id[times[id[c],d]]]", {}, [](ExprNode* r, O&) { return RemoveIdWrappers(r); },
       "plus[a,sin[b],times[c,d]]"},
      {"plus[a,b,c,d]", {},
       [](ExprNode* r, O&) {
         SelectChildren(r, 1, 2);
         ExprNode* group = GroupSelectedRange();
         return group != nullptr && gEditor.caretNode == group && gEditor.selectionMode == 0 && group->parent == r;
       },
       "plus[a,plus[b,c],d]"},
      {"times[a,b,c]", {}, [](ExprNode* r, O&) { return SelectChildren(r, 2, 0), GroupSelectedRange() != nullptr; },
       "times[times[a,b,c]]"},
      {"plus[a,sin[b]]", {"times[p,q]"}, [](ExprNode* r, O& o) { return ReplaceExpression(o[0], r), true; }, "times[p,q]"},
      {"plus[2.5,b]", {"string[\"s\"]"}, [](ExprNode* r, O& o) { return ReplaceExpression(o[0], r->children[0]), true; },
       "plus[string[\"s\"],b]"},
      {"plus[a,sin[times[b,c]]]", {}, [](ExprNode* r, O&) { return ReplaceExpression(r->children[1]->children[0], r), true; },
       "times[b,c]"},
      {"plus[a,b]", {},
       [](ExprNode* r, O&) {
         ExprNode* a = r->children[0];
         return RemoveOperand(r, 0) == a && FreeDetached({a});  // r itself now holds b
       },
       "b"},
      {"plus[a,b,c]", {}, [](ExprNode* r, O&) { return FreeDetached({RemoveOperand(r, 1)}); }, "plus[a,c]"},
      {"plus[a,b,c,d,e]", {}, [](ExprNode* r, O&) { return RemoveOperandAndFree(r, 0); }, "plus[b,c,d,e]"},
      {"plus[a,sin[b]]", {}, [](ExprNode* r, O&) { return RemoveOperandAndFree(r, 1); }, "a"},
      {"plus[a,b,c,d]", {}, [](ExprNode* r, O&) { return DeleteChildAt(r, 3); }, "plus[a,b,c]"},
      {"plus[a,b]", {}, [](ExprNode* r, O&) { return DeleteChildAt(r, 0); }, "plus[b]"},
      {"sin[x]", {}, [](ExprNode* r, O&) { return DeleteChildAt(r, 0) && r->arity == 0; }, "sin[]"},
      {"plus[a,b,c]", {},
       [](ExprNode* r, O&) {
         ExprNode* a = r->children[0];
         return RemoveChildSlot(r, 0) && FreeDetached({a});
       },
       "plus[b,c]"},
      {"plus[a,b]", {"c"}, [](ExprNode* r, O& o) { return SetChildCount(r, 3) && (SetChild(r, 2, o[0]), true); },
       "plus[a,b,c]"},
      {"plus[a,b,c,d,e]", {},
       [](ExprNode* r, O&) {
         ExprNode* d = r->children[3];
         ExprNode* e = r->children[4];
         return SetChildCount(r, 3) && FreeDetached({d, e});
       },
       "plus[a,b,c]"},
      {"plus[a,b,c,d,e,f]", {},  // a large array shrinks in place
       [](ExprNode* r, O&) {
         ExprNode* e = r->children[4];
         ExprNode* f = r->children[5];
         return SetChildCount(r, 4) && FreeDetached({e, f});
       },
       "plus[a,b,c,d]"},
      {"times[a,b]", {},
       [](ExprNode* r, O&) {
         ExprNode** array = r->children;
         return SetChildCount(r, 2) && r->children == array;  // nothing to move, nothing to fail
       },
       "times[a,b]"},
      {"plus[2,b]", {},
       [](ExprNode* r, O&) {
         ExprNode* two = r->children[0];
         const bool released = SetChildCount(two, 0) && two->value.number == nullptr;
         two->kind = KindPrompt;
         return released;
       },
       "plus[prompt[],b]"},
      {"plus[sin[x],y]", {}, [](ExprNode* r, O&) { return UnwrapNode(r->children[0]); }, "plus[x,y]"},
      {"plus[a,b,c]", {},
       [](ExprNode* r, O&) {
         ExprNode* b = r->children[1];
         ExprNode* c = r->children[2];
         return UnwrapNode(r) && FreeDetached({b, c});
       },
       "a"},
      {"sin[x]", {},
       [](ExprNode* r, O&) {
         ExprNode* inner = MoveContentToNewNode(r, KindSqrt, 1);
         return inner != nullptr && inner->parent == nullptr && (SetChild(r, 0, inner), true);
       },
       "sqrt[sin[x]]"},
      {"plus[a,b]", {"sin[c]"},
       [](ExprNode* r, O& o) {
         ExprNode* a = r->children[0];
         ExprNode* b = r->children[1];
         MoveNodeInto(o[0], r);
         return FreeDetached({a, b});
       },
       "sin[c]"},
  };
}

// Builds the case's input and operands; a raised flag would refuse large arrays even here.
ExprNode* Arrange(const EditCase& c, std::vector<ExprNode*>& others) {
  SetOutOfMemoryFlag(false);
  for (const char* text : c.others) others.push_back(Build(text));
  return Build(c.input);
}

TEST_F(TreeEditTest, EditsGiveExpectedTreesAndKeepInvariants) {
  for (const EditCase& c : Cases()) {
    std::vector<ExprNode*> others;
    ExprNode* root = Arrange(c, others);
    EXPECT_TRUE(c.edit(root, others)) << c.input;
    const char* why = nullptr;
    EXPECT_TRUE(CheckExpressionTree(root, &why)) << c.input << ": " << why;
    EXPECT_TRUE(root->parent == nullptr && !GetOutOfMemoryFlag()) << c.input;
    EXPECT_TRUE(Same(root, c.expected)) << c.input;
    TypesettingGlobals().currentEditor = nullptr;
    FreeExpression(root);
  }
}

// Refusing any allocation an edit makes fails the edit and leaves the tree as it was (and the
// operands detached for the caller to keep or free).
TEST_F(TreeEditTest, EditsFailingAtEveryAllocationLeaveTreeIntact) {
  int failuresSeen = 0;
  for (const EditCase& c : Cases()) {
    std::vector<ExprNode*> used;
    ExprNode* done = Arrange(c, used);
    FailNodeAllocationAt(0);
    c.edit(done, used);
    const uint64_t needed = NodeAllocationAttempts();
    TypesettingGlobals().currentEditor = nullptr;
    FreeExpression(done);
    for (uint64_t n = 1; n <= needed; ++n, ++failuresSeen) {
      SCOPED_TRACE(std::string(c.input) + " failing at allocation " + std::to_string(n));
      ResetErrorRegister();
      std::vector<ExprNode*> others;
      ExprNode* root = Arrange(c, others);
      ExprNode* before = CopyExpression(root);
      const uint64_t reports = NodeExhaustionReports();
      FailNodeAllocationAt(n);
      EXPECT_FALSE(c.edit(root, others));
      FailNodeAllocationAt(0);
      EXPECT_TRUE(CheckNodePools() && CheckExpressionTree(root));
      EXPECT_EQ(NodeExhaustionReports() - reports, 1u);
      EXPECT_TRUE(ExpressionsEqual(root, before)) << Text(root);
      EXPECT_TRUE(GetOutOfMemoryFlag() && PendingError() == 7);
      if (TypesettingGlobals().currentEditor != nullptr) {
        EXPECT_TRUE(gEditor.caretNode == root && gEditor.selectionMode == SelectionChildRange);
        TypesettingGlobals().currentEditor = nullptr;
      }
      for (ExprNode* other : others) {
        EXPECT_EQ(other->parent, nullptr) << "operand left attached";
        FreeExpression(other);
      }
      FreeExpression(before);
      FreeExpression(root);
    }
  }
  EXPECT_GT(failuresSeen, 30);
}

TEST_F(TreeEditTest, WidestNodeCopiesAndRefusesOneOperandMore) {
  ExprNode* wide = NewNode(KindPlus, kMaxArity);
  for (int i = 0; i < kMaxArity; ++i) SetChild(wide, i, NewNumberNode(i));
  ExprNode* copy = CopyExpression(wide);
  EXPECT_TRUE(ExpressionsEqual(wide, copy) && CountSubtreeNodes(copy) == kMaxArity + 1);
  copy->children[kMaxArity - 1]->value.number->value = -1;  // equality looks at the last operand
  EXPECT_FALSE(ExpressionsEqual(wide, copy));
  FreeExpression(copy);
  ExprNode* extra = Build("b");
  EXPECT_FALSE(AppendOperand(wide, extra, KindPlus) || SetChildCount(wide, kMaxArity + 1));
  wide->kind = KindTimes;
  EXPECT_FALSE(PrependFactor(wide, extra) || AppendFactor(wide, extra));
  EXPECT_TRUE(extra->parent == nullptr && wide->arity == kMaxArity && CheckExpressionTree(wide));
  EXPECT_FALSE(GetOutOfMemoryFlag());  // a limit, not exhaustion
  // Below the limit the same edit works; the removal renumbers every later slot.
  EXPECT_TRUE(DeleteChildAt(wide, 0) && PrependFactor(wide, extra));
  EXPECT_TRUE(wide->arity == kMaxArity && CheckExpressionTree(wide));
  FreeExpression(wide);
  ReleaseNodePools();
}

TEST_F(TreeEditTest, BadIndexesAndArgumentsFailWithoutChange) {
  ExprNode* root = Build("plus[a,b,c]");
  ExprNode* x = Build("x");
  EXPECT_FALSE(RemoveChildSlot(root, 3) || RemoveChildSlot(root, -1) || RemoveOperand(root, 5) != nullptr);
  EXPECT_FALSE(RemoveOperandAndFree(root, 3) || DeleteChildAt(root, 3) || SetChildCount(root, -1));
  EXPECT_FALSE(ShiftChildrenRight(root, 4) || ShiftChildrenRight(root, 0));
  EXPECT_FALSE(WrapInBinary(root, x, 2, KindPlus) || WrapInBinary(root, nullptr, 0, KindPlus));
  EXPECT_FALSE(UnwrapNode(x) || AppendOperand(nullptr, x, KindPlus));
  EXPECT_EQ(MoveContentToNewNode(root, KindPlus, kMaxArity + 1), nullptr);
  // No editor, a range outside the node or the wrong mode: grouping and copying do nothing.
  EXPECT_EQ(GroupSelectedRange(), nullptr);
  SelectChildren(root, 1, 3);
  EXPECT_TRUE(GroupSelectedRange() == nullptr && CopySelectedOperands() == nullptr);
  SelectChildren(root, 0, 1);
  gEditor.selectionMode = SelectionText;
  EXPECT_EQ(GroupSelectedRange(), nullptr);
  EXPECT_TRUE(Same(root, "plus[a,b,c]") && CheckExpressionTree(root));
  // ShiftChildrenRight moves top down: slot 0 goes over slot 1 and is left empty.
  ExprNode* b = root->children[1];
  EXPECT_TRUE(ShiftChildrenRight(root, 2));
  EXPECT_TRUE(root->children[0] == nullptr && root->children[1]->slot == 1);
  SetChild(root, 0, b);
  EXPECT_TRUE(Same(root, "plus[b,a,c]") && CheckExpressionTree(root));
  FreeExpression(x);
  FreeExpression(root);
}

TEST_F(TreeEditTest, CopySelectedOperandsCopiesRangeDetached) {
  ExprNode* root = Build("times[a,sin[b],c,d]");
  SelectChildren(root, 1, 2);
  ExprNode* copy = CopySelectedOperands();
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->parent == nullptr && CheckExpressionTree(copy) && gEditor.selectionMode == SelectionChildRange);
  EXPECT_TRUE(Same(copy, "times[sin[b],c]") && Same(root, "times[a,sin[b],c,d]"));
  FreeExpression(copy);
  FailNodeAllocationAt(0);
  FreeExpression(CopySelectedOperands());
  const uint64_t needed = NodeAllocationAttempts();
  for (uint64_t n = 1; n <= needed; ++n) {
    const uint64_t reports = NodeExhaustionReports();
    FailNodeAllocationAt(n);
    EXPECT_EQ(CopySelectedOperands(), nullptr) << n;
    EXPECT_TRUE(GetOutOfMemoryFlag() && NodeExhaustionReports() - reports == 1u) << n;
    SetOutOfMemoryFlag(false);
  }
  FailNodeAllocationAt(0);
  FreeExpression(root);
}

// Random edits at random places, some with a random allocation refused: after every edit the
// invariants hold, a copy equals the tree, and a failed edit changed nothing.
TEST_F(TreeEditTest, RandomEditSequencesKeepInvariants) {
  std::mt19937 random(20261206);  // fixed seed: the run is reproducible
  int failedEdits = 0;
  for (int round = 0; round < 40; ++round) {
    ExprNode* root = Build("plus[a,times[b,c],sin[x]]");
    for (int step = 0; step < 60; ++step) {
      const int count = CountSubtreeNodes(root);
      if (count > 400) break;
      TreeCursor cursor(root, WalkOrder::kPreOrder);
      for (int i = static_cast<int>(random() % count); i > 0; --i) cursor.Next();
      ExprNode* node = cursor.Current();
      ExprNode* leaf = NewSymbolNode(static_cast<int16_t>('a' + random() % 26));
      ExprNode* before = CopyExpression(root);
      const unsigned op = random() % 10;
      ExprNode* replacement = op == 9 && node != root ? CopyExpression(root->children[0]) : nullptr;
      const bool inject = random() % 4 == 0;
      if (inject) FailNodeAllocationAt(1 + random() % 3);
      bool ok = false;
      bool leafUsed = false;
      const int arity = node->arity;
      switch (op) {
        case 0: ok = WrapInUnary(node, KindMinus); break;
        case 1: ok = leafUsed = WrapInBinary(node, leaf, static_cast<int>(random() % 2), KindPlus); break;
        case 2: ok = leafUsed = AppendOperand(node, leaf, KindPlus); break;
        case 3: ok = leafUsed = PrependFactor(node, leaf); break;
        case 4: ok = InvertNode(node); break;
        case 5: ok = WrapInUnary(node, KindId) && RemoveIdWrappers(root); break;
        case 6: ok = arity >= 2 && RemoveOperandAndFree(node, static_cast<int>(random() % arity)); break;
        case 7: ok = arity >= 2 && DeleteChildAt(node, static_cast<int>(random() % arity)); break;
        case 8:
          if (arity >= 3) {
            SelectChildren(node, static_cast<int>(random() % arity), static_cast<int>(random() % arity));
            ok = GroupSelectedRange() != nullptr;
            TypesettingGlobals().currentEditor = nullptr;
          }
          break;
        default:
          if (replacement != nullptr) ok = (ReplaceExpression(replacement, node), true);
          break;
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
