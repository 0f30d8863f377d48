// Seeded layout fuzz: random trees from the formula reader (every kind formula text can name,
// with any operand count the reader accepts; the five kinds it cannot name are put in by
// renaming nodes of the same arity) at random width limits. After each layout: the editor and
// line-table invariants, every box inside its parent's (but a big sign's lower limit, which may
// hang 100u under it), no two siblings overlapping (but where a handler puts one in the other: an
// exponent over a subscript or a function name, a function in a derivative's numerator),
// absolute = parent's absolute + relative, a second layout changes nothing, and every pen move of
// the drawing lands inside the drawn lines.
#include <cstring>
#include <random>

#include "editor/layout_boxes.h"
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

// Kinds formula text cannot name, put in place of named kinds of the same shape.
void RenameUnnamedKinds(ExprNode* root, std::mt19937& rng) {
  const std::pair<uint32_t, uint32_t> renames[] = {{KindCdot, KindInfix}, {KindNot, KindPrefix},
                                                   {KindFact, KindPostfix}, {KindSum, KindExtended},
                                                   {KindSin, KindFxnlike}};
  TreeCursor cursor(root, WalkOrder::kPreOrder);
  for (ExprNode* n = root; n; n = cursor.Next())
    for (auto [from, to] : renames)
      if (n->kind == from && rng() % 2) n->kind = to;
}

bool Overlap(const FixedRect& a, const FixedRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The designed overlaps: the exponent of a power stands over its base's subscript or inside a
// function-name base; a function in the derivative form is written inside its operator's box.
bool MayOverlap(const ExprNode* n) {
  if (n->kind == KindFunction) return n->arity >= 2 && (n->children[0]->kind == KindOptotal ||
                                                        n->children[0]->kind == KindOppartial);
  if (n->kind != KindPower || n->arity < 1 || n->box->tooWideFlag) return false;
  const ExprNode* base = n->children[0];
  return (base->kind == KindIndexes && base->arity == 2) || IsNamedFunctionKind(base->kind) || base->kind == KindLog;
}

// A lower limit that decides a big sign's descent hangs under its node's bottom, by 100u at most.
Fixed HangsBelow(const ExprNode* n, int i) {
  const NodeKindRow* row = GetNodeKindRow(n->kind);
  const bool lowerLimit = (row->handler == LayoutHandler::BigOperator && i == 1) || (n->kind == KindIntegral && i == 2);
  return lowerLimit ? 100 * (TypesetGlobals().currentStyle[n->box->scriptLevel] / 1000) : 0;
}

void ExpectBoxesNested(ExprNode* root) {
  TreeCursor cursor(root, WalkOrder::kPreOrder);
  for (ExprNode* n = root; n; n = cursor.Next()) {
    FixedRect outer;
    std::vector<FixedRect> inner;
    ASSERT_NE(GetNodeRect(n, &outer), nullptr);
    for (int i = 0; n->kind != KindString && i < n->arity; ++i) {
      const TypesetBox& b = *n->children[i]->box;
      FixedRect r;
      GetNodeRect(n->children[i], &r);
      EXPECT_TRUE(b.absoluteHorizontal == n->box->absoluteHorizontal + b.relativeHorizontal &&
                  b.absoluteVertical == n->box->absoluteVertical + b.relativeVertical && r.left >= outer.left &&
                  r.right <= outer.right && r.top >= outer.top && r.bottom <= outer.bottom + HangsBelow(n, i))
          << Dump(n) << " child " << i;
      for (int j = 0; j < i && !MayOverlap(n); ++j)
        EXPECT_FALSE(Overlap(r, inner[j])) << Dump(n) << " children " << j << " and " << i;
      inner.push_back(r);
    }
  }
}
}  // namespace

TEST_F(TypesetTest, RandomTreesLayOutNestedAndStable) {
  FormulaGenerator generator(20240519);
  std::mt19937 rng(7);
  const Fixed limits[] = {Px(1), Px(40), Px(200), kDefaultWidthLimit};
  for (int round = 0; round < 2000; ++round) {
    std::string text = generator.Item(0);
    FormulaEditor* e = Edit(text, 0);
    RenameUnnamedKinds(e->root, rng);
    e->widthLimit = limits[round % 4];
    LayoutFormula();
    const char* why = "";
    ASSERT_TRUE(e->layoutValid && CheckFormulaEditor(e, &why) && CheckLineTable(&why)) << text << ": " << why;
    ExpectBoxesNested(e->root);
    const std::string tree = Dump(e->root);
    const TypesetBox first = *e->root->box;
    InvalidateFormulaLayout();
    LayoutFormula();
    EXPECT_EQ(std::make_tuple(Dump(e->root), e->root->box->width, e->root->box->ascent, e->root->box->descent),
              std::make_tuple(tree, first.width, first.ascent, first.descent));
    port_.calls.clear();
    DrawFormula(e->root);
    const int32_t right = FixedToPixels(e->widestLine) + 2;
    const int32_t bottom = int32_t((int64_t{BoxHeight(*e->root->box)} * e->lineCount) >> 16) + 2;
    for (const Call& c : port_.calls)  // every pen move inside the drawn lines (±2 px)
      EXPECT_TRUE(c.op != 'M' || (c.h >= -2 && c.h <= right && c.v >= -2 && c.v <= bottom)) << text << ": " << c.h << "," << c.v;
    Drop(e);
  }
}

TEST_F(TypesetTest, MissingOperandsTakeAPromptsRoomAndUnusedOnesFollow) {
  struct Case { const char* text; const char* same; Fixed more; };  // `more`: the width past `same`
  const Case cases[] = {
      {"over[a]", "over[a,prompt[]]", 0}, {"power[x]", "power[x,prompt[]]", 0}, {"sqrt[]", "sqrt[prompt[]]", 0},
      {"sum[]", "sum[prompt[]]", 0}, {"integral[f]", "integral[f,prompt[]]", 0}, {"function[f]", "function[f,prompt[]]", 0},
      {"choice[a]", "choice[a,prompt[]]", 0}, {"interval[a]", "interval[a,prompt[]]", 0}, {"if[a]", "if[a,prompt[]]", 0},
      {"besselj[x]", "besselj[x,prompt[]]", 0}, {"log[]", "log[prompt[]]", 0}, {"sin[]", "sin[prompt[]]", 0},
      {"id[]", "id[prompt[]]", 0}, {"optotal[]", "optotal[prompt[]]", 0}, {"lap[]", "lap[prompt[]]", 0},
      {"abs[]", "abs[prompt[]]", 0}, {"minus[]", "minus[prompt[]]", 0}, {"fact[]", "fact[prompt[]]", 0},
      {"over[a,b,c]", "over[a,b]", Px(9)}, {"sin[x,y]", "sin[x]", Px(9)},
      {"sqrt[x,2,y]", "sqrt[x,2]", Px(6)}, {"sum[x,i,n,y]", "sum[x,i,n]", Px(6)}};  // y a script there
  for (const Case& c : cases) {
    const TypesetBox a = *Edit(c.text)->root->box, b = *Edit(c.same)->root->box;
    EXPECT_EQ(std::make_tuple(a.width, a.ascent, a.descent), std::make_tuple(b.width + c.more, b.ascent, b.descent))
        << c.text;
  }
}
