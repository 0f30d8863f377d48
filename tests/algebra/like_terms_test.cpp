// The passes on sums, products and quotients, called directly: the edge cases as goldens, merge
// arithmetic checked numerically, and factor order as a property over random products.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/algebra/algebra_test_support.h"

namespace {

using namespace algebra_test;

// M and N are 2x2 matrices: non-commuting factors.
#define M "matrix[2,2,a,b,c,d]"
#define N "matrix[2,2,d,c,b,a]"

// head[...] of 2 to `most` operands drawn from the vocabulary.
template <size_t Size>
std::string RandomRow(const char* head, const char* const (&vocabulary)[Size], int most, std::mt19937& rng) {
  std::string text = std::string(head) + "[";
  for (int k = 2 + static_cast<int>(rng() % (most - 1)); k > 0; --k) {
    text += std::string(vocabulary[rng() % Size]) + (k > 1 ? "," : "]");
  }
  return text;
}

// head[a,b,a,b,...] of n operands.
std::string AlternatingRow(const char* head, const char* a, const char* b, int n) {
  std::string text = std::string(head) + "[";
  for (int k = 0; k < n; ++k) text += std::string(k % 2 ? b : a) + ",";
  text.back() = ']';
  return text;
}

TEST_F(AlgebraTest, PassesGiveTheirGoldens) {
  const struct { void (*pass)(ExprNode*); const char* before; const char* after; } cases[] = {
      {CollectLikeTerms, "plus[times[3,x],times[5,x]]", "times[8,x]"},
      {CollectLikeTerms, "plus[x,times[2,x]]", "times[3,x]"},
      {CollectLikeTerms, "plus[x,minus[x]]", "0"},
      {CollectLikeTerms, "plus[minus[times[2,x]],times[5,x]]", "times[3,x]"},
      {CollectLikeTerms, "plus[times[3,x],minus[times[2,x]],y]", "plus[x,y]"},
      {CollectLikeTerms, "plus[times[2,x,y],times[3,y,x]]", "plus[times[2,x,y],times[3,y,x]]"},
      {CollectLikeFactors, "times[x,x]", "power[x,2]"},
      {CollectLikeFactors, "times[power[x,2],power[x,3]]", "power[x,5]"},
      {CollectLikeFactors, "times[power[x,a],power[x,b]]", "power[x,plus[a,b]]"},
      {CollectLikeFactors, "times[power[x,a],x]", "power[x,plus[a,1]]"},
      {CollectLikeFactors, "times[0,0]", "times[0,0]"},
      {CollectLikeFactors, "times[matrix[1,2,a,b],matrix[2,1,a,b]]", "times[matrix[1,2,a,b],matrix[2,1,a,b]]"},
      {CollectLikeFactors, "times[matrix[2,1,a,b],matrix[2,1,a,b]]", "power[matrix[2,1,a,b],2]"},
      {CollectLikeTerms, "plus[matrix[1,2,a,b],matrix[2,1,a,b]]", "plus[matrix[1,2,a,b],matrix[2,1,a,b]]"},
      {CollectLikeTerms, "plus[matrix[1,2,a,b],matrix[1,2,a,b]]", "times[2,matrix[1,2,a,b]]"},
      {CollectLikeFactors, "times[" M "," N "," M "]", "times[" M "," N "," M "]"},
      {OrderFactors, "times[y,x,2]", "times[2,x,y]"},
      {OrderFactors, "times[a,beta]", "times[beta,a]"},
      {OrderFactors, "times[e,x]", "times[x,e]"},
      {OrderFactors, "times[sin[x],x]", "times[x,sin[x]]"},
      {OrderFactors, "times[power[y,2],power[x,3],z]", "times[z,power[x,3],power[y,2]]"},
      {OrderFactors, "times[2," M ",3]", "times[2,3," M "]"},
      {OrderFactors, "times[3," M ",x]", "times[3,x," M "]"},
      {OrderFactors, "times[" N "," M "]", "times[" N "," M "]"},
      {OrderFactors, "times[y,function[optotal[x],z],b,a]", "times[y,function[optotal[x],z],a,b]"},
      {OrderFactors, "times[sin[],sin[x],cos[]]", "times[sin[],sin[x],cos[]]"},  // no operand to read
      {CancelCommonFactors, "over[times[power[x,3],y],x]", "times[power[x,2],y]"},
      {CancelCommonFactors, "over[x,x]", "1"},
      {CancelCommonFactors, "over[x,power[x,3]]", "over[1,power[x,2]]"},
      {CancelCommonFactors, "over[power[x,a],power[x,b]]", "power[x,plus[minus[b],a]]"},
      {CancelCommonFactors, "over[x,times[x,y]]", "over[1,y]"},
      {CancelCommonFactors, "over[times[x,x],power[x,3]]", "over[1,x]"},
      {CancelCommonFactors, "over[times[x,y,z],times[z,x]]", "y"},
      {CancelCommonFactors, "over[0,0]", "over[0,0]"},
  };
  for (const auto& c : cases) EXPECT_TRUE(Rewrites(c.pass, c.before, c.after));
}

// Merging c T with k T, -(k T), -T and T in every combination: the sum keeps its value
// (c T with -(k T) gives -((k - c) T), c T with -T gives -((1 - c) T)).
TEST_F(AlgebraTest, MergedCoefficientsKeepTheValue) {
  const char* terms[] = {"times[2.5,x,y]", "minus[times[4,x,y]]", "minus[times[x,y]]", "times[x,y]", "times[-3,x,y]"};
  const Values at{{'x', 1.7}, {'y', -0.6}};
  for (const char* a : terms) {
    for (const char* b : terms) {
      const std::string sum = std::string("plus[") + a + "," + b + "]";
      ExprNode* tree = Tree(sum);
      const double before = Evaluate(tree, at);
      CollectLikeTerms(tree);
      EXPECT_TRUE(Close(Evaluate(tree, at), before)) << sum << " -> " << Text(tree);
      EXPECT_FALSE(tree->kind == KindPlus) << sum << " was not merged";
      FreeExpression(tree);
    }
  }
}

// Random products of up to eight factors: OrderFactors ends, a second call changes nothing, the
// non-commuting factors keep their relative order and, without them, the value is kept.
TEST_F(AlgebraTest, OrderFactorsIsAStableIdempotentOrder) {
  const char* vocabulary[] = {"2", "-3", "x", "y", "A", "b", "alpha", "beta", "e", "pi", "power[x,2]", "power[y,3]",
                              "sin[x]", "over[1,y]", M, N, "function[optotal[x],y]"};
  std::mt19937 rng(99);
  const Values at{{'x', 0.9}, {'y', 1.4}, {'A', 2.2}, {'b', -0.7}};
  for (int trial = 0; trial < 1000; ++trial) {
    const std::string text = RandomRow("times", vocabulary, 8, rng);
    ExprNode* tree = Tree(text);
    auto fixed = [&]() {  // the non-commuting factors, in order
      std::vector<const ExprNode*> out;
      for (int i = 0; i < tree->arity; ++i) {
        if (ContainsNonCommuting(tree->children[i])) out.push_back(tree->children[i]);
      }
      return out;
    };
    const std::vector<const ExprNode*> before = fixed();
    const double value = Evaluate(tree, at);
    OrderFactors(tree);
    ExprNode* once = CopyExpression(tree);
    OrderFactors(tree);
    EXPECT_TRUE(ExpressionsEqual(tree, once) && fixed() == before) << text << " -> " << Text(tree);
    EXPECT_TRUE(before.empty() ? Close(Evaluate(tree, at), value) : true) << text;
    FreeExpression(once);
    FreeExpression(tree);
  }
}

// Random products of up to 40 factors over a few bases: after CollectLikeFactors no two factors
// other than numbers (z z^-1 leaves a 1 behind) share a base, and the value is kept. Each merge
// updates the pass's base hashes in place, so a stale hash would leave a pair unmerged here.
TEST_F(AlgebraTest, CollectLikeFactorsLeavesOneFactorABase) {
  const char* vocabulary[] = {"x", "y", "power[x,2]", "power[y,3]", "power[x,over[1,2]]", "sin[x]", "power[sin[x],2]",
                              "power[x,y]", "z", "power[z,minus[1]]", "plus[x,1]", "power[plus[x,1],2]"};
  std::mt19937 rng(46);
  const Values at{{'x', 0.9}, {'y', 1.4}, {'z', 1.7}};
  for (int trial = 0; trial < 300; ++trial) {
    const std::string text = RandomRow("times", vocabulary, 40, rng);
    ExprNode* tree = Tree(text);
    const double value = Evaluate(tree, at);
    CollectLikeFactors(tree);
    EXPECT_TRUE(CheckExpressionTree(tree));
    EXPECT_TRUE(Close(Evaluate(tree, at), value, 1e-9)) << text << " -> " << Text(tree);
    for (int i = 0; tree->kind == KindTimes && i < tree->arity; ++i) {
      for (int j = i + 1; j < tree->arity && !IsNumberNode(tree->children[i]); ++j) {
        EXPECT_FALSE(SameBase(tree->children[i], tree->children[j])) << text << " -> " << Text(tree);
      }
    }
    FreeExpression(tree);
  }
  // 4,000 factors, x and y in turn: 3,998 merges.
  const std::string text = AlternatingRow("times", "x", "y", 4000);
  EXPECT_TRUE(Rewrites(CollectLikeFactors, text.c_str(), "times[power[x,2000],power[y,2000]]"));
}

// Like terms in every form LikeTerms knows (a product with or without its leading number, of one
// factor or more, under a negation or not) merge across an unlike term between them: the pass
// compares only terms whose keys agree, so a form keyed apart from its like would stay (goldens by
// hand). Random sums of up to 40 terms keep their value; 4,000 terms, x and 2y in turn, merge in
// 3,998 steps.
TEST_F(AlgebraTest, CollectLikeTermsFindsLikeTermsByTheirKeys) {
  const struct { const char* before; const char* after; } cases[] = {
      {"plus[times[x,y],y,times[-2,x,y]]", "plus[y,times[-1,x,y]]"},
      {"plus[times[x],y,times[3,x]]", "plus[y,times[4,x]]"},
      {"plus[times[2,x,y],y,minus[times[x,y]]]", "plus[y,times[x,y]]"},
      {"plus[minus[x],y,times[0.5,x]]", "plus[y,times[-0.5,x]]"},
      {"plus[times[2,sin[x]],y,minus[sin[x]]]", "plus[y,sin[x]]"},
      {"plus[times[x,y],y,times[y,x]]", "plus[times[x,y],y,times[y,x]]"},  // factors in another order
  };
  for (const auto& c : cases) EXPECT_TRUE(Rewrites(CollectLikeTerms, c.before, c.after));
  const char* vocabulary[] = {"x", "times[3,x]", "minus[x]", "minus[times[2,x]]", "times[x,y]", "times[y,x]",
                              "times[-2,x,y]", "minus[times[x,y]]", "power[x,2]", "times[0.5,power[x,2]]",
                              "sin[x]", "times[4,sin[x]]", "y", "2", "times[x]"};
  std::mt19937 rng(7);
  const Values at{{'x', 0.9}, {'y', 1.4}};
  for (int trial = 0; trial < 300; ++trial) {
    const std::string text = RandomRow("plus", vocabulary, 40, rng);
    ExprNode* tree = Tree(text);
    const double value = Evaluate(tree, at);
    CollectLikeTerms(tree);
    EXPECT_TRUE(CheckExpressionTree(tree));
    EXPECT_TRUE(Close(Evaluate(tree, at), value, 1e-9)) << text << " -> " << Text(tree);
    FreeExpression(tree);
  }
  const std::string text = AlternatingRow("plus", "x", "times[2,y]", 4000);
  EXPECT_TRUE(Rewrites(CollectLikeTerms, text.c_str(), "plus[times[2000,x],times[4000,y]]"));
}

// Every allocation of a collection refused in turn: the product stays valid and keeps its value.
TEST_F(AlgebraTest, CollectLikeFactorsKeepsTheValueWhenRefused) {
  const char* product = "times[x,y,power[x,2],sin[x],y,power[x,a],sin[x]]";
  const Values at{{'x', 1.3}, {'y', 0.8}, {'a', 0.6}};
  ExprNode* original = Tree(product);
  const double value = Evaluate(original, at);
  FreeExpression(original);
  WithEachAllocationRefused(product, CollectLikeFactors, [&](const ExprNode* tree, uint64_t n) {
    EXPECT_TRUE(Close(Evaluate(tree, at), value, 1e-9)) << n << " " << Text(tree);
  });
}

// Operands that share their key with no other are passed over without a search, and only they:
// a like pair around, before or after unlike operands still merges, and an operand merged once
// is searched again. n unlike operands stay as they were (goldens by hand).
TEST_F(AlgebraTest, UnlikeOperandsArePassedOverAndLikeOnesAroundThemStillMerge) {
  const struct { void (*step)(ExprNode*); const char* before; const char* after; } cases[] = {
      {CollectLikeFactors, "times[a,x,b,c,x]", "times[a,power[x,2],b,c]"},
      {CollectLikeFactors, "times[x,a,b,c,x,d]", "times[power[x,2],a,b,c,d]"},
      {CollectLikeFactors, "times[a,b,c,x,power[x,2],x]", "times[a,b,c,power[x,4]]"},
      {CollectLikeFactors, "times[a,b,c,d]", "times[a,b,c,d]"},
      {CollectLikeTerms, "plus[a,x,b,c,times[2,x]]", "plus[a,b,c,times[3,x]]"},
      {CollectLikeTerms, "plus[x,a,b,minus[x],c,x]", "plus[a,b,c,x]"},
  };
  for (const auto& c : cases) EXPECT_TRUE(Rewrites(c.step, c.before, c.after)) << c.before;
  std::string text = "times[";
  for (int k = 0; k < 4000; ++k) text += "plus[x," + std::to_string(k + 1) + "],";
  const std::string unlike = text.substr(0, text.size() - 1) + "]";
  EXPECT_TRUE(Rewrites(CollectLikeFactors, unlike.c_str(), unlike.c_str()));
  const std::string pair = text + "plus[x,1]]";  // the first factor's like at the far end
  ExprNode* tree = Tree(pair);
  CollectLikeFactors(tree);
  EXPECT_EQ(tree->arity, 4000);
  EXPECT_TRUE(tree->children[0]->kind == KindPower && Close(Evaluate(tree->children[0], {{'x', 0.5}}), 2.25, 1e-12))
      << Text(tree->children[0]);
  FreeExpression(tree);
}

// A merge can make a term like one before or after it; the pass ends with no like pair (goldens by
// hand, then 10,000 random sums whose value is kept).
TEST_F(AlgebraTest, CollectLikeTermsLeavesNoLikePair) {
  const char* cases[][2] = {
      {"plus[times[x,x],power[x,2],times[x,x]]", "times[3,power[x,2]]"},
      {"plus[power[x,2],times[x,x],times[x,x]]", "times[3,power[x,2]]"},
      {"plus[times[x,x],times[x,x],power[x,2]]", "times[3,power[x,2]]"},
      {"plus[y,times[2,power[x,2]],times[x,x],y,times[x,x]]", "plus[times[2,y],times[4,power[x,2]]]"},
  };
  for (const auto& c : cases) EXPECT_TRUE(Rewrites(CollectLikeTerms, c[0], c[1]));
  const char* vocabulary[] = {"times[x,x]", "power[x,2]", "times[2,x,x]", "minus[times[x,x]]", "times[x,power[x,2]]",
                              "power[x,3]", "times[x,y]", "times[y,x]", "y", "times[y,y]", "power[y,2]", "x",
                              "times[3,x]", "minus[power[x,2]]", "times[0.5,x,x,x]"};
  std::mt19937 rng(1206);
  const Values at{{'x', 0.7}, {'y', -1.3}};
  int unmerged = 0;
  for (int trial = 0; trial < 10000; ++trial) {
    const std::string text = RandomRow("plus", vocabulary, 8, rng);
    ExprNode* tree = Tree(text);
    const double value = Evaluate(tree, at);
    CollectLikeTerms(tree);
    ASSERT_TRUE(CheckExpressionTree(tree));
    EXPECT_TRUE(Close(Evaluate(tree, at), value, 1e-9)) << text << " -> " << Text(tree);
    for (int i = 0; tree->kind == KindPlus && i < tree->arity; ++i) {
      for (int j = i + 1; j < tree->arity; ++j) {
        if (LikeTerms(tree->children[i], tree->children[j]) && ++unmerged < 10) ADD_FAILURE() << text << " -> " << Text(tree);
      }
    }
    FreeExpression(tree);
  }
  EXPECT_EQ(unmerged, 0);
}

}  // namespace
