// The bracket-notation writer: the exact inverse of the formula text reader, used for
// documents and the clipboard. Numbers are written as num[value,"text"] with the value in
// 17 significant digits and "." as separator (or, when asked, as a bare word that reads back
// the same), quotes doubled, parameters in the reader's order, symbols by name. Invariant: for every tree the reader could have produced,
// reading the text back gives an equal tree (kinds, values, parameters, texts).
#pragma once

#include <cstdint>

struct ExprNode;

// How numbers are written: always num[value,"text"], or as the bare word of their text where the
// reader takes that word for the same number (the typing guide's 1 and 0.5; the clipboard).
enum class BracketNumbers : uint8_t { kWithText, kBareWhereSame };

// Writes the tree into the current output buffer. Returns false when some part has no
// bracket form and was written approximately: the Re and Im kinds (written as real and imag),
// the kinds formula text cannot name and internal kinds (written as prompt[]), char codes
// that are neither letters, digits, "." nor symbol ids (prompt[]), over-long string texts
// (cut to 99 characters), shapes the reader would refuse, and nesting beyond its depth.
bool WriteBracketText(const ExprNode* node, BracketNumbers numbers = BracketNumbers::kWithText);

// A new buffer holding the bracket text, NUL-terminated; the caller frees it with
// FreeMemory. *exact (when given) receives WriteBracketText's answer. Null when no buffer
// could be opened.
char* FormatExpressionBracket(const ExprNode* node, bool* exact = nullptr,
                              BracketNumbers numbers = BracketNumbers::kWithText);
