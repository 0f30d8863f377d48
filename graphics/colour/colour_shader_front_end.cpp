// The colour-shader front end: the CPU test, the rewrites into elementary GPU forms, the complex
// lowering and the two entry points that hand prepared copies to the program builders.
// The hyperbolic factors that the complex sine and cosine need are built in their exponential
// form, as RewriteForGpu writes cosh and sinh: the generator has no hyperbolic instructions, and
// a lowered sine of a real argument must still reach the GPU.
#include "graphics/colour/colour_shader_front_end.h"

#include <new>

#include "graphics/colour/colour_program_state.h"
#include "kernel/eval/bytecode_compiler.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

// A lowered node larger than this takes the CPU path: products of sums fold into copies that
// can double with every factor.
constexpr int kMaxLoweredNodes = 4000;

// ---- Tree building: null on exhaustion, and every operand passed is then freed ------------------

ExprNode* Num(double value) { return NewNumberNode(value); }
ExprNode* Copy(const ExprNode* node) { return CopyExpression(node); }
ExprNode* Neg(ExprNode* x) { return BuildNode(KindMinus, {x}); }
ExprNode* Square(ExprNode* x) { return BuildNode(KindPower, {x, Num(2)}); }
ExprNode* Exp(ExprNode* x) { return BuildNode(KindExp, {x}); }
ExprNode* HalfPi() { return BuildNode(KindOver, {NewSymbolNode(SymPi), Num(2)}); }
ExprNode* Reciprocal(const ExprNode* x) { return BuildNode(KindOver, {Num(1), Copy(x)}); }

// e^x + e^-x, or e^x - e^-x.
ExprNode* ExpSum(const ExprNode* x, bool difference) {
  ExprNode* second = Exp(Neg(Copy(x)));
  return BuildNode(KindPlus, {Exp(Copy(x)), difference ? Neg(second) : second});
}
ExprNode* Cosh(const ExprNode* x) { return BuildNode(KindOver, {ExpSum(x, false), Num(2)}); }
ExprNode* Sinh(const ExprNode* x) { return BuildNode(KindOver, {ExpSum(x, true), Num(2)}); }

// ln(u + sqrt(inner)) with u taken over; the square-root forms of the inverse hyperbolics.
ExprNode* LnOfSumWithRoot(ExprNode* u, ExprNode* inner) {
  return BuildNode(KindLn, {BuildNode(KindPlus, {u, BuildNode(KindSqrt, {inner})})});
}

// ---- RewriteForGpu ------------------------------------------------------------------------------

// The elementary form of the node, or null when it has none (or memory was refused).
ExprNode* GpuForm(const ExprNode* n) {
  const ExprNode* x = n->arity > 0 ? n->children[0] : nullptr;
  const ExprNode* y = n->arity > 1 ? n->children[1] : nullptr;
  const ExprNode* z = n->arity > 2 ? n->children[2] : nullptr;
  if (n->kind == KindChar) return n->value.symbol == SymDegree ? Num(kPi / 180) : nullptr;
  if (n->arity == 1) {
    switch (n->kind) {
      case KindTan: return BuildNode(KindOver, {BuildNode(KindSin, {Copy(x)}), BuildNode(KindCos, {Copy(x)})});
      case KindCot: return BuildNode(KindOver, {BuildNode(KindCos, {Copy(x)}), BuildNode(KindSin, {Copy(x)})});
      case KindCsc: return BuildNode(KindOver, {Num(1), BuildNode(KindSin, {Copy(x)})});
      case KindSec: return BuildNode(KindOver, {Num(1), BuildNode(KindCos, {Copy(x)})});
      case KindAcos: return BuildNode(KindPlus, {HalfPi(), Neg(BuildNode(KindAsin, {Copy(x)}))});
      case KindAcsc: return BuildNode(KindAsin, {Reciprocal(x)});
      case KindAsec: return BuildNode(KindPlus, {HalfPi(), Neg(BuildNode(KindAsin, {Reciprocal(x)}))});
      case KindSinh: return Sinh(x);
      case KindCosh: return Cosh(x);
      case KindTanh: return BuildNode(KindOver, {ExpSum(x, true), ExpSum(x, false)});
      case KindCoth: return BuildNode(KindOver, {ExpSum(x, false), ExpSum(x, true)});
      case KindCsch: return BuildNode(KindOver, {Num(2), ExpSum(x, true)});
      case KindSech: return BuildNode(KindOver, {Num(2), ExpSum(x, false)});
      case KindAsinh: return LnOfSumWithRoot(Copy(x), BuildNode(KindPlus, {Num(1), Square(Copy(x))}));
      case KindAcosh: return LnOfSumWithRoot(Copy(x), BuildNode(KindPlus, {Square(Copy(x)), Neg(Num(1))}));
      case KindAtanh:
      case KindAcoth: {
        ExprNode* denominator = n->kind == KindAtanh ? BuildNode(KindPlus, {Num(1), Neg(Copy(x))})
                                                     : BuildNode(KindPlus, {Copy(x), Neg(Num(1))});
        ExprNode* quotient = BuildNode(KindOver, {BuildNode(KindPlus, {Num(1), Copy(x)}), denominator});
        return BuildNode(KindOver, {BuildNode(KindLn, {quotient}), Num(2)});
      }
      case KindAcsch: return LnOfSumWithRoot(Reciprocal(x), BuildNode(KindPlus, {Num(1), Square(Reciprocal(x))}));
      case KindAsech: return LnOfSumWithRoot(Reciprocal(x), BuildNode(KindPlus, {Square(Reciprocal(x)), Neg(Num(1))}));
      case KindCeil: return Neg(BuildNode(KindFloor, {Neg(Copy(x))}));
      default: return nullptr;
    }
  }
  if (n->arity == 2) {
    switch (n->kind) {
      case KindLog: return BuildNode(KindOver, {BuildNode(KindLn, {Copy(x)}), BuildNode(KindLn, {Copy(y)})});
      case KindSqrt: return BuildNode(KindPower, {Copy(x), BuildNode(KindOver, {Num(1), Copy(y)})});
      case KindSn: return BuildNode(KindTimes, {Copy(x), BuildNode(KindPower, {Num(10), Copy(y)})});
      default: return nullptr;
    }
  }
  if (n->arity == 3 && n->kind == KindClamp) {
    // max(lo, min(x, hi)) as the CPU takes it, also when the bounds are the wrong way round.
    return BuildNode(KindMax, {Copy(y), BuildNode(KindMin, {Copy(x), Copy(z)})});
  }
  return nullptr;
}

void RewriteTreeForGpu(ExprNode* tree) {
  TreeCursor cursor(tree, WalkOrder::kPostOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) RewriteForGpu(n);
}

// ---- LowerComplex -------------------------------------------------------------------------------

const ExprNode* Re(const ExprNode* pair) { return pair->children[0]; }
const ExprNode* Im(const ExprNode* pair) { return pair->children[1]; }
ExprNode* Pair(ExprNode* re, ExprNode* im) { return MakeComplexPair(re, im); }

// |p|^2 = a^2 + b^2 of a pair.
ExprNode* NormSquared(const ExprNode* p) { return BuildNode(KindPlus, {Square(Copy(Re(p))), Square(Copy(Im(p)))}); }
ExprNode* Angle(const ExprNode* p) { return MakeAngle(Copy(Re(p)), Copy(Im(p))); }

// The lowering of a tree built from pairs, as a pair (the tree is taken over), or null.
ExprNode* Lowered(ExprNode* tree) {
  if (tree != nullptr && LowerComplex(tree) && IsComplexPair(tree)) return tree;
  FreeExpression(tree);
  return nullptr;
}

// ln z = (ln |z|, angle of z).
ExprNode* LnPair(const ExprNode* z) {
  return Pair(BuildNode(KindLn, {BuildNode(KindSqrt, {NormSquared(z)})}), Angle(z));
}

// i z = (-b, a).
ExprNode* TimesI(const ExprNode* z) { return Pair(Neg(Copy(Im(z))), Copy(Re(z))); }

// A pair built from the parts of a lowered L (freed here): (f(Re L, Im L), g(Re L, Im L)).
template <typename Parts>
ExprNode* FromLowered(ExprNode* tree, Parts parts) {
  ExprNode* lowered = Lowered(tree);
  if (lowered == nullptr) return nullptr;
  ExprNode* result = parts(Re(lowered), Im(lowered));
  FreeExpression(lowered);
  return result;
}

ExprNode* PowerPair(const ExprNode* z, const ExprNode* w) {
  const ExprNode *a = Re(z), *b = Im(z), *c = Re(w), *d = Im(w);
  if (IsNumberValue(c, 2) && IsNumberValue(d, 0)) {
    return Pair(BuildNode(KindPlus, {Square(Copy(a)), Neg(Square(Copy(b)))}), BuildNode(KindTimes, {Num(2), Copy(a), Copy(b)}));
  }
  if (IsNumberValue(b, 0) && IsNumberValue(d, 0)) return Pair(BuildNode(KindPower, {Copy(a), Copy(c)}), Num(0));
  if (a->kind == KindChar && a->value.symbol == kSymbolE && IsNumberValue(b, 0)) return Lowered(Exp(Copy(w)));
  return Lowered(Exp(BuildNode(KindTimes, {Copy(w), BuildNode(KindLn, {Copy(z)})})));
}

ExprNode* ProductPair(const ExprNode* node) {
  ExprNode* re = Copy(Re(node->children[0]));
  ExprNode* im = Copy(Im(node->children[0]));
  for (int i = 1; i < node->arity && re != nullptr && im != nullptr; ++i) {
    const ExprNode *c = Re(node->children[i]), *d = Im(node->children[i]);
    ExprNode* nextRe = BuildNode(KindPlus, {BuildNode(KindTimes, {Copy(re), Copy(c)}), Neg(BuildNode(KindTimes, {Copy(im), Copy(d)}))});
    ExprNode* nextIm = BuildNode(KindPlus, {BuildNode(KindTimes, {Copy(re), Copy(d)}), BuildNode(KindTimes, {Copy(im), Copy(c)})});
    FreeExpression(re);
    FreeExpression(im);
    re = nextRe;
    im = nextIm;
  }
  return Pair(re, im);
}

// The same kind over the children's real (or imaginary) parts.
ExprNode* OverParts(uint32_t kind, const ExprNode* node, bool imaginary) {
  ExprNode* parts[16] = {};
  ExprNode** children = node->arity <= 16 ? parts : new (std::nothrow) ExprNode*[node->arity];
  if (children == nullptr) return nullptr;
  for (int i = 0; i < node->arity; ++i) children[i] = Copy(imaginary ? Im(node->children[i]) : Re(node->children[i]));
  ExprNode* result = BuildNode(kind, children, node->arity);
  if (children != parts) delete[] children;
  return result;
}

bool AllChildrenArePairs(const ExprNode* node) {
  if (node->arity == 0) return false;
  for (int i = 0; i < node->arity; ++i) {
    if (!IsComplexPair(node->children[i])) return false;
  }
  return true;
}

// The pair the node lowers to. `applies` tells whether a rule applies: a null answer then means
// memory was refused.
ExprNode* LoweredForm(const ExprNode* node, bool* applies) {
  *applies = true;
  if (node->kind == KindNum) return Pair(Copy(node), Num(0));
  if (node->kind == KindChar) {
    const int32_t s = node->value.symbol;
    if (s == kSymbolI) return Pair(Num(0), Num(1));
    if (IsReservedSymbol(s)) return Pair(Copy(node), Num(0));
    return Pair(BuildNode(KindReal, {Copy(node)}), BuildNode(KindImag, {Copy(node)}));
  }
  if (!AllChildrenArePairs(node)) {
    *applies = false;
    return nullptr;
  }
  const ExprNode* z = node->children[0];
  const ExprNode *a = Re(z), *b = Im(z);
  const bool unary = node->arity == 1;
  switch (node->kind) {
    case KindPlus: return Pair(OverParts(KindPlus, node, false), OverParts(KindPlus, node, true));
    case KindTimes: return ProductPair(node);
    case KindLessthan:
    case KindGreaterthan:
    case KindWedge:
    case KindSgn:
    case KindMod:
    case KindMin:
    case KindMax:
      return Pair(OverParts(node->kind, node, false), Num(0));
    default:
      break;
  }
  if (unary) {
    switch (node->kind) {
      case KindMinus: return Pair(Neg(Copy(a)), Neg(Copy(b)));
      case KindSin:
        return Pair(BuildNode(KindTimes, {BuildNode(KindSin, {Copy(a)}), Cosh(b)}),
                    BuildNode(KindTimes, {BuildNode(KindCos, {Copy(a)}), Sinh(b)}));
      case KindCos:
        return Pair(BuildNode(KindTimes, {BuildNode(KindCos, {Copy(a)}), Cosh(b)}),
                    Neg(BuildNode(KindTimes, {BuildNode(KindSin, {Copy(a)}), Sinh(b)})));
      case KindExp:
        return Pair(BuildNode(KindTimes, {Exp(Copy(a)), BuildNode(KindCos, {Copy(b)})}),
                    BuildNode(KindTimes, {Exp(Copy(a)), BuildNode(KindSin, {Copy(b)})}));
      case KindLn: return LnPair(z);
      case KindLog:
        return FromLowered(LnPair(z), [](const ExprNode* re, const ExprNode* im) {
          return Pair(BuildNode(KindOver, {Copy(re), BuildNode(KindLn, {Num(10)})}),
                      BuildNode(KindOver, {Copy(im), BuildNode(KindLn, {Num(10)})}));
        });
      case KindSqrt: {
        if (IsNumberValue(b, 0)) return Pair(BuildNode(KindSqrt, {Copy(a)}), Num(0));
        ExprNode* r = BuildNode(KindSqrt, {BuildNode(KindSqrt, {NormSquared(z)})});
        ExprNode* h = BuildNode(KindTimes, {Num(0.5), Angle(z)});
        ExprNode* result = Pair(BuildNode(KindTimes, {Copy(r), BuildNode(KindCos, {Copy(h)})}),
                                BuildNode(KindTimes, {Copy(r), BuildNode(KindSin, {Copy(h)})}));
        FreeExpression(r);
        FreeExpression(h);
        return result;
      }
      case KindAbs: return Pair(BuildNode(KindSqrt, {NormSquared(z)}), Num(0));
      case KindAtan: {
        // atan z = ln((1 + i z) / (1 - i z)) / (2 i).
        ExprNode* quotient = BuildNode(KindOver, {BuildNode(KindPlus, {Num(1), TimesI(z)}), BuildNode(KindPlus, {Num(1), Neg(TimesI(z))})});
        return FromLowered(BuildNode(KindLn, {quotient}), [](const ExprNode* re, const ExprNode* im) {
          return Pair(BuildNode(KindOver, {Copy(im), Num(2)}), BuildNode(KindOver, {Copy(re), Num(-2)}));
        });
      }
      case KindAcot: return Lowered(BuildNode(KindAtan, {BuildNode(KindOver, {Num(1), Copy(z)})}));
      case KindAsin: {
        // asin z = -i ln(i z + sqrt(1 - z^2)).
        ExprNode* root = BuildNode(KindSqrt, {BuildNode(KindPlus, {Num(1), Neg(Square(Copy(z)))})});
        return FromLowered(BuildNode(KindLn, {BuildNode(KindPlus, {TimesI(z), root})}),
                           [](const ExprNode* re, const ExprNode* im) { return Pair(Copy(im), Neg(Copy(re))); });
      }
      case KindArg: return Pair(Angle(z), Num(0));
      case KindReal:
      case KindRe: return Pair(Copy(a), Num(0));
      case KindImag:
      case KindIm: return Pair(Copy(b), Num(0));
      default: break;
    }
  }
  if (node->arity == 2) {
    const ExprNode* w = node->children[1];
    const ExprNode *c = Re(w), *d = Im(w);
    if (node->kind == KindOver) {
      ExprNode* re = BuildNode(KindPlus, {BuildNode(KindTimes, {Copy(a), Copy(c)}), BuildNode(KindTimes, {Copy(b), Copy(d)})});
      ExprNode* im = BuildNode(KindPlus, {BuildNode(KindTimes, {Copy(b), Copy(c)}), Neg(BuildNode(KindTimes, {Copy(a), Copy(d)}))});
      return Pair(BuildNode(KindOver, {re, NormSquared(w)}), BuildNode(KindOver, {im, NormSquared(w)}));
    }
    if (node->kind == KindPower) return PowerPair(z, w);
  }
  *applies = false;
  return nullptr;
}

// x^(1/2) written as sqrt x, throughout the subtree.
void HalfPowersToRoots(ExprNode* tree) {
  TreeCursor cursor(tree, WalkOrder::kPostOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) HalfPowerToRoot(n);
}

// The node replaced by its pair, simplified. False when memory was refused or the result is too
// large to be worth a program.
bool LowerNode(ExprNode* node) {
  bool applies = false;
  ExprNode* pair = LoweredForm(node, &applies);
  if (!applies) return true;
  if (pair == nullptr) return false;
  ReplaceExpression(pair, node);
  if (ColorProgramGlobals().simplify != nullptr) ColorProgramGlobals().simplify(node);
  HalfPowersToRoots(node);
  return CountSubtreeNodes(node) <= kMaxLoweredNodes;
}

}  // namespace

ExprNode* MakeComplexPair(ExprNode* re, ExprNode* im) { return BuildNode(KindComplexPair, {re, im}); }
ExprNode* MakeAngle(ExprNode* x, ExprNode* y) { return BuildNode(KindAngleOfPoint, {x, y}); }
bool IsComplexPair(const ExprNode* node) {
  return node != nullptr && node->kind == KindComplexPair && node->arity == 2;
}

bool NeedsCpuEvaluation(const ExprNode* tree) {
  if (tree == nullptr) return false;
  TreeCursor cursor(const_cast<ExprNode*>(tree), WalkOrder::kPostOrder);  // read only
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    switch (n->kind) {
      case KindFunction:
      case KindFact:
      case KindOppartial:
      case KindSum:
      case KindLparen:
      case KindBesselj:
      case KindIf:
      case KindBranch:
      case KindBoundedSum:
        return true;
      case KindChar:
        if (n->value.symbol == 't' || n->value.symbol == 'u' || n->value.symbol == 'v') return true;
        break;
      default:
        break;
    }
  }
  return false;
}

bool RewriteForGpu(ExprNode* node) {
  ExprNode* replacement = GpuForm(node);
  if (replacement == nullptr) return false;
  ReplaceExpression(replacement, node);
  return true;
}

bool LowerComplex(ExprNode* tree) {
  TreeCursor cursor(tree, WalkOrder::kEnterAndLeave);
  for (ExprNode* n = cursor.Current(); n != nullptr;) {
    if (cursor.Entering()) {
      n = IsComplexPair(n) ? cursor.Pass() : cursor.Next();  // a pair is lowered already
      continue;
    }
    if (!LowerNode(n)) return false;
    n = cursor.Next();
  }
  return true;
}

void ReduceToRealPart(ExprNode* tree) {
  if (tree == nullptr || !UsesComplexNumbers(tree)) return;
  ExprNode* lowered = CopyExpression(tree);
  if (lowered != nullptr && LowerComplex(lowered) && IsComplexPair(lowered)) {
    if (ExprNode* re = CopyExpression(lowered->children[0])) ReplaceExpression(re, tree);
  }
  FreeExpression(lowered);
}

void PrepareForGpu(ExprNode* tree) {
  if (tree == nullptr) return;
  NormaliseTree(tree);
  RewriteTreeForGpu(tree);
  ReduceToRealPart(tree);
  HalfPowersToRoots(tree);  // real ones too (the lowering takes the complex ones): RSQ, not POW
}

namespace {

const ExprNode* TreeOf(const CompiledFunction* function) { return function != nullptr ? function->tree : nullptr; }

// A working copy freed at the end of its scope: the generator evaluates constant sub-trees, and an
// evaluation that unwinds (a computing abandoned) passes through here.
struct OwnedTree {
  explicit OwnedTree(ExprNode* tree) : node(tree) {}
  OwnedTree(const OwnedTree&) = delete;
  OwnedTree& operator=(const OwnedTree&) = delete;
  ~OwnedTree() { FreeExpression(node); }
  ExprNode* node;
};

std::string BuildFromTrees(const ExprNode* first, const ExprNode* second, const ExprNode* third,
                           const ExprNode* condition, bool hsv, ParameterList* parameters, bool floatOutput) {
  OwnedTree cond(CopyExpression(condition));
  if (first != nullptr && second != nullptr && third != nullptr) {
    OwnedTree c[3] = {OwnedTree(CopyExpression(first)), OwnedTree(CopyExpression(second)),
                      OwnedTree(CopyExpression(third))};
    // Degrees for the hue-to-RGB sequence.
    if (hsv && !floatOutput) c[0].node = BuildNode(KindTimes, {Num(360), c[0].node});
    bool gpu = !NeedsCpuEvaluation(cond.node);
    for (const OwnedTree& tree : c) gpu = gpu && tree.node != nullptr && !NeedsCpuEvaluation(tree.node);
    if (!gpu) return std::string();
    for (OwnedTree& tree : c) PrepareForGpu(tree.node);
    PrepareForGpu(cond.node);
    return hsv ? BuildHsvFragmentProgram(parameters, c[0].node, c[1].node, c[2].node, cond.node, floatOutput)
               : BuildRgbFragmentProgram(parameters, c[0].node, c[1].node, c[2].node, cond.node);
  }
  if (cond.node == nullptr) return std::string();
  PrepareForGpu(cond.node);
  return BuildRgbFragmentProgram(parameters, nullptr, nullptr, nullptr, cond.node);
}

}  // namespace

std::string BuildColorFragmentProgram(const CompiledFunction* first, const CompiledFunction* second,
                                      const CompiledFunction* third, const CompiledFunction* condition, bool hsv,
                                      ParameterList* parameters, bool floatOutput) {
  return BuildFromTrees(TreeOf(first), TreeOf(second), TreeOf(third), TreeOf(condition), hsv, parameters,
                        floatOutput);
}

std::string BuildColorShaderForGraph(const CompiledFunction* condition, ParameterList* parameters, bool textured) {
  if (textured) return BuildFromTrees(nullptr, nullptr, nullptr, TreeOf(condition), false, parameters, false);
  OwnedTree white(NewNumberNode(1.0));
  if (white.node == nullptr) return std::string();
  return BuildFromTrees(white.node, white.node, white.node, TreeOf(condition), false, parameters, false);
}
