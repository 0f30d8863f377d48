// Node kind and symbol tables: the vocabulary of expression trees.
// A kind number is 4096 + row of NodeKindTable; a symbol id is 4864 + row of SymbolNameTable.
// Both tables are constant data; the kernel stores a layout-handler id per kind (never a routine
// address), and the typesetter maps ids to its routines.
#pragma once

#include <cstdint>

// Node kinds with a row in NodeKindTable, plus the internal kinds of the algebra (no row).
// Names are Kind + the keyword with its first letter capitalised; Leftarrow, Rightarrow and
// LRarrow differ from the single arrows only in case, so they are Kind...DoubleArrow.
enum NodeKind : uint32_t {
  KindNum = 4096,
  KindPrompt = 4097,
  KindChar = 4098,
  KindDummy = 4099,
  KindString = 4100,
  KindIndexes = 4101,
  KindChem = 4102,
  KindTensor = 4103,
  KindMatrix = 4104,
  KindAtop = 4105,
  KindList = 4106,
  KindTimes = 4107,
  KindFunction = 4108,
  KindPlus = 4109,
  KindEqual = 4110,
  KindComma = 4111,
  KindJotdot = 4112,
  KindOtimes = 4113,
  KindOplus = 4114,
  KindLeftarrow = 4115,
  KindRightarrow = 4116,
  KindLrarrow = 4117,
  KindLeftDoubleArrow = 4118,
  KindRightDoubleArrow = 4119,
  KindLrDoubleArrow = 4120,
  KindNotequal = 4121,
  KindLessthan = 4122,
  KindLeq = 4123,
  KindGreaterthan = 4124,
  KindGeq = 4125,
  KindGg = 4126,
  KindLl = 4127,
  KindEquiv = 4128,
  KindPropto = 4129,
  KindApprox = 4130,
  KindCong = 4131,
  KindSim = 4132,
  KindPerp = 4133,
  KindParallel = 4134,
  KindCap = 4135,
  KindCup = 4136,
  KindSupset = 4137,
  KindSupseteq = 4138,
  KindSubset = 4139,
  KindSubseteq = 4140,
  KindNotsubset = 4141,
  KindIn = 4142,
  KindNotin = 4143,
  KindWedge = 4144,
  KindVee = 4145,
  KindNi = 4146,
  KindCdot = 4147,
  KindSubstitution = 4148,
  KindFact = 4149,
  KindDagger = 4150,
  KindAst = 4151,
  KindPm = 4152,
  KindMp = 4153,
  KindMinus = 4154,
  KindSin = 4155,
  KindCos = 4156,
  KindTan = 4157,
  KindCot = 4158,
  KindCsc = 4159,
  KindSec = 4160,
  KindAsin = 4161,
  KindAcos = 4162,
  KindAtan = 4163,
  KindAcot = 4164,
  KindAcsc = 4165,
  KindAsec = 4166,
  KindSinh = 4167,
  KindCosh = 4168,
  KindTanh = 4169,
  KindCoth = 4170,
  KindCsch = 4171,
  KindSech = 4172,
  KindAsinh = 4173,
  KindAcosh = 4174,
  KindAtanh = 4175,
  KindAcoth = 4176,
  KindAcsch = 4177,
  KindAsech = 4178,
  KindSgn = 4179,
  KindLog = 4180,
  KindSqrt = 4181,
  KindGrad = 4182,
  KindDiv = 4183,
  KindCurl = 4184,
  KindLap = 4185,
  KindBox = 4186,
  KindBoxdot = 4187,
  KindBox2 = 4188,
  KindUequal = 4189,
  KindAngle = 4190,
  KindNot = 4191,
  KindTherefore = 4192,
  KindForall = 4193,
  KindExist = 4194,
  KindDiff = 4195,
  KindVar = 4196,
  KindPartial = 4197,
  KindChange = 4198,
  KindUcomma = 4199,
  KindSemicolon = 4200,
  KindOptotal = 4201,
  KindOppartial = 4202,
  KindSum = 4203,
  KindProd = 4204,
  KindInt = 4205,
  KindOint = 4206,
  KindBigcup = 4207,
  KindBigcap = 4208,
  KindLparen = 4209,
  KindRparen = 4210,
  KindUpbrace = 4211,
  KindDownbrace = 4212,
  KindId = 4213,
  KindAbs = 4214,
  KindNorm = 4215,
  KindDangle = 4216,
  KindBra = 4217,
  KindKet = 4218,
  KindOverline = 4219,
  KindOver = 4220,
  KindPower = 4221,
  KindSn = 4222,
  KindLim = 4223,
  KindChoice = 4224,
  KindInterval = 4225,
  KindAcmut = 4226,
  KindBket = 4227,
  KindInprod = 4228,
  KindDot = 4229,
  KindCross = 4230,
  KindDivide = 4231,
  KindFract = 4232,
  KindFloor = 4233,
  KindCeil = 4234,
  KindLn = 4235,
  KindExp = 4236,
  KindArg = 4237,
  KindImag = 4238,
  KindReal = 4239,
  KindPrime = 4240,
  KindVector = 4241,
  KindHat = 4242,
  KindBesselj = 4243,
  KindIf = 4244,
  KindBranch = 4245,
  KindIntegral = 4246,
  KindMod = 4247,
  KindMin = 4248,
  KindMax = 4249,
  KindClamp = 4250,
  KindRe = 4251,
  KindIm = 4252,
  KindSlider = 4253,
  KindSet = 4254,
  KindInfix = 4255,
  KindPrefix = 4256,
  KindPostfix = 4257,
  KindExtended = 4258,
  KindFxnlike = 4259,

  // Internal kinds: exist only inside the algebra and the compiler, never in formula text.
  KindDerivativePartial = 8081,  // (expression, variable) built by MakePartialDerivative
  KindDerivativeTotal = 8082,
  KindBoundedSum = 8086,  // sum reordered to (equal(index, start), end, term)
};

inline constexpr uint32_t kFirstNodeKind = KindNum;
inline constexpr uint32_t kLastNodeKind = KindFxnlike;
inline constexpr int kNodeKindCount = 164;
// Formula text can name kinds up to set; infix, prefix, postfix, extended and fxnlike cannot.
inline constexpr uint32_t kLastNamedNodeKind = KindSet;

// Symbol ids a char node may hold besides plain character codes. Names are Sym + the keyword
// capitalised; capital Greek letters are SymCap + the keyword (SymCapDelta for "Delta").
enum SymbolId : int16_t {
  SymAlpha = 4864,
  SymBeta = 4865,
  SymChi = 4866,
  SymDelta = 4867,
  SymCapDelta = 4868,
  SymEpsilon = 4869,
  SymPhi = 4870,
  SymVarphi = 4871,
  SymCapPhi = 4872,
  SymGamma = 4873,
  SymCapGamma = 4874,
  SymEta = 4875,
  SymIota = 4876,
  SymKappa = 4877,
  SymLambda = 4878,
  SymCapLambda = 4879,
  SymMu = 4880,
  SymNu = 4881,
  SymPi = 4882,
  SymCapPi = 4883,
  SymTheta = 4884,
  SymVartheta = 4885,
  SymCapTheta = 4886,
  SymRho = 4887,
  SymSigma = 4888,
  SymVarsigma = 4889,
  SymCapSigma = 4890,
  SymTau = 4891,
  SymUpsilon = 4892,
  SymCapUpsilon = 4893,
  SymOmega = 4894,
  SymVarpi = 4895,
  SymCapOmega = 4896,
  SymXi = 4897,
  SymCapXi = 4898,
  SymPsi = 4899,
  SymCapPsi = 4900,
  SymZeta = 4901,
  SymInf = 4902,
  SymBot = 4903,
  SymLdots = 4904,
  SymAleph = 4905,
  SymIm = 4906,
  SymRe = 4907,
  SymWp = 4908,
  SymEmptyset = 4909,
  SymCpartial = 4910,
  SymNabla = 4911,
  SymMinute = 4912,
  SymSecond = 4913,
  SymDegree = 4914,
};

inline constexpr int16_t kFirstSymbolId = SymAlpha;
inline constexpr int16_t kLastSymbolId = SymDegree;
inline constexpr int kSymbolNameCount = 51;

// Layout handler of a kind: the eleven shared handlers first, then one per kind that has its own.
enum class LayoutHandler : uint8_t {
  InfixOperator,
  NamedFunction,
  PrefixSign,
  BigOperator,
  SignWithOperand,
  PostfixSign,
  Symbol,
  PairedDelimiters,
  BoxSign,
  DerivativeOperator,
  PairInBrackets,
  Num,
  Prompt,
  String,
  Indexes,
  Chem,
  Tensor,
  Matrix,
  Atop,
  Function,
  Substitution,
  Dagger,
  Ast,
  Log,
  Sqrt,
  Grad,
  Lap,
  Upbrace,
  Downbrace,
  Abs,
  Norm,
  Dangle,
  Bra,
  Ket,
  Overline,
  Over,
  Power,
  Sn,
  Lim,
  Bket,
  Floor,
  Ceil,
  Vector,
  Hat,
  Besselj,
  Branch,
  Integral,
  Set,
};

inline constexpr int kLayoutHandlerCount = static_cast<int>(LayoutHandler::Set) + 1;

// Arity class values of NodeKindRow::arityClass.
inline constexpr uint8_t kArityLeaf = 0;
inline constexpr uint8_t kArityOne = 1;
inline constexpr uint8_t kArityTwo = 2;
inline constexpr uint8_t kArityVariable = 9;

// Notation class values of NodeKindRow::notation.
enum Notation : uint8_t {
  NotationIndexed = 0,
  NotationTwoDimensional = 1,
  NotationPostfix = 2,
  NotationPrefix = 3,
  NotationEnclosing = 4,
  NotationInfix = 5,
  NotationAtom = 6,
};

// Glyph word: bit 8 set = text-font character (low byte); clear = Symbol-font code; 0 = none.
inline constexpr uint16_t kGlyphTextFontBit = 0x100;

struct NodeKindRow {
  const char* name;  // keyword used by formula text
  LayoutHandler handler;
  uint8_t arityClass;
  uint8_t notation;
  uint16_t glyph;
};

struct SymbolNameRow {
  const char* name;
  uint8_t symbolCode;  // character in the Symbol font
};

extern const NodeKindRow NodeKindTable[kNodeKindCount];
extern const SymbolNameRow SymbolNameTable[kSymbolNameCount];

// The descriptor through which the typesetter reaches the kind table: address and row count.
struct NodeKindTableDescriptor {
  const NodeKindRow* rows;
  int count;
};
extern const NodeKindTableDescriptor kNodeKindTableDescriptor;

// True for 4096..4259 (kinds that have a table row).
constexpr bool IsTableKind(uint32_t kind) { return kind >= kFirstNodeKind && kind <= kLastNodeKind; }

// The row of a kind, or null for internal kinds and out-of-range numbers.
const NodeKindRow* GetNodeKindRow(uint32_t kind);

// Keyword of a kind, or null when the kind has no row.
const char* NodeKindName(uint32_t kind);

// Kind named by a keyword as formula text reads it: searches kinds 4096..4254, first match wins.
// Returns 0 when no kind has that keyword. The text need not be NUL-terminated.
uint32_t LookUpNodeKind(const char* text, int length);

// Symbol id named by a keyword (ids 4864..4914, first match wins), or 0 when none matches.
// One-letter words are the reader's business (a letter is its own character code).
int16_t LookUpSymbolName(const char* text, int length);

// Keyword of a symbol id, or null when the id is not in the table.
const char* SymbolName(int32_t id);

// Symbol-font character of a symbol id, or 0 when the id is not in the table.
uint8_t SymbolFontCode(int32_t id);

// True when the kind is laid out as a function name followed by its argument (sin, ln, mod, ...).
bool IsNamedFunctionKind(uint32_t kind);
