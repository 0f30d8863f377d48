// The scope rule of sums, products and integrals: which name binds a letter at each place of each
// binder kind. Expected names worked out by hand from the rule (term and name inside, start, end
// and bounds outside).
#include <vector>

#include "kernel/trees/bound_names.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace {

using tree_test::Build;

class BoundNamesTest : public tree_test::TreeTest {};

const ExprNode* At(const ExprNode* root, const std::vector<int>& path) {
  for (int i : path) root = root->children[i];
  return root;
}

// The nearest binder that binds the letter's own name at its place; null when none does.
const ExprNode* NearestBinder(const ExprNode* letter) {
  const ExprNode* found = nullptr;
  AnyBinderAbove(letter, [&](const ExprNode* binder, int32_t name) {
    if (name == letter->value.symbol) found = binder;
    return found != nullptr;
  });
  return found;
}

const std::vector<int> kFree = {-1};

// Each letter's binder by its path in the tree ({} the root, kFree: none, the letter is the one
// outside).
TEST_F(BoundNamesTest, ABinderReachesItsTermAndItsNameOnly) {
  const struct { const char* tree; std::vector<int> letter, binder; } cases[] = {
      // Term, name, start, end of a sum, a product and the internal bounded sum.
      {"sum[k,equal[k,k],k]", {0}, {}},       {"sum[k,equal[k,k],k]", {1, 0}, {}},
      {"sum[k,equal[k,k],k]", {1, 1}, kFree}, {"sum[k,equal[k,k],k]", {2}, kFree},
      {"prod[k,equal[k,k],k]", {0}, {}},      {"prod[k,equal[k,k],k]", {1, 1}, kFree},
      {"bsum[equal[k,k],k,k]", {2}, {}},      {"bsum[equal[k,k],k,k]", {0, 0}, {}},
      {"bsum[equal[k,k],k,k]", {0, 1}, kFree}, {"bsum[equal[k,k],k,k]", {1}, kFree},
      // Integrals whose bounds are their own variable's letter: integrand and variable only.
      {"integral[t,t,0,t]", {0}, {}},         {"integral[t,t,0,t]", {1}, {}},
      {"integral[t,t,t,1]", {2}, kFree},      {"integral[t,t,0,t]", {3}, kFree},
      {"int[x,equal[x,x],x]", {0}, {}},       {"int[x,equal[x,x],x]", {1, 0}, {}},
      {"int[x,equal[x,x],x]", {1, 1}, kFree}, {"int[x,equal[x,x],x]", {2}, kFree},
      {"oint[z,z]", {0}, {}},
      // An inner sum's start and end lie in the outer sum's term: the outer index there.
      {"sum[sum[k,equal[k,k],k],equal[k,1],3]", {0, 2}, {}},
      {"sum[sum[k,equal[k,k],k],equal[k,1],3]", {0, 1, 1}, {}},
      {"sum[sum[k,equal[k,k],k],equal[k,1],3]", {0, 0}, {0}},
      // Shapes that bind nothing: an equation of three operands, a non-letter index.
      {"sum[k,equal[k,1,2],3]", {0}, kFree},  {"bsum[equal[2,1],3,k]", {2}, kFree},
  };
  for (const auto& c : cases) {
    ExprNode* tree = Build(c.tree);
    const ExprNode* expected = c.binder == kFree ? nullptr : At(tree, c.binder);
    EXPECT_EQ(NearestBinder(At(tree, c.letter)), expected) << c.tree;
    FreeExpression(tree);
  }
}

}  // namespace
