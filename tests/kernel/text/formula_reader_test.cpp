// The formula text reader: the grammar's cases (hand-derived from the notation's rules), the
// limits on untrusted text, every failure (injected ones included) leaving nothing allocated,
// handles left as they were found, and the number pass that splits numbers without changing them.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "kernel/text/number_text.h"
#include "kernel/trees/node_kinds.h"
#include "platform/handles.h"
#include "tests/kernel/trees/tree_test_support.h"

namespace {

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

using FormulaReader = tree_test::TreeTest;

TEST_F(FormulaReader, ReadsEachGrammarCase) {
  struct Case { const char* text; uint32_t kind; int arity; int symbol; };  // kind 0: refused
  const Case cases[] = {
      {"x", KindChar, 0, 'x'},       {"alpha", KindChar, 0, 4864},   {"Im", KindChar, 0, 4906},
      {"Im[x]", KindChar, 0, 4906},  // a symbol ends the item; the rest is ignored
      {"x2", 0, 0, 0},               {"1e5", 0, 0, 0},               {"sin[]", KindSin, 0, 0},
      {"over[a,b,c]", KindOver, 3, 0}, {"plus[x, y]", 0, 0, 0},      {"plus[x,y", 0, 0, 0},
      {" x", KindNum, 0, 0},  // an empty word before the blank: a NaN number, the rest ignored
      {"plus[Im[x],y]", 0, 0, 0},    {"num[NaN,\"x\"]", 0, 0, 0},    {"infix[a]", 0, 0, 0},  // past set
      {"set[a]", KindSet, 1, 0},     {"prompt[x]", 0, 0, 0},         {"char[2]", KindChar, 0, '2'},
      {"char[.]", KindChar, 0, '.'}, {"char[beta]", KindChar, 0, 4865}, {"char[]", 0, 0, 0},
      {"char[zz]", 0, 0, 0},         {"dummy[t]", KindDummy, 0, 't'}, {"sin[(skipped)x]", KindSin, 1, 0},
      {"sin[(unclosed x]", 0, 0, 0}, {"plus[x,]", KindPlus, 2, 0},   {"sin[x]trailing", KindSin, 1, 0},
      {"nosuchkind[x]", 0, 0, 0},    {"sin", 0, 0, 0},               {"string[\"unterminated]", 0, 0, 0},
      // Refused after building part of the tree: the fixture proves the part was freed.
      {"plus[x,sin[y],matrix[2,2,a,b,c]]", 0, 0, 0}, {"times[num[1,\"1\"],plus[a,b],", 0, 0, 0},
  };
  for (const Case& c : cases) {
    ExprNode* tree = Parse(c.text);
    if (c.kind == 0) {
      EXPECT_TRUE(tree == nullptr && FormulaReaderError() != 0) << c.text;
      continue;
    }
    ASSERT_NE(tree, nullptr) << c.text;
    const bool symbolKept = tree->kind != KindChar && tree->kind != KindDummy ? true : tree->value.symbol == c.symbol;
    EXPECT_TRUE(FormulaReaderError() == 0 && tree->kind == c.kind && tree->arity == c.arity && symbolKept) << c.text;
    EXPECT_TRUE(tree->parent == nullptr && CheckExpressionTree(tree)) << c.text;
    FreeExpression(tree);
  }
}

TEST_F(FormulaReader, ReadsNumberWordsAndForms) {
  struct Case { const char* text; char separator; double value; const char* display; };
  const Case cases[] = {
      {"3.25", ',', 3.25, "3,25"},          {"", '.', NAN, ""},            {"num[2.5,\"2.5\"]", ',', 2.5, "2,5"},
      {"num[1,\"Infinity\"]", '.', INFINITY, "Infinity"},  // the text decides
      {"num[1,\"NaN\"]", '.', NAN, "NaN"},  {"num[-inf,\"-Infinity\"]", '.', -INFINITY, "-Infinity"},
      {"num[(x)0.5 junk,\"0.5\"]", '.', 0.5, "0.5"},  // skipped: the parenthesis, and up to the comma
      {"num[0.5,\"a\"\"b\"]", '.', 0.5, "0.5"},  // a text that does not match is redone
  };
  for (const Case& c : cases) {
    SetDecimalSeparator(c.separator);
    ExprNode* tree = Parse(c.text);
    ASSERT_TRUE(tree != nullptr && tree->kind == KindNum) << c.text;
    const NumberRecord& n = *tree->value.number;
    EXPECT_TRUE((std::isnan(c.value) ? std::isnan(n.value) : n.value == c.value) && std::strcmp(n.text, c.display) == 0) << c.text;
    FreeExpression(tree);
  }
}

// Untrusted text: quoted texts, integer parameters, nesting and operand counts are bounded and
// checked (the bracket writer's round trip covers every well-formed shape).
TEST_F(FormulaReader, LimitsRefuseWithoutCrashing) {
  ExprNode* quoted = Parse("string[\"" + Repeat("\"\"", 99) + "\"]");  // doubled quotes count once
  ASSERT_NE(quoted, nullptr);
  EXPECT_EQ(std::string(quoted->text), std::string(99, '"'));
  FreeExpression(quoted);
  const int deepest = kMaxFormulaDepth - 1;  // the root item plus this many nested minus items
  ExprNode* deep = Parse(Repeat("minus[", deepest) + "x" + std::string(deepest, ']'));
  ExprNode* wide = Parse("plus[" + Repeat("x,", kMaxFormulaOperands - 1) + "x]");
  EXPECT_TRUE(deep != nullptr && wide != nullptr && wide->arity == kMaxFormulaOperands && CheckExpressionTree(wide));
  FreeExpression(deep);
  FreeExpression(wide);
  // Each refusal says why; the operand limit also posts error 7, as the node library does.
  const struct { std::string text; int fault; } refused[] = {
      {"string[\"" + std::string(100, 'q') + "\"]", kReaderFaultText}, {"num[1,\"" + std::string(100, '1') + "\"]", kReaderFaultText},
      {"matrix[2,2,a]", kReaderFaultText}, {"matrix[0,1,a]", kReaderFaultText}, {"matrix[-1,-1,a]", kReaderFaultText},
      {"matrix[32768,1,a]", kReaderFaultText}, {"matrix[1e30,1,a]", kReaderFaultText}, {"matrix[x,1,a]", kReaderFaultText},
      {"indexes[1,1,x,i]", kReaderFaultText}, {"tensor[2147483648,a]", kReaderFaultText}, {"chem[256,0,0,0,X]", kReaderFaultText},
      {"chem[1,2,3,4]", kReaderFaultText}, {"chem[-129,0,0,0,X]", kReaderFaultText},
      {"matrix[200,200,a]", kReaderFaultText},  // 40,000 operands are more than one node may hold
      {Repeat("minus[", deepest + 1) + "x" + std::string(deepest + 1, ']'), kReaderFaultDepth},
      {Repeat("minus[", 100000), kReaderFaultDepth},
      {"plus[" + Repeat("x,", kMaxFormulaOperands) + "x]", kReaderFaultOperands},
      {"plus[" + Repeat(",", 70000) + "]", kReaderFaultOperands},  // 16-bit arity would wrap
  };
  for (const auto& c : refused) {
    ResetErrorRegister();
    EXPECT_TRUE(Parse(c.text) == nullptr && FormulaReaderError() == c.fault) << c.text.substr(0, 40);
    EXPECT_EQ(PendingError(), c.fault == kReaderFaultOperands ? kErrorOutOfMemory : 0) << c.text.substr(0, 40);
  }
}

// A number text is read whole or refused, never read as another number: the value of a num form
// up to 400 characters (500 zeros before 1.5 used to read as 0), a bare number word up to the
// 100 characters of a word.
TEST_F(FormulaReader, LongNumberTextsReadWholeOrAreRefused) {
  const auto value = [](const std::string& text) {
    ExprNode* tree = Parse(text);
    const double v = tree != nullptr && tree->kind == KindNum ? tree->value.number->value : -1;
    FreeExpression(tree);
    return v;
  };
  EXPECT_EQ(value("num[" + std::string(397, '0') + "1.5,\"1.5\"]"), 1.5);  // 400 characters
  EXPECT_EQ(value(std::string(97, '0') + "1.5"), 1.5);                       // 100 characters
  for (const std::string& text : {"num[" + std::string(500, '0') + "1.5,\"1.5\"]", "num[" + std::string(398, '0') + "1.5,\"1.5\"]",
                                  "num[1.5" + std::string(400, 'x') + ",\"1.5\"]", std::string(98, '0') + "1.5",
                                  "plus[" + std::string(500, '0') + "1.5,x]"}) {
    EXPECT_TRUE(Parse(text) == nullptr && FormulaReaderError() == kReaderFaultNumberText) << text.size();
  }
}

TEST_F(FormulaReader, InjectedFailuresFreeEverything) {
  const std::string text =
      "plus[x,times[2,alpha],matrix[2,2,a,b,num[2.5,\"2.5\"],string[\"s\"]],num[1.5e-7,\"z\"],sin[over[a,b,c]]]";
  FreeExpression(Parse(text));
  const uint64_t attempts = NodeAllocationAttempts();
  for (uint64_t n = 1; n <= attempts; ++n) {
    FailNodeAllocationAt(n);
    ExprNode* tree = Parse(text);
    FailNodeAllocationAt(0);
    // A failure inside the number pass may leave a number unsplit, never a broken tree.
    EXPECT_TRUE(tree != nullptr ? CheckExpressionTree(tree) : FormulaReaderError() == kReaderFaultMemory) << n;
    FreeExpression(tree);
  }
  FailAllocationAt(1);  // the first counted allocation of a parse is the operand scratch
  ResetErrorRegister();
  EXPECT_TRUE(Parse("plus[x,y,sin[z]]") == nullptr && FormulaReaderError() == kReaderFaultMemory);
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
  FailAllocationAt(2);  // its growth past 64 operands
  EXPECT_TRUE(Parse("plus[" + Repeat("x,", 100) + "x]") == nullptr && FormulaReaderError() == kReaderFaultMemory);
}

// A handle is read where it lies when its text is terminated, from a copy when not; either way
// it keeps its size and its lock state (it used to grow a byte and stay locked each time).
TEST_F(FormulaReader, HandleKeepsItsSizeAndLockState) {
  for (const std::string& bytes : {std::string("sin[x]"), std::string("sin[x]\0junk", 11)}) {
    for (bool lockedBefore : {false, true}) {
      Handle h = TempNewHandle(bytes.size());
      std::memcpy(h->data, bytes.data(), bytes.size());
      if (lockedBefore) HLock(h);
      ExprNode* tree = ParseFormulaHandle(h);
      EXPECT_TRUE(tree != nullptr && tree->kind == KindSin) << bytes.size();
      EXPECT_TRUE(GetHandleSize(h) == bytes.size() && HandleIsLocked(h) == lockedBefore) << bytes.size();
      FreeExpression(tree);
      if (lockedBefore) HUnlock(h);
      DisposeHandle(h);
    }
  }
  EXPECT_TRUE(ParseFormulaHandle(nullptr) == nullptr && FormulaReaderError() != 0);
}

// The value of a number the pass split: its sn node's ScientificValue.
double SplitValue(const ExprNode* node) {
  if (node->kind != KindSn) return node->value.number->value;
  return ScientificValue(node->children[0]->value.number->value, node->children[1]->value.number->value);
}

// A number that needs an exponent becomes an sn node showing the display digits (a rounding that
// carries moves the exponent up), and a second pass leaves it alone. Properties: every double
// that needs an exponent is split, none keeps its exponent in its text; its value stays bit for
// bit when it has at most 15 significant digits (whole numbers below 10^15 among them: about one
// in eight had no mantissa of its own when mantissas were read by their binary expansion), and
// within two units in the last place otherwise.
TEST_F(FormulaReader, NumbersSplitForDisplayKeepTheirValue) {
  struct Case { const char* text; const char* mantissaText; const char* exponentText; };
  const Case cases[] = {{"num[1.2345678901234e-7,\"x\"]", "1.2345679", "-7"}, {"num[9999999999,\"x\"]", "1", "10"},
                        {"num[-6.02214076e23,\"\"]", "-6.0221408", "23"}, {"num[238810495,\"\"]", "2.388105", "8"},
                        {"12345678901234567890123456789", "1.2345679", "28"}};  // 25 of 29 digits kept
  for (const Case& c : cases) {
    ExprNode* sn = Parse(c.text);
    ASSERT_TRUE(sn != nullptr && sn->kind == KindSn && CheckExpressionTree(sn) && SplitNumbersIntoScientific(sn)) << c.text;
    EXPECT_TRUE(std::strcmp(sn->children[0]->value.number->text, c.mantissaText) == 0 &&
                std::strcmp(sn->children[1]->value.number->text, c.exponentText) == 0) << c.text << " " << tree_test::Text(sn);
    FreeExpression(sn);
  }
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> leading(1, 10);
  for (int i = 0; i < 6000; ++i) {
    double value;
    char text[48];
    const bool short_ = i % 3 != 2;  // at most 15 significant digits
    if (i % 3 == 0) {
      value = static_cast<double>(random() % 1000000000000000u);
    } else if (i % 3 == 1) {
      std::snprintf(text, sizeof text, "%.*fe%d", static_cast<int>(random() % 15), leading(random),
                    static_cast<int>(random() % 601) - 300);
      value = std::strtod(text, nullptr);
    } else {
      const uint64_t bits = random();
      std::memcpy(&value, &bits, sizeof value);
    }
    if (!std::isfinite(value)) continue;
    char display[40];
    int exponent = 0;
    FormatDoubleForEditing(value, display, sizeof display, &exponent);
    ExprNode* node = NewNumberNode(value);
    ASSERT_TRUE(SplitNumbersIntoScientific(node));
    const double unit = std::nextafter(std::fabs(value), HUGE_VAL) - std::fabs(value);
    EXPECT_EQ(node->kind == KindSn, exponent != 0) << value;
    if (short_) {
      EXPECT_EQ(SplitValue(node), value) << value;
    } else {
      EXPECT_LE(std::fabs(SplitValue(node) - value), 2 * unit) << value;
    }
    const std::string once = tree_test::Text(node);
    ASSERT_TRUE(SplitNumbersIntoScientific(node));
    EXPECT_EQ(tree_test::Text(node), once) << "a second pass changed " << value;
    FreeExpression(node);
  }
}

}  // namespace
