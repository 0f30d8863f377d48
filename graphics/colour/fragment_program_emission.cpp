// The generator's front half: expression trees to scalar instructions, the fixed sequences
// (arctangent, arcsine, the angle of a point, powers, hue to RGB, domain guards, conditions), and
// the RGB and HSV programs. Value reads follow single-assignment renaming: a sequence that writes
// t again means the new t from then on, so a sequence whose input must survive its own writes
// takes the input as a separate value.
// Angles: the angle of a point is the principal one, in (-pi, pi], as the complex argument the
// lowered logarithms need; theta adds 2 pi where y < 0, into [0, 2 pi) as the CPU's theta slot.
// Powers give what the CPU gives: 0 ^ y is 0 for y > 0 (1 otherwise), and an exponent written
// p/q with an odd q takes the real root of a negative base.
#include <cmath>
#include <new>
#include <vector>

#include "graphics/colour/fragment_program_builder.h"
#include "kernel/eval/bytecode_compiler.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

constexpr double kLn2 = 0.6931471805599453;
constexpr double kLog10Of2 = 0.3010299956639812;
// Deeper trees take the CPU path instead of a deep recursion.
constexpr int kMaxEmitDepth = 200;

[[noreturn]] void Fail() { throw GenerationFailure{}; }

void NeedArity(const ExprNode* node, int arity) {
  if (node->arity != arity) Fail();
}

void NeedAtLeast(const ExprNode* node, int arity) {
  if (node->arity < arity) Fail();
}

// The sign rule of an exponent written p/q (or -(p/q)) of two numbers, the CPU's own
// (RealRootSign): 1 or -1 where a negative base has a real root, 0 for any other exponent.
int OddRootSign(const ExprNode* exponent) {
  if (exponent->kind == KindMinus && exponent->arity == 1) exponent = exponent->children[0];
  if (exponent->kind != KindOver || exponent->arity != 2) return 0;
  const ExprNode *p = exponent->children[0], *q = exponent->children[1];
  if (p->kind != KindNum || q->kind != KindNum || p->value.number == nullptr || q->value.number == nullptr) return 0;
  return RealRootSign(q->value.number->value, p->value.number->value);
}

// Gives the list back the length it had before a failed program.
void TruncateParameterList(ParameterList* list, int32_t count) {
  if (list == nullptr) return;
  while (list->count > count) FreeExpression(list->data[--list->count]);
}

}  // namespace

void FragmentProgramBuilder::Guard(int32_t x) { Emit(ProgramOp::kKil, {x}); }

int32_t FragmentProgramBuilder::Reduce(ProgramOp opcode, const int32_t* operands, int n) {
  if (n == 1) return operands[0];
  const int half = n / 2;
  const int32_t left = Reduce(opcode, operands, half);
  const int32_t right = Reduce(opcode, operands + half, n - half);
  const int32_t t = NewTemporary();
  Emit(opcode, {t, left, right});
  return t;
}

// A rational approximation of the arctangent on [0, 1], written over x.
void FragmentProgramBuilder::ArctangentCore(int32_t x) {
  const int32_t p = NewTemporary(), q = NewTemporary();
  Emit(ProgramOp::kMad, {p, x, ConstantValue(0.5746870030895631), ConstantValue(0.9964111111950724)});
  Emit(ProgramOp::kMad, {p, x, p, ConstantValue(5.351201082130836e-05)});
  Emit(ProgramOp::kMad, {q, x, ConstantValue(0.46258030290827623), ConstantValue(0.5380131943358998)});
  Emit(ProgramOp::kMad, {q, q, x, ConstantValue(1)});
  Emit(ProgramOp::kRcp, {q, q});
  Emit(ProgramOp::kMul, {x, p, q});
}

// |x| <= 1 directly, else pi/2 - arctan(1/|x|); the sign of x restored.
int32_t FragmentProgramBuilder::Arctangent(int32_t x) {
  const int32_t t = NewTemporary(), r = NewTemporary(), u = NewTemporary();
  Emit(ProgramOp::kAbs, {t, x});
  Emit(ProgramOp::kRcp, {r, t});
  Emit(ProgramOp::kAdd, {u, t, ConstantValue(-1)});
  ArctangentCore(t);
  ArctangentCore(r);
  Emit(ProgramOp::kAdd, {r, ConstantValue(kHalfPi), -r});
  Emit(ProgramOp::kCmp, {t, u, t, r});
  Emit(ProgramOp::kCmp, {t, x, -t, t});
  return t;
}

// The Abramowitz and Stegun 4.4.45 arccosine of |x| turned into the arcsine, sign restored;
// |x| > 1 is discarded.
int32_t FragmentProgramBuilder::Arcsine(int32_t x) {
  const int32_t a = NewTemporary(), s = NewTemporary(), p = NewTemporary();
  Emit(ProgramOp::kAbs, {a, x});
  Emit(ProgramOp::kAdd, {s, ConstantValue(1), -a});
  Guard(s);
  Emit(ProgramOp::kMad, {p, a, ConstantValue(-0.018729299), ConstantValue(0.074261002)});
  Emit(ProgramOp::kMad, {p, p, a, ConstantValue(-0.21211439)});
  Emit(ProgramOp::kRsq, {s, s});
  Emit(ProgramOp::kMad, {a, p, a, ConstantValue(1.5707288)});
  Emit(ProgramOp::kRcp, {s, s});
  Emit(ProgramOp::kMad, {s, -s, a, ConstantValue(1.5707964)});
  Emit(ProgramOp::kSlt, {a, x, ConstantValue(0)});
  Emit(ProgramOp::kMul, {a, a, s});
  Emit(ProgramOp::kMad, {a, -a, ConstantValue(2), s});
  return a;
}

// The principal angle of the point (x, y), in (-pi, pi].
int32_t FragmentProgramBuilder::Angle(int32_t x, int32_t y) {
  const int32_t a = NewTemporary(), b = NewTemporary(), c = NewTemporary(), d = NewTemporary();
  Emit(ProgramOp::kAbs, {a, x});
  Emit(ProgramOp::kAbs, {b, y});
  Emit(ProgramOp::kRcp, {c, a});
  Emit(ProgramOp::kMul, {c, b, c});
  const int32_t t = Arctangent(c);
  Emit(ProgramOp::kAdd, {d, ConstantValue(kPi), -t});
  Emit(ProgramOp::kCmp, {t, x, d, t});
  Emit(ProgramOp::kCmp, {t, y, -t, t});
  return t;
}

namespace {

// A derived coordinate, made on first use.
template <typename Make>
int32_t Cached(int32_t& cache, Make make) {
  if (cache == 0) cache = make();
  return cache;
}

}  // namespace

int32_t FragmentProgramBuilder::RadiusSquared() {
  return Cached(radiusSquaredValue_, [this] {
    const int32_t r = NewTemporary();
    Emit(ProgramOp::kMul, {r, texcoordX, texcoordX});
    Emit(ProgramOp::kMad, {r, texcoordY, texcoordY, r});
    return r;
  });
}

int32_t FragmentProgramBuilder::RhoSquared() {
  return Cached(rhoSquaredValue_, [this] {
    const int32_t r = RadiusSquared(), s = NewTemporary();
    Emit(ProgramOp::kMad, {s, texcoordZ, texcoordZ, r});
    return s;
  });
}

int32_t FragmentProgramBuilder::InvRho() {
  return Cached(invRhoValue_, [this] {
    const int32_t s = RhoSquared(), i = NewTemporary();
    Emit(ProgramOp::kRsq, {i, s});
    return i;
  });
}

int32_t FragmentProgramBuilder::Rho() {
  return Cached(rhoValue_, [this] {
    const int32_t i = InvRho(), rho = NewTemporary();
    Emit(ProgramOp::kRcp, {rho, i});
    return rho;
  });
}

// The angle of (x, y) moved into [0, 2 pi) where y < 0.
int32_t FragmentProgramBuilder::Theta() {
  return Cached(thetaValue_, [this] {
    const int32_t t = Angle(texcoordX, texcoordY), c = NewTemporary();
    Emit(ProgramOp::kCmp, {c, texcoordY, ConstantValue(kTwoPi), ConstantValue(0)});
    Emit(ProgramOp::kAdd, {t, t, c});
    return t;
  });
}

int32_t FragmentProgramBuilder::Phi() {
  return Cached(phiValue_, [this] {
    const int32_t r = RadiusSquared(), u = NewTemporary();
    Emit(ProgramOp::kRsq, {u, r});
    Emit(ProgramOp::kRcp, {u, u});
    return Angle(texcoordZ, u);
  });
}

int32_t FragmentProgramBuilder::EmitSymbol(int32_t symbol) {
  switch (symbol) {
    case 'x': return texcoordX;
    case 'y': return texcoordY;
    case 'z': return texcoordZ;
    case SymRho: return Rho();
    case SymPhi: return Phi();
    case SymTheta: return Theta();
    case 'e': return ConstantValue(kE);
    case SymPi: return ConstantValue(kPi);
    default: Fail();  // r, t, u, v, w and the primed coordinates have no place in a fragment
  }
}

int32_t FragmentProgramBuilder::EmitPower(int32_t base, int32_t exponent, int oddRootSign) {
  const bool constant = Value(exponent).kind == ProgramValueKind::kConstant;
  const double c = constant ? (exponent < 0 ? -Value(exponent).value : Value(exponent).value) : 0;
  if (constant) {
    // Whole within 1e-7 on either side: -1.99999999 is -2, not -1.
    const double n = std::round(std::fabs(c));
    if (std::fabs(c - std::round(c)) < 1e-7 && n <= 6) {
      if (n == 0) return ConstantValue(1);
      const int32_t t = NewTemporary();
      if (n == 1) {
        if (c > -0.5) return base;
        Emit(ProgramOp::kRcp, {t, base});
        return t;
      }
      Emit(ProgramOp::kMul, {t, base, base});
      if (n == 3 || n == 6) Emit(ProgramOp::kMul, {t, t, base});
      if (n >= 4) Emit(ProgramOp::kMul, {t, t, t});
      if (n == 5) Emit(ProgramOp::kMul, {t, t, base});
      if (c < -0.5) Emit(ProgramOp::kRcp, {t, t});
      return t;
    }
  }
  // |base| ^ exponent with a zero base kept out of POW (0 * log 0 would be NaN at exponent 0).
  const int32_t m = NewTemporary(), safe = NewTemporary(), t = NewTemporary();
  Emit(ProgramOp::kAbs, {m, base});
  Emit(ProgramOp::kCmp, {safe, -m, m, ConstantValue(1)});
  Emit(ProgramOp::kPow, {t, safe, exponent});
  // A zero base gives 0 ^ exponent: 0 for a positive exponent, else 1.
  int32_t zero;
  if (constant) {
    zero = ConstantValue(c > 0 ? 0 : 1);
  } else {
    const int32_t positive = NewTemporary();
    zero = NewTemporary();
    Emit(ProgramOp::kSlt, {positive, ConstantValue(0), exponent});
    Emit(ProgramOp::kAdd, {zero, ConstantValue(1), -positive});
  }
  Emit(ProgramOp::kCmp, {t, -m, t, zero});
  if (oddRootSign != 0) {
    // The real root of a negative base, negative for an odd numerator.
    if (oddRootSign < 0) {
      const int32_t sign = NewTemporary();
      Emit(ProgramOp::kCmp, {sign, base, ConstantValue(-1), ConstantValue(1)});
      Emit(ProgramOp::kMul, {t, t, sign});
    }
    return t;
  }
  // A negative base with an odd whole exponent gives a negative result.
  const int32_t k = NewTemporary();
  Emit(ProgramOp::kAdd, {k, exponent, ConstantValue(0.5)});
  Emit(ProgramOp::kMul, {k, k, ConstantValue(0.5)});
  Emit(ProgramOp::kFrc, {k, k});
  Emit(ProgramOp::kMad, {k, k, ConstantValue(2), ConstantValue(-1)});
  Emit(ProgramOp::kCmp, {k, k, ConstantValue(1), ConstantValue(-1)});
  Emit(ProgramOp::kCmp, {k, base, k, ConstantValue(1)});
  Emit(ProgramOp::kMul, {t, t, k});
  // A negative base with a fractional exponent has no real value: discarded.
  const int32_t s = NewTemporary(), f = NewTemporary();
  Emit(ProgramOp::kSlt, {s, base, ConstantValue(0)});
  Emit(ProgramOp::kFrc, {f, exponent});
  Emit(ProgramOp::kMul, {f, -f, s});
  Guard(f);
  return t;
}

int32_t FragmentProgramBuilder::EmitExpression(const ExprNode* tree) { return EmitNode(tree, 0); }

int32_t FragmentProgramBuilder::EmitNode(const ExprNode* tree, int depth) {
  if (tree == nullptr || depth > kMaxEmitDepth) Fail();
  if (AllNodesAllowed(tree)) return ConstantValue(NodeToNumber(tree));
  if (AllNodesAllowedUnder(tree)) return ProgramParameterValue(tree);
  std::vector<int32_t> a(tree->arity);
  for (int i = 0; i < tree->arity; ++i) a[size_t(i)] = EmitNode(tree->children[i], depth + 1);
  const int n = tree->arity;
  const int32_t t = NewTemporary();
  switch (tree->kind) {
    case KindPlus: NeedAtLeast(tree, 1); return Reduce(ProgramOp::kAdd, a.data(), n);
    case KindTimes: NeedAtLeast(tree, 1); return Reduce(ProgramOp::kMul, a.data(), n);
    case KindMin: NeedAtLeast(tree, 1); return Reduce(ProgramOp::kMin, a.data(), n);
    case KindMax: NeedAtLeast(tree, 1); return Reduce(ProgramOp::kMax, a.data(), n);
    case KindMinus: NeedArity(tree, 1); return -a[0];
    case KindOver:
      NeedArity(tree, 2);
      Emit(ProgramOp::kRcp, {t, a[1]});
      Emit(ProgramOp::kMul, {t, a[0], t});
      return t;
    case KindMod:
      NeedArity(tree, 2);
      Emit(ProgramOp::kRcp, {t, a[1]});
      Emit(ProgramOp::kMul, {t, t, a[0]});
      Emit(ProgramOp::kFrc, {t, t});
      Emit(ProgramOp::kMul, {t, t, a[1]});
      return t;
    case KindSin: NeedArity(tree, 1); Emit(ProgramOp::kSin, {t, a[0]}); return t;
    case KindCos: NeedArity(tree, 1); Emit(ProgramOp::kCos, {t, a[0]}); return t;
    case KindAbs: NeedArity(tree, 1); Emit(ProgramOp::kAbs, {t, a[0]}); return t;
    case KindFloor: NeedArity(tree, 1); Emit(ProgramOp::kFlr, {t, a[0]}); return t;
    case KindExp: NeedArity(tree, 1); Emit(ProgramOp::kPow, {t, ConstantValue(kE), a[0]}); return t;
    case KindLn:
    case KindLog:
      NeedArity(tree, 1);
      Emit(ProgramOp::kLg2, {t, a[0]});
      Emit(ProgramOp::kMul, {t, t, ConstantValue(tree->kind == KindLn ? kLn2 : kLog10Of2)});
      Guard(a[0]);
      return t;
    case KindSqrt:
      NeedArity(tree, 1);
      Emit(ProgramOp::kRsq, {t, a[0]});
      Emit(ProgramOp::kRcp, {t, t});
      Guard(a[0]);
      return t;
    case KindSgn: {
      NeedArity(tree, 1);
      const int32_t negative = NewTemporary(), positive = NewTemporary();
      Emit(ProgramOp::kSlt, {negative, a[0], ConstantValue(0)});
      Emit(ProgramOp::kSlt, {positive, ConstantValue(0), a[0]});
      Emit(ProgramOp::kAdd, {t, positive, -negative});
      return t;
    }
    case KindLessthan:
    case KindGreaterthan:
      NeedAtLeast(tree, 2);
      for (int i = 0; i + 1 < n; ++i) {
        const int32_t c = i == 0 ? t : NewTemporary();
        const bool less = tree->kind == KindLessthan;
        Emit(ProgramOp::kSlt, {c, less ? a[size_t(i)] : a[size_t(i) + 1], less ? a[size_t(i) + 1] : a[size_t(i)]});
        if (i > 0) Emit(ProgramOp::kMul, {t, t, c});
      }
      return t;
    case KindWedge:
    case KindComma:
      NeedAtLeast(tree, 2);
      Emit(ProgramOp::kMul, {t, a[0], a[1]});
      for (int i = 2; i < n; ++i) Emit(ProgramOp::kMul, {t, t, a[size_t(i)]});
      return t;
    case KindAsin: NeedArity(tree, 1); return Arcsine(a[0]);
    case KindAtan: NeedArity(tree, 1); return Arctangent(a[0]);
    case KindAcot: {
      // arctan(1/x), plus pi for x < 0: (0, pi) as on the CPU.
      NeedArity(tree, 1);
      Emit(ProgramOp::kRcp, {t, a[0]});
      const int32_t angle = Arctangent(t);
      const int32_t c = NewTemporary(), sum = NewTemporary();
      Emit(ProgramOp::kCmp, {c, a[0], ConstantValue(kPi), ConstantValue(0)});
      Emit(ProgramOp::kAdd, {sum, angle, c});
      return sum;
    }
    case KindAngleOfPoint: NeedArity(tree, 2); return Angle(a[0], a[1]);
    case KindPower: NeedArity(tree, 2); return EmitPower(a[0], a[1], OddRootSign(tree->children[1]));
    case KindChar: return EmitSymbol(tree->value.symbol);
    default: Fail();  // user functions, tan, acos and every other kind the GPU has no sequence for
  }
}

void FragmentProgramBuilder::EmitCondition(const ExprNode* condition) {
  if (condition == nullptr || AllNodesAllowed(condition)) return;  // a constant condition draws everything
  const int32_t c = EmitExpression(condition);
  const int32_t failed = NewTemporary();
  Emit(ProgramOp::kSlt, {failed, c, ConstantValue(0.5)});
  Emit(ProgramOp::kKil, {-failed});
}

namespace {

constexpr const char* kResult[3] = {"result.color.x", "result.color.y", "result.color.z"};
constexpr const char* kPrimary[3] = {"fragment.color.primary.x", "fragment.color.primary.y",
                                     "fragment.color.primary.z"};

// Hue in degrees, saturation and value to red, green and blue by the six sectors: all five
// sector tests first, then the updates of sectors 0 to 4; sector 5 keeps the start (v, p, q).
void HueToRgb(FragmentProgramBuilder& b, int32_t h, int32_t s, int32_t v, const int32_t rgb[3]) {
  const int32_t x = b.NewTemporary(), i = b.NewTemporary(), f = b.NewTemporary(), p = b.NewTemporary(),
                q = b.NewTemporary(), t = b.NewTemporary(), m = b.NewTemporary(), n = b.NewTemporary();
  b.Emit(ProgramOp::kMul, {x, h, b.ConstantValue(0.002777777777777778)});
  b.Emit(ProgramOp::kFrc, {x, x});
  b.Emit(ProgramOp::kMul, {x, x, b.ConstantValue(6)});
  b.Emit(ProgramOp::kFlr, {i, x});
  b.Emit(ProgramOp::kAdd, {f, x, -i});
  b.Emit(ProgramOp::kMad, {p, -v, s, v});
  b.Emit(ProgramOp::kMad, {m, -s, f, b.ConstantValue(1)});
  b.Emit(ProgramOp::kMul, {q, v, m});
  b.Emit(ProgramOp::kAdd, {n, b.ConstantValue(1), -f});
  b.Emit(ProgramOp::kMad, {n, -s, n, b.ConstantValue(1)});
  b.Emit(ProgramOp::kMul, {t, v, n});
  b.Emit(ProgramOp::kMov, {rgb[0], v});
  b.Emit(ProgramOp::kMov, {rgb[1], p});
  b.Emit(ProgramOp::kMov, {rgb[2], q});
  int32_t sector[5];
  for (int k = 0; k < 5; ++k) {
    const int32_t d = b.NewTemporary();
    sector[k] = b.NewTemporary();
    b.Emit(ProgramOp::kAdd, {d, i, -b.ConstantValue(k)});  // negative exactly when i is k, after the next two
    b.Emit(ProgramOp::kAbs, {d, d});
    b.Emit(ProgramOp::kAdd, {sector[k], d, b.ConstantValue(-0.0001)});
  }
  const int32_t updates[5][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}};
  for (int k = 0; k < 5; ++k) {
    for (int c = 0; c < 3; ++c) b.Emit(ProgramOp::kCmp, {rgb[c], sector[k], updates[k][c], rgb[c]});
  }
}

// Saturating moves of the three channels into new temporaries, then the lit colour multiplied in.
void WriteLitColour(FragmentProgramBuilder& b, const int32_t channel[3]) {
  int32_t saturated[3];
  for (int c = 0; c < 3; ++c) {
    saturated[c] = b.NewTemporary();
    b.Emit(ProgramOp::kMovSat, {saturated[c], channel[c]});
  }
  for (int c = 0; c < 3; ++c) b.Emit(ProgramOp::kMul, {b.NamedValue(kResult[c]), b.NamedValue(kPrimary[c]), saturated[c]});
}

}  // namespace

std::string BuildRgbFragmentProgram(ParameterList* parameters, const ExprNode* red, const ExprNode* green,
                                    const ExprNode* blue, const ExprNode* condition) {
  const int32_t before = parameters != nullptr ? parameters->count : 0;
  try {
    FragmentProgramBuilder b(parameters);
    b.EmitCondition(condition);
    if (red == nullptr || green == nullptr || blue == nullptr) {
      b.usesTexture = 1;
      const int32_t texel[3] = {b.NamedValue("TX.x"), b.NamedValue("TX.y"), b.NamedValue("TX.z")};
      for (int c = 0; c < 3; ++c) b.Emit(ProgramOp::kMul, {b.NamedValue(kResult[c]), b.NamedValue(kPrimary[c]), texel[c]});
    } else {
      const int32_t channel[3] = {b.EmitExpression(red), b.EmitExpression(green), b.EmitExpression(blue)};
      WriteLitColour(b, channel);
    }
    return b.EmitFragmentProgram();
  } catch (const GenerationFailure&) {
  } catch (const std::bad_alloc&) {
  }
  TruncateParameterList(parameters, before);
  return std::string();
}

std::string BuildHsvFragmentProgram(ParameterList* parameters, const ExprNode* hue, const ExprNode* saturation,
                                    const ExprNode* value, const ExprNode* condition, bool floatOutput) {
  const int32_t before = parameters != nullptr ? parameters->count : 0;
  try {
    FragmentProgramBuilder b(parameters);
    b.EmitCondition(condition);
    const int32_t h = b.EmitExpression(hue), s = b.EmitExpression(saturation), v = b.EmitExpression(value);
    if (!floatOutput) {
      // Saturation and value clamped into [0, 1] before the conversion, as the CPU and the overlay
      // take them: beyond it the sectors' formulas leave the colour (v = 2, s = 0.25 is not white).
      const int32_t rgb[3] = {b.NewTemporary(), b.NewTemporary(), b.NewTemporary()};
      const int32_t clampedS = b.NewTemporary(), clampedV = b.NewTemporary();
      b.Emit(ProgramOp::kMovSat, {clampedS, s});
      b.Emit(ProgramOp::kMovSat, {clampedV, v});
      HueToRgb(b, h, clampedS, clampedV, rgb);
      WriteLitColour(b, rgb);
    } else {
      const int32_t w = b.NewTemporary();
      b.Emit(ProgramOp::kMovSat, {w, v});
      b.Emit(ProgramOp::kFrc, {b.NamedValue("result.color.x"), h});
      b.Emit(ProgramOp::kMov, {b.NamedValue("result.color.y"), s});
      b.Emit(ProgramOp::kMul, {b.NamedValue("result.color.z"), w, b.NamedValue(kPrimary[2])});
      b.Emit(ProgramOp::kMov, {b.NamedValue("result.color.w"), b.ConstantValue(1)});
    }
    return b.EmitFragmentProgram();
  } catch (const GenerationFailure&) {
  } catch (const std::bad_alloc&) {
  }
  TruncateParameterList(parameters, before);
  return std::string();
}
