// Expression nodes: construction and its failures, copies of random trees, allocation failure at
// every point of a copy, the invariant checker, equality rules, and deep trees without recursion.
#include <pthread.h>

#include <cmath>
#include <functional>
#include <string>

#include "tests/kernel/trees/tree_test_support.h"

namespace {

using tree_test::Build;
using tree_test::Same;
using tree_test::Text;

class ExprNodeTest : public tree_test::TreeTest {};

TEST_F(ExprNodeTest, ConstructorsSetKindsParentsAndRecordsAndReportFailures) {
  ExprNode* a = NewSymbolNode('a');
  ExprNode* t = NewTernaryNode(KindTimes, a, NewNumberNode(2.5), NewPromptNode());
  EXPECT_TRUE(Same(t, "times[a,2.5,prompt[]]") && CheckExpressionTree(t) && a->box != nullptr && t->children[2]->box == nullptr);
  SetNumberText(t->children[1], "1234567890123456789012345678", 28);  // 25 characters kept, and copied
  ExprNode* copy = CopyExpression(t);
  EXPECT_EQ(std::string(copy->children[1]->value.number->text), "1234567890123456789012345");
  FreeExpression(copy);
  FreeExpression(t);
  // Past the operand limit error 7 says why (no memory flag: nothing is short); a negative
  // arity is the caller's fault and says nothing.
  ResetErrorRegister();
  EXPECT_TRUE(NewNode(KindPlus, -1) == nullptr && PendingError() == 0);
  EXPECT_TRUE(NewNode(KindPlus, kMaxArity + 1) == nullptr && PendingError() == kErrorOutOfMemory && !GetOutOfMemoryFlag());
  // The node refused, or its record, text or array: nothing is returned and error 7 is posted.
  const std::function<ExprNode*()> makers[] = {
      [] { return NewNumberNode(1); }, [] { return NewStringNode("abc", 3); }, [] { return NewNode(KindPlus, 2); }};
  for (uint64_t n : {1, 2}) {
    for (const auto& make : makers) {
      ResetErrorRegister();
      FailNodeAllocationAt(n);
      EXPECT_TRUE(make() == nullptr && PendingError() == 7) << n;
    }
  }
  FailNodeAllocationAt(2);
  ExprNode* s = NewSymbolNode('q');  // node fine, box refused: still returned, without a box
  EXPECT_TRUE(s != nullptr && s->box == nullptr && EnsureNodeBox(s) && s->box != nullptr);
  FreeExpression(s);
  SetOutOfMemoryFlag(true);  // while memory is short a heap array is not even tried; pool arrays are
  EXPECT_EQ(NewNode(KindPlus, 4), nullptr);
  FreeNode(NewNode(KindPlus, 3));
}

// Copies of random trees (every kind the reader names) write the same text as their source, carry
// no boxes, and free without touching the source (shared records would show in the pools).
// A node's rect in 16.16 layout coordinates; the edges of a row tens of thousands of pixels long
// saturate at the int32 range instead of wrapping (goldens by hand).
TEST_F(ExprNodeTest, NodeRectEdgesSaturateAtTheCoordinateRange) {
  const struct { int32_t h, width, v, descent, ascent, left, right, bottom, top; } cases[] = {
      {100, 50, 200, 10, 30, 100, 150, 200, 160},
      {INT32_MAX - 400000, 589824, 0, 0, 0, INT32_MAX - 400000, INT32_MAX, 0, 0},
      {0, 0, INT32_MIN + 5, 20, 30, 0, 0, INT32_MIN + 5, INT32_MIN},
      {-70, 20, 0, INT32_MAX, INT32_MAX, -70, -50, 0, INT32_MIN},
  };
  for (const auto& c : cases) {
    ExprNode* n = NewSymbolNode('x');
    ASSERT_TRUE(n != nullptr && EnsureNodeBox(n));
    n->box->absoluteHorizontal = c.h;
    n->box->width = c.width;
    n->box->absoluteVertical = c.v;
    n->box->descent = c.descent;
    n->box->ascent = c.ascent;
    FixedRect r{};
    EXPECT_EQ(GetNodeRect(n, &r), n->box);
    EXPECT_TRUE(r.left == c.left && r.right == c.right && r.bottom == c.bottom && r.top == c.top)
        << r.left << " " << r.right << " " << r.bottom << " " << r.top;
    FreeExpression(n);
  }
}

TEST_F(ExprNodeTest, CopiesOfRandomTreesEqualTheirSource) {
  tree_test::RandomTree random(3);
  for (int i = 0; i < 300; ++i) {
    ExprNode* tree = random.Make(1 + i % 5);
    const std::string shown = Text(tree);
    ExprNode* copy = CopyExpression(tree);
    EXPECT_TRUE(CheckExpressionTree(copy) && copy->box == nullptr && Text(copy) == shown) << shown;
    FreeExpression(copy);
    ReleaseNodePools();
    EXPECT_EQ(Text(tree), shown);
    FreeExpression(tree);
  }
}

// Refusing the N-th allocation of a copy, for every N a copy needs: a NaN num comes back, error 7
// is posted once (not once a level), nothing leaks; with even that refused, null.
TEST_F(ExprNodeTest, CopyFailingAtEveryAllocationGivesNaNAndLeaksNothing) {
  ExprNode* tree = Build("equal[y,plus[sin[x],2.5,string[\"abc\"],over[1,sqrt[x']],times[a,b,c]]]");
  FailNodeAllocationAt(0);
  FreeExpression(CopyExpression(tree));
  const uint64_t needed = NodeAllocationAttempts();
  ReleaseNodePools();
  const size_t blocks = NodePoolBlocksInUse(), bytes = GetBytesInUse();
  for (uint64_t n = 1; n <= needed; ++n) {
    SetOutOfMemoryFlag(false);
    const uint64_t reports = NodeExhaustionReports();
    FailNodeAllocationAt(n);
    ExprNode* copy = CopyExpression(tree);
    FailNodeAllocationAt(0);
    EXPECT_TRUE(NodeExhaustionReports() - reports == 1u && PendingError() == 7 && GetOutOfMemoryFlag()) << n;
    EXPECT_TRUE(copy->kind == KindNum && copy->arity == 0 && std::isnan(copy->value.number->value)) << n;
    FreeExpression(copy);
    ReleaseNodePools();
    EXPECT_TRUE(NodePoolBlocksInUse() == blocks && GetBytesInUse() == bytes) << n;
  }
  FailNodeAllocationAt(1, true);
  EXPECT_EQ(CopyExpression(tree), nullptr);
  FailNodeAllocationAt(0);
  FreeExpression(tree);
}

// Each kind of damage is reported, and the tree passes again once it is undone.
TEST_F(ExprNodeTest, CheckerReportsEachBrokenInvariant) {
  static ExprNode* kept;
  static NumberRecord* keptRecord;
  struct Damage { const char* tree; const char* reason; void (*harm)(ExprNode*, bool undo); };
  const Damage cases[] = {
      {"plus[a,sin[b]]", "child whose parent link names another node",
       [](ExprNode* r, bool undo) { r->children[1]->children[0]->parent = undo ? r->children[1] : r; }},
      {"plus[a,b]", "child whose slot field names another place", [](ExprNode* r, bool undo) { r->children[1]->slot = undo; }},
      {"plus[a,b]", "unfilled child slot",
       [](ExprNode* r, bool undo) { undo ? (r->children[1] = kept) : (kept = r->children[1], r->children[1] = nullptr); }},
      {"sin[plus[a,b]]", "num or string node with children", [](ExprNode* r, bool undo) { r->children[0]->kind = undo ? KindPlus : KindNum; }},
      {"sin[2]", "num node without its number record",
       [](ExprNode* r, bool undo) {
         NumberRecord*& record = r->children[0]->value.number;
         undo ? (record = keptRecord) : (keptRecord = record, record = nullptr);
       }},
      {"plus[a,x]", "arity above the operand limit", [](ExprNode* r, bool undo) { r->children[1]->arity = undo ? 0 : kMaxArity + 1; }},
  };
  for (const Damage& c : cases) {
    ExprNode* tree = Build(c.tree);
    const char* why = nullptr;
    c.harm(tree, false);
    EXPECT_FALSE(CheckExpressionTree(tree, &why) || CheckExpressionTree(tree)) << c.reason;
    EXPECT_STREQ(why, c.reason);
    c.harm(tree, true);
    EXPECT_TRUE(CheckExpressionTree(tree, &why) && why[0] == 0) << c.reason;
    FreeExpression(tree);
  }
}

// Equality compares numbers as doubles (NaN equals nothing, -0 equals 0), strings by text (none
// counts as ""), every node down to the last leaf, but no matrix dimensions; the comparison with
// shapes compares those too, also of a matrix deep inside.
TEST_F(ExprNodeTest, EqualityRules) {
  struct Case { const char* a; const char* b; bool equal; bool withShapes; };
  const Case cases[] = {{"NaN", "NaN", false, false}, {"0", "num[-0,\"-0\"]", true, true}, {"x", "x'", false, false},
                        {"plus[a,b,c]", "plus[a,b,d]", false, false}, {"string[\"\"]", "string[\"b\"]", false, false},
                        {"matrix[2,3,1,2,3,4,5,6]", "matrix[3,2,1,2,3,4,5,6]", true, false},
                        {"matrix[2,3,1,2,3,4,5,6]", "matrix[2,3,1,2,3,4,5,6]", true, true},
                        {"plus[x,times[2,matrix[1,2,a,b]]]", "plus[x,times[2,matrix[2,1,a,b]]]", true, false}};
  for (const Case& c : cases) {
    ExprNode* a = Build(c.a);
    ExprNode* b = Build(c.b);
    EXPECT_TRUE(ExpressionsEqual(a, b) == c.equal && ExpressionsEqual(b, a) == c.equal) << c.a << " vs " << c.b;
    EXPECT_TRUE(ExpressionsAndShapesEqual(a, b) == c.withShapes && ExpressionsAndShapesEqual(b, a) == c.withShapes)
        << c.a << " vs " << c.b;
    FreeExpression(a);
    FreeExpression(b);
  }
  ExprNode* empty = NewNode(KindString, 0);
  EXPECT_TRUE(Same(empty, "string[\"\"]") && !ExpressionsEqual(empty, nullptr));
  FreeExpression(empty);
}

// A chain of 100,000 minus nodes is built, copied, compared, counted and freed on a thread with a
// 1 MiB stack: any recursion over the depth would overflow it.
void* DeepChainWork(void* done) {
  ExprNode* root = tree_test::Chain(KindMinus, 100000);
  ExprNode* copy = CopyExpression(root);
  *static_cast<bool*>(done) = ExpressionsEqual(root, copy) && CountSubtreeNodes(copy) == 100001 && CheckExpressionTree(copy);
  FreeExpression(copy);
  FreeExpression(root);
  return nullptr;
}

TEST_F(ExprNodeTest, HundredThousandDeepChainNeedsNoRecursion) {
  bool done = false;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 1 << 20);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes, DeepChainWork, &done), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  EXPECT_TRUE(done);
}

}  // namespace
