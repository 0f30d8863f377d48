// Test support for the tree, text, evaluation and algebra suites: trees from formula text by the
// production reader (Build adds test spellings for what it has no form for: bsum, pointangle and
// dpartial, Re[...] and Im[...] as kinds, indexes[base,sub], primed x', bare negative numbers),
// bracket text for messages, one random-tree generator for every property test, and a fixture
// that checks no pool block or counted heap byte outlives its test.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/text/bracket_writer.h"
#include "kernel/text/formula_reader.h"
#include "kernel/text/number_settings.h"
#include "kernel/text/number_text.h"
#include "kernel/text/output_buffer.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_kinds.h"
#include "kernel/trees/typeset_records.h"

namespace tree_test {

// The test spellings rewritten into the reader's own: each becomes tensor[code,...], which Build
// turns back into the node it stands for (code > 0: that kind; -1: the primed char inside).
inline std::string ReaderText(const char* text) {
  static const struct { const char* word; int code; } kAliases[] = {
      {"bsum", 8086}, {"pointangle", 8085}, {"dpartial", 8081}, {"Re", KindRe}, {"Im", KindIm}};
  std::string out;
  for (const char* p = text; *p != 0;) {
    if (*p == '"') {  // a quoted text goes through untouched, doubled quotes included
      const char* end = p + 1;
      while (*end != 0 && !(*end == '"' && end[1] != '"')) end += *end == '"' ? 2 : 1;
      out.append(p, *end != 0 ? end + 1 : end);
      p = *end != 0 ? end + 1 : end;
      continue;
    }
    if (*p == '-' && (std::isdigit(static_cast<unsigned char>(p[1])) || p[1] == '.') &&
        (out.empty() || out.back() == '[' || out.back() == ',') &&
        !(out.size() >= 4 && out.compare(out.size() - 4, 4, "num[") == 0)) {  // a negative number, -1.5
      const char* end = p + 1;
      while (std::isalnum(static_cast<unsigned char>(*end)) || *end == '.') ++end;
      const std::string number(p, end);
      out += "num[" + number + ",\"" + number + "\"]";
      p = end;
      continue;
    }
    const char* end = p;
    while (std::isalnum(static_cast<unsigned char>(*end)) || *end == '.') ++end;
    const std::string word(p, end);
    int code = 0;
    for (const auto& alias : kAliases) code = word == alias.word ? alias.code : code;
    if (word == "indexes" && *end == '[' && std::isalpha(static_cast<unsigned char>(end[1]))) code = KindIndexes;
    if (code != 0 && *end == '[') {
      out += "tensor[" + std::to_string(code) + ",";
      p = end + 1;
    } else if (word.size() == 1 && std::isalpha(static_cast<unsigned char>(word[0])) && *end == '\'') {
      out += "tensor[-1," + word + "]";
      p = end + 1;
    } else if (end > p) {
      out += word;
      p = end;
    } else {
      out += *p++;
    }
  }
  return out;
}

// A tree from formula text (the reader's notation plus the test spellings above); the test fails
// and null comes back when the text does not read.
inline ExprNode* Build(const char* text) {
  const std::string readable = ReaderText(text);
  SetFormulaReaderText(readable.c_str());
  ExprNode* root = ParseFormulaText();
  EXPECT_NE(root, nullptr) << "unreadable test tree " << text;
  TreeCursor cursor(root, WalkOrder::kPostOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (n->kind != KindTensor || n->value.tensorMask == 0) continue;
    const int32_t code = n->value.tensorMask;
    n->value.raw = 0;
    if (code < 0) {
      UnwrapNode(n);
      n->value.symbol = static_cast<int16_t>(n->value.symbol + 0x7000);
    } else {
      n->kind = static_cast<uint32_t>(code);
      if (code == KindIndexes) n->value.halves = NodeHalves{0, static_cast<int16_t>(n->arity > 0 ? n->arity - 1 : 0)};
    }
  }
  return root;
}

// The evaluation tests' spelling of Build (the bracket pair is always '[' ']').
struct Reader {
  explicit Reader(const char* text, char = '[', char = ']') : text_(text) {}
  ExprNode* Term() const { return Build(text_); }
  const char* text_;
};

// The text a formatter returned, freed; "<null>" when it refused.
inline std::string TakeText(char* text) {
  std::string out = text != nullptr ? text : "<null>";
  FreeMemory(text);
  return out;
}

// The bracket text of a tree, for failure messages.
inline std::string Text(const ExprNode* tree) { return TakeText(FormatExpressionBracket(tree)); }

// The tree equals (ExpressionsEqual) the one the text builds; a failure shows both.
inline ::testing::AssertionResult Same(const ExprNode* tree, const char* text) {
  ExprNode* expected = Build(text);
  const bool same = ExpressionsEqual(tree, expected);
  FreeExpression(expected);
  if (same) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << Text(tree) << " is not " << text;
}

// Random trees for property tests. With no kinds given, every tree is one the reader could have
// produced: every kind it can name (valid parameters), every sort of leaf, numbers whose display
// texts read back. With kinds (inner nodes of one to three operands; a bounded sum gets an index
// equation) and symbols (the char leaves), small trees in that vocabulary with small numbers.
class RandomTree {
 public:
  explicit RandomTree(uint32_t seed, std::vector<uint32_t> kinds = {}, std::vector<int16_t> symbols = {})
      : rng_(seed), kinds_(std::move(kinds)), symbols_(std::move(symbols)) {}

  ExprNode* Make(int depth) { return Node(depth, false); }
  int Below(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }

 private:
  bool Chance(int percent) { return Below(100) < percent; }

  ExprNode* Node(int depth, bool alone) {
    if (depth <= 0 || Chance(35)) return kinds_.empty() ? ReaderLeaf(alone) : Leaf();
    uint32_t kind = kinds_.empty() ? 0 : kinds_[Below(static_cast<int>(kinds_.size()))];
    while (kind == 0 || kind == KindRe || kind == KindIm) kind = KindIndexes + Below(KindSet - KindIndexes + 1);
    if (kind == 8086) return Attach(NewNode(kind, 3), depth, {Index(), Leaf(), Node(depth - 1, false)});
    // A matrix's rows and columns, or an indexes node's raised and lowered counts.
    const bool matrix = kind == KindMatrix, indexes = kind == KindIndexes;
    const NodeHalves halves{static_cast<int16_t>(matrix + Below(matrix ? 3 : 2)), static_cast<int16_t>(matrix + Below(3))};
    const int count = matrix ? halves.first * halves.second : indexes ? halves.first + halves.second + 1
                             : kinds_.empty() ? Below(4) : 1 + Below(3);
    ExprNode* node = Attach(NewNode(kind, count), depth, {});
    if (matrix || indexes) node->value.halves = halves;
    if (kind == KindTensor) node->value.tensorMask = static_cast<int32_t>(rng_());
    if (kind == KindChem) {
      for (uint8_t& b : node->value.chem) b = static_cast<uint8_t>(Below(256));
    }
    return node;
  }

  // Fills the node's slots with the given operands, the rest with random subtrees.
  ExprNode* Attach(ExprNode* node, int depth, std::vector<ExprNode*> given) {
    for (int i = 0; i < node->arity; ++i) {
      SetChild(node, i, i < static_cast<int>(given.size()) ? given[i] : Node(depth - 1, node->arity == 1));
    }
    return node;
  }

  // index = 1, or index = a letter (which may be the index's own, as in a start of k).
  ExprNode* Index() { return NewBinaryNode(KindEqual, Leaf(), Chance(50) ? NewNumberNode(1) : Leaf()); }

  ExprNode* Leaf() {
    if (Chance(30)) return NewNumberNode(Below(7) - 2);
    return NewSymbolNode(symbols_.empty() ? static_cast<int16_t>('a' + Below(26)) : symbols_[Below(static_cast<int>(symbols_.size()))]);
  }

  ExprNode* ReaderLeaf(bool alone) {
    switch (Below(7)) {
      case 0: return NewSymbolNode(static_cast<int16_t>((Chance(50) ? 'a' : 'A') + Below(26)));
      case 1: return NewSymbolNode(static_cast<int16_t>(kFirstSymbolId + Below(kSymbolNameCount)));
      case 2: {
        ExprNode* node = NewSymbolNode(static_cast<int16_t>("0123456789.xQ"[Below(13)]));
        if (Chance(50)) node->kind = KindDummy;
        return node;
      }
      case 3: return NewPromptNode();
      case 4: {
        std::string text;
        for (int i = Below(100); i > 0; --i) text += "ab,[]\" ()xyz012"[Below(15)];
        return NewStringNode(text.data(), text.size());
      }
      default: return Number(alone);
    }
  }

  // A number with the display text the reader leaves: it reads back as the value.
  ExprNode* Number(bool alone) {
    double value;
    switch (Below(6)) {
      case 0: value = Below(2000) - 1000; break;
      case 1: value = (Below(64) - 32) / 8.0; break;
      case 2: value = Chance(50) ? kPositiveInfinity : -kPositiveInfinity; break;
      case 3: value = kUndefinedReal; break;
      default: {
        const uint64_t bits = (static_cast<uint64_t>(rng_()) << 32) | rng_();
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) value = 0.1;
      }
    }
    ExprNode* node = NewNumberNode(value);
    char text[40] = "";
    if (std::isnan(value)) {
      std::strcpy(text, alone || Chance(50) ? "NaN" : "");
    } else if (std::isinf(value)) {
      std::strcpy(text, value > 0 ? "Infinity" : "-Infinity");
    } else {
      FormatDoubleDigitsLocalized(text, sizeof text, value, kMaxSignificantDigits);
    }
    SetNumberText(node, text, std::strlen(text));
    return node;
  }

  std::mt19937 rng_;
  std::vector<uint32_t> kinds_;
  std::vector<int16_t> symbols_;
};

// Every test starts with cleared memory flags, error register, injection, output buffers and number
// settings, and ends with as many pool blocks and counted heap bytes in use as it started with.
class TreeTest : public ::testing::Test {
 protected:
  static void ResetState() {
    FailNodeAllocationAt(0);
    ResetMemoryBudgetForTest();
    ResetErrorRegister();
    ResetOutputBuffers();
    ResetNumberSettingsForTests();
    TypesettingGlobals() = TypesettingState{};
    ReleaseNodePools();
  }
  void SetUp() override {
    CreateNodePools();
    ResetState();
    blocks_ = NodePoolBlocksInUse();
    bytes_ = GetBytesInUse();
  }
  void TearDown() override {
    ResetState();
    EXPECT_EQ(NodePoolBlocksInUse(), blocks_) << "pool blocks leaked by this test";
    EXPECT_TRUE(!checkBytes_ || GetBytesInUse() == bytes_) << "counted heap bytes leaked by this test";
    EXPECT_TRUE(CheckNodePools());
  }
  // Parses formula text with the reader alone; null when it refused.
  static ExprNode* Parse(const std::string& text) {
    SetFormulaReaderText(text.c_str());
    return ParseFormulaText();
  }
  size_t blocks_ = 0;
  size_t bytes_ = 0;
  bool checkBytes_ = true;  // off where process-wide blocks may grow (the evaluation scratch)
};

// A chain of `depth` one-operand nodes of `kind` above a char node x.
inline ExprNode* Chain(uint32_t kind, int depth) {
  ExprNode* root = NewSymbolNode('x');
  for (int i = 0; i < depth; ++i) WrapInUnary(root, kind);
  return root;
}

}  // namespace tree_test
