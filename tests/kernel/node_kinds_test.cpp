// Node kind and symbol tables: row counts, kind numbers quoted across the system, keyword
// look-ups with their search limits, the named-function handler group and glyph encoding.
#include <gtest/gtest.h>

#include <cstring>

#include "kernel/node_kinds.h"

namespace {

int Look(const char* word) { return static_cast<int>(LookUpNodeKind(word, static_cast<int>(std::strlen(word)))); }
int Sym(const char* word) { return LookUpSymbolName(word, static_cast<int>(std::strlen(word))); }

TEST(NodeKindTable, HasAllRowsAndDescriptorAgrees) {
  EXPECT_EQ(sizeof(NodeKindTable) / sizeof(NodeKindTable[0]), 164u);
  EXPECT_EQ(sizeof(SymbolNameTable) / sizeof(SymbolNameTable[0]), 51u);
  EXPECT_EQ(kNodeKindTableDescriptor.rows, NodeKindTable);
  EXPECT_EQ(kNodeKindTableDescriptor.count, 164);
  EXPECT_STREQ(NodeKindName(4096), "num");
  EXPECT_STREQ(NodeKindName(4259), "fxnlike");
  EXPECT_EQ(NodeKindName(4095), nullptr);
  EXPECT_EQ(NodeKindName(4260), nullptr);
  EXPECT_EQ(NodeKindName(KindDerivativePartial), nullptr);
  for (const NodeKindRow& row : NodeKindTable) {
    ASSERT_NE(row.name, nullptr);
    EXPECT_TRUE(row.arityClass == 0 || row.arityClass == 1 || row.arityClass == 2 || row.arityClass == 9) << row.name;
    EXPECT_LE(row.notation, 6) << row.name;
  }
}

// Kind numbers other modules quote by number (a shifted row breaks one of these).
TEST(NodeKindTable, QuotedKindNumbersNameTheirKeywords) {
  struct Case { int kind; const char* name; int arity; int notation; };
  const Case cases[] = {
      {4096, "num", 0, 6},        {4098, "char", 0, 6},       {4100, "string", 0, 6},
      {4104, "matrix", 9, 0},     {4107, "times", 9, 5},      {4108, "function", 2, 1},
      {4109, "plus", 9, 5},       {4110, "equal", 9, 5},      {4111, "comma", 9, 5},
      {4122, "lessthan", 9, 5},   {4125, "geq", 9, 5},        {4147, "cdot", 9, 5},
      {4148, "substitution", 9, 2}, {4149, "fact", 1, 2},     {4154, "minus", 1, 3},
      {4179, "sgn", 1, 3},        {4181, "sqrt", 9, 3},       {4190, "angle", 1, 3},
      {4202, "oppartial", 9, 3},  {4203, "sum", 9, 3},        {4213, "id", 1, 4},
      {4220, "over", 2, 1},       {4221, "power", 2, 1},      {4222, "sn", 2, 1},
      {4225, "interval", 2, 1},   {4238, "imag", 1, 3},       {4239, "real", 1, 3},
      {4240, "prime", 1, 2},      {4243, "besselj", 2, 1},    {4244, "if", 2, 1},
      {4245, "branch", 9, 5},     {4246, "integral", 2, 1},   {4247, "mod", 1, 3},
      {4250, "clamp", 1, 3},      {4251, "Re", 1, 3},         {4252, "Im", 1, 3},
      {4253, "slider", 1, 3},     {4254, "set", 1, 4},        {4255, "infix", 9, 5},
      {4258, "extended", 9, 3},   {4259, "fxnlike", 1, 3},
  };
  for (const Case& c : cases) {
    const NodeKindRow* row = GetNodeKindRow(static_cast<uint32_t>(c.kind));
    ASSERT_NE(row, nullptr) << c.kind;
    EXPECT_STREQ(row->name, c.name) << c.kind;
    EXPECT_EQ(row->arityClass, c.arity) << c.name;
    EXPECT_EQ(row->notation, c.notation) << c.name;
  }
}

TEST(SymbolNameTable, QuotedSymbolIdsNameTheirKeywords) {
  struct Case { int id; const char* name; int code; };
  const Case cases[] = {
      {4864, "alpha", 0x61}, {4866, "chi", 0x63},   {4870, "phi", 0x66},   {4882, "pi", 0x70},
      {4884, "theta", 0x71}, {4887, "rho", 0x72},   {4893, "Upsilon", 0xA1}, {4902, "inf", 0xA5},
      {4906, "Im", 0xC1},    {4907, "Re", 0xC2},    {4913, "second", 0xB2}, {4914, "degree", 0xB0},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(SymbolName(c.id), c.name) << c.id;
    EXPECT_EQ(SymbolFontCode(c.id), c.code) << c.name;
    EXPECT_EQ(Sym(c.name), c.id) << c.name;
  }
  EXPECT_EQ(SymbolName(4863), nullptr);
  EXPECT_EQ(SymbolName(4915), nullptr);
  EXPECT_EQ(SymbolFontCode(4915), 0);
}

TEST(NodeKindLookUp, SearchesOnlyNameableKindsAndWholeWords) {
  EXPECT_EQ(Look("set"), 4254);
  EXPECT_EQ(Look("infix"), 0);
  EXPECT_EQ(Look("prefix"), 0);
  EXPECT_EQ(Look("postfix"), 0);
  EXPECT_EQ(Look("extended"), 0);
  EXPECT_EQ(Look("fxnlike"), 0);
  EXPECT_EQ(Look("sin"), 4155);
  EXPECT_EQ(Look("Leftarrow"), 4118);
  EXPECT_EQ(Look("leftarrow"), 4115);
  EXPECT_EQ(Look("si"), 0);       // prefix of a keyword is no keyword
  EXPECT_EQ(Look("sinh2"), 0);    // nor is a keyword with a tail
  EXPECT_EQ(Look(""), 0);
  EXPECT_EQ(LookUpNodeKind(nullptr, 3), 0u);
  EXPECT_EQ(LookUpNodeKind("sinh", 3), 4155u);  // length bounds the word: "sin"
  // Re and Im are both symbols and kinds; the symbol table knows them too, and the reader
  // consults it first.
  EXPECT_EQ(Look("Re"), 4251);
  EXPECT_EQ(Sym("Re"), 4907);
  EXPECT_EQ(Sym("x"), 0);
}

TEST(NodeKindTable, NamedFunctionHandlerGroup) {
  const uint32_t named[] = {KindSin, KindSgn, KindLn, KindReal, KindMod, KindSlider, KindFxnlike, KindAsech, KindRe, KindIm, KindClamp};
  for (uint32_t k : named) EXPECT_TRUE(IsNamedFunctionKind(k)) << k;
  const uint32_t other[] = {KindLog, KindSqrt, KindPlus, KindMinus, KindSet, KindNum, KindDerivativePartial, 0u, 9999u};
  for (uint32_t k : other) EXPECT_FALSE(IsNamedFunctionKind(k)) << k;
}

TEST(NodeKindTable, HandlerGroupsShareOneId) {
  struct Case { uint32_t a, b; };
  const Case same[] = {{KindTimes, KindIf}, {KindList, KindInfix}, {KindPm, KindMinus}, {KindFact, KindPostfix},
                       {KindChar, KindDummy}, {KindLparen, KindChoice}, {KindOptotal, KindOppartial},
                       {KindInterval, KindInprod}, {KindSum, KindExtended}, {KindDiv, KindPrefix}, {KindBox, KindBox2}};
  for (const Case& c : same) EXPECT_EQ(GetNodeKindRow(c.a)->handler, GetNodeKindRow(c.b)->handler) << c.a;
  const Case differ[] = {{KindOver, KindPower}, {KindLog, KindSqrt}, {KindAbs, KindNorm}, {KindNum, KindString}};
  for (const Case& c : differ) EXPECT_NE(GetNodeKindRow(c.a)->handler, GetNodeKindRow(c.b)->handler) << c.a;
}

TEST(NodeKindTable, GlyphsEncodeFontAndCode) {
  EXPECT_EQ(GetNodeKindRow(KindPm)->glyph, 0xB1);
  EXPECT_EQ(GetNodeKindRow(KindMp)->glyph, 0xB1);
  EXPECT_EQ(GetNodeKindRow(KindPlus)->glyph, kGlyphTextFontBit | 0x2B);
  EXPECT_EQ(GetNodeKindRow(KindTimes)->glyph, 0xD7);
  EXPECT_EQ(GetNodeKindRow(KindList)->glyph, kGlyphTextFontBit);  // text font, character 0
  EXPECT_EQ(GetNodeKindRow(KindPower)->glyph, kGlyphTextFontBit | 0x5E);
  EXPECT_EQ(GetNodeKindRow(KindSin)->glyph, 0);
  EXPECT_EQ(GetNodeKindRow(KindGg)->glyph, kGlyphTextFontBit | 0xC8);
}

}  // namespace
