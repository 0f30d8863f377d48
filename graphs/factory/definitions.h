// Definitions, sliders and complex points: the equation rows that define a function, a constant,
// a slider parameter (a = slider(0, 10)) or a draggable complex point (p = 1 + 2 i); the key of a
// defined name; the values a document gives its names; and the list of plain definitions that
// equation preparation rewrites with. Keys are the interpreter's: id, or id + (subscript + 1) * 256
// (DefinedNameKey), so subscripted Greek names keep distinct keys. Nothing here changes a row.
#pragma once

#include <cstdint>

#include "kernel/numeric/complex.h"

struct ExprNode;
struct EquationRow;
class DocumentServices;

// ---- Names ----
// A char node whose symbol is reserved (coordinates and the constants e, i, pi, inf, degree).
bool IsReservedName(const ExprNode* node);
// indexes node with index counts 0 and 1 over a char node.
bool IsSubscriptedName(const ExprNode* node);
// A subscripted name whose subscript is a num node holding a whole number.
bool IsIntegerSubscriptedName(const ExprNode* node);
// A char node or a subscripted name.
bool IsNameOrSubscriptedName(const ExprNode* node);

// ---- Row predicates ----
// equal(L, R) where L is an unreserved variable, a subscripted name, or function(name, ...).
bool IsDefinitionEquation(const ExprNode* node);
// IsDefinitionEquation of the node, or of its first item when it is a comma node.
bool IsDefinitionItem(const ExprNode* node);
// equal(name, slider(id(comma of 2 or 3 constant items))), the name a variable or an integer-
// subscripted name, not reserved.
bool IsSliderDefinition(const ExprNode* node);
// The same for the expression a row holds.
bool IsSliderDefinitionOfHandle(const EquationRow& row);
// equal(name, complex literal), the name as for sliders.
bool IsComplexPointDefinition(const ExprNode* node);
// equal(indexes(coordinate, ...), R): x_1 = ...
bool IsSubscriptedCoordinateEquation(const ExprNode* node);
// A definition item that draws nothing: no complex point and no subscripted coordinate, which are
// drawn (a slider definition draws nothing either: its row shows the slider).
bool IsUndrawnDefinition(const ExprNode* node);

// ---- Literals ----
// A num node, or a minus over one.
bool IsSignedNumber(const ExprNode* node);
bool IsImaginaryUnit(const ExprNode* node);  // the variable i
// i, or times(signed number, i); either optionally under one minus.
bool IsImaginaryTerm(const ExprNode* node);
// An imaginary term, or plus(signed number, imaginary term).
bool IsComplexLiteral(const ExprNode* node);
// The value of a signed number (negated under the minus).
double SignedNumberValue(const ExprNode* node);
// The value of a complex literal.
void ComplexLiteralValue(Complex* out, const ExprNode* node);

// ---- Keys and values ----
// The key of a name: its symbol id, with the subscript added for an integer-subscripted name;
// the key of f for function(f, ...). -1 when the node is no name.
int32_t NameKey(const ExprNode* node);
// The key of the equation's left side; -1 when it has none.
int32_t DefinedParameterKey(const ExprNode* equation);
// The low byte of the key of the definition a row expression holds (0 when none).
int32_t GetNodeSymbolLowByte(const ExprNode* expression);
// min + c (max - min) / steps, c the slider control's value clamped to 0 .. steps; the minimum
// when steps <= 0 or the row has no slider control.
double GetRowSliderValue(const EquationRow& row);
// The value the document gives a key: the first row (in order) that is a complex-point definition
// of the key gives its literal, or a slider definition of the key on a row with a slider control
// gives the slider's value; otherwise (1, 0). A null document gives (1, 0).
void GetDefinedParameterValue(Complex* out, int32_t key, const DocumentServices* document);
// The variable node (its parent's integer subscript included) names a complex point that some
// row defines.
bool IsNameDefinedInDocument(const ExprNode* node, const DocumentServices* document);
// Some char node of the tree passes IsNameDefinedInDocument.
bool TreeUsesComplexPointName(const ExprNode* tree, const DocumentServices* document);
// Some row is a slider definition whose key's low byte equals the symbol (so a slider on a_1
// also defines a: intended).
bool DocumentDefinesParameter(int32_t symbol, const DocumentServices* document);

// ---- The definition list ----
// Every char node of the tree with the symbol becomes a dummy node.
void MakeSymbolDummy(ExprNode* tree, int32_t symbol);
// For function(name, parameters...) = body: the non-Greek variables of the parameters become
// dummies (pattern variables), and the body's variables named by any parameter variable too
// (Greek parameters stay chars in the pattern while their uses in the body become dummies).
void MarkFunctionParameters(ExprNode* equation);
// A list node of copies of the definitions of the rows, in row order, for the preparation to
// rewrite with. The rows taken are those that IsDefinitionItem accepts and that are no slider or
// complex-point definition. The first such row is copied whole (a comma row with all its items,
// conditions included); each later row adds the row itself, or for a comma row its definition
// equations (sliders and complex points among them). A single plain definition is returned bare;
// more than one item, or a first row that is a comma row, always as a list. Each item has its
// parameters marked. Null when there is none, when there are more than kMaxArity items (error 7
// posted, re-armed), or when memory ran out (nothing kept).
ExprNode* CollectDefinitionEquations(const DocumentServices* document);
