// The equation-form classifier: each prepared equation gets an EquationForm word (the form code
// 0..66, 0 for no graph, plus kPrimedForm when found only with x, y, z exchanged for x', y', z')
// from the shape of its tree and the names of its variables, by a fixed list of tests where the
// first match wins; for an equation without a form, the graph result message (14..25) saying why.
// Invariant: every call leaves the tree exactly as it found it (the primed retry swaps back before
// returning, and nothing in between can yield).
#pragma once

#include <cstdint>

struct ExprNode;
class DocumentServices;

inline constexpr int32_t kPrimedForm = 0x100;
inline constexpr int32_t kFormCodeCount = 67;

// The ordered tests (forms marked 2D are skipped when flag3D is set). The document (may be null)
// names the complex points of form 43.
int32_t ClassifyEquationFormCore(const ExprNode* equation, bool flag3D, const DocumentServices* document);
// The core; when it gives 0, the core again on the primed tree (a 20..23 found so gives 0, any
// other form gets kPrimedForm); with flag4D only 20..23 without the flag survive.
int32_t ClassifyEquationFormWithPrimes(ExprNode* equation, bool flag3D, bool flag4D, const DocumentServices* document);
// The word the factory receives: ClassifyEquationFormWithPrimes, then the trailing items of a
// comma list checked one by one (colour items and conditions where the form allows them,
// the read-out item of forms 49 and 50); a refused item gives 0.
int32_t ClassifyEquationForGraph(ExprNode* equation, bool flag3D, bool flag4D, const DocumentServices* document);
// The graph result message (14..25) explaining why an equation has no form.
int32_t ClassifyEquationList(ExprNode* equation, bool flag3D, bool flag4D, const DocumentServices* document);

// The form sets the document asks about (kPrimedForm ignored).
bool IsCurveFormCode(int32_t word);
bool IsFormCodeInSet(int32_t word);
// A form accepts a condition item / a colour item: always, or only in 3D.
bool FormAllowsCondition(int32_t word, bool flag3D);
bool FormAllowsColorExpressions(int32_t word, bool flag3D);
// The condition test of one comma item: a strict inequality made of the kinds a condition may use.
bool IsConditionItem(const ExprNode* item);

// Predicates over a list of equations (a list node's items; any other node is a list of one),
// each classified without flags unless said otherwise.
bool AllEquationsPassForm(ExprNode* equations, const DocumentServices* document);   // 43..45
bool AllEquationsAreForm(ExprNode* equations, const DocumentServices* document);    // surfaces, curves in 3D
bool AnyEquationHasForm(ExprNode* equations, const DocumentServices* document);     // with flag3D
// Some equation uses z as a surface does, as written or with the primed coordinates exchanged.
bool AnyEquationHasProperty(ExprNode* equations);

struct EquationFormTraits {
  uint8_t graphable;  // a form, and no definition unless a complex point or a subscripted coordinate
  uint8_t surface;    // shown as a surface (some forms only when the mode value's low bits are 1)
  uint8_t form4D;     // 20..23 without the primed flag
  uint8_t primed;     // kPrimedForm set
};
EquationFormTraits GetEquationFormTraits(ExprNode* equation, double modeValue, const DocumentServices* document);

// dy/dx or dz/dt.
bool IsSlopeFieldDerivative(const ExprNode* node);
