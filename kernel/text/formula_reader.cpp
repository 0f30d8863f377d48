// The formula text reader. Recursive descent over one NUL-terminated text; every node is
// attached to the tree (or to the operand scratch of its level) from the moment it exists,
// so a failure anywhere is cleaned up by each level freeing what it collected and the top
// freeing the root. The error flag only ever goes from 0 to 1 during a parse; once set,
// every step returns at once.
#include "kernel/text/formula_reader.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/text/number_settings.h"
#include "kernel/text/number_text.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_kinds.h"

namespace {

// Longest number value text handed to "%lg", which keeps each conversion O(1) however long the
// rest of the formula text is. A longer one is refused rather than cut: its first 400 characters
// may read as another number (500 zeros and 1.5 as 0).
constexpr size_t kMaxValueText = 400;

struct FormulaReaderState {
  const char* cursor = nullptr;
  int error = 0;
  int depth = 0;
  char word[kMaxFormulaWord + 1] = {};
  int wordLength = 0;
  // Operands of the open levels, innermost last; each level owns its own tail.
  ExprNode** scratch = nullptr;
  int scratchCount = 0;
  int scratchCapacity = 0;
};

FormulaReaderState gReader;

// Sets the flag to the first fault met.
void Fail(FormulaReaderFault fault = kReaderFaultText) {
  if (gReader.error == 0) gReader.error = fault;
}

// A refusal by the node library, which has posted error 7 already.
void FailForMemory() { Fail(kReaderFaultMemory); }

void SetSymbolId(ExprNode* node, int16_t id) {
  node->value.raw = 0;
  node->value.symbol = id;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsWordChar(char c) { return IsLetter(c) || IsDigit(c) || c == '.'; }

void ReadWord() {
  int n = 0;
  const char* p = gReader.cursor;
  while (n < kMaxFormulaWord && IsWordChar(p[n])) {
    gReader.word[n] = p[n];
    ++n;
  }
  gReader.word[n] = '\0';
  gReader.wordLength = n;
  gReader.cursor = p + n;
}

void ExpectChar(char c) {
  if (gReader.error) return;
  if (*gReader.cursor == c && c != '\0') {
    ++gReader.cursor;
  } else {
    Fail();
  }
}

void SkipPast(char c) {
  if (gReader.error) return;
  const char* found = std::strchr(gReader.cursor, c);
  if (!found || c == '\0') {
    Fail();
    return;
  }
  gReader.cursor = found + 1;
}

bool IsNumberWord(const char* word, int length) {
  if (length == 0) return true;
  if (std::strcmp(word, "Infinity") == 0 || std::strcmp(word, "NaN") == 0) return true;
  for (int i = 0; i < length; ++i) {
    if (!IsDigit(word[i]) && word[i] != '.') return false;
  }
  return true;
}

// A number value at the cursor ("%lg"); NaN sets the flag. The comma after it is required,
// and whatever stands between the value and that comma is skipped.
double ReadNumberValue() {
  if (gReader.error) return kUndefinedReal;
  char text[kMaxValueText + 1];
  size_t n = 0;
  const char* p = gReader.cursor;
  const auto ends = [](char c) { return c == '\0' || c == ',' || c == ']' || c == '"'; };
  while (n < kMaxValueText && !ends(p[n])) {
    text[n] = p[n];
    ++n;
  }
  if (!ends(p[n])) {
    Fail(kReaderFaultNumberText);
    return kUndefinedReal;
  }
  text[n] = '\0';
  double value = ParseDouble(text);
  if (std::isnan(value)) {
    Fail();
    return kUndefinedReal;
  }
  SkipPast(',');
  return value;
}

// An integer parameter: a number value truncated towards zero, range-checked before the
// conversion so an absurd value cannot reach an undefined cast.
int32_t ReadIntegerParameter(double lowest, double highest) {
  double value = ReadNumberValue();
  if (gReader.error) return 0;
  double whole = std::trunc(value);
  if (!(whole >= lowest && whole <= highest)) {
    Fail();
    return 0;
  }
  return static_cast<int32_t>(whole);
}

// A quoted text into out (kMaxQuotedText + 1 bytes); doubled quotes stand for one.
int ReadQuotedText(char* out) {
  ExpectChar('"');
  if (gReader.error) return 0;
  int n = 0;
  const char* p = gReader.cursor;
  for (;;) {
    if (*p == '\0') {
      Fail();
      return 0;
    }
    if (*p == '"') {
      if (p[1] != '"') break;
      ++p;  // a doubled quote: keep one
    }
    if (n >= kMaxQuotedText) {
      Fail();
      return 0;
    }
    out[n++] = *p++;
  }
  out[n] = '\0';
  gReader.cursor = p + 1;
  return n;
}

bool PushOperand(ExprNode* node) {
  if (gReader.scratchCount == gReader.scratchCapacity) {
    int capacity = gReader.scratchCapacity ? gReader.scratchCapacity * 2 : 64;
    auto* grown = static_cast<ExprNode**>(AllocMemory(sizeof(ExprNode*) * static_cast<size_t>(capacity)));
    if (!grown) {
      PostError(kErrorOutOfMemory);
      return false;
    }
    if (gReader.scratchCount > 0) {
      std::memcpy(grown, gReader.scratch, sizeof(ExprNode*) * static_cast<size_t>(gReader.scratchCount));
    }
    FreeMemory(gReader.scratch);
    gReader.scratch = grown;
    gReader.scratchCapacity = capacity;
  }
  gReader.scratch[gReader.scratchCount++] = node;
  return true;
}

void DropOperandsFrom(int base) {
  for (int i = gReader.scratchCount - 1; i >= base; --i) FreeExpression(gReader.scratch[i]);
  gReader.scratchCount = base;
}

// Stores the display text (at most 25 bytes, NUL-terminated when shorter), localises its
// first period and lets "Infinity" and "NaN" decide the value.
void FillNumberRecord(NumberRecord* record, double value, const char* text, size_t length) {
  if (length > static_cast<size_t>(kNumberTextMax)) length = kNumberTextMax;
  std::memset(record->text, 0, sizeof record->text);
  std::memcpy(record->text, text, length);
  if (char* period = static_cast<char*>(std::memchr(record->text, '.', length))) *period = GetDecimalSeparator();
  if (length == 8 && std::memcmp(record->text, "Infinity", 8) == 0) value = kPositiveInfinity;
  if (length == 3 && std::memcmp(record->text, "NaN", 3) == 0) value = kUndefinedReal;
  record->value = value;
}

// Turns the prompt node into a num node with a fresh number record.
void MakeNumber(ExprNode* node, double value, const char* text, size_t length) {
  if (gReader.error) return;
  ExprNode* number = NewNumberNode(value);
  if (!number) {
    FailForMemory();
    return;
  }
  FillNumberRecord(number->value.number, value, text, length);
  MoveNodeInto(number, node);
}

// A char or dummy parameter: a one-character word is its own code, a longer one a symbol.
int16_t ReadSymbolParameter() {
  ReadWord();
  if (gReader.wordLength == 1) return static_cast<int16_t>(static_cast<unsigned char>(gReader.word[0]));
  int16_t id = gReader.wordLength > 1 ? LookUpSymbolName(gReader.word, gReader.wordLength) : 0;
  if (id == 0) Fail();
  return id;
}

void ReadItem(ExprNode* node);

// Operands up to the closing bracket, collected on the scratch and then stored at once.
void ReadOperands(ExprNode* node) {
  const int base = gReader.scratchCount;
  int count = 0;
  while (!gReader.error && *gReader.cursor != ']') {
    if (count == kMaxFormulaOperands) {
      // The operand limit of a node: said as the node library says it when an edit passes it.
      PostError(kErrorOutOfMemory);
      Fail(kReaderFaultOperands);
      break;
    }
    if (count > 0) ExpectChar(',');
    if (gReader.error) break;
    ExprNode* child = NewPromptNode();
    if (!child) {
      FailForMemory();
      break;
    }
    child->parent = node;
    if (!PushOperand(child)) {
      FreeExpression(child);
      FailForMemory();
      break;
    }
    ++count;
    ReadItem(child);
  }
  ExpectChar(']');
  if (!gReader.error && !SetChildCount(node, count)) FailForMemory();
  if (gReader.error) {
    DropOperandsFrom(base);
    return;
  }
  for (int i = 0; i < count; ++i) SetChild(node, i, gReader.scratch[base + i]);
  gReader.scratchCount = base;
}

// What a kind's parameters demand of its operand count; -1 when any count will do.
struct Shape {
  int operands = -1;
};

Shape ReadKindParameters(ExprNode* node, uint32_t kind) {
  Shape shape;
  if (*gReader.cursor == '(') SkipPast(')');
  switch (kind) {
    case KindChar:
    case KindDummy: {
      int16_t id = ReadSymbolParameter();
      if (!gReader.error) {
        node->kind = kind;
        SetSymbolId(node, id);
      }
      break;
    }
    case KindTensor: {
      int32_t value = ReadIntegerParameter(INT32_MIN, INT32_MAX);
      if (!gReader.error) {
        node->kind = kind;
        node->value.raw = 0;
        node->value.tensorMask = value;
      }
      break;
    }
    case KindMatrix:
    case KindIndexes: {
      const double lowest = kind == KindMatrix ? 1 : 0;
      int32_t first = ReadIntegerParameter(lowest, kMaxMatrixExtent);
      int32_t second = ReadIntegerParameter(lowest, kMaxMatrixExtent);
      if (!gReader.error) {
        node->kind = kind;
        node->value.raw = 0;
        node->value.halves = NodeHalves{static_cast<int16_t>(first), static_cast<int16_t>(second)};
        shape.operands = kind == KindMatrix ? first * second : first + second + 1;
      }
      break;
    }
    case KindChem: {
      int32_t p[4];
      for (int32_t& v : p) v = ReadIntegerParameter(-128, 255);
      if (!gReader.error) {
        node->kind = kind;
        // Stored third, fourth, first, second: the byte order the layout code reads.
        const uint8_t bytes[4] = {static_cast<uint8_t>(p[2]), static_cast<uint8_t>(p[3]),
                                  static_cast<uint8_t>(p[0]), static_cast<uint8_t>(p[1])};
        node->value.raw = 0;
        std::memcpy(node->value.chem, bytes, sizeof bytes);
      }
      break;
    }
    default:
      node->kind = kind;
      break;
  }
  return shape;
}

// num[value,"text"] after its bracket. Kept out of ReadItem so the recursion's frames stay small.
[[gnu::noinline]] void ReadNumberForm(ExprNode* node) {
  if (*gReader.cursor == '(') SkipPast(')');
  double value = ReadNumberValue();
  char text[kMaxQuotedText + 1];
  int n = ReadQuotedText(text);
  MakeNumber(node, value, text, static_cast<size_t>(n));
  ExpectChar(']');
}

// string["text"] after its bracket.
[[gnu::noinline]] void ReadStringForm(ExprNode* node) {
  if (*gReader.cursor == '(') SkipPast(')');
  char text[kMaxQuotedText + 1];
  int n = ReadQuotedText(text);
  if (!gReader.error) {
    ExprNode* string = NewStringNode(text, static_cast<size_t>(n));
    if (string) {
      MoveNodeInto(string, node);
    } else {
      FailForMemory();
    }
  }
  ExpectChar(']');
}

[[gnu::noinline]] void ReadBareNumber(ExprNode* node) {
  MakeNumber(node, ParseDouble(gReader.word), gReader.word, static_cast<size_t>(gReader.wordLength));
}

void ReadItem(ExprNode* node) {
  if (gReader.error) return;
  if (gReader.depth >= kMaxFormulaDepth) {
    Fail(kReaderFaultDepth);
    return;
  }
  ++gReader.depth;
  ReadWord();
  // A number word cut at the word limit would read as another number.
  if (gReader.wordLength == kMaxFormulaWord && IsWordChar(*gReader.cursor) &&
      IsNumberWord(gReader.word, gReader.wordLength)) {
    Fail(kReaderFaultNumberText);
    --gReader.depth;
    return;
  }
  const int length = gReader.wordLength;
  int16_t symbol = 0;
  if (length == 1 && IsLetter(gReader.word[0])) {
    symbol = gReader.word[0];
  } else if (length > 1) {
    symbol = LookUpSymbolName(gReader.word, length);
  }
  if (symbol != 0) {
    // A symbol is never followed by brackets: the item ends here.
    node->kind = KindChar;
    SetSymbolId(node, symbol);
  } else if (IsNumberWord(gReader.word, length)) {
    ReadBareNumber(node);
  } else {
    const uint32_t kind = LookUpNodeKind(gReader.word, length);
    if (kind == 0) Fail();
    ExpectChar('[');
    if (gReader.error) {
    } else if (kind == KindNum) {
      ReadNumberForm(node);
    } else if (kind == KindString) {
      ReadStringForm(node);
    } else {
      Shape shape = ReadKindParameters(node, kind);
      if (gReader.error) {
      } else if (GetNodeKindRow(kind)->arityClass == kArityLeaf) {
        ExpectChar(']');
      } else {
        ReadOperands(node);
        if (!gReader.error && shape.operands >= 0 && node->arity != shape.operands) Fail();
      }
    }
  }
  --gReader.depth;
}

void ReleaseScratch() {
  FreeMemory(gReader.scratch);
  gReader.scratch = nullptr;
  gReader.scratchCount = 0;
  gReader.scratchCapacity = 0;
}

ExprNode* NewTextNumber(double value, const char* text) {
  ExprNode* node = NewNumberNode(value);
  SetNumberText(node, text, std::strlen(text));
  return node;
}

// What the number pass makes of a value: its display text (*exponent 0), or, for any value that
// needs an exponent, the display text of its mantissa and a mantissa for that exponent: the
// value's decimal digits (shortest or 17) with the exponent moved, or a neighbour of either, the
// first whose ScientificValue is the value itself, which every value of at most 15 significant
// digits has (every whole number below 10^15 among them), else the nearest, within two units in
// the last place.
struct SettledNumber {
  char text[40];
  int exponent;
  double mantissa;
};

SettledNumber SettleNumber(double value) {
  SettledNumber settled{};
  FormatDoubleForEditing(value, settled.text, sizeof settled.text, &settled.exponent);
  if (settled.exponent == 0) return settled;
  const double shortest = MoveDecimalPoint(value, -settled.exponent, 0);
  const double full = MoveDecimalPoint(value, -settled.exponent, kMaxSignificantDigits);
  double nearest = kPositiveInfinity;
  for (double m : {shortest, std::nextafter(shortest, kPositiveInfinity), std::nextafter(shortest, -kPositiveInfinity),
                   full, std::nextafter(full, kPositiveInfinity), std::nextafter(full, -kPositiveInfinity)}) {
    const double error = std::fabs(ScientificValue(m, settled.exponent) - value);
    if (error < nearest) {
      nearest = error;
      settled.mantissa = m;
    }
  }
  return settled;
}

// The mantissa of an sn node shows its number's display digits, which differ from its own in the
// last digit where the number lies on a rounding tie that the mantissa's binary value falls short
// of (238810495 shows 2.388105, its mantissa 2.38810494999... alone 2.3881049).
bool ShowsItsNumber(const ExprNode* node) {
  const ExprNode* sn = node->parent;
  if (sn == nullptr || sn->kind != KindSn || sn->arity != 2 || sn->children[0] != node) return false;
  const ExprNode* power = sn->children[1];
  if (power->kind != KindNum || power->value.number == nullptr) return false;
  const NumberRecord& mantissa = *node->value.number;
  char text[40];
  // Mostly it shows its own text, which the pass would write again; only a tie needs the number.
  FormatDoubleShort(mantissa.value, text, sizeof text);
  if (std::strpbrk(text, "eE") == nullptr && std::strncmp(text, mantissa.text, sizeof text) == 0) return true;
  const double exponent = power->value.number->value;
  int shown = 0;
  FormatDoubleForEditing(ScientificValue(mantissa.value, exponent), text, sizeof text, &shown);
  return shown != 0 && shown == exponent && std::strncmp(text, mantissa.text, sizeof text) == 0;
}

}  // namespace

bool SplitNumberIntoScientific(ExprNode* node) {
  NumberRecord* record = node->value.number;
  if (NumberTextMatchesValue(record) || ShowsItsNumber(node)) return true;
  const SettledNumber settled = SettleNumber(record->value);
  if (settled.exponent == 0) {
    SetNumberText(node, settled.text, std::strlen(settled.text));
    return true;
  }
  char power[16];
  FormatDoubleDigits(power, sizeof power, settled.exponent, 8);
  ExprNode* mantissa = NewTextNumber(settled.mantissa, settled.text);
  ExprNode* tens = NewTextNumber(settled.exponent, power);
  ExprNode* sn = mantissa && tens ? NewBinaryNode(KindSn, mantissa, tens) : nullptr;
  if (!sn) {
    FreeExpression(mantissa);
    FreeExpression(tens);
    return false;
  }
  MoveNodeInto(sn, node);
  return true;
}

void SetFormulaReaderText(const char* text) {
  gReader.cursor = text ? text : "";
  gReader.error = text ? 0 : 1;
  gReader.depth = 0;
}

int FormulaReaderError() { return gReader.error; }

const char* FormulaReaderRest() { return gReader.cursor ? gReader.cursor : ""; }

ExprNode* ParseFormulaText() {
  if (!gReader.cursor) Fail();
  if (gReader.error) return nullptr;
  gReader.depth = 0;
  ExprNode* root = NewPromptNode();
  if (!root) {
    FailForMemory();
    return nullptr;
  }
  ReadItem(root);
  ReleaseScratch();
  if (!gReader.error && !SplitNumbersIntoScientific(root)) FailForMemory();
  if (gReader.error) {
    FreeExpression(root);
    return nullptr;
  }
  return root;
}

ExprNode* ReadWholeFormula(const char* text) {
  SetFormulaReaderText(SkipWhitespace(text));
  ExprNode* tree = ParseFormulaText();
  if (!tree) return nullptr;
  bool whole = *SkipWhitespace(FormulaReaderRest()) == '\0';
  TreeCursor cursor(tree, WalkOrder::kPreOrder);
  for (const ExprNode* n = tree; n && whole; n = cursor.Next()) {
    const NodeKindRow* row = GetNodeKindRow(n->kind);
    whole = n->kind == KindNum ? n->value.number != nullptr && n->value.number->text[0] != '\0'
                               : !row || row->arityClass == kArityLeaf || n->arity > 0;
  }
  if (whole) return tree;
  FreeExpression(tree);
  return nullptr;
}

ExprNode* ReadWholeFormulaWithBlanks(const char* text) {
  const size_t size = std::strlen(text) + 1;
  char* compact = static_cast<char*>(AllocMemory(size));
  if (compact == nullptr) {
    SetFormulaReaderText("");
    FailForMemory();
    PostError(kErrorOutOfMemory);
    return nullptr;
  }
  size_t n = 0;
  bool quoted = false;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '"') quoted = !quoted;
    if (quoted || (*c != ' ' && *c != '\t' && *c != '\r' && *c != '\n')) compact[n++] = *c;
  }
  compact[n] = '\0';
  ExprNode* tree = ReadWholeFormula(compact);
  gReader.cursor = "";  // the copy goes: nothing of it is left to read
  FreeMemory(compact);
  return tree;
}

ExprNode* ParseFormulaHandle(Handle handle) {
  if (!handle || HandleIsPurged(handle)) {
    SetFormulaReaderText(nullptr);
    return nullptr;
  }
  // Locked while it is read; HUnlock undoes exactly this lock, so the caller's state stays.
  HLock(handle);
  const size_t size = GetHandleSize(handle);
  const char* bytes = static_cast<const char*>(handle->data);
  ExprNode* root = nullptr;
  if (size > 0 && std::memchr(bytes, '\0', size) != nullptr) {
    SetFormulaReaderText(bytes);
    root = ParseFormulaText();
  } else if (auto* text = static_cast<char*>(AllocMemory(size + 1))) {
    // No terminator of its own: the text is read from a terminated copy, the handle untouched.
    if (size > 0) std::memcpy(text, bytes, size);
    text[size] = '\0';
    SetFormulaReaderText(text);
    root = ParseFormulaText();
    FreeMemory(text);
  } else {
    PostError(kErrorOutOfMemory);
    SetFormulaReaderText(nullptr);
    gReader.error = kReaderFaultMemory;
  }
  HUnlock(handle);
  return root;
}

bool NumberTextMatchesValue(const NumberRecord* record) {
  const double shown = ParseNumberLocalized(record->text);
  return shown == record->value || (std::isnan(shown) && std::isnan(record->value));
}

bool NumberTextIsSettled(const ExprNode* node) {
  const NumberRecord* record = node->value.number;
  if (NumberTextMatchesValue(record) || ShowsItsNumber(node)) return true;
  const SettledNumber settled = SettleNumber(record->value);
  return settled.exponent == 0 && std::strncmp(settled.text, record->text, sizeof record->text) == 0;
}

bool SplitNumbersIntoScientific(ExprNode* root) {
  bool complete = true;
  // The current node is rebuilt in place (num into sn); the walk then goes on into its new
  // children, whose texts are already settled.
  TreeCursor cursor(root, WalkOrder::kPreOrder);
  for (ExprNode* node = root; node; node = cursor.Next()) {
    if (node->kind == KindNum && !SplitNumberIntoScientific(node)) complete = false;
  }
  return complete;
}
