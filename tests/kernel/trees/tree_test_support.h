// Test support for expression trees: a compact text form to build trees from and to print them
// back, and a fixture that checks no pool block outlives its test. The text form is
// kind(child, ...) with kind keywords; a lone letter is a char node, x' a primed coordinate,
// a symbol keyword (pi, theta) a char node of that id, a number a num node, 'text' a string
// node, "nan" a NaN number and kNNNN(...) a node of the numbered (internal) kind. The
// evaluation tests write the same words with square brackets.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "kernel/eval/bytecode_compiler.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/trees/expr_node.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/trees/node_kinds.h"
#include "kernel/trees/typeset_records.h"

namespace tree_test {

// Reads one tree with the given brackets; internal kinds go by kNNNN or by the names in
// kInternalKinds.
class Reader {
 public:
  explicit Reader(const char* text, char open = '(', char close = ')') : p_(text), open_(open), close_(close) {}

  ExprNode* Term() {
    Skip();
    if (*p_ == '\'') return Text();
    if (std::isdigit(static_cast<unsigned char>(*p_)) || *p_ == '-' || *p_ == '.') return Number();
    std::string name;
    while (std::isalnum(static_cast<unsigned char>(*p_)) || *p_ == '_') name += *p_++;
    if (name.empty()) return nullptr;
    Skip();
    if (*p_ != open_) return Leaf(name);
    ++p_;
    const uint32_t kind = KindNamed(name);
    ExprNode* children[256];
    int n = 0;
    Skip();
    while (*p_ != close_ && *p_ != 0) {
      children[n++] = Term();
      Skip();
      if (*p_ == ',') ++p_;
      Skip();
    }
    if (*p_ == close_) ++p_;
    ExprNode* node = NewNode(kind, n);
    for (int i = 0; i < n; ++i) {
      node->children[i] = children[i];
      children[i]->parent = node;
    }
    if (kind == KindIndexes) node->value.halves = {0, static_cast<int16_t>(n > 1 ? n - 1 : 0)};
    return node;
  }

 private:
  static uint32_t KindNamed(const std::string& name) {
    static constexpr struct {
      const char* name;
      uint32_t kind;
    } kInternalKinds[] = {
        {"bsum", KindBoundedSum}, {"pointangle", KindAngleOfPoint}, {"dpartial", KindDerivativePartial}};
    for (const auto& k : kInternalKinds) {
      if (name == k.name) return k.kind;
    }
    if (name[0] == 'k' && name.size() > 1 && std::isdigit(static_cast<unsigned char>(name[1]))) {
      return static_cast<uint32_t>(std::stoul(name.substr(1)));
    }
    uint32_t kind = LookUpNodeKind(name.c_str(), static_cast<int>(name.size()));
    for (uint32_t k = kFirstNodeKind; kind == 0 && k <= kLastNodeKind; ++k) {
      if (name == NodeKindName(k)) kind = k;  // infix, prefix, ... are not in text look-up
    }
    return kind;
  }
  void Skip() {
    while (*p_ == ' ') ++p_;
  }
  ExprNode* Text() {
    const char* start = ++p_;
    while (*p_ != '\'') ++p_;
    ExprNode* node = NewStringNode(start, static_cast<size_t>(p_ - start));
    ++p_;
    return node;
  }
  ExprNode* Number() {
    char* end;
    const double v = std::strtod(p_, &end);
    ExprNode* node = NewNumberNode(v);
    SetNumberText(node, p_, static_cast<size_t>(end - p_));
    p_ = end;
    return node;
  }
  ExprNode* Leaf(const std::string& name) {
    if (name == "nan" || name == "NaN") return NewNumberNode(std::numeric_limits<double>::quiet_NaN());
    if (name == "Infinity") return NewNumberNode(std::numeric_limits<double>::infinity());
    if (name == "prompt") return NewPromptNode();
    int16_t id;
    if (name.size() == 1) {
      id = static_cast<int16_t>(name[0]);
      if (*p_ == '\'') {
        ++p_;
        id = static_cast<int16_t>(id + 0x7000);
      }
    } else {
      id = LookUpSymbolName(name.c_str(), static_cast<int>(name.size()));
    }
    return NewSymbolNode(id);
  }
  const char* p_;
  char open_;
  char close_;
};

inline ExprNode* Build(const char* text) { return Reader(text).Term(); }

inline std::string Show(const ExprNode* node) {
  if (node == nullptr) return "null";
  std::string out;
  switch (node->kind) {
    case KindNum: {
      if (node->value.number == nullptr) return "num?";
      char buffer[40];
      std::snprintf(buffer, sizeof buffer, "%g", node->value.number->value);
      return buffer;
    }
    case KindChar:
    case KindDummy: {
      const int id = node->value.symbol;
      if (const char* name = SymbolName(id)) return name;
      out.push_back(static_cast<char>(id >= 0x7000 ? id - 0x7000 : id));
      if (id >= 0x7000) out.push_back('\'');
      return out;
    }
    case KindString:
      out.push_back('\'');
      out.append(node->text != nullptr ? node->text : "");
      out.push_back('\'');
      return out;
    case KindPrompt:
      return "prompt";
    default:
      break;
  }
  const char* name = NodeKindName(node->kind);
  if (name != nullptr) {
    out.append(name);
  } else {
    out.push_back('k');
    out.append(std::to_string(node->kind));
  }
  out.push_back('(');
  for (int i = 0; i < node->arity; ++i) {
    if (i > 0) out.push_back(',');
    out.append(Show(node->children[i]));
  }
  out.push_back(')');
  return out;
}

// Every test starts with a clear out-of-memory flag, error register and injection, and ends
// with as many pool blocks in use as it started with.
class TreeTest : public ::testing::Test {
 protected:
  static void ResetState() {
    FailNodeAllocationAt(0);
    FailAllocationAt(0);
    SetOutOfMemoryFlag(false);
    ResetErrorRegister();
    TypesettingGlobals() = TypesettingState{};
  }
  void SetUp() override {
    CreateNodePools();
    ResetState();
    blocksAtStart_ = NodePoolBlocksInUse();
  }
  void TearDown() override {
    ResetState();
    EXPECT_EQ(NodePoolBlocksInUse(), blocksAtStart_) << "pool blocks leaked by this test";
    EXPECT_TRUE(CheckNodePools());
  }
  size_t blocksAtStart_ = 0;
};

}  // namespace tree_test
