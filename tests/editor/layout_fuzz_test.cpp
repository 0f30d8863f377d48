// Seeded layout fuzz: random trees from the formula reader (every kind formula text can name,
// with any operand count the reader accepts) laid out at random width limits. After each
// layout: the editor and line table hold their invariants, every box lies inside its parent's,
// children laid in a row do not overlap, absolute = parent's absolute + relative, and a second
// layout changes nothing.
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
    for (uint32_t k = KindIndexes; k <= kLastNamedNodeKind; ++k) {
      const char* name = NodeKindName(k);
      if (LookUpSymbolName(name, int(std::strlen(name))) == 0) kinds_.push_back(k);  // not Re, Im
    }
  }
  std::string Item(int depth) {
    static const char* const kLeaves[] = {"x", "alpha", "pi", "inf", "2.5", "num[1e25,\"\"]", "num[0.1,\"\"]",
                                          "string[\"\"]", "string[\"a\"]", "prompt[]", "dummy[t]", "char[beta]"};
    if (depth > 5 || Below(10) < 3) return kLeaves[Below(std::size(kLeaves))];
    uint32_t kind = kinds_[Below(kinds_.size())];
    std::string s = std::string(NodeKindName(kind)) + "[";
    int n = Below(4);
    if (kind == KindMatrix) {
      int rows = 1 + Below(2), columns = 1 + Below(3);
      s += std::to_string(rows) + "," + std::to_string(columns);
      n = rows * columns;
    } else if (kind == KindIndexes) {
      int lower = Below(3), upper = Below(2);
      s += std::to_string(lower) + "," + std::to_string(upper);
      n = lower + upper + 1;
    } else if (kind == KindChem || kind == KindTensor) {
      s += kind == KindChem ? "1,2,3,4" : "5";
      n = 1 + Below(2);  // the reader takes parameters only before an operand
    }
    bool parameters = s.back() != '[';
    for (int i = 0; i < n; ++i) s += (i || parameters ? "," : "") + Item(depth + 1);
    return s + "]";
  }

 private:
  uint32_t Below(size_t n) { return uint32_t(rng_() % n); }
  std::mt19937 rng_;
  std::vector<uint32_t> kinds_;
};

void ExpectBoxesNested(const ExprNode* root) {
  SubtreeCursor cursor(const_cast<ExprNode*>(root));
  for (ExprNode* n = cursor.Current(); n; n = cursor.Next()) {
    FixedRect outer, inner, previous{};
    ASSERT_NE(GetNodeRect(n, &outer), nullptr);
    bool row = LayoutHandlerForKind(n->kind) == LayoutSideBySide;
    for (int i = 0; n->kind != KindString && i < n->arity; ++i) {
      const TypesetBox& b = *n->children[i]->box;
      EXPECT_EQ(b.absoluteHorizontal, n->box->absoluteHorizontal + b.relativeHorizontal);
      EXPECT_EQ(b.absoluteVertical, n->box->absoluteVertical + b.relativeVertical);
      GetNodeRect(n->children[i], &inner);
      EXPECT_TRUE(inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
                  inner.bottom <= outer.bottom)
          << Dump(n) << " child " << i;
      if (row && i > 0) {
        EXPECT_GE(inner.left, previous.right) << Dump(n) << " child " << i;
      }
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
    ASSERT_NE(e->root->kind == KindPrompt, text != "prompt[]") << text;  // it parsed
    ASSERT_TRUE(e->layoutValid) << text;
    const char* why;
    ASSERT_TRUE(CheckFormulaEditor(e, &why)) << text << ": " << why;
    ASSERT_TRUE(CheckLineTable(&why)) << text << ": " << why;
    ExpectBoxesNested(e->root);
    const std::string tree = Dump(e->root);
    const TypesetBox first = *e->root->box;
    InvalidateFormulaLayout();
    LayoutFormula();
    EXPECT_EQ(Dump(e->root), tree);
    EXPECT_EQ(std::make_tuple(e->root->box->width, e->root->box->ascent, e->root->box->descent),
              std::make_tuple(first.width, first.ascent, first.descent))
        << text;
    DrawFormula(e->root);
    DisposeFormulaEditor(e);
    editors_.pop_back();
  }
}
