// The bracket-notation writer. Every rule mirrors one rule of the reader; where the reader
// has no form for something the writer still produces readable text and reports the loss.
#include "kernel/text/bracket_writer.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "kernel/numeric/numeric_constants.h"
#include "kernel/text/formula_reader.h"
#include "kernel/text/number_settings.h"
#include "kernel/text/number_text.h"
#include "kernel/text/output_buffer.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_kinds.h"

namespace {

struct BracketWriter {
  bool exact = true;
  BracketNumbers numbers = BracketNumbers::kWithText;
};

bool IsLetterCode(int code) { return (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z'); }
bool IsWordCode(int code) { return IsLetterCode(code) || (code >= '0' && code <= '9') || code == '.'; }

void EmitInteger(long long value) {
  char text[24];
  FormatDoubleDigits(text, sizeof text, static_cast<double>(value), 17);
  EmitString(text);
}

// A quoted text with doubled quotes; at most maxLength source bytes are taken.
void EmitQuoted(const char* text, size_t length) {
  EmitChar('"');
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == '"') EmitChar('"');
    EmitChar(text[i]);
  }
  EmitChar('"');
}

// A word the reader takes as a bare number: digits and periods, at least one digit.
bool IsBareNumberWord(const char* text, size_t length) {
  bool digit = false;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] >= '0' && text[i] <= '9') {
      digit = true;
    } else if (text[i] != '.') {
      return false;
    }
  }
  return digit;
}

void EmitPromptFor(BracketWriter& writer) {
  writer.exact = false;
  EmitString("prompt[]");
}

// Symbols the reader can name: ids of the symbol table, and letters, digits and "." as
// one-character words.
bool HasSymbolWord(int symbol) {
  return (symbol >= kFirstSymbolId && symbol <= kLastSymbolId) || (symbol > 0 && symbol < 0x80 && IsWordCode(symbol));
}

void EmitSymbolWord(int symbol) {
  if (symbol >= kFirstSymbolId && symbol <= kLastSymbolId) {
    EmitString(SymbolName(symbol));
  } else {
    EmitChar(static_cast<char>(symbol));
  }
}

[[gnu::noinline]] void WriteNumber(BracketWriter& writer, const ExprNode* node, bool aloneInList) {
  const NumberRecord* record = node->value.number;
  const size_t length = strnlen(record->text, kNumberTextMax);
  if (std::isnan(record->value)) {
    // "%lg" cannot carry NaN inside num[...]; the bare words "NaN" and "" can. An empty word
    // as the only operand would read as no operand at all.
    if (length == 0 && !aloneInList) return;
    EmitString("NaN");
    if (!(length == 3 && std::memcmp(record->text, "NaN", 3) == 0)) writer.exact = false;
    return;
  }
  char value[40];
  FormatDoubleDigits(value, sizeof value, record->value, 17);
  char text[sizeof record->text];
  size_t textLength = length;
  std::memcpy(text, record->text, length);
  // The reader lets a display text "Infinity" or "NaN" override the value; a record whose
  // value disagrees keeps its value and takes a text that says it. Any other text the
  // reader's number pass would redo reads back changed.
  const bool infinityText = length == 8 && std::memcmp(text, "Infinity", 8) == 0;
  const bool nanText = length == 3 && std::memcmp(text, "NaN", 3) == 0;
  bool exact = true;  // this number reads back as it is
  if ((infinityText && record->value != kPositiveInfinity) || nanText) {
    textLength = FormatDoubleShort(record->value, text, sizeof text);
    exact = false;
  } else if (!NumberTextIsSettled(node)) {
    exact = false;
  }
  // The reader localises the first period: give it the period back, and check that its
  // localising restores this text (it cannot when a period stands before the separator).
  const char separator = GetDecimalSeparator();
  if (separator != '.') {
    char* found = static_cast<char*>(std::memchr(text, separator, textLength));
    char* period = static_cast<char*>(std::memchr(text, '.', textLength));
    if (period && (!found || period < found)) exact = false;
    if (found) *found = '.';
  }
  writer.exact = writer.exact && exact;
  text[textLength] = '\0';
  if (writer.numbers == BracketNumbers::kBareWhereSame && exact && IsBareNumberWord(text, textLength) &&
      ParseDouble(text) == record->value) {
    EmitString(text);  // the reader's bare word: this value, this text
    return;
  }
  EmitString("num[");
  EmitString(value);
  EmitChar(',');
  EmitQuoted(text, textLength);
  EmitChar(']');
}

void WriteNode(BracketWriter& writer, const ExprNode* node, int depth, bool aloneInList);

int ChildCountOf(const ExprNode* node) { return node && node->kind != KindString ? node->arity : 0; }

void WriteOperands(BracketWriter& writer, const ExprNode* node, int depth) {
  if (node->arity > kMaxFormulaOperands) writer.exact = false;
  for (int i = 0; i < node->arity; ++i) {
    if (i > 0) EmitChar(',');
    // The reader takes kMaxFormulaDepth nested items: the deepest becomes a prompt.
    if (depth + 1 >= kMaxFormulaDepth - 1 && ChildCountOf(node->children[i]) > 0) {
      EmitPromptFor(writer);
      continue;
    }
    WriteNode(writer, node->children[i], depth + 1, node->arity == 1);
  }
}

// The integer parameters of matrix, indexes, tensor and chem, each followed by its comma;
// false when the reader would refuse them.
bool WriteParameters(const ExprNode* node) {
  switch (node->kind) {
    case KindMatrix:
    case KindIndexes: {
      const int first = node->value.halves.first;
      const int second = node->value.halves.second;
      EmitInteger(first);
      EmitChar(',');
      EmitInteger(second);
      EmitChar(',');
      if (node->kind == KindMatrix) return first >= 1 && second >= 1 && node->arity == first * second;
      return first >= 0 && second >= 0 && node->arity == first + second + 1;
    }
    case KindTensor:
      EmitInteger(node->value.tensorMask);
      EmitChar(',');
      return true;
    case KindChem: {
      const uint8_t* bytes = node->value.chem;
      // The reader stores parameters 1..4 in bytes 2, 3, 0, 1.
      const int order[4] = {2, 3, 0, 1};
      for (int i : order) {
        EmitInteger(bytes[i]);
        EmitChar(',');
      }
      return true;
    }
    default: return true;
  }
}

void WriteNode(BracketWriter& writer, const ExprNode* node, int depth, bool aloneInList) {
  if (!node || depth >= kMaxFormulaDepth) {
    EmitPromptFor(writer);
    return;
  }
  const uint32_t kind = node->kind;
  switch (kind) {
    case KindNum: WriteNumber(writer, node, aloneInList); return;
    case KindPrompt: EmitString("prompt[]"); return;
    case KindChar:
    case KindDummy: {
      // Letters and symbol names stand bare for a char; a digit or "." bare would read as a
      // number, so those (and every dummy) take the bracketed form.
      const int symbol = node->value.symbol;
      if (!HasSymbolWord(symbol)) {
        EmitPromptFor(writer);
        return;
      }
      const bool bare = kind == KindChar && (IsLetterCode(symbol) || symbol >= kFirstSymbolId);
      if (!bare) EmitString(kind == KindChar ? "char[" : "dummy[");
      EmitSymbolWord(symbol);
      if (!bare) EmitChar(']');
      return;
    }
    case KindString: {
      const char* text = node->text;
      size_t length = text ? std::strlen(text) : 0;
      if (length > static_cast<size_t>(kMaxQuotedText)) {
        length = kMaxQuotedText;
        writer.exact = false;
      }
      EmitString("string[");
      EmitQuoted(text ? text : "", length);
      EmitChar(']');
      return;
    }
    default: break;
  }
  const char* name = nullptr;
  if (kind == KindRe || kind == KindIm) {
    // Formula text reads these keywords as the symbols Re and Im; real and imag say the same.
    name = NodeKindName(kind == KindRe ? KindReal : KindImag);
    writer.exact = false;
  } else if (kind >= kFirstNodeKind && kind <= kLastNamedNodeKind) {
    name = NodeKindName(kind);
  }
  if (!name) {
    EmitPromptFor(writer);
    return;
  }
  EmitString(name);
  EmitChar('[');
  if (!WriteParameters(node)) writer.exact = false;
  WriteOperands(writer, node, depth);
  EmitChar(']');
}

}  // namespace

bool WriteBracketText(const ExprNode* node, BracketNumbers numbers) {
  BracketWriter writer;
  writer.numbers = numbers;
  WriteNode(writer, node, 0, false);
  return writer.exact;
}

char* FormatExpressionBracket(const ExprNode* node, bool* exact, BracketNumbers numbers) {
  BeginOutputBuffer();
  const bool written = WriteBracketText(node, numbers);
  if (exact) *exact = written;
  return EndOutputBuffer();
}
