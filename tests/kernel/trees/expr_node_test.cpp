// Expression nodes: construction, copy/equal/free round trips, allocation failure at every point
// of a copy, the invariant checker, equality rules, deep trees without recursion, layout box
// rectangles and the selection-highlight rule.
#include <pthread.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "tests/kernel/trees/tree_test_support.h"

namespace {

using tree_test::Build;
using tree_test::Same;
using tree_test::Text;

class ExprNodeTest : public tree_test::TreeTest {};

TEST_F(ExprNodeTest, RecordsFitTheirPoolBlocks) {
  EXPECT_EQ(sizeof(ExprNode), 40u);  // the slot field lives in what was padding
  EXPECT_EQ(sizeof(NumberRecord), 40u);
  EXPECT_EQ(sizeof(TypesetBox), 32u);
}

TEST_F(ExprNodeTest, ConstructorsSetKindsParentsAndRecords) {
  ExprNode* a = NewSymbolNode('a');
  ExprNode* b = NewNumberNode(2.5);
  ExprNode* c = NewPromptNode();
  ExprNode* t = NewTernaryNode(KindTimes, a, b, c);
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(Same(t, "times[a,2.5,prompt[]]"));
  EXPECT_TRUE(CheckExpressionTree(t));  // parent links and slots
  EXPECT_TRUE(a->box != nullptr && c->box == nullptr);  // symbol nodes get their box at once
  EXPECT_TRUE(b->value.number->text[0] == 0 && b->value.number->moreDigits == 0);
  FreeExpression(t);
  EXPECT_TRUE(NewNode(KindPlus, kMaxArity + 1) == nullptr && NewNode(KindPlus, -1) == nullptr);
  EXPECT_FALSE(GetOutOfMemoryFlag());  // a bad arity is not memory exhaustion
  ExprNode* n = NewNumberNode(1.0);
  const std::string longText = "1234567890123456789012345678";  // 28 characters, 25 kept
  SetNumberText(n, longText.c_str(), longText.size());
  ExprNode* copy = CopyExpression(n);
  EXPECT_EQ(std::string(copy->value.number->text), longText.substr(0, 25));
  FreeExpression(copy);
  FreeExpression(n);
}

TEST_F(ExprNodeTest, CopyEqualsSourceAndFreesCleanly) {
  const char* trees[] = {
      "x", "3.25", "string[\"text\"]", "plus[times[a,b],c]", "matrix[2,3,1,2,3,4,5,6]", "if[lessthan[x,0],minus[x]]",
      "equal[y,plus[sin[x],2.5,minus[pi],string[\"label\"],over[1,sqrt[x']],f,g,h]]",
  };
  for (const char* text : trees) {
    ExprNode* tree = Build(text);
    const std::string shown = Text(tree);
    ExprNode* copy = CopyExpression(tree);
    EXPECT_TRUE(CheckExpressionTree(copy)) << text;
    EXPECT_TRUE(ExpressionsEqual(tree, copy) && ExpressionsEqual(copy, tree)) << text;
    EXPECT_EQ(copy->box, nullptr);  // boxes are not copied
    ASSERT_TRUE(tree->kind != KindNum || copy->value.number != tree->value.number);  // else a double free
    FreeExpression(copy);
    ReleaseNodePools();  // freed blocks really go back: shared records or texts would show
    EXPECT_EQ(Text(tree), shown);
    FreeExpression(tree);
  }
}

// Fails the N-th node-library allocation of a copy for every N up to the number a whole copy
// needs: each time a NaN num comes back, error 7 is posted once, the flag is up, nothing leaks.
TEST_F(ExprNodeTest, CopyFailingAtEveryAllocationGivesNaNAndLeaksNothing) {
  // Wide node (heap array), string, numbers, symbols and every pool size.
  ExprNode* tree = Build("equal[y,plus[sin[x],2.5,string[\"abc\"],over[1,sqrt[x']],times[a,b,c]]]");
  FreeExpression(CopyExpression(tree));
  ReleaseNodePools();
  const size_t blocks = NodePoolBlocksInUse();
  const size_t bytes = GetBytesInUse();
  FailNodeAllocationAt(0);
  FreeExpression(CopyExpression(tree));
  const uint64_t needed = NodeAllocationAttempts();
  ASSERT_GT(needed, 20u);
  for (uint64_t n = 1; n <= needed + 1; ++n) {
    SetOutOfMemoryFlag(false);
    ResetErrorRegister();
    const uint64_t reports = NodeExhaustionReports();
    FailNodeAllocationAt(n);
    ExprNode* copy = CopyExpression(tree);
    FailNodeAllocationAt(0);
    ASSERT_NE(copy, nullptr) << n;
    if (n > needed) {  // one past the end: the copy succeeds
      EXPECT_TRUE(ExpressionsEqual(copy, tree));
    } else {
      EXPECT_EQ(NodeExhaustionReports() - reports, 1u) << n;  // posted once, not once a level
      EXPECT_TRUE(copy->kind == KindNum && copy->arity == 0 && std::isnan(copy->value.number->value)) << n;
      EXPECT_TRUE(PendingError() == 7 && GetOutOfMemoryFlag()) << n;
    }
    FreeExpression(copy);
    ReleaseNodePools();
    EXPECT_EQ(NodePoolBlocksInUse(), blocks) << n;
    EXPECT_EQ(GetBytesInUse(), bytes) << n;
  }
  // When even the NaN stand-in cannot be had the answer is null, still reported once.
  const uint64_t reports = NodeExhaustionReports();
  FailNodeAllocationAt(1, true);
  EXPECT_EQ(CopyExpression(tree), nullptr);
  EXPECT_EQ(NodeExhaustionReports() - reports, 1u);
  FailNodeAllocationAt(0);
  EXPECT_EQ(CopyExpression(nullptr), nullptr);
  FreeExpression(tree);
}

// Each kind of damage is reported, and the tree passes again once it is undone (so the checker
// is what every edit test can rely on).
TEST_F(ExprNodeTest, CheckerReportsEachBrokenInvariant) {
  struct Damage {
    const char* tree;
    const char* reason;
    std::function<void(ExprNode*, bool)> harm;  // harm (true) or undo (false)
  };
  static ExprNode* kept;
  static ExprNode** keptArray;
  static NumberRecord* keptRecord;
  const Damage cases[] = {
      {"plus[a,sin[b]]", "child whose parent link names another node",
       [](ExprNode* r, bool h) { r->children[1]->children[0]->parent = h ? r : r->children[1]; }},
      {"plus[a,b]", "child whose slot field names another place", [](ExprNode* r, bool h) { r->children[1]->slot = h ? 0 : 1; }},
      {"plus[a,b]", "unfilled child slot",
       [](ExprNode* r, bool h) { h ? (kept = r->children[1], r->children[1] = nullptr) : (r->children[1] = kept); }},
      {"plus[a,b]", "arity without a child array",
       [](ExprNode* r, bool h) { h ? (keptArray = r->children, r->children = nullptr) : (r->children = keptArray); }},
      {"sin[plus[a,b]]", "num or string node with children",
       [](ExprNode* r, bool h) { r->children[0]->kind = h ? KindNum : KindPlus; }},
      {"sin[2]", "num node without its number record",
       [](ExprNode* r, bool h) {
         if (h) keptRecord = r->children[0]->value.number;
         r->children[0]->value.number = h ? nullptr : keptRecord;
       }},
      {"plus[a,x]", "arity above the operand limit",
       [](ExprNode* r, bool h) { r->children[1]->arity = h ? kMaxArity + 1 : 0; }},
  };
  for (const Damage& c : cases) {
    ExprNode* tree = Build(c.tree);
    const char* why = nullptr;
    ASSERT_TRUE(CheckExpressionTree(tree, &why)) << c.tree;
    EXPECT_STREQ(why, "");
    c.harm(tree, true);
    EXPECT_FALSE(CheckExpressionTree(tree, &why) || CheckExpressionTree(tree)) << c.reason;
    EXPECT_STREQ(why, c.reason);
    c.harm(tree, false);
    EXPECT_TRUE(CheckExpressionTree(tree)) << c.reason;
    FreeExpression(tree);
  }
  EXPECT_TRUE(CheckExpressionTree(nullptr));
}

TEST_F(ExprNodeTest, EqualityRules) {
  struct Case {
    const char* a;
    const char* b;
    bool equal;
  };
  const Case cases[] = {
      {"plus[a,b]", "plus[a,b]", true},      {"plus[a,b]", "plus[b,a]", false},    {"plus[a,b]", "times[a,b]", false},
      {"plus[a,b]", "plus[a,b,c]", false},   {"NaN", "NaN", false},                {"2", "2.0", true},
      {"0", "num[-0,\"-0\"]", true},  // compared as doubles
      {"string[\"abc\"]", "string[\"abc\"]", true}, {"string[\"abc\"]", "string[\"abd\"]", false}, {"x", "x'", false},
      {"pi", "pi", true},                    {"plus[a,b,c]", "plus[a,b,d]", false},  // differs in the last leaf
      {"matrix[2,3,1,2,3,4,5,6]", "matrix[3,2,1,2,3,4,5,6]", true},  // dimensions are not compared
      {"string[\"\"]", "string[\"\"]", true},
  };
  for (const Case& c : cases) {
    ExprNode* a = Build(c.a);
    ExprNode* b = Build(c.b);
    EXPECT_TRUE(ExpressionsEqual(a, b) == c.equal && ExpressionsEqual(b, a) == c.equal) << c.a << " vs " << c.b;
    FreeExpression(a);
    FreeExpression(b);
  }
  // A string node made without text compares as the empty text, and so does its copy.
  ExprNode* empty = NewNode(KindString, 0);
  ExprNode* copy = CopyExpression(empty);
  EXPECT_TRUE(Same(empty, "string[\"\"]") && Same(copy, "string[\"\"]"));
  EXPECT_TRUE(ExpressionsEqual(nullptr, nullptr) && !ExpressionsEqual(empty, nullptr));
  FreeExpression(copy);
  FreeExpression(empty);
}

// A chain of 100,000 minus nodes is built, copied, compared, counted and freed on a thread with a
// 1 MiB stack: any recursion over the depth would overflow it.
struct DeepResult {
  bool copied = false, equal = false, checked = false;
  int count = 0;
};

void* DeepChainWork(void* arg) {
  auto* result = static_cast<DeepResult*>(arg);
  ExprNode* root = NewSymbolNode('x');
  for (int i = 0; i < 100000; ++i) {
    if (!NegateNode(root)) return nullptr;
  }
  ExprNode* copy = CopyExpression(root);
  result->copied = copy != nullptr && copy->kind == KindMinus;
  result->equal = ExpressionsEqual(root, copy);
  result->count = CountSubtreeNodes(copy);
  result->checked = CheckExpressionTree(copy);
  FreeExpression(copy);
  FreeExpression(root);
  return nullptr;
}

TEST_F(ExprNodeTest, HundredThousandDeepChainNeedsNoRecursion) {
  DeepResult result;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 1 << 20);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes, DeepChainWork, &result), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  EXPECT_TRUE(result.copied && result.equal && result.checked);
  EXPECT_EQ(result.count, 100001);
  ReleaseNodePools();
}

TEST_F(ExprNodeTest, NodeRectFromAbsoluteBoxFields) {
  ExprNode* x = NewSymbolNode('x');
  *x->box = TypesetBox{0, 0, 100 << 16, 20 << 16, 4 << 16, 12 << 16, 9 << 16, 0, 0, 0, 0};
  FixedRect rect{1, 1, 1, 1};
  EXPECT_EQ(GetNodeRect(x, &rect), x->box);
  // top = baseline - descent - ascent, right = left + width
  EXPECT_TRUE(rect.top == 84 << 16 && rect.left == 20 << 16 && rect.bottom == 100 << 16 && rect.right == 29 << 16);
  ExprNode* p = NewPromptNode();  // no box: the rectangle is left alone
  EXPECT_TRUE(GetNodeRect(p, &rect) == nullptr && GetNodeRect(nullptr, &rect) == nullptr && rect.top == 84 << 16);
  FreeExpression(p);
  FreeExpression(x);
}

TEST_F(ExprNodeTest, SelectionDrawableByMode) {
  ExprNode* prompt = NewPromptNode();
  ExprNode* x = Build("x");
  FormulaEditor editor{};
  EXPECT_FALSE(SelectionIsDrawable());  // no current editor
  TypesettingGlobals().currentEditor = &editor;
  struct Case {
    int mode, start, end;
    bool onPrompt, promptCaret, drawable;
  };
  const Case cases[] = {
      {0, 0, 0, false, false, true}, {0, 0, 0, true, false, true}, {0, 0, 0, true, true, false},
      {0, 0, 0, false, true, true},  {1, 0, 1, false, false, true}, {2, 0, 0, false, false, true},
      {3, 0, 0, false, false, false}, {4, 0, 0, false, false, false}, {5, 0, 3, false, false, true},
      {6, 2, 2, false, false, false}, {6, 1, 2, false, false, true}, {7, 0, 0, false, false, false},
      {7, 3, 1, false, false, true}, {8, 0, 1, false, false, false}, {-1, 0, 1, false, false, false},
  };
  for (const Case& c : cases) {
    editor.selectionMode = c.mode;
    editor.selectionStart = c.start;
    editor.selectionEnd = c.end;
    editor.caretNode = c.onPrompt ? prompt : x;
    TypesettingGlobals().promptCaretPending = c.promptCaret;
    EXPECT_EQ(SelectionIsDrawable(), c.drawable) << "mode " << c.mode;
  }
  FreeExpression(prompt);
  FreeExpression(x);
}

TEST_F(ExprNodeTest, ConstructionFailuresAreReportedAndReleaseWhatWasMade) {
  ExprNode* p = NewPromptNode();
  FailNodeAllocationAt(1);
  EXPECT_FALSE(EnsureNodeBox(p));
  EXPECT_TRUE(p->box == nullptr && GetOutOfMemoryFlag() && PendingError() == 7);
  EXPECT_TRUE(EnsureNodeBox(p));
  const TypesetBox* box = p->box;
  EXPECT_TRUE(EnsureNodeBox(p) && p->box == box);  // made once
  FreeExpression(p);
  SetOutOfMemoryFlag(false);
  FailNodeAllocationAt(2);
  ExprNode* s = NewSymbolNode('q');  // node fine, box refused: still returned, without a box
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->box, nullptr);
  FreeExpression(s);
  // Node refused; or node fine and its record, text or array refused: nothing is returned.
  const std::function<ExprNode*()> makers[] = {
      [] { return NewNumberNode(1); }, [] { return NewStringNode("abc", 3); }, [] { return NewNode(KindPlus, 2); }};
  for (uint64_t n : {1, 2}) {
    for (const auto& make : makers) {
      FailNodeAllocationAt(n);
      EXPECT_EQ(make(), nullptr) << n;
    }
  }
  FailNodeAllocationAt(1);
  EXPECT_EQ(AllocFormulaEditor(), nullptr);
  FailNodeAllocationAt(0);
  FreeFormulaEditor(AllocFormulaEditor());
  // While memory is short a heap array is not even tried; pool arrays still are.
  SetOutOfMemoryFlag(true);
  EXPECT_EQ(NewNode(KindPlus, 4), nullptr);
  FreeNode(NewNode(KindPlus, 3));
}

}  // namespace
