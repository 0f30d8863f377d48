// Node kind and symbol tables: every field of both tables against a hand-written reference,
// kind numbers quoted across the system, keyword look-ups with their search limits and the
// shared layout handlers.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "kernel/trees/node_kinds.h"

namespace {

int Look(const char* word) { return static_cast<int>(LookUpNodeKind(word, static_cast<int>(std::strlen(word)))); }
int Sym(const char* word) { return LookUpSymbolName(word, static_cast<int>(std::strlen(word))); }

TEST(NodeKindTable, HasAllRowsAndDescriptorAgrees) {
  EXPECT_EQ(sizeof(NodeKindTable) / sizeof(NodeKindTable[0]), 164u);
  EXPECT_EQ(sizeof(SymbolNameTable) / sizeof(SymbolNameTable[0]), 51u);
  EXPECT_EQ(kNodeKindTableDescriptor.rows, NodeKindTable);
  EXPECT_EQ(kNodeKindTableDescriptor.count, 164);
  for (uint32_t k : {4095u, 4260u, static_cast<uint32_t>(KindDerivativePartial)}) EXPECT_EQ(NodeKindName(k), nullptr);
  for (int id : {4863, 4915}) EXPECT_EQ(SymbolName(id), nullptr);
  EXPECT_EQ(SymbolFontCode(4915), 0);
}

// Kind and symbol numbers other modules quote by number, through the enumerators code uses (a
// shifted row or enumerator breaks one of these).
TEST(NodeKindTable, QuotedNumbersNameTheirKeywords) {
  struct Case { uint32_t kind; uint32_t number; const char* name; };
  const Case cases[] = {
      {KindLessthan, 4122, "lessthan"}, {KindGreaterthan, 4124, "greaterthan"}, {KindMinus, 4154, "minus"},
      {KindSqrt, 4181, "sqrt"},         {KindId, 4213, "id"},                   {KindPower, 4221, "power"},
      {KindInterval, 4225, "interval"}, {KindPrime, 4240, "prime"},             {KindIf, 4244, "if"},
      {KindIntegral, 4246, "integral"}, {KindMod, 4247, "mod"},                 {KindClamp, 4250, "clamp"},
      {KindRe, 4251, "Re"},             {KindSlider, 4253, "slider"},           {KindFxnlike, 4259, "fxnlike"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.kind, c.number) << c.name;
    EXPECT_STREQ(NodeKindName(c.number), c.name) << c.number;
  }
  const Case symbols[] = {{SymPi, 4882, "pi"},   {SymTheta, 4884, "theta"}, {SymRho, 4887, "rho"},
                          {SymInf, 4902, "inf"}, {SymDegree, 4914, "degree"}};
  for (const Case& c : symbols) {
    EXPECT_EQ(c.kind, c.number) << c.name;
    EXPECT_STREQ(SymbolName(static_cast<int>(c.number)), c.name) << c.number;
  }
}

TEST(NodeKindLookUp, SearchesOnlyNameableKindsAndWholeWords) {
  struct Case { const char* word; int kind; };
  const Case cases[] = {
      {"set", 4254}, {"infix", 0}, {"prefix", 0}, {"postfix", 0}, {"extended", 0}, {"fxnlike", 0},
      {"sin", 4155}, {"Leftarrow", 4118}, {"leftarrow", 4115},
      {"si", 0}, {"sinh2", 0}, {"", 0},  // a prefix of a keyword, or one with a tail, is no keyword
      {"Re", 4251},  // both a kind and a symbol: the reader asks the symbol table first
  };
  for (const Case& c : cases) EXPECT_EQ(Look(c.word), c.kind) << c.word;
  EXPECT_EQ(LookUpNodeKind(nullptr, 3), 0u);
  EXPECT_EQ(LookUpNodeKind("sinh", 3), 4155u);  // length bounds the word: "sin"
  EXPECT_EQ(Sym("Re"), 4907);
  EXPECT_EQ(Sym("x"), 0);
}

// ---- Every field of both tables against an independent reference ------------------------------
// The reference is the tables' design notation, written out by hand and not derived from the
// code: one line per run of kinds that share arity class and notation, keywords in kind order,
// each followed by its glyph (tXX = text font character XX, sXX = Symbol font code XX, no mark
// = no glyph). Reading it back checks keyword, arity class, notation and glyph of all 164 rows.

struct KindRun {
  int first, last, arity, notation;
  const char* names;
};

constexpr KindRun kKindRuns[] = {
    {4096, 4100, 0, 6, "num prompt char dummy string"},
    {4101, 4104, 9, 0, "indexes chem tensor matrix"},
    {4105, 4107, 9, 5, "atop list t00 times sD7"},
    {4108, 4108, 2, 1, "function s2A"},
    {4109, 4147, 9, 5,
     "plus t2B equal t3D comma s2C jotdot sE0 otimes sC4 oplus sC5 leftarrow sAC rightarrow sAE "
     "lrarrow sAB Leftarrow sDC Rightarrow sDE LRarrow sDB notequal sB9 lessthan s3C leq sA3 "
     "greaterthan s3E geq sB3 gg tC8 ll tC7 equiv sBA propto sB5 approx sBB cong s40 sim s7E "
     "perp s5E parallel s7C cap sC7 cup sC8 supset sC9 supseteq sCA subset sCC subseteq sCD "
     "notsubset sCB in sCE notin sCF wedge sD9 vee sDA ni s27 cdot sD7"},
    {4148, 4148, 9, 2, "substitution"},
    {4149, 4151, 1, 2, "fact t21 dagger ast"},
    {4152, 4179, 1, 3,
     "pm sB1 mp sB1 minus s2D sin cos tan cot csc sec asin acos atan acot acsc asec sinh cosh "
     "tanh coth csch sech asinh acosh atanh acoth acsch asech sgn"},
    {4180, 4182, 9, 3, "log sqrt grad"},
    {4183, 4200, 1, 3,
     "div sD7 curl sB4 lap box boxdot box2 uequal t3D angle sD0 not sD8 therefore s5C forall s22 "
     "exist s24 diff t64 var s64 partial sB6 change s44 ucomma t2C semicolon t3B"},
    {4201, 4208, 9, 3, "optotal t64 oppartial sB6 sum sE5 prod sD5 int sF2 oint sF2 bigcup sC8 bigcap sC7"},
    {4209, 4209, 1, 3, "lparen"},
    {4210, 4210, 1, 2, "rparen"},
    {4211, 4219, 1, 4, "upbrace downbrace id abs norm dangle bra ket overline"},
    {4220, 4232, 2, 1,
     "over sA4 power t5E sn lim choice interval acmut bket inprod dot sD7 cross sB4 divide sB8 fract sA4"},
    {4233, 4234, 1, 4, "floor ceil"},
    {4235, 4239, 1, 3, "ln exp arg imag real"},
    {4240, 4240, 1, 2, "prime t27"},
    {4241, 4242, 1, 4, "vector hat"},
    {4243, 4244, 2, 1, "besselj t4A if t00"},
    {4245, 4245, 9, 5, "branch"},
    {4246, 4246, 2, 1, "integral sF2"},
    {4247, 4253, 1, 3, "mod min max clamp Re Im slider"},
    {4254, 4254, 1, 4, "set"},
    {4255, 4255, 9, 5, "infix t23"},
    {4256, 4256, 1, 3, "prefix t40"},
    {4257, 4257, 1, 2, "postfix t24"},
    {4258, 4258, 9, 3, "extended t2B"},
    {4259, 4259, 1, 3, "fxnlike"},
};

// Symbol rows: keyword and Symbol font code, ids from 4864 on.
constexpr const char* kSymbolRows =
    "alpha 61 beta 62 chi 63 delta 64 Delta 44 epsilon 65 phi 66 varphi 6A Phi 46 gamma 67 "
    "Gamma 47 eta 68 iota 69 kappa 6B lambda 6C Lambda 4C mu 6D nu 6E pi 70 Pi 50 theta 71 "
    "vartheta 4A Theta 51 rho 72 sigma 73 varsigma 56 Sigma 53 tau 74 upsilon 75 Upsilon A1 "
    "omega 77 varpi 76 Omega 57 xi 78 Xi 58 psi 79 Psi 59 zeta 7A inf A5 bot 5E ldots BC aleph C0 "
    "Im C1 Re C2 wp C3 emptyset C6 cpartial B6 nabla D1 minute A2 second B2 degree B0";

// Kinds that share a layout handler; every kind not listed has a handler of its own.
constexpr const char* kSharedHandlers[] = {
    "list times plus equal comma jotdot otimes oplus leftarrow rightarrow lrarrow Leftarrow "
    "Rightarrow LRarrow notequal lessthan leq greaterthan geq gg ll equiv propto approx cong sim perp "
    "parallel cap cup supset supseteq subset subseteq notsubset in notin wedge vee ni cdot dot cross "
    "divide fract if infix",
    "sin cos tan cot csc sec asin acos atan acot acsc asec sinh cosh tanh coth csch sech asinh acosh "
    "atanh acoth acsch asech sgn ln exp arg imag real mod min max clamp Re Im slider fxnlike",
    "div curl uequal angle not therefore forall exist diff var partial change ucomma semicolon prefix",
    "sum prod int oint bigcup bigcap extended",
    "pm mp minus",
    "fact prime postfix",
    "char dummy",
    "lparen rparen id choice",
    "box boxdot box2",
    "optotal oppartial",
    "interval acmut inprod",
};

std::vector<std::string> Words(const char* text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// A glyph mark: t or s followed by two hexadecimal digits.
bool IsGlyphMark(const std::string& w) {
  return w.size() == 3 && (w[0] == 't' || w[0] == 's') && std::isxdigit(static_cast<unsigned char>(w[1])) &&
         std::isxdigit(static_cast<unsigned char>(w[2])) && !std::islower(static_cast<unsigned char>(w[1]));
}

TEST(NodeKindTable, EveryRowMatchesTheReference) {
  int rows = 0;
  for (const KindRun& run : kKindRuns) {
    const std::vector<std::string> words = Words(run.names);
    int kind = run.first;
    for (size_t i = 0; i < words.size(); ++i, ++kind) {
      const std::string& name = words[i];
      uint16_t glyph = 0;
      if (i + 1 < words.size() && IsGlyphMark(words[i + 1])) {
        const std::string& mark = words[++i];
        glyph = static_cast<uint16_t>(std::stoi(mark.substr(1), nullptr, 16) | (mark[0] == 't' ? 0x100 : 0));
      }
      const NodeKindRow* row = GetNodeKindRow(static_cast<uint32_t>(kind));
      ASSERT_NE(row, nullptr) << kind;
      EXPECT_EQ(row->name, name) << kind;
      EXPECT_EQ(row->arityClass, run.arity) << name;
      EXPECT_EQ(row->notation, run.notation) << name;
      EXPECT_EQ(row->glyph, glyph) << name;
      ++rows;
    }
    EXPECT_EQ(kind, run.last + 1) << "run starting at " << run.first;
  }
  EXPECT_EQ(rows, kNodeKindCount);
}

TEST(SymbolNameTable, EveryRowMatchesTheReference) {
  const std::vector<std::string> words = Words(kSymbolRows);
  ASSERT_EQ(words.size(), 2u * kSymbolNameCount);
  for (int row = 0; row < kSymbolNameCount; ++row) {
    const int id = kFirstSymbolId + row;
    EXPECT_EQ(SymbolName(id), words[2 * row]) << id;
    EXPECT_EQ(SymbolFontCode(id), std::stoi(words[2 * row + 1], nullptr, 16)) << id;
    EXPECT_EQ(Sym(words[2 * row].c_str()), id) << id;
  }
}

TEST(NodeKindTable, HandlersAreSharedExactlyWithinTheirGroups) {
  std::map<std::string, int> group;  // keyword -> shared group, -1 for a handler of its own
  for (size_t g = 0; g < std::size(kSharedHandlers); ++g) {
    for (const std::string& name : Words(kSharedHandlers[g])) {
      ASSERT_EQ(group.count(name), 0u) << name << " in two groups";
      group[name] = static_cast<int>(g);
    }
  }
  for (uint32_t a = kFirstNodeKind; a <= kLastNodeKind; ++a) {
    const auto ga = group.find(NodeKindName(a));
    for (uint32_t b = a + 1; b <= kLastNodeKind; ++b) {
      const auto gb = group.find(NodeKindName(b));
      const bool shareGroup = ga != group.end() && gb != group.end() && ga->second == gb->second;
      EXPECT_EQ(GetNodeKindRow(a)->handler == GetNodeKindRow(b)->handler, shareGroup)
          << NodeKindName(a) << " / " << NodeKindName(b);
    }
  }
  // The named-function question is the second group exactly; kinds without a row are none.
  for (uint32_t k : {0u, 4095u, 4260u, static_cast<uint32_t>(KindDerivativePartial), static_cast<uint32_t>(KindBoundedSum)})
    EXPECT_FALSE(IsNamedFunctionKind(k)) << k;
  for (uint32_t k = kFirstNodeKind; k <= kLastNodeKind; ++k) {
    const auto g = group.find(NodeKindName(k));
    EXPECT_EQ(IsNamedFunctionKind(k), g != group.end() && g->second == 1) << NodeKindName(k);
  }
}

TEST(NodeKindLookUp, TextWithNulBytesNeverMatchesAShorterKeyword) {
  // "in" followed by NUL bytes: the bytes after the keyword must count, not end the comparison.
  const char text[] = {'i', 'n', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(LookUpNodeKind(text, 2), static_cast<uint32_t>(KindIn));
  for (int length = 3; length <= 16; ++length) {
    EXPECT_EQ(LookUpNodeKind(text, length), 0u) << length;
    EXPECT_EQ(LookUpSymbolName(text, length), 0) << length;
  }
  const char pi[] = {'p', 'i', 0, 'x'};
  EXPECT_EQ(LookUpSymbolName(pi, 2), SymPi);
  EXPECT_EQ(LookUpSymbolName(pi, 4), 0);
}

}  // namespace
