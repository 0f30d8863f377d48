// What the shape of a subtree tells about its sign and what an exponent's shape tells about its
// parity: the tests every rule takes that holds for some signs only (a factor into or out of a
// root, (x y)^e = x^e y^e, (x^c)^e = x^(c e), ln(x y) = ln x + ln y). Each answers true only when
// the property holds for every real value of the letters; false means "not known".
#pragma once

#include <cstdint>

struct ExprNode;

// The whole number n is (a number, or a negated one), in *out; false for anything else.
bool WholeNumber(const ExprNode* n, int32_t* out);
// The exponent e is p/q (or -p/q, the sign not given) of whole numbers, q = 1 for a whole e;
// false for another shape.
bool WholeRatio(const ExprNode* e, int32_t* p, int32_t* q);
bool IsWhole(const ExprNode* n);
bool IsEvenWhole(const ExprNode* n);
bool IsOddWhole(const ExprNode* n);
// An exponent p/q (or -p/q) of odd whole numbers, q = 1 included: x^e is then real for a negative
// x too (the evaluator's real odd roots), has the sign of x, and (x y)^e = x^e y^e for every sign.
bool IsOddRatio(const ExprNode* e);
// An exponent p/q (or -p/q) with p even and q odd, q = 1 included: x^e = |x|^e for every real x.
bool IsEvenRatio(const ExprNode* e);
// A number or a quotient of numbers, or the negation of one.
bool IsNumberRatio(const ExprNode* e);
// An exponent p/q (or -p/q) of whole numbers with q odd and not 1 or -1: x^e is real for a
// negative x as a real odd root, which x^(e + n) for an exponent n that is no number is not.
bool HasOddDenominator(const ExprNode* e);
// An exponent whose reciprocal is whole: 1/k or -1/k, k whole.
bool HasWholeReciprocal(const ExprNode* e);
// Whether n >= 0 wherever it has a value, whatever real values its letters take: a number >= 0,
// the constants e and pi, exp or abs of anything, a square root, an even power (p/q, p even, q
// odd) of anything, a power with an even denominator, any power of such a base, a product,
// quotient or sum of such, an index counting up from such a start (the nearest sum or product
// binding the letter at its place decides, and a letter in a start or an end is the one outside
// that sum; a letter an integral binds, or a name bound around a piece worked on apart, is of
// unknown sign). Zero counts. Without evenPowers an even power of a base of unknown sign does not
// count. Each question (and each of the two below, whole) reads at most a few thousand nodes and
// ancestors; past them the answer is false.
bool KnownNonNegative(const ExprNode* n, bool evenPowers = true);
// Whether n > 0 wherever it has a value: a number > 0, the constants e and pi, exp of anything,
// an index counting up from a start known positive, any power of such a base, a product or
// quotient of such, a sum of KnownNonNegative terms one of which is such.
bool KnownPositive(const ExprNode* n);
// Every operand of the node but at most one is KnownNonNegative: a product of them is positive
// only where each operand is, so the logarithm of the product splits over its operands.
bool AtMostOneOfUnknownSign(const ExprNode* node);
// Every operand of the node is KnownNonNegative, or every one but one is KnownPositive: a
// fractional power of the product splits over its operands (a factor that may be 0 would make
// 0 = sqrt(0 y) into sqrt(0) sqrt(y), which has no value for y < 0).
bool AllButOneKnownPositive(const ExprNode* node);
