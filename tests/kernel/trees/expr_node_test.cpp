// Expression nodes: construction, copy/equal/free round trips, allocation failure at every
// point of a copy, traversal orders, equality rules, deep trees without recursion, layout box
// rectangles and the selection-highlight rule.
#include <gtest/gtest.h>
#include <pthread.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "kernel/numeric/complex.h"
#include "kernel/numeric/complex_interval.h"
#include "kernel/numeric/interval.h"
#include "kernel/kernel_startup.h"
#include "kernel/numeric/numeric_constants.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace {

using tree_test::Build;
using tree_test::Show;

class ExprNodeTest : public tree_test::TreeTest {};

TEST_F(ExprNodeTest, LayoutFitsSixtyFourBitBlocks) {
  EXPECT_EQ(sizeof(ExprNode), 40u);
  EXPECT_EQ(sizeof(NumberRecord), 40u);
  EXPECT_EQ(sizeof(TypesetBox), 32u);
  EXPECT_EQ(sizeof(NodeValue), 8u);
}

TEST_F(ExprNodeTest, ConstructorsSetKindsParentsAndRecords) {
  ExprNode* a = NewSymbolNode('a');
  ExprNode* b = NewNumberNode(2.5);
  ExprNode* c = NewPromptNode();
  ExprNode* t = NewTernaryNode(KindTimes, a, b, c);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(Show(t), "times(a,2.5,prompt)");
  EXPECT_TRUE(CheckExpressionTree(t));  // arity and parent links
  ASSERT_NE(a->box, nullptr);  // symbol nodes get their box at once
  EXPECT_EQ(c->box, nullptr);
  EXPECT_EQ(b->value.number->text[0], 0);
  EXPECT_EQ(b->value.number->moreDigits, 0);
  FreeExpression(t);

  EXPECT_EQ(NewNode(KindPlus, kMaxArity + 1), nullptr);
  EXPECT_EQ(NewNode(KindPlus, -1), nullptr);
  EXPECT_FALSE(GetOutOfMemoryFlag());  // a bad arity is not memory exhaustion
  ExprNode* wide = NewNode(KindPlus, kMaxArity);
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(wide->arity, kMaxArity);
  FreeNode(wide);
}

TEST_F(ExprNodeTest, NumberTextKeepsTwentyFiveCharactersAndATerminator) {
  ExprNode* n = NewNumberNode(1.0);
  const char* longText = "1234567890123456789012345678";  // 28 characters
  SetNumberText(n, longText, std::strlen(longText));
  EXPECT_EQ(std::strlen(n->value.number->text), 25u);
  EXPECT_EQ(std::string(n->value.number->text), std::string(longText, 25));
  ExprNode* copy = CopyExpression(n);
  EXPECT_EQ(std::string(copy->value.number->text), std::string(longText, 25));
  FreeExpression(copy);
  FreeExpression(n);
}

TEST_F(ExprNodeTest, CopyEqualsSourceAndFreesCleanly) {
  const char* trees[] = {
      "x", "3.25", "'text'", "plus(times(a,b),c)",
      "equal(y, plus(sin(x), 2.5, minus(pi), 'label', over(1, sqrt(x')), f, g, h))",
      "matrix(1,2,3,4,5,6)",
      "sum(k, equal(k,1), 10, power(k, 2))",
      "if(lessthan(x, 0), minus(x))",
  };
  for (const char* text : trees) {
    ExprNode* tree = Build(text);
    const std::string shown = Show(tree);
    ExprNode* copy = CopyExpression(tree);
    EXPECT_TRUE(CheckExpressionTree(copy)) << text;
    EXPECT_TRUE(ExpressionsEqual(tree, copy) && ExpressionsEqual(copy, tree)) << text;
    EXPECT_EQ(Show(copy), shown);
    EXPECT_EQ(LastLeaf(copy)->box, nullptr);  // boxes are not copied
    ASSERT_TRUE(tree->kind != KindNum || copy->value.number != tree->value.number);  // else a double free
    FreeExpression(copy);
    ReleaseNodePools();  // freed blocks really go back: shared records or texts would show
    EXPECT_EQ(Show(tree), shown);
    FreeExpression(tree);
  }
}

// Fails the N-th node-library allocation of a copy for every N up to the number a whole copy
// needs: each time a NaN num comes back, error 7 is pending, the flag is up and no block leaks.
TEST_F(ExprNodeTest, CopyFailingAtEveryAllocationGivesNaNAndLeaksNothing) {
  // Wide node (heap array), string, numbers, symbols and every pool size.
  ExprNode* tree = Build("equal(y, plus(sin(x), 2.5, 'abc', over(1, sqrt(x')), times(a, b, c)))");
  ExprNode* warm = CopyExpression(tree);
  FreeExpression(warm);
  ReleaseNodePools();
  const size_t blocks = NodePoolBlocksInUse();
  const size_t bytes = GetBytesInUse();

  FailNodeAllocationAt(0);
  ExprNode* whole = CopyExpression(tree);
  const uint64_t needed = NodeAllocationAttempts();
  FreeExpression(whole);
  ASSERT_GT(needed, 20u);

  for (uint64_t n = 1; n <= needed; ++n) {
    SetOutOfMemoryFlag(false);
    ResetErrorRegister();
    const uint64_t reports = NodeExhaustionReports();
    FailNodeAllocationAt(n);
    ExprNode* copy = CopyExpression(tree);
    FailNodeAllocationAt(0);
    EXPECT_EQ(NodeExhaustionReports() - reports, 1u) << n;  // error 7 posted once, not per level
    ASSERT_NE(copy, nullptr) << n;
    EXPECT_EQ(copy->kind, static_cast<uint32_t>(KindNum)) << n;
    EXPECT_EQ(copy->arity, 0) << n;
    EXPECT_TRUE(std::isnan(copy->value.number->value)) << n;
    EXPECT_EQ(PendingError(), 7) << n;
    EXPECT_TRUE(GetOutOfMemoryFlag()) << n;
    FreeExpression(copy);
    ReleaseNodePools();
    EXPECT_EQ(NodePoolBlocksInUse(), blocks) << n;
    EXPECT_EQ(GetBytesInUse(), bytes) << n;
    EXPECT_TRUE(CheckNodePools()) << n;
  }
  SetOutOfMemoryFlag(false);
  FailNodeAllocationAt(needed + 1);  // one past the end: the copy succeeds
  ExprNode* copy = CopyExpression(tree);
  EXPECT_TRUE(ExpressionsEqual(copy, tree));
  FreeExpression(copy);
  FreeExpression(tree);
}

TEST_F(ExprNodeTest, CopyWhenEvenTheNaNStandInFailsGivesNull) {
  ExprNode* source = Build("plus(a, b)");
  const uint64_t reports = NodeExhaustionReports();
  FailNodeAllocationAt(1, true);
  EXPECT_EQ(CopyExpression(source), nullptr);
  EXPECT_EQ(NodeExhaustionReports() - reports, 1u);
  EXPECT_TRUE(GetOutOfMemoryFlag());
  EXPECT_EQ(PendingError(), 7);
  FailNodeAllocationAt(0);
  EXPECT_EQ(CopyExpression(nullptr), nullptr);
  FreeExpression(source);
}

// The invariant checker itself: each kind of damage is reported, and the tree passes again once
// the damage is undone (so the checker is what every edit test relies on).
TEST_F(ExprNodeTest, CheckerReportsEachBrokenInvariant) {
  struct Damage {
    const char* tree;
    const char* reason;
    std::function<void(ExprNode*)> harm, undo;
  };
  static ExprNode* kept;
  static ExprNode** keptArray;
  static NumberRecord* keptRecord;
  const Damage cases[] = {
      {"plus(a, sin(b))", "child whose parent link names another node",
       [](ExprNode* r) { r->children[1]->children[0]->parent = r; },
       [](ExprNode* r) { r->children[1]->children[0]->parent = r->children[1]; }},
      {"plus(a, b)", "unfilled child slot",
       [](ExprNode* r) { kept = r->children[1]; r->children[1] = nullptr; },
       [](ExprNode* r) { r->children[1] = kept; }},
      {"plus(a, b)", "arity without a child array",
       [](ExprNode* r) { keptArray = r->children; r->children = nullptr; },
       [](ExprNode* r) { r->children = keptArray; }},
      {"sin(plus(a, b))", "num or string node with children",
       [](ExprNode* r) { r->children[0]->kind = KindNum; },
       [](ExprNode* r) { r->children[0]->kind = KindPlus; }},
      {"sin(2)", "num node without its number record",
       [](ExprNode* r) { keptRecord = r->children[0]->value.number; r->children[0]->value.raw = 0; },
       [](ExprNode* r) { r->children[0]->value.number = keptRecord; }},
      {"plus(a, x)", "arity above the operand limit",
       [](ExprNode* r) { r->children[1]->arity = kMaxArity + 1; },
       [](ExprNode* r) { r->children[1]->arity = 0; }},
  };
  for (const Damage& c : cases) {
    ExprNode* tree = Build(c.tree);
    const char* why = nullptr;
    ASSERT_TRUE(CheckExpressionTree(tree, &why)) << c.tree;
    EXPECT_STREQ(why, "");
    c.harm(tree);
    EXPECT_FALSE(CheckExpressionTree(tree, &why)) << c.reason;
    EXPECT_STREQ(why, c.reason);
    EXPECT_FALSE(CheckExpressionTree(tree));  // no message wanted
    c.undo(tree);
    EXPECT_TRUE(CheckExpressionTree(tree)) << c.reason;
    FreeExpression(tree);
  }
  EXPECT_TRUE(CheckExpressionTree(nullptr));
}

TEST_F(ExprNodeTest, TraversalOrdersOfASmallTree) {
  ExprNode* root = Build("plus(times(a,b),c)");
  ExprNode* times = root->children[0];
  ExprNode* a = times->children[0];
  ExprNode* b = times->children[1];
  ExprNode* c = root->children[1];

  auto label = [](const ExprNode* n) { return n->kind == KindChar ? Show(n) : std::string(NodeKindName(n->kind)); };
  std::string post;
  for (ExprNode* n = FirstLeaf(root);; n = NextPostOrder(n)) {
    post += label(n) + " ";
    if (n == root) break;
  }
  EXPECT_EQ(post, "a b times c plus ");
  std::string pre;
  const ExprNode* end = LastLeaf(root);
  for (ExprNode* n = root;; n = NextPreOrder(n)) {
    pre += label(n) + " ";
    if (n == end) break;
  }
  EXPECT_EQ(pre, "plus times a b c ");
  EXPECT_EQ(NextPreOrder(c), nullptr);
  EXPECT_EQ(NextPostOrder(root), nullptr);
  EXPECT_EQ(IndexInParent(root), -1);
  EXPECT_EQ(IndexInParent(b), 1);
  EXPECT_TRUE(IsChildAt(b, 1) && !IsChildAt(b, 0) && !IsChildAt(root, 0));
  EXPECT_EQ(CountSubtreeNodes(times), 3);
  struct Step { ExprNode* from; ExprNode* next; ExprNode* prev; };
  const Step steps[] = {{a, b, nullptr}, {b, c, a}, {times, c, nullptr}, {c, nullptr, times}, {root, nullptr, nullptr}};
  for (const Step& s : steps) {
    EXPECT_EQ(NextSiblingOrAncestorSibling(s.from), s.next) << label(s.from);
    EXPECT_EQ(PrevSiblingOrAncestorSibling(s.from), s.prev) << label(s.from);
  }
  EXPECT_EQ(LastLeaf(times), b);
  EXPECT_TRUE(FirstLeaf(nullptr) == nullptr && NextPreOrder(nullptr) == nullptr && CountSubtreeNodes(nullptr) == 0);
  FreeExpression(root);
}

// The cursor visits what NextPreOrder visits, also past the depth where it stops keeping indexes.
TEST_F(ExprNodeTest, SubtreeCursorMatchesPreOrderWalk) {
  ExprNode* chain = Build("plus(a, b, c, d, e)");
  ExprNode* deep = chain->children[2];
  for (int i = 0; i < 300; ++i) {
    ExprNode* sibling = Build("q");
    ASSERT_TRUE(AddToNode(deep, sibling));  // deep := plus(deep, q), 300 levels
  }
  ExprNode* trees[] = {Build("plus(times(a,b),c)"), Build("x"), chain};
  for (ExprNode* tree : trees) {
    std::vector<ExprNode*> expected;
    const ExprNode* end = LastLeaf(tree);
    for (ExprNode* n = tree;; n = NextPreOrder(n)) {
      expected.push_back(n);
      if (n == end) break;
    }
    std::vector<ExprNode*> seen;
    SubtreeCursor cursor(tree);
    for (ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) seen.push_back(n);
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(static_cast<int>(seen.size()), CountSubtreeNodes(tree));
  }
  // Walking a subtree stops at its end, not at the end of the whole tree.
  SubtreeCursor inner(chain->children[1]);
  EXPECT_EQ(inner.Next(), nullptr);
  for (ExprNode* tree : trees) FreeExpression(tree);
  ReleaseNodePools();
}

TEST_F(ExprNodeTest, EqualityRules) {
  struct Case { const char* a; const char* b; bool equal; };
  const Case cases[] = {
      {"plus(a,b)", "plus(a,b)", true},  {"plus(a,b)", "plus(b,a)", false}, {"plus(a,b)", "times(a,b)", false},
      {"plus(a,b)", "plus(a,b,c)", false}, {"nan", "nan", false},          {"2", "2.0", true},
      {"0", "-0", true},  // compared as doubles
      {"'abc'", "'abc'", true},          {"'abc'", "'abd'", false},        {"x", "x'", false},
      {"pi", "pi", true},                {"sin(x)", "cos(x)", false},
      {"plus(a,b,c)", "plus(a,b,d)", false},  // differs in the last leaf
  };
  for (const Case& c : cases) {
    ExprNode* a = Build(c.a);
    ExprNode* b = Build(c.b);
    EXPECT_EQ(ExpressionsEqual(a, b), c.equal) << c.a << " vs " << c.b;
    EXPECT_EQ(ExpressionsEqual(b, a), c.equal) << c.b << " vs " << c.a;
    FreeExpression(a);
    FreeExpression(b);
  }
  // Matrix dimensions are not compared: a 2x3 and a 3x2 matrix of the same entries are equal.
  ExprNode* m1 = Build("matrix(1,2,3,4,5,6)");
  ExprNode* m2 = Build("matrix(1,2,3,4,5,6)");
  m1->value.halves = {2, 3};
  m2->value.halves = {3, 2};
  EXPECT_TRUE(ExpressionsEqual(m1, m2));
  FreeExpression(m2);
  // A string node made without text compares as the empty text.
  ExprNode* empty = NewNode(KindString, 0);
  ExprNode* quoted = Build("''");
  EXPECT_TRUE(ExpressionsEqual(empty, quoted));
  ExprNode* emptyCopy = CopyExpression(empty);
  EXPECT_TRUE(ExpressionsEqual(emptyCopy, quoted));
  FreeExpression(emptyCopy);
  FreeExpression(empty);
  FreeExpression(quoted);
  FreeExpression(m1);
  EXPECT_TRUE(ExpressionsEqual(nullptr, nullptr));
  EXPECT_FALSE(ExpressionsEqual(m1, nullptr));
}

// A chain of 100,000 minus nodes is built, copied, compared, counted and freed on a thread with
// a 1 MiB stack: any recursion over the depth would overflow it.
struct DeepResult {
  bool copied = false, equal = false, checked = false;
  int count = 0;
};

void* DeepChainWork(void* arg) {
  auto* result = static_cast<DeepResult*>(arg);
  constexpr int kDepth = 100000;
  ExprNode* root = NewSymbolNode('x');
  for (int i = 0; i < kDepth; ++i) {
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
  ExprNode* x = Build("x");
  x->box->absoluteVertical = 100 << 16;
  x->box->absoluteHorizontal = 20 << 16;
  x->box->descent = 4 << 16;
  x->box->ascent = 12 << 16;
  x->box->width = 9 << 16;
  FixedRect rect{1, 1, 1, 1};
  EXPECT_EQ(GetNodeRect(x, &rect), x->box);
  EXPECT_EQ(std::vector<int32_t>({rect.top, rect.left, rect.bottom, rect.right}),
            std::vector<int32_t>({84 << 16, 20 << 16, 100 << 16, 29 << 16}));  // top = baseline - ascent
  ExprNode* p = NewPromptNode();  // no box: the rectangle is left alone
  EXPECT_EQ(GetNodeRect(p, &rect), nullptr);
  EXPECT_EQ(rect.top, 84 << 16);
  EXPECT_EQ(GetNodeRect(nullptr, &rect), nullptr);
  FreeExpression(p);
  FreeExpression(x);
}

TEST_F(ExprNodeTest, SelectionDrawableByMode) {
  ExprNode* prompt = NewPromptNode();
  ExprNode* x = Build("x");
  FormulaEditor editor{};
  EXPECT_FALSE(SelectionIsDrawable());  // no current editor
  TypesettingGlobals().currentEditor = &editor;
  struct Case { int mode; int start, end; bool onPrompt; bool promptCaret; bool drawable; };
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
  TypesettingGlobals().currentEditor = nullptr;
  FreeExpression(prompt);
  FreeExpression(x);
}

TEST_F(ExprNodeTest, BoxAndEditorAllocationFailuresAreReported) {
  ExprNode* p = NewPromptNode();
  FailNodeAllocationAt(1);
  EXPECT_FALSE(EnsureNodeBox(p));
  EXPECT_EQ(p->box, nullptr);
  EXPECT_TRUE(GetOutOfMemoryFlag());
  EXPECT_EQ(PendingError(), 7);
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
  // Node refused; or node fine and its record, text or array refused: the node is released.
  const std::function<ExprNode*()> makers[] = {
      [] { return NewSymbolNode('q'); }, [] { return NewNumberNode(1); },
      [] { return NewStringNode("abc", 3); }, [] { return NewNode(KindPlus, 2); }};
  for (uint64_t n : {1, 2}) {
    for (size_t m = n == 1 ? 0 : 1; m < std::size(makers); ++m) {
      FailNodeAllocationAt(n);
      EXPECT_EQ(makers[m](), nullptr) << m << " failing at " << n;
    }
  }
  FailNodeAllocationAt(1);
  EXPECT_EQ(AllocFormulaEditor(), nullptr);
  FailNodeAllocationAt(0);
  FormulaEditor* editor = AllocFormulaEditor();
  ASSERT_NE(editor, nullptr);
  FreeFormulaEditor(editor);
}

TEST_F(ExprNodeTest, LargeArraysAreNotTriedWhileMemoryIsShort) {
  SetOutOfMemoryFlag(true);  // the shell then reports memory short
  EXPECT_EQ(NewNode(KindPlus, 4), nullptr);
  ExprNode* small = NewNode(KindPlus, 3);  // pool arrays do not ask
  EXPECT_NE(small, nullptr);
  FreeNode(small);
}

TEST_F(ExprNodeTest, InitTypesettingKernelRunsOnce) {
  EXPECT_TRUE(std::isnan(kUndefinedReal));
  EXPECT_TRUE(std::isinf(kPositiveInfinity) && kPositiveInfinity > 0);
  for (double v : {kUndefinedComplex.re, kUndefinedComplex.im}) EXPECT_TRUE(std::isnan(v));
  for (double v : {kUndefinedInterval.lo, kUndefinedInterval.hi}) EXPECT_TRUE(std::isnan(v));
  const ComplexInterval& ci = kUndefinedComplexInterval;
  for (double v : {ci.re.lo, ci.re.hi, ci.im.lo, ci.im.hi}) EXPECT_TRUE(std::isnan(v));
  ResetTypesettingKernelForTest();
  EXPECT_TRUE(InitTypesettingKernel());
  EXPECT_FALSE(InitTypesettingKernel());
  EXPECT_FALSE(InitTypesettingKernel());
}

}  // namespace
