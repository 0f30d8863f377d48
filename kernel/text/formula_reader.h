// The formula text reader: bracket notation (kind[params,operands], bare letters, symbol
// names and number words) back into an expression tree. The text is untrusted (clipboard,
// drops, server replies): nesting depth, operands per node, shapes and integer parameters
// are bounded and checked; any fault only sets the error flag, frees the partly built tree
// and makes the parse answer null. One parse at a time: cursor and flag are process-wide.
#pragma once

#include <cstdint>

#include "platform/handles.h"

struct ExprNode;
struct NumberRecord;

constexpr int kMaxFormulaDepth = 4096;        // nested items
constexpr int kMaxFormulaOperands = 10000;    // operands of one node
constexpr int kMaxMatrixExtent = 32767;       // rows, columns and index counts
constexpr int kMaxFormulaWord = 100;          // a longer run of word characters is cut here
constexpr int kMaxQuotedText = 99;            // characters of a quoted text

// Why a parse was refused: the reader's error flag, set once to the first fault met.
enum FormulaReaderFault : int {
  kReaderFaultNone = 0,
  kReaderFaultText = 1,        // not the notation: unknown word, missing bracket or comma, bad value
  kReaderFaultOperands = 2,    // a node with more than kMaxFormulaOperands operands (error 7 posted)
  kReaderFaultDepth = 3,       // items nested past kMaxFormulaDepth
  kReaderFaultMemory = 4,      // an allocation was refused (error 7 posted)
  kReaderFaultNumberText = 5,  // a number text longer than the reader reads whole
};

// Points the reader at a NUL-terminated text and clears the error flag.
void SetFormulaReaderText(const char* text);

// The reader's error flag as the last parse left it: a FormulaReaderFault, 0 for none.
int FormulaReaderError();
// The text the last parse left unread: its terminating NUL when the item took all of it.
const char* FormulaReaderRest();

// Reads one item from the cursor into a new tree and splits numbers that need an exponent
// (SplitNumbersIntoScientific). Text after the first complete item is ignored. Returns the
// root, or null with the error flag set; nothing of a failed parse stays allocated.
ExprNode* ParseFormulaText();

// Parses the handle's bytes up to their first NUL, or all of them when there is none (read from
// a terminated copy then). The handle keeps its size and comes back locked exactly as it was
// found. Null (and the error flag set) when the handle is null or purged or the copy cannot be had.
ExprNode* ParseFormulaHandle(Handle handle);

// The tree of an untrusted text (a paste, a server's reply), or null when the text is not one
// whole formula: the reader must take all of it (blanks around it aside), never a readable
// beginning of it, and nothing in it may be an operator without operands or a number without
// digits (what the reader makes of an empty item), which the editor itself never makes.
ExprNode* ReadWholeFormula(const char* text);
// ReadWholeFormula of the text with its blanks (spaces, tabs, line ends) outside double quotes
// dropped, as a document line is read: "equal[y, power[x, 2]]" is a formula. Null, the reader's
// memory fault set and error 7 posted, when memory for the copy is refused. The reader's rest is
// empty afterwards.
ExprNode* ReadWholeFormulaWithBlanks(const char* text);

// The typesetter's number pass, run on every tree the reader makes and on every formula laid out
// (the numbers the algebra writes among them): each num node whose value does not read back from
// its display text gets the display text of its value; a value that needs an exponent becomes an
// sn node of a mantissa and a power of ten whose ScientificValue is the value itself, bit for bit
// when the value has at most 15 significant digits, else within two units in its last place.
// Returns false when an sn node could not be made (that number stays as it was).
bool SplitNumbersIntoScientific(ExprNode* root);
// The same for one num node (the layout's number pass walks the tree itself). The node keeps
// its identity; false when the sn node could not be made (the number stays as it was).
bool SplitNumberIntoScientific(ExprNode* node);

// The display text reads back (ParseNumberLocalized) as the value; NaN matches NaN.
bool NumberTextMatchesValue(const NumberRecord* record);

// SplitNumbersIntoScientific would leave the num node as it is: its text matches its value, is
// already the display text of a value that needs no exponent, or (an sn node's mantissa) shows the
// display digits of its sn node's value.
bool NumberTextIsSettled(const ExprNode* node);
