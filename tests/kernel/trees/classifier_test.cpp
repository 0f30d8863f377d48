// The plotting classifier: each rule on the cases that tell it apart, the flag sets the graph
// classifier uses, the tree-wide wrappers with the free variable, and the one-walk scan against
// the rule applied node by node. Expected answers are worked out by hand from the rules.
#include <algorithm>
#include <vector>

#include "kernel/memory/memory_budget.h"
#include "kernel/trees/node_builders.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace {

using tree_test::Build;
using tree_test::Text;

class ClassifierTest : public tree_test::TreeTest {
 protected:
  void TearDown() override {
    SetFreeVariable(0);
    tree_test::TreeTest::TearDown();
  }
};

// Follows a path of child indexes from the root.
const ExprNode* At(const ExprNode* root, const std::vector<int>& path) {
  for (int i : path) root = root->children[i];
  return root;
}

const std::vector<int> kNoRoot = {-1};

// The node at a path in the tree, its flags, the answer, and the path of the root (kNoRoot: null).
struct NodeCase { const char* tree; std::vector<int> node; uint32_t flags; bool expected; std::vector<int> root = {}; };

void ExpectCases(const std::vector<NodeCase>& cases) {
  for (const NodeCase& c : cases) {
    ExprNode* tree = Build(c.tree);
    const ExprNode* root = c.root == kNoRoot ? nullptr : At(tree, c.root);
    EXPECT_EQ(ClassifyNodeKind(At(tree, c.node), c.flags, root), c.expected) << c.tree << " flags " << c.flags;
    FreeExpression(tree);
  }
}

// The rules in order, each on the cases that tell it from its neighbours and from earlier rules.
TEST_F(ClassifierTest, RulesAnswerInOrder) {
  const char* sum = "sum[power[k,2],equal[k,1],10]";  // term, index equation, end
  const char* bsum = "plus[bsum[equal[k,1],10,times[k,2]],1]";
  const char* nested = "bsum[equal[k,1],10,bsum[equal[j,1],5,times[k,j,a]]]";  // the inner term uses both
  ExpectCases({
      // 1-2: derivative forms under flag 1, sums with an index equation under flag 4.
      {"function[oppartial[x],f]", {}, 1, true},           {"function[oppartial[x],f]", {0}, 0, false},
      {"function[oppartial[x],f]", {0}, 1, true},          {"function[f,x]", {}, 1, false},
      {"function[oppartial[plus[x,1]],f]", {0}, 1, false},  {"plus[oppartial[x],1]", {0}, 1, false},
      {sum, {}, 4, true},                                   {sum, {}, 0, false},
      {"sum[k,equal[k,1,2],10]", {}, 4, false},             // an equation of three operands
      {"sum[equal[a,b],equal[k,1],k]", {0}, 4, true},       // any equation directly under a sum
      {sum, {1, 0}, 4, true},                               {"sum[power[j,2],equal[k,1],10]", {0, 0}, 4, false},
      {"sum[power[t,2],equal[t,1],10]", {0, 0}, 4, false},  // a coordinate is no plain variable
      {"plus[sum[k,equal[k,1],10],k]", {1}, 4, false},      // outside the sum
      {sum, {0, 0}, 4, true, {0}},                          // unlike a bounded sum, wherever the root is
      // 3: bounded sums bind their index strictly below the root.

      {bsum, {0}, 0, true},                         {"bsum[plus[k,1],10,k]", {}, 0, false},
      {"bsum[equal[k,1],10]", {}, 0, false},        {bsum, {0, 0}, 0, true},  // its index equation
      {bsum, {0, 2, 0}, 0, true},                   // the index in the term, sum below root
      {bsum, {0, 2, 0}, 0, true, kNoRoot},          // no root: any binder counts
      {bsum, {0, 2, 0}, 0, false, {0}},             // the sum is root: not strictly below
      {bsum, {0, 2, 0}, 32, true, {0}},             // ... so flag 32 may take it as a parameter
      {bsum, {0, 2, 0}, 32, false, {0, 2}},         // the walk meets root first: no later rule helps
      {bsum, {0, 2, 0}, 2, false, {0, 2}},          {bsum, {0, 2, 0}, 32, false, {0, 2, 0}},
      {"bsum[equal[k,1],10,times[k,j]]", {2, 1}, 32, true, {2}},  // j: a parameter of the term
      {nested, {2, 2, 1}, 32, true, {2}},           // j bound by the root itself
      {nested, {2, 2, 0}, 32, false, {2}},          // k bound above the root: varies inside it
      {nested, {2, 2, 1}, 0, true},                 {nested, {2, 2, 0}, 0, false},
      {"bsum[equal[k,1],10,bsum[equal[k,1],5,times[k,2]]]", {2, 2, 0}, 32, true, {2}},  // shadowed
      {"bsum[equal[k,1],10,k]", {2}, 16, false, {2}},  // rule 3's false comes before rule 7
      // 4: parameters under flag 32.
      {"x'", {}, 32, false}, {"theta", {}, 32, false}, {"a", {}, 32, true}, {"a", {}, 0, false}, {"inf", {}, 32, true},
      {"indexes[a,1]", {}, 32, true}, {"indexes[a,1.5]", {}, 32, false}, {"indexes[a,b]", {}, 32, false},
      {"indexes[0,1,2,1]", {}, 32, false}, {"indexes[x,1]", {}, 32, true}, {"indexes[1,0,a,1]", {}, 32, false},
      // 5-7: relations (2), comparisons (8), chars (16).
      {"comma[a,b]", {}, 2, true}, {"geq[a,b]", {}, 2, true}, {"notequal[a,b]", {}, 2, false},
      {"leq[a,b]", {}, 8, true}, {"equal[a,b]", {}, 8, false}, {"x", {}, 16, true}, {"greaterthan[a,b]", {}, 16, false},
      // 8: comparisons and equations anywhere in the condition of an if.
      {"if[lessthan[x,0],lessthan[y,0]]", {0}, 0, false}, {"if[lessthan[x,0],lessthan[y,0]]", {1}, 0, true},
      {"if[a,plus[geq[y,0],1]]", {1, 0}, 0, true}, {"if[a,notequal[y,0]]", {1}, 0, false},
      {"if[a,if[lessthan[x,0],b]]", {1, 0}, 0, true}, {"if[if[a,lessthan[x,0]],b]", {0, 1}, 0, true},
      // 9-10: comma lists as arguments of min, max, clamp (3 items) and mod (2), through ids.
      {"max[id[id[comma[a,b]]]]", {0, 0, 0}, 0, true}, {"clamp[comma[a,b]]", {0}, 0, false},
      {"mod[comma[a,b,c]]", {0}, 0, false}, {"min[plus[comma[a,b]]]", {0, 0}, 0, false},
      {"comma[a,b]", {}, 0, false}, {"plus[comma[a,b]]", {0}, 2, true},  // rule 5 answers first
      {"mod[id[comma[a,b]]]", {}, 0, true}, {"mod[id[id[comma[a,b]]]]", {}, 0, false},
      {"clamp[id[comma[a,b,c]]]", {}, 0, true}, {"mod[a]", {}, 32, false},
      // 11-12: what the evaluator computes, and its constants among chars.
      {"sn[1,2]", {}, 0, true}, {"minus[a]", {}, 0, true}, {"list[a]", {}, 0, false},
      {"sin[pi]", {0}, 0, true}, {"degree", {}, 0, true}, {"i", {}, 0, true}, {"E", {}, 0, false},
      // The graph classifier's flag sets: 37 = 1|4|32 refuses what 39 (|2), 45 (|8), 53 (|16) take.
      {"equal[y,lessthan[x,1]]", {}, 37, false}, {"equal[y,lessthan[x,1]]", {}, 39, true},
      {"equal[y,lessthan[x,1]]", {1}, 45, true}, {"equal[y,lessthan[x,1]]", {0}, 53, true},
      {"equal[y,lessthan[x,1]]", {0}, 37, false}, {"plus[a,x]", {0}, 37, true},
  });
}

// A sum binds its index in its term and at the index letter only; a letter in its start or end
// is the one outside it: a plain variable there, a parameter under flag 32, or the index of an
// enclosing sum (answers by hand from the rules).
TEST_F(ClassifierTest, LettersInASumsBoundsAreTheOuterOnes) {
  const char* sum = "sum[k,equal[k,k],k]";       // term, equal(index, start), end
  const char* bsum = "bsum[equal[k,k],plus[k,1],k]";  // equal(index, start), end, term
  const char* inner = "bsum[equal[k,1],3,bsum[equal[j,1],k,j]]";  // the inner end is the outer index
  ExpectCases({
      {sum, {0}, 4, true},          {sum, {1, 0}, 4, true},      // the term and the index itself
      {sum, {1, 1}, 4, false},      {sum, {2}, 4, false},        // start and end: a plain variable
      {sum, {2}, 37, true},         {sum, {2}, 37, true, {2}},   // ... a parameter of the formula
      {bsum, {2}, 0, true, kNoRoot},      {bsum, {0, 0}, 0, true, kNoRoot},
      {bsum, {0, 1}, 0, false, kNoRoot},  {bsum, {1, 0}, 0, false, kNoRoot},
      {bsum, {1, 0}, 32, true, {1}},      {bsum, {0, 1}, 32, true, {0}},  // constant where the index is not
      {bsum, {0, 0}, 32, false, {0}},     // the index under its own equation as root varies
      {inner, {2, 1}, 0, true, kNoRoot},  {inner, {2, 1}, 32, true},  // bound by the outer sum, at root
      {inner, {2, 1}, 32, false, {2}},    // the outer index varies inside the inner sum
  });
  struct Case { const char* tree; bool allowed, under; };
  const Case cases[] = {{"bsum[equal[k,1],k,k]", false, true}, {"bsum[equal[k,k],3,k]", false, true},
                        {"bsum[equal[k,1],3,k]", true, true},  {"bsum[equal[k,1],x,k]", false, false}};
  for (const Case& c : cases) {
    ExprNode* tree = Build(c.tree);
    EXPECT_EQ(AllNodesAllowed(tree), c.allowed) << c.tree;
    EXPECT_EQ(AllNodesAllowedUnder(tree), c.under) << c.tree;
    FreeExpression(tree);
  }
}

TEST_F(ClassifierTest, TreeWrappers) {
  struct Case { const char* tree; bool allowed, under, classifiable, constant; };
  const Case cases[] = {{"plus[1,sin[pi]]", true, true, true, true},      {"sin[x]", false, false, false, false},
                        {"times[a,2]", false, true, false, true},           {"interval[1,2]", false, false, true, true},
                        {"sum[times[a,k],equal[k,1],10]", false, false, false, true},
                        {"bsum[equal[k,1],10,times[a,k]]", false, true, false, true},
                        {"bsum[equal[k,1],10,times[2,k]]", true, true, true, true},
                        {"plus[indexes[a,2],1]", false, true, false, true}};
  for (const Case& c : cases) {
    ExprNode* tree = Build(c.tree);
    EXPECT_TRUE(AllNodesAllowed(tree) == c.allowed && AllNodesAllowedUnder(tree) == c.under &&
                AllNodesClassifiable(tree) == c.classifiable && IsConstantSubtree(tree) == c.constant) << c.tree;
    FreeExpression(tree);
  }
  // The free variable counts as classifiable wherever it is, even a coordinate.
  ExprNode* tree = Build("plus[t,sin[t]]");
  EXPECT_FALSE(AllNodesClassifiable(tree));
  SetFreeVariable('t');
  EXPECT_TRUE(AllNodesClassifiable(tree) && IsConstantSubtree(tree) && !AllNodesAllowed(tree));  // only these two
  FreeExpression(tree);
}

// One scan from the root of random trees (sums, conditions, parameters, coordinates) answers for
// every node as the compiler asks it: the least answer under a node exceeds the node's depth
// exactly when the rule passes every node under it with that node as root.
TEST_F(ClassifierTest, OneScanAnswersForEveryNodeAsTheRuleDoes) {
  tree_test::RandomTree random(5, {KindBoundedSum, KindIf, KindLessthan, KindPlus, KindSin, KindEqual, KindComma},
                               {'k', 'j', 'a', 'x', 'e', SymPi});
  int constant = 0, varying = 0;
  for (int t = 0; t < 300; ++t) {
    ExprNode* tree = random.Make(1 + t % 6);
    AllowedUnderScan scan(tree);
    std::vector<int> least;  // by depth, for the nodes on the path
    TreeCursor cursor(tree, WalkOrder::kEnterAndLeave);
    for (ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
      const int depth = cursor.Depth();
      if (cursor.Entering()) {
        least.resize(depth + 1);
        least[depth] = scan.Enter(n, depth);
        continue;
      }
      bool expected = true;
      TreeCursor inner(n, WalkOrder::kPreOrder);
      for (const ExprNode* m = inner.Current(); m != nullptr && expected; m = inner.Next()) {
        expected = ClassifyNodeKind(m, ClassifyParameters, n);
      }
      ASSERT_EQ(least[depth] > depth, expected) << Text(n) << " in " << Text(tree);
      ++(expected ? constant : varying);
      if (depth > 0) least[depth - 1] = std::min(least[depth - 1], least[depth]);
      scan.Leave(n);
    }
    FreeExpression(tree);
  }
  EXPECT_TRUE(constant > 500 && varying > 500);
}

// Every node under n passes the rule with the flags and root (or is an interval or the free
// variable, when withExtra): the tree-wide questions asked node by node.
bool EveryNodeByRule(const ExprNode* n, uint32_t flags, const ExprNode* root, bool withExtra) {
  TreeCursor inner(const_cast<ExprNode*>(n), WalkOrder::kPreOrder);
  for (const ExprNode* m = inner.Current(); m != nullptr; m = inner.Next()) {
    const bool extra = m->kind == KindInterval || (FreeVariable() != 0 && m->kind == KindChar && m->value.symbol == FreeVariable());
    if (!ClassifyNodeKind(m, flags, root) && !(withExtra && extra)) return false;
  }
  return true;
}

// IsConstantSubtree, AllNodesClassifiable and AllNodesAllowed of every node of the tree against
// the rule node by node; counts the constant and varying subtrees.
void ExpectTreeWideAnswersOfEveryNode(const ExprNode* tree, int& constant, int& varying) {
  TreeCursor cursor(const_cast<ExprNode*>(tree), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    const bool isConstant = IsConstantSubtree(n);
    ASSERT_EQ(isConstant, EveryNodeByRule(n, ClassifySums | ClassifyParameters, n, true)) << Text(n) << " in " << Text(tree);
    ASSERT_EQ(AllNodesClassifiable(n), EveryNodeByRule(n, 0, nullptr, true)) << Text(n) << " in " << Text(tree);
    ASSERT_EQ(AllNodesAllowed(n), EveryNodeByRule(n, 0, nullptr, false)) << Text(n) << " in " << Text(tree);
    ++(isConstant ? constant : varying);
  }
}

// The tree-wide questions keep what each node needs of its ancestors on the way down; over random
// trees with sums, bounded sums and conditions, with binders above the subtree asked about, and
// with the free variable set or not, each answers as the rule asked node by node does; so does
// AllNodesAllowedUnder (the compiler's constancy, its binders above the subtree included).
TEST_F(ClassifierTest, TreeWideQuestionsAnswerAsTheRuleNodeByNode) {
  tree_test::RandomTree random(11, {KindSum, KindBoundedSum, KindEqual, KindIf, KindLessthan, KindPlus, KindSin, KindInterval},
                               {'k', 'j', 'a', 'x', 'e', SymPi});
  int constant = 0, varying = 0;
  for (int t = 0; t < 400; ++t) {
    SetFreeVariable(t % 3 == 0 ? 'a' : 0);
    ExprNode* tree = random.Make(2 + t % 6);
    ExpectTreeWideAnswersOfEveryNode(tree, constant, varying);
    TreeCursor cursor(tree, WalkOrder::kPreOrder);
    for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
      ASSERT_EQ(AllNodesAllowedUnder(n), EveryNodeByRule(n, ClassifyParameters, n, false)) << Text(n) << " in " << Text(tree);
    }
    FreeExpression(tree);
  }
  EXPECT_TRUE(constant > 500 && varying > 500) << constant << " " << varying;
}

// The tree under `levels` nested bounded sums from 1 to 5, innermost first; the sum at each level
// whose number is a multiple of `period` is over j, the others over k.
ExprNode* InNestedSums(ExprNode* tree, int levels, int period) {
  for (int level = 0; level < levels; ++level) {
    ExprNode* sum = NewNode(KindBoundedSum, 3);
    SetChild(sum, 0, NewBinaryNode(KindEqual, NewSymbolNode(level % period ? 'k' : 'j'), NewNumberNode(1)));
    SetChild(sum, 1, NewNumberNode(5));
    SetChild(sum, 2, tree);
    tree = sum;
  }
  return tree;
}

// Forty nested bounded sums over k and j in turn, more binders than the walk keeps: the answers
// are still the rule's. A variable beside each of 40,000 nested sums is answered in one walk
// (climbing from each variable made this quadratic).
TEST_F(ClassifierTest, TreeWideQuestionsPastTheBinderCapacityAndDeep) {
  ExprNode* tree = InNestedSums(Build("times[k,j]"), 40, 2);
  int constant = 0, varying = 0;
  ExpectTreeWideAnswersOfEveryNode(tree, constant, varying);
  EXPECT_TRUE(IsConstantSubtree(tree) && constant > 0 && varying > 0);
  FreeExpression(tree);
  ExprNode* deep = NewSymbolNode('a');
  for (int level = 0; level < 40000; ++level) deep = NewBinaryNode(KindPlus, NewSymbolNode(level % 2 ? 'a' : 'b'), deep);
  EXPECT_TRUE(IsConstantSubtree(deep));
  EXPECT_FALSE(AllNodesClassifiable(deep));
  deep->children[0]->value.symbol = 'x';
  EXPECT_FALSE(IsConstantSubtree(deep));
  FreeExpression(deep);
}

// Past 32 binders the walk keeps the rest on the heap; with that memory refused it asks the rule
// node by node instead. Both ways every subtree of 40 nested sums answers as the rule does.
TEST_F(ClassifierTest, BindersPastTheInlineStackWithTheHeapRefused) {
  ExprNode* tree = InNestedSums(Build("plus[times[k,j],a,x]"), 40, 3);
  for (bool refused : {false, true}) {
    FailAllocationAt(refused ? 1 : 0, refused);
    int constant = 0, varying = 0;
    ExpectTreeWideAnswersOfEveryNode(tree, constant, varying);
    FailAllocationAt(0);
    EXPECT_TRUE(constant > 0 && varying > 0) << (refused ? "refused" : "allowed");
  }
  EXPECT_FALSE(IsConstantSubtree(tree)) << "x varies";
  FreeExpression(tree);
}

}  // namespace
