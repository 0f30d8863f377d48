// The bracket-notation writer against the reader: read(write(t)) == t for random trees of
// every kind the reader can name (strict equality: values bit for bit, display texts,
// parameters), under both separators; the forms without a bracket form are reported.
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "tests/kernel/text/formula_test_support.h"

#include "kernel/text/bracket_writer.h"
#include "kernel/trees/node_kinds.h"
#include "kernel/text/number_text.h"

namespace {

using BracketWriter = FormulaTextTest;

std::string Bracket(const ExprNode* tree, bool* exact = nullptr) { return TakeText(FormatExpressionBracket(tree, exact)); }

// Random trees as the reader could have produced them.
class TreeMaker {
 public:
  explicit TreeMaker(uint32_t seed) : rng_(seed) {}

  ExprNode* Make(int depth, bool aloneInList) {
    if (depth <= 0 || Chance(35)) return Leaf(aloneInList);
    uint32_t kind;
    do {
      kind = KindIndexes + Below(KindSet - KindIndexes + 1);
    } while (kind == KindRe || kind == KindIm);
    int count = Below(4);
    ExprNode* node = nullptr;
    switch (kind) {
      case KindMatrix: {
        int rows = 1 + Below(3), columns = 1 + Below(3);
        node = Fill(NewNode(kind, rows * columns), depth);
        node->value.halves = NodeHalves{static_cast<int16_t>(rows), static_cast<int16_t>(columns)};
        return node;
      }
      case KindIndexes: {
        int raised = Below(2), lowered = Below(3);
        node = Fill(NewNode(kind, raised + lowered + 1), depth);
        node->value.halves = NodeHalves{static_cast<int16_t>(raised), static_cast<int16_t>(lowered)};
        return node;
      }
      case KindTensor:
        node = Fill(NewNode(kind, count), depth);
        node->value.tensorMask = static_cast<int32_t>(rng_());
        return node;
      case KindChem:
        node = Fill(NewNode(kind, count), depth);
        for (uint8_t& b : node->value.chem) b = static_cast<uint8_t>(Below(256));
        return node;
      default: return Fill(NewNode(kind, count), depth);
    }
  }

 private:
  ExprNode* Fill(ExprNode* node, int depth) {
    EXPECT_NE(node, nullptr);
    for (int i = 0; i < node->arity; ++i) {
      node->children[i] = Make(depth - 1, node->arity == 1);
      node->children[i]->parent = node;
    }
    return node;
  }

  ExprNode* Leaf(bool aloneInList) {
    switch (Below(7)) {
      case 0: return NewSymbolNode(static_cast<int16_t>(Chance(50) ? 'a' + Below(26) : 'A' + Below(26)));
      case 1: return NewSymbolNode(static_cast<int16_t>(kFirstSymbolId + Below(kSymbolNameCount)));
      case 2: {
        const char codes[] = "0123456789.xQ";
        ExprNode* node = NewSymbolNode(static_cast<int16_t>(codes[Below(13)]));
        if (Chance(50)) node->kind = KindDummy;
        return node;
      }
      case 3: return NewPromptNode();
      case 4: {
        std::string text;
        const char alphabet[] = "ab,[]\" ()xyz012";
        int length = Below(100);
        for (int i = 0; i < length; ++i) text += alphabet[Below(15)];
        return NewStringNode(text.data(), text.size());
      }
      default: return Number(aloneInList);
    }
  }

  ExprNode* Number(bool aloneInList) {
    double value;
    switch (Below(6)) {
      case 0: value = static_cast<double>(static_cast<int>(Below(2000)) - 1000); break;
      case 1: value = (static_cast<int>(Below(64)) - 32) / 8.0; break;
      case 2: value = Chance(50) ? INFINITY : -INFINITY; break;
      case 3: value = NAN; break;
      default: {
        uint64_t bits = (static_cast<uint64_t>(rng_()) << 32) | rng_();
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) value = 0.1;
      }
    }
    ExprNode* node = NewNumberNode(value);
    // The display text the reader leaves: reads back as the value, first period localised.
    char text[40];
    if (std::isnan(value)) {
      std::strcpy(text, aloneInList || Chance(50) ? "NaN" : "");
    } else if (std::isinf(value)) {
      std::strcpy(text, value > 0 ? "Infinity" : "-Infinity");
    } else {
      FormatDoubleDigits(text, sizeof text, value, 17);
      if (char* period = std::strchr(text, '.')) *period = GetDecimalSeparator();
    }
    SetNumberText(node, text, std::strlen(text));
    return node;
  }

  int Below(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }

  std::mt19937 rng_;
};

TEST_F(BracketWriter, TextReadsBackAsTheSameTree) {
  for (char separator : {'.', ','}) {
    SetDecimalSeparator(separator);
    TreeMaker maker(separator == '.' ? 2024u : 77u);
    for (int i = 0; i < 1000; ++i) {
      ExprNode* tree = maker.Make(1 + i % 5, false);
      ASSERT_TRUE(CheckExpressionTree(tree));
      bool exact = false;
      const std::string text = Bracket(tree, &exact);
      EXPECT_TRUE(exact) << text;
      ExprNode* back = Parse(text);
      ASSERT_NE(back, nullptr) << text;
      std::string why;
      EXPECT_TRUE(StrictlyEqual(tree, back, &why)) << why << "\n" << text;
      EXPECT_TRUE(CheckExpressionTree(back));
      // And the second writing is identical: the text is a fixed point.
      EXPECT_EQ(Bracket(back), text);
      FreeExpression(back);
      FreeExpression(tree);
      if (HasFailure()) return;
    }
  }
}

TEST_F(BracketWriter, WritesTheReadersForms) {
  struct Case { const char* tree; const char* text; };
  const Case cases[] = {
      {"plus[x,times[2,alpha]]", "plus[x,times[num[2,\"2\"],alpha]]"},
      {"matrix[2,2,a,b,c,d]", "matrix[2,2,a,b,c,d]"}, {"chem[1,2,3,4,X]", "chem[1,2,3,4,X]"},
      {"indexes[1,0,x,i]", "indexes[1,0,x,i]"}, {"tensor[-5,]", "tensor[-5,]"},
      {"string[\"a\"\"b\"]", "string[\"a\"\"b\"]"}, {"char[7]", "char[7]"}, {"dummy[beta]", "dummy[beta]"},
      {"num[0.1,\"0.1\"]", "num[0.10000000000000001,\"0.1\"]"}, {"plus[,x]", "plus[,x]"},
      {"plus[x,]", "plus[x,]"}, {"sin[NaN]", "sin[NaN]"}, {"", ""}, {"Infinity", "num[inf,\"Infinity\"]"},
      {"num[-inf,\"-Infinity\"]", "num[-inf,\"-Infinity\"]"}, {"sin[]", "sin[]"}, {"prompt[]", "prompt[]"},
  };
  for (const Case& c : cases) {
    SetDecimalSeparator(',');
    ExprNode* tree = Parse(c.tree);
    ASSERT_NE(tree, nullptr) << c.tree;
    bool exact = false;
    EXPECT_EQ(Bracket(tree, &exact), c.text) << c.tree;
    EXPECT_TRUE(exact) << c.tree;
    FreeExpression(tree);
  }
}

TEST_F(BracketWriter, ReportsWhatHasNoBracketForm) {
  struct Case { ExprNode* tree; std::string text; };
  ExprNode* re = NewNode(KindRe, 1);
  re->children[0] = NewSymbolNode('z');
  re->children[0]->parent = re;
  ExprNode* im = NewNode(KindIm, 0);
  ExprNode* infix = NewNode(KindInfix, 0);
  ExprNode* internal = NewNode(KindDerivativePartial, 0);
  ExprNode* primed = NewSymbolNode(0x7078);
  ExprNode* longString = NewStringNode(std::string(120, 's').data(), 120);
  ExprNode* badMatrix = NewNode(KindMatrix, 1);
  badMatrix->value.halves = NodeHalves{2, 2};
  badMatrix->children[0] = NewSymbolNode('a');
  badMatrix->children[0]->parent = badMatrix;
  const Case cases[] = {
      {re, "real[z]"}, {im, "imag[]"}, {infix, "prompt[]"}, {internal, "prompt[]"}, {primed, "prompt[]"},
      {longString, "string[\"" + std::string(99, 's') + "\"]"}, {badMatrix, "matrix[2,2,a]"},
  };
  for (const Case& c : cases) {
    ASSERT_NE(c.tree, nullptr);
    bool exact = true;
    const std::string text = Bracket(c.tree, &exact);
    EXPECT_FALSE(exact) << text;
    EXPECT_EQ(text, c.text);
    FreeExpression(c.tree);
  }
  // A record whose text would override its value keeps the value.
  for (double value : {-static_cast<double>(INFINITY), 2.5}) {
    for (const char* text : {"Infinity", "NaN"}) {
      ExprNode* number = NewNumberNode(value);
      SetNumberText(number, text, std::strlen(text));
      bool exact = true;
      const std::string written = Bracket(number, &exact);
      EXPECT_FALSE(exact) << written;
      ExprNode* back = Parse(written);
      ASSERT_NE(back, nullptr) << written;
      EXPECT_EQ(back->value.number->value, value) << written;
      FreeExpression(back);
      FreeExpression(number);
    }
  }
}

TEST_F(BracketWriter, ExactMeansTheNumberReadsBackUnchanged) {
  // Records built by hand: exact must hold exactly when the reader gives the record back.
  struct Case { char separator; double value; const char* text; bool exact; };
  const Case cases[] = {
      {'.', 2.5, "2.5", true},
      {'.', 2.5, "", false},                        // the number pass writes "2.5"
      {'.', 2.5, "3", false},
      {'.', 0.123456789012, "0.12345679", true},    // already the pass's own text
      {'.', 1.5e-7, "1.5e-07", true}, {',', 1.5, "1,5", true},
      {',', 1.5, "1.5", false},                     // the reader would localise this period
      {',', 1234.5, "1.234,5", false},
  };
  for (const Case& c : cases) {
    SetDecimalSeparator(c.separator);
    ExprNode* number = NewNumberNode(c.value);
    ASSERT_NE(number, nullptr);
    SetNumberText(number, c.text, std::strlen(c.text));
    bool exact = !c.exact;
    const std::string text = Bracket(number, &exact);
    EXPECT_EQ(exact, c.exact) << text;
    ExprNode* back = Parse(text);
    ASSERT_NE(back, nullptr) << text;
    EXPECT_EQ(StrictlyEqual(number, back), c.exact) << text;
    FreeExpression(back);
    FreeExpression(number);
  }
}

TEST_F(BracketWriter, DeepTreesAreCutAtTheReadersDepth) {
  ExprNode* root = NestedChain(KindSin, kMaxFormulaDepth + 5);
  ASSERT_NE(root, nullptr);
  bool exact = true;
  const std::string text = Bracket(root, &exact);
  EXPECT_FALSE(exact);
  ExprNode* back = Parse(text);
  ASSERT_NE(back, nullptr);  // the cut text is still within the reader's limit
  EXPECT_EQ(CountSubtreeNodes(back), kMaxFormulaDepth);
  FreeExpression(back);
  FreeExpression(root);
}

}  // namespace
