// The infix and prefix writers. The parenthesis rule of the infix writer is one table plus a
// precedence fallback for trees without id groups (algebra results and other untypeset
// trees); an id child always writes its own brackets and is never wrapped again.
#include "kernel/text/formula_writer.h"

#include <cmath>
#include <cstdint>

#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"
#include "kernel/trees/node_kinds.h"
#include "kernel/text/number_services.h"
#include "kernel/text/number_text.h"
#include "kernel/text/output_buffer.h"

namespace {

// Binding strength of a node as an operand; higher binds tighter.
enum Precedence : int {
  PrecComma = 1,
  PrecRelation = 2,
  PrecSum = 3,
  PrecProduct = 4,
  PrecNegation = 5,
  PrecPower = 6,
  PrecPostfix = 7,
  PrecAtom = 9,
};

int PrecedenceOf(const ExprNode* node) {
  switch (node->kind) {
    case KindComma: return PrecComma;
    case KindEqual:
    case KindLessthan:
    case KindGreaterthan: return PrecRelation;
    case KindPlus: return PrecSum;
    case KindTimes:
    case KindOver: return PrecProduct;
    case KindMinus: return PrecNegation;
    case KindPower: return PrecPower;
    case KindFact: return PrecPostfix;
    case KindNum: {
      double value = node->value.number->value;
      return std::signbit(value) && !std::isnan(value) ? PrecNegation : PrecAtom;
    }
    default: return PrecAtom;
  }
}

bool IsInfixKind(uint32_t kind) {
  switch (kind) {
    case KindTimes:
    case KindPlus:
    case KindEqual:
    case KindComma:
    case KindLessthan:
    case KindGreaterthan:
    case KindOver:
    case KindPower: return true;
    default: return false;
  }
}

// The parenthesis table for typeset trees.
bool TableWantsParentheses(uint32_t parent, uint32_t child, int index) {
  switch (parent) {
    case KindOver:
      return child == KindPlus || (index == 1 && (child == KindTimes || child == KindOver));
    case KindPower:
      return index == 1 && (child == KindPlus || child == KindTimes || child == KindOver || child == KindMinus);
    case KindEqual: return child == KindComma;
    default: return false;
  }
}

// The table alone suits typeset trees, whose id groups carry their own brackets; on other trees
// (algebra results) it would write power[minus[a],2] as -a^2, which reads back as -(a^2). So the
// precedence the child needs adds parentheses too: the text never reads as another formula.
bool NeedsParentheses(uint32_t parent, const ExprNode* child, int index) {
  if (child->kind == KindId) return false;  // the group writes its own brackets
  if (TableWantsParentheses(parent, child->kind, index)) return true;
  const int prec = PrecedenceOf(child);
  switch (parent) {
    case KindPower:  // right-associative: the base needs brackets even at equal strength
      return index == 0 ? prec <= PrecPower : prec < PrecPower;
    case KindMinus: return child->kind == KindTimes || prec <= PrecSum;
    case KindFact: return prec < PrecPostfix;
    case KindTimes:
    case KindOver: return prec < PrecProduct;
    case KindPlus: return prec < PrecSum;
    case KindEqual:
    case KindLessthan:
    case KindGreaterthan: return prec < PrecRelation;
    default: return false;
  }
}

ExprNode* const* ChildrenOf(const ExprNode* node) {
  return node->kind == KindString ? nullptr : node->children;
}
int ChildCount(const ExprNode* node) { return node->kind == KindString ? 0 : node->arity; }

void EmitCount(int value) {
  char text[40];
  FormatDoubleDigits(text, sizeof text, value, 16);
  EmitString(text);
}

// Text of a char node's symbol; scratch holds the short forms.
const char* SymbolText(int symbol, char scratch[4]) {
  if (symbol >= kFirstSymbolId && symbol <= kLastSymbolId) return SymbolName(symbol);
  if (symbol >= kPrimeOffset + 'x' && symbol <= kPrimeOffset + 'z') {
    scratch[0] = static_cast<char>(symbol - kPrimeOffset);
    scratch[1] = '\'';
    scratch[2] = '\0';
    return scratch;
  }
  if (symbol >= 0x20 && symbol <= 0x7E) {
    scratch[0] = static_cast<char>(symbol);
    scratch[1] = '\0';
    return scratch;
  }
  return "?";
}

// num, prompt and char leaves, shared by both writers; prefix text writes -inf as a negation.
[[gnu::noinline]] void WriteLeaf(const ExprNode* node, bool prefixForm) {
  switch (node->kind) {
    case KindNum: {
      const double value = node->value.number->value;
      if (std::isinf(value)) {  // the sign kept, so the text never means +infinity
        EmitString(value > 0 ? "Infinity" : prefixForm ? "(- Infinity)" : "-Infinity");
      } else if (std::isnan(value)) {
        EmitString("NaN");
      } else {
        char text[40];
        FormatDoubleDigits(text, sizeof text, value, 16);
        EmitString(text);
      }
      break;
    }
    case KindPrompt: EmitString("?"); break;
    case KindChar: {
      char scratch[4];
      EmitString(SymbolText(node->value.symbol, scratch));
      break;
    }
    default: break;
  }
}

void WriteInfix(const ExprNode* node, bool bracketFlag, int depth);

void WriteInfixChild(uint32_t parent, const ExprNode* child, int index, bool bracketFlag, int depth) {
  const bool wrap = NeedsParentheses(parent, child, index);
  if (wrap) EmitChar('(');
  WriteInfix(child, bracketFlag, depth + 1);
  if (wrap) EmitChar(')');
}

void WriteInfix(const ExprNode* node, bool bracketFlag, int depth) {
  if (!node) return;
  if (depth > kMaxWriterDepth) {
    EmitChar('?');
    return;
  }
  const uint32_t kind = node->kind;
  ExprNode* const* children = ChildrenOf(node);
  const int count = ChildCount(node);
  switch (kind) {
    case KindNum:
    case KindPrompt:
    case KindChar: WriteLeaf(node, false); return;
    case KindId:
      EmitChar(bracketFlag ? '[' : '(');
      if (count > 0) WriteInfix(children[0], bracketFlag, depth + 1);
      EmitChar(bracketFlag ? ']' : ')');
      return;
    case KindMinus:
      EmitChar('-');
      if (count > 0) WriteInfixChild(kind, children[0], 0, bracketFlag, depth);
      return;
    case KindFact:
      if (count > 0) WriteInfixChild(kind, children[0], 0, bracketFlag, depth);
      EmitChar('!');
      return;
    case KindIndexes:
      for (int i = 0; i < count && i < 2; ++i) {
        if (i == 1) EmitChar('_');
        const bool wrap = ChildCount(children[i]) > 0;
        if (wrap) EmitChar('(');
        WriteInfix(children[i], bracketFlag, depth + 1);
        if (wrap) EmitChar(')');
      }
      return;
    default: break;
  }
  if (IsInfixKind(kind)) {
    for (int i = 0; i < count; ++i) {
      if (i > 0) {
        if (kind == KindOver) {
          EmitChar('/');
        } else if (kind == KindTimes) {
          EmitChar('*');
        } else if (kind == KindPlus) {
          if (children[i]->kind != KindMinus) EmitChar('+');
        } else {
          EmitChar(static_cast<char>(GetNodeKindRow(kind)->glyph & 0xFF));
        }
      }
      WriteInfixChild(kind, children[i], i, bracketFlag, depth);
    }
    return;
  }
  // Named form: name(operands). A one-column matrix is a vector; other matrices lead with
  // their row and column counts.
  const bool isMatrix = kind == KindMatrix;
  const bool isVector = isMatrix && node->value.halves.second == 1;
  const char* name = isVector ? "vector" : NodeKindName(kind);
  EmitString(name ? name : "?");
  EmitChar('(');
  if (isMatrix && !isVector) {
    EmitCount(node->value.halves.first);
    EmitChar(',');
    EmitCount(node->value.halves.second);
    EmitChar(',');
  }
  for (int i = 0; i < count; ++i) {
    if (i > 0) EmitChar(',');
    WriteInfix(children[i], bracketFlag, depth + 1);
  }
  EmitChar(')');
}

// Words of the prefix form that differ from the kind keywords.
struct LispWord {
  uint32_t kind;
  const char* word;
};
constexpr LispWord kLispWords[] = {
    {KindPlus, "+"},          {KindTimes, "*"},        {KindMinus, "-"},
    {KindOver, "/"},          {KindPower, "expt"},     {KindAsin, "arcsin"},
    {KindAcos, "arccos"},     {KindAtan, "arctan"},    {KindAcot, "arccot"},
    {KindAcsc, "arccsc"},     {KindAsec, "arcsec"},    {KindAsinh, "arcsinh"},
    {KindAcosh, "arccosh"},   {KindAtanh, "arctanh"},  {KindAcoth, "arccoth"},
    {KindAcsch, "arccosech"}, {KindAsech, "arcsech"},  {KindCsch, "cosech"},
    {KindLog, "log10"},       {KindLn, "log"},         {KindBesselj, "bessel-j"},
    {KindIntegral, "integrate"},
};

const char* LispWordOf(uint32_t kind) {
  for (const LispWord& w : kLispWords) {
    if (w.kind == kind) return w.word;
  }
  const char* name = NodeKindName(kind);
  return name ? name : "?";
}

void WriteLisp(const ExprNode* node, int depth) {
  if (!node) return;
  if (depth > kMaxWriterDepth) {
    EmitChar('?');
    return;
  }
  ExprNode* const* children = ChildrenOf(node);
  const int count = ChildCount(node);
  if (node->kind == KindId) {
    if (count > 0) WriteLisp(children[0], depth + 1);
    return;
  }
  if (count == 0) {
    WriteLeaf(node, true);
    return;
  }
  EmitChar('(');
  EmitString(LispWordOf(node->kind));
  if (node->kind == KindMatrix) {
    WriteNumberField(node->value.halves.first);
    WriteNumberField(node->value.halves.second);
  }
  for (int i = 0; i < count; ++i) {
    EmitChar(' ');
    WriteLisp(children[i], depth + 1);
  }
  EmitChar(')');
}

}  // namespace

void WriteInfixText(const ExprNode* node, bool bracketFlag) { WriteInfix(node, bracketFlag, 0); }

void WriteLispText(const ExprNode* node) { WriteLisp(node, 0); }

char* FormatExpressionText(const ExprNode* node, bool bracketFlag) {
  BeginOutputBuffer();
  WriteInfixText(node, bracketFlag);
  return EndOutputBuffer();
}

char* FormatExpressionLisp(const ExprNode* node) {
  BeginOutputBuffer();
  WriteLispText(node);
  return EndOutputBuffer();
}
