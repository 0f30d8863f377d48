// Node kind and symbol tables as constant data, with the keyword look-ups that formula text and
// the typesetter use. Rows are indexed by kind - 4096 and by symbol id - 4864; the static checks
// below pin the rows other modules quote by number.
#include "kernel/trees/node_kinds.h"

#include <cstring>

constexpr NodeKindRow NodeKindTable[kNodeKindCount] = {
    {"num", LayoutHandler::Num, 0, 6, 0x000},  // 4096
    {"prompt", LayoutHandler::Prompt, 0, 6, 0x000},  // 4097
    {"char", LayoutHandler::Symbol, 0, 6, 0x000},  // 4098
    {"dummy", LayoutHandler::Symbol, 0, 6, 0x000},  // 4099
    {"string", LayoutHandler::String, 0, 6, 0x000},  // 4100
    {"indexes", LayoutHandler::Indexes, 9, 0, 0x000},  // 4101
    {"chem", LayoutHandler::Chem, 9, 0, 0x000},  // 4102
    {"tensor", LayoutHandler::Tensor, 9, 0, 0x000},  // 4103
    {"matrix", LayoutHandler::Matrix, 9, 0, 0x000},  // 4104
    {"atop", LayoutHandler::Atop, 9, 5, 0x000},  // 4105
    {"list", LayoutHandler::InfixOperator, 9, 5, 0x100},  // 4106
    {"times", LayoutHandler::InfixOperator, 9, 5, 0x0D7},  // 4107
    {"function", LayoutHandler::Function, 2, 1, 0x02A},  // 4108
    {"plus", LayoutHandler::InfixOperator, 9, 5, 0x12B},  // 4109
    {"equal", LayoutHandler::InfixOperator, 9, 5, 0x13D},  // 4110
    {"comma", LayoutHandler::InfixOperator, 9, 5, 0x02C},  // 4111
    {"jotdot", LayoutHandler::InfixOperator, 9, 5, 0x0E0},  // 4112
    {"otimes", LayoutHandler::InfixOperator, 9, 5, 0x0C4},  // 4113
    {"oplus", LayoutHandler::InfixOperator, 9, 5, 0x0C5},  // 4114
    {"leftarrow", LayoutHandler::InfixOperator, 9, 5, 0x0AC},  // 4115
    {"rightarrow", LayoutHandler::InfixOperator, 9, 5, 0x0AE},  // 4116
    {"lrarrow", LayoutHandler::InfixOperator, 9, 5, 0x0AB},  // 4117
    {"Leftarrow", LayoutHandler::InfixOperator, 9, 5, 0x0DC},  // 4118
    {"Rightarrow", LayoutHandler::InfixOperator, 9, 5, 0x0DE},  // 4119
    {"LRarrow", LayoutHandler::InfixOperator, 9, 5, 0x0DB},  // 4120
    {"notequal", LayoutHandler::InfixOperator, 9, 5, 0x0B9},  // 4121
    {"lessthan", LayoutHandler::InfixOperator, 9, 5, 0x03C},  // 4122
    {"leq", LayoutHandler::InfixOperator, 9, 5, 0x0A3},  // 4123
    {"greaterthan", LayoutHandler::InfixOperator, 9, 5, 0x03E},  // 4124
    {"geq", LayoutHandler::InfixOperator, 9, 5, 0x0B3},  // 4125
    {"gg", LayoutHandler::InfixOperator, 9, 5, 0x1C8},  // 4126
    {"ll", LayoutHandler::InfixOperator, 9, 5, 0x1C7},  // 4127
    {"equiv", LayoutHandler::InfixOperator, 9, 5, 0x0BA},  // 4128
    {"propto", LayoutHandler::InfixOperator, 9, 5, 0x0B5},  // 4129
    {"approx", LayoutHandler::InfixOperator, 9, 5, 0x0BB},  // 4130
    {"cong", LayoutHandler::InfixOperator, 9, 5, 0x040},  // 4131
    {"sim", LayoutHandler::InfixOperator, 9, 5, 0x07E},  // 4132
    {"perp", LayoutHandler::InfixOperator, 9, 5, 0x05E},  // 4133
    {"parallel", LayoutHandler::InfixOperator, 9, 5, 0x07C},  // 4134
    {"cap", LayoutHandler::InfixOperator, 9, 5, 0x0C7},  // 4135
    {"cup", LayoutHandler::InfixOperator, 9, 5, 0x0C8},  // 4136
    {"supset", LayoutHandler::InfixOperator, 9, 5, 0x0C9},  // 4137
    {"supseteq", LayoutHandler::InfixOperator, 9, 5, 0x0CA},  // 4138
    {"subset", LayoutHandler::InfixOperator, 9, 5, 0x0CC},  // 4139
    {"subseteq", LayoutHandler::InfixOperator, 9, 5, 0x0CD},  // 4140
    {"notsubset", LayoutHandler::InfixOperator, 9, 5, 0x0CB},  // 4141
    {"in", LayoutHandler::InfixOperator, 9, 5, 0x0CE},  // 4142
    {"notin", LayoutHandler::InfixOperator, 9, 5, 0x0CF},  // 4143
    {"wedge", LayoutHandler::InfixOperator, 9, 5, 0x0D9},  // 4144
    {"vee", LayoutHandler::InfixOperator, 9, 5, 0x0DA},  // 4145
    {"ni", LayoutHandler::InfixOperator, 9, 5, 0x027},  // 4146
    {"cdot", LayoutHandler::InfixOperator, 9, 5, 0x0D7},  // 4147
    {"substitution", LayoutHandler::Substitution, 9, 2, 0x000},  // 4148
    {"fact", LayoutHandler::PostfixSign, 1, 2, 0x121},  // 4149
    {"dagger", LayoutHandler::Dagger, 1, 2, 0x000},  // 4150
    {"ast", LayoutHandler::Ast, 1, 2, 0x000},  // 4151
    {"pm", LayoutHandler::SignWithOperand, 1, 3, 0x0B1},  // 4152
    {"mp", LayoutHandler::SignWithOperand, 1, 3, 0x0B1},  // 4153
    {"minus", LayoutHandler::SignWithOperand, 1, 3, 0x02D},  // 4154
    {"sin", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4155
    {"cos", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4156
    {"tan", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4157
    {"cot", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4158
    {"csc", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4159
    {"sec", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4160
    {"asin", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4161
    {"acos", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4162
    {"atan", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4163
    {"acot", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4164
    {"acsc", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4165
    {"asec", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4166
    {"sinh", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4167
    {"cosh", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4168
    {"tanh", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4169
    {"coth", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4170
    {"csch", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4171
    {"sech", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4172
    {"asinh", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4173
    {"acosh", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4174
    {"atanh", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4175
    {"acoth", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4176
    {"acsch", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4177
    {"asech", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4178
    {"sgn", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4179
    {"log", LayoutHandler::Log, 9, 3, 0x000},  // 4180
    {"sqrt", LayoutHandler::Sqrt, 9, 3, 0x000},  // 4181
    {"grad", LayoutHandler::Grad, 9, 3, 0x000},  // 4182
    {"div", LayoutHandler::PrefixSign, 1, 3, 0x0D7},  // 4183
    {"curl", LayoutHandler::PrefixSign, 1, 3, 0x0B4},  // 4184
    {"lap", LayoutHandler::Lap, 1, 3, 0x000},  // 4185
    {"box", LayoutHandler::BoxSign, 1, 3, 0x000},  // 4186
    {"boxdot", LayoutHandler::BoxSign, 1, 3, 0x000},  // 4187
    {"box2", LayoutHandler::BoxSign, 1, 3, 0x000},  // 4188
    {"uequal", LayoutHandler::PrefixSign, 1, 3, 0x13D},  // 4189
    {"angle", LayoutHandler::PrefixSign, 1, 3, 0x0D0},  // 4190
    {"not", LayoutHandler::PrefixSign, 1, 3, 0x0D8},  // 4191
    {"therefore", LayoutHandler::PrefixSign, 1, 3, 0x05C},  // 4192
    {"forall", LayoutHandler::PrefixSign, 1, 3, 0x022},  // 4193
    {"exist", LayoutHandler::PrefixSign, 1, 3, 0x024},  // 4194
    {"diff", LayoutHandler::PrefixSign, 1, 3, 0x164},  // 4195
    {"var", LayoutHandler::PrefixSign, 1, 3, 0x064},  // 4196
    {"partial", LayoutHandler::PrefixSign, 1, 3, 0x0B6},  // 4197
    {"change", LayoutHandler::PrefixSign, 1, 3, 0x044},  // 4198
    {"ucomma", LayoutHandler::PrefixSign, 1, 3, 0x12C},  // 4199
    {"semicolon", LayoutHandler::PrefixSign, 1, 3, 0x13B},  // 4200
    {"optotal", LayoutHandler::DerivativeOperator, 9, 3, 0x164},  // 4201
    {"oppartial", LayoutHandler::DerivativeOperator, 9, 3, 0x0B6},  // 4202
    {"sum", LayoutHandler::BigOperator, 9, 3, 0x0E5},  // 4203
    {"prod", LayoutHandler::BigOperator, 9, 3, 0x0D5},  // 4204
    {"int", LayoutHandler::BigOperator, 9, 3, 0x0F2},  // 4205
    {"oint", LayoutHandler::BigOperator, 9, 3, 0x0F2},  // 4206
    {"bigcup", LayoutHandler::BigOperator, 9, 3, 0x0C8},  // 4207
    {"bigcap", LayoutHandler::BigOperator, 9, 3, 0x0C7},  // 4208
    {"lparen", LayoutHandler::PairedDelimiters, 1, 3, 0x000},  // 4209
    {"rparen", LayoutHandler::PairedDelimiters, 1, 2, 0x000},  // 4210
    {"upbrace", LayoutHandler::Upbrace, 1, 4, 0x000},  // 4211
    {"downbrace", LayoutHandler::Downbrace, 1, 4, 0x000},  // 4212
    {"id", LayoutHandler::PairedDelimiters, 1, 4, 0x000},  // 4213
    {"abs", LayoutHandler::Abs, 1, 4, 0x000},  // 4214
    {"norm", LayoutHandler::Norm, 1, 4, 0x000},  // 4215
    {"dangle", LayoutHandler::Dangle, 1, 4, 0x000},  // 4216
    {"bra", LayoutHandler::Bra, 1, 4, 0x000},  // 4217
    {"ket", LayoutHandler::Ket, 1, 4, 0x000},  // 4218
    {"overline", LayoutHandler::Overline, 1, 4, 0x000},  // 4219
    {"over", LayoutHandler::Over, 2, 1, 0x0A4},  // 4220
    {"power", LayoutHandler::Power, 2, 1, 0x15E},  // 4221
    {"sn", LayoutHandler::Sn, 2, 1, 0x000},  // 4222
    {"lim", LayoutHandler::Lim, 2, 1, 0x000},  // 4223
    {"choice", LayoutHandler::PairedDelimiters, 2, 1, 0x000},  // 4224
    {"interval", LayoutHandler::PairInBrackets, 2, 1, 0x000},  // 4225
    {"acmut", LayoutHandler::PairInBrackets, 2, 1, 0x000},  // 4226
    {"bket", LayoutHandler::Bket, 2, 1, 0x000},  // 4227
    {"inprod", LayoutHandler::PairInBrackets, 2, 1, 0x000},  // 4228
    {"dot", LayoutHandler::InfixOperator, 2, 1, 0x0D7},  // 4229
    {"cross", LayoutHandler::InfixOperator, 2, 1, 0x0B4},  // 4230
    {"divide", LayoutHandler::InfixOperator, 2, 1, 0x0B8},  // 4231
    {"fract", LayoutHandler::InfixOperator, 2, 1, 0x0A4},  // 4232
    {"floor", LayoutHandler::Floor, 1, 4, 0x000},  // 4233
    {"ceil", LayoutHandler::Ceil, 1, 4, 0x000},  // 4234
    {"ln", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4235
    {"exp", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4236
    {"arg", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4237
    {"imag", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4238
    {"real", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4239
    {"prime", LayoutHandler::PostfixSign, 1, 2, 0x127},  // 4240
    {"vector", LayoutHandler::Vector, 1, 4, 0x000},  // 4241
    {"hat", LayoutHandler::Hat, 1, 4, 0x000},  // 4242
    {"besselj", LayoutHandler::Besselj, 2, 1, 0x14A},  // 4243
    {"if", LayoutHandler::InfixOperator, 2, 1, 0x100},  // 4244
    {"branch", LayoutHandler::Branch, 9, 5, 0x000},  // 4245
    {"integral", LayoutHandler::Integral, 2, 1, 0x0F2},  // 4246
    {"mod", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4247
    {"min", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4248
    {"max", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4249
    {"clamp", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4250
    {"Re", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4251
    {"Im", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4252
    {"slider", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4253
    {"set", LayoutHandler::Set, 1, 4, 0x000},  // 4254
    {"infix", LayoutHandler::InfixOperator, 9, 5, 0x123},  // 4255
    {"prefix", LayoutHandler::PrefixSign, 1, 3, 0x140},  // 4256
    {"postfix", LayoutHandler::PostfixSign, 1, 2, 0x124},  // 4257
    {"extended", LayoutHandler::BigOperator, 9, 3, 0x12B},  // 4258
    {"fxnlike", LayoutHandler::NamedFunction, 1, 3, 0x000},  // 4259
};

constexpr SymbolNameRow SymbolNameTable[kSymbolNameCount] = {
    {"alpha", 0x61},  // 4864
    {"beta", 0x62},  // 4865
    {"chi", 0x63},  // 4866
    {"delta", 0x64},  // 4867
    {"Delta", 0x44},  // 4868
    {"epsilon", 0x65},  // 4869
    {"phi", 0x66},  // 4870
    {"varphi", 0x6A},  // 4871
    {"Phi", 0x46},  // 4872
    {"gamma", 0x67},  // 4873
    {"Gamma", 0x47},  // 4874
    {"eta", 0x68},  // 4875
    {"iota", 0x69},  // 4876
    {"kappa", 0x6B},  // 4877
    {"lambda", 0x6C},  // 4878
    {"Lambda", 0x4C},  // 4879
    {"mu", 0x6D},  // 4880
    {"nu", 0x6E},  // 4881
    {"pi", 0x70},  // 4882
    {"Pi", 0x50},  // 4883
    {"theta", 0x71},  // 4884
    {"vartheta", 0x4A},  // 4885
    {"Theta", 0x51},  // 4886
    {"rho", 0x72},  // 4887
    {"sigma", 0x73},  // 4888
    {"varsigma", 0x56},  // 4889
    {"Sigma", 0x53},  // 4890
    {"tau", 0x74},  // 4891
    {"upsilon", 0x75},  // 4892
    {"Upsilon", 0xA1},  // 4893
    {"omega", 0x77},  // 4894
    {"varpi", 0x76},  // 4895
    {"Omega", 0x57},  // 4896
    {"xi", 0x78},  // 4897
    {"Xi", 0x58},  // 4898
    {"psi", 0x79},  // 4899
    {"Psi", 0x59},  // 4900
    {"zeta", 0x7A},  // 4901
    {"inf", 0xA5},  // 4902
    {"bot", 0x5E},  // 4903
    {"ldots", 0xBC},  // 4904
    {"aleph", 0xC0},  // 4905
    {"Im", 0xC1},  // 4906
    {"Re", 0xC2},  // 4907
    {"wp", 0xC3},  // 4908
    {"emptyset", 0xC6},  // 4909
    {"cpartial", 0xB6},  // 4910
    {"nabla", 0xD1},  // 4911
    {"minute", 0xA2},  // 4912
    {"second", 0xB2},  // 4913
    {"degree", 0xB0},  // 4914
};

const NodeKindTableDescriptor kNodeKindTableDescriptor = {NodeKindTable, kNodeKindCount};

namespace {

constexpr bool SameText(const char* a, const char* b) {
  while (*a != 0 && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

constexpr bool KindNamed(uint32_t kind, const char* name) {
  return SameText(NodeKindTable[kind - kFirstNodeKind].name, name);
}

constexpr bool SymbolNamed(int id, const char* name) {
  return SameText(SymbolNameTable[id - kFirstSymbolId].name, name);
}

// A shifted row would silently renumber every kind after it; pin the ones quoted elsewhere.
static_assert(KindNamed(KindNum, "num") && KindNamed(KindString, "string"));
static_assert(KindNamed(KindTimes, "times") && KindNamed(KindFunction, "function"));
static_assert(KindNamed(KindLessthan, "lessthan") && KindNamed(KindGreaterthan, "greaterthan"));
static_assert(KindNamed(KindMinus, "minus") && KindNamed(KindSqrt, "sqrt"));
static_assert(KindNamed(KindId, "id") && KindNamed(KindPower, "power"));
static_assert(KindNamed(KindInterval, "interval") && KindNamed(KindPrime, "prime"));
static_assert(KindNamed(KindIf, "if") && KindNamed(KindIntegral, "integral"));
static_assert(KindNamed(KindMod, "mod") && KindNamed(KindClamp, "clamp"));
static_assert(KindNamed(KindSet, "set") && KindNamed(KindFxnlike, "fxnlike"));
static_assert(KindLessthan == 4122 && KindMinus == 4154 && KindId == 4213 && KindPower == 4221);
static_assert(KindInterval == 4225 && KindIf == 4244 && KindSet == 4254 && KindFxnlike == 4259);
static_assert(SymbolNamed(SymPi, "pi") && SymPi == 4882);
static_assert(SymbolNamed(SymInf, "inf") && SymInf == 4902);
static_assert(SymbolNamed(SymDegree, "degree") && SymDegree == 4914);
static_assert(SymbolNamed(SymTheta, "theta") && SymbolNamed(SymRho, "rho"));
static_assert(SymbolNamed(SymPhi, "phi") && SymbolNamed(SymIm, "Im") && SymbolNamed(SymRe, "Re"));

// The keyword is exactly the `length` bytes of text. Lengths are compared first, so a text
// holding a NUL never makes the comparison read past the keyword.
bool WordIs(const char* name, const char* text, int length) {
  return std::strlen(name) == static_cast<size_t>(length) && std::memcmp(name, text, static_cast<size_t>(length)) == 0;
}

}  // namespace

const NodeKindRow* GetNodeKindRow(uint32_t kind) {
  return IsTableKind(kind) ? &NodeKindTable[kind - kFirstNodeKind] : nullptr;
}

const char* NodeKindName(uint32_t kind) {
  const NodeKindRow* row = GetNodeKindRow(kind);
  return row != nullptr ? row->name : nullptr;
}

uint32_t LookUpNodeKind(const char* text, int length) {
  if (text == nullptr || length <= 0) return 0;
  for (uint32_t kind = kFirstNodeKind; kind <= kLastNamedNodeKind; ++kind) {
    if (WordIs(NodeKindTable[kind - kFirstNodeKind].name, text, length)) return kind;
  }
  return 0;
}

int16_t LookUpSymbolName(const char* text, int length) {
  if (text == nullptr || length <= 0) return 0;
  for (int row = 0; row < kSymbolNameCount; ++row) {
    if (WordIs(SymbolNameTable[row].name, text, length)) return static_cast<int16_t>(kFirstSymbolId + row);
  }
  return 0;
}

const char* SymbolName(int32_t id) {
  if (id < kFirstSymbolId || id > kLastSymbolId) return nullptr;
  return SymbolNameTable[id - kFirstSymbolId].name;
}

uint8_t SymbolFontCode(int32_t id) {
  if (id < kFirstSymbolId || id > kLastSymbolId) return 0;
  return SymbolNameTable[id - kFirstSymbolId].symbolCode;
}

bool IsNamedFunctionKind(uint32_t kind) {
  const NodeKindRow* row = GetNodeKindRow(kind);
  return row != nullptr && row->handler == LayoutHandler::NamedFunction;
}
