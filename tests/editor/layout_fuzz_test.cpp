// Seeded layout fuzz: random trees from the formula reader (every kind formula text can name,
// with any operand count the reader accepts) at random width limits. After each layout: the
// editor and line-table invariants, every box inside its parent's, no overlap among children
// laid in a row, absolute = parent's absolute + relative, and a second layout changes nothing.
#include <cstring>
#include <random>

#include "editor/layout_handlers.h"
#include "editor/line_breaking.h"
#include "tests/editor/typeset_test_support.h"

using namespace typeset_test;

namespace {

class FormulaGenerator {
 public:
  explicit FormulaGenerator(uint32_t seed) : rng_(seed) {
    for (uint32_t k = KindIndexes; k <= kLastNamedNodeKind; ++k)  // Re and Im read as symbols
      if (LookUpSymbolName(NodeKindName(k), int(std::strlen(NodeKindName(k)))) == 0) kinds_.push_back(k);
  }
  std::string Item(int depth) {
    static const char* const kLeaves[] = {"x", "alpha", "inf", "2.5", "num[1e25,\"\"]", "num[0.1,\"\"]",
                                          "string[\"\"]", "string[\"a\"]", "prompt[]", "dummy[t]"};
    if (depth > 5 || Below(10) < 3) return kLeaves[Below(std::size(kLeaves))];
    uint32_t kind = kinds_[Below(kinds_.size())];
    std::string s = std::string(NodeKindName(kind)) + "[";
    int n = int(Below(4)), a = 1 + int(Below(2)), b = int(Below(3));
    if (kind == KindMatrix || kind == KindIndexes) {  // rows and columns; lower and upper counts
      int first = kind == KindMatrix ? a : b, second = kind == KindMatrix ? 1 + b : a - 1;
      s += std::to_string(first) + "," + std::to_string(second) + ",";
      n = kind == KindMatrix ? first * second : first + second + 1;
    } else if (kind == KindChem || kind == KindTensor) {
      s += kind == KindChem ? "1,2,3,4," : "5,";
      n = a;  // the reader takes parameters only before an operand
    }
    for (int i = 0; i < n; ++i) s += (i ? "," : "") + Item(depth + 1);
    return s + "]";
  }

 private:
  uint32_t Below(size_t n) { return uint32_t(rng_() % n); }
  std::mt19937 rng_;
  std::vector<uint32_t> kinds_;
};

void ExpectBoxesNested(ExprNode* root) {
  SubtreeCursor cursor(root);
  for (ExprNode* n = root; n; n = cursor.Next()) {
    FixedRect outer, inner, previous{};
    ASSERT_NE(GetNodeRect(n, &outer), nullptr);
    bool row = LayoutHandlerForKind(n->kind) == LayoutSideBySide;
    for (int i = 0; n->kind != KindString && i < n->arity; ++i) {
      const TypesetBox& b = *n->children[i]->box;
      GetNodeRect(n->children[i], &inner);
      EXPECT_TRUE(b.absoluteHorizontal == n->box->absoluteHorizontal + b.relativeHorizontal &&
                  b.absoluteVertical == n->box->absoluteVertical + b.relativeVertical && inner.left >= outer.left &&
                  inner.right <= outer.right && inner.top >= outer.top && inner.bottom <= outer.bottom &&
                  (!row || i == 0 || inner.left >= previous.right))
          << Dump(n) << " child " << i;
      previous = inner;
    }
  }
}

}  // namespace

TEST_F(TypesetTest, RandomTreesLayOutNestedAndStable) {
  FormulaGenerator generator(20240519);
  const Fixed limits[] = {Px(1), Px(40), Px(200), kDefaultWidthLimit};
  for (int round = 0; round < 400; ++round) {
    std::string text = generator.Item(0);
    FormulaEditor* e = Edit(text, limits[round % 4]);
    const char* why = "";
    ASSERT_TRUE(e->layoutValid && CheckFormulaEditor(e, &why) && CheckLineTable(&why)) << text << ": " << why;
    ExpectBoxesNested(e->root);
    const std::string tree = Dump(e->root);
    const TypesetBox first = *e->root->box;
    InvalidateFormulaLayout();
    LayoutFormula();
    EXPECT_EQ(std::make_tuple(Dump(e->root), e->root->box->width, e->root->box->ascent, e->root->box->descent),
              std::make_tuple(tree, first.width, first.ascent, first.descent));
    DrawFormula(e->root);
    Drop(e);
  }
}
