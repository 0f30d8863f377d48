// The formula text writers: infix text (copies as text, labels, exported pages) and the
// parenthesised prefix form of the remote integration request. Both write into the current
// output buffer. Invariants: any tree is written without a crash whatever its arities; a
// child that needs brackets and is not already grouped by an id node gets parentheses, so
// the text never reads as a different formula; negative infinity keeps its sign.
#pragma once

struct ExprNode;

// Nesting below which the writers stop descending and write "?" instead (stack safety).
constexpr int kMaxWriterDepth = 8192;

// Infix text of the tree into the current output buffer; id groups write "(" ")", or "[" "]"
// when bracketFlag is set. A char node writes a letter as itself, a symbol id as its keyword,
// a primed coordinate as x', y' or z', another printable character as itself, else "?".
void WriteInfixText(const ExprNode* node, bool bracketFlag);

// Prefix text of the tree into the current output buffer, e.g. (+ (expt (sin x) 2) 1).
void WriteLispText(const ExprNode* node);

// A new buffer holding the infix / prefix text, NUL-terminated; the caller frees it with
// FreeMemory. Null when no buffer could be opened.
char* FormatExpressionText(const ExprNode* node, bool bracketFlag);
char* FormatExpressionLisp(const ExprNode* node);
