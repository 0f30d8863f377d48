// Keyword look-ups of the node kind and symbol tables: every name finds its own row, the search
// limits, whole words only, and text with NUL bytes past the keyword.
#include <gtest/gtest.h>

#include <cstring>

#include "kernel/trees/node_kinds.h"

namespace {

int Look(const char* word) { return static_cast<int>(LookUpNodeKind(word, static_cast<int>(std::strlen(word)))); }

TEST(NodeKindLookUp, EveryNameFindsItsOwnRow) {
  for (uint32_t k = kFirstNodeKind; k <= kLastNamedNodeKind; ++k) {
    if (k == KindRe || k == KindIm) continue;  // the symbol rows of the same names come first in text
    EXPECT_EQ(Look(NodeKindName(k)), static_cast<int>(k)) << NodeKindName(k);
  }
  for (int id = kFirstSymbolId; id <= kLastSymbolId; ++id) {
    EXPECT_EQ(LookUpSymbolName(SymbolName(id), static_cast<int>(std::strlen(SymbolName(id)))), id) << SymbolName(id);
  }
}

TEST(NodeKindLookUp, SearchesOnlyNameableKindsAndWholeWords) {
  struct Case {
    const char* word;
    int kind;
  };
  const Case cases[] = {
      {"set", 4254}, {"infix", 0}, {"prefix", 0}, {"fxnlike", 0}, {"Leftarrow", 4118}, {"leftarrow", 4115},
      {"si", 0},     {"sinh2", 0}, {"", 0},  // a prefix of a keyword, or one with a tail, is no keyword
  };
  for (const Case& c : cases) EXPECT_EQ(Look(c.word), c.kind) << c.word;
  EXPECT_EQ(LookUpNodeKind(nullptr, 3), 0u);
  EXPECT_EQ(LookUpNodeKind("sinh", 3), 4155u);  // the length bounds the word: "sin"
  for (uint32_t k : {4095u, 4260u, static_cast<uint32_t>(KindDerivativePartial)}) EXPECT_EQ(NodeKindName(k), nullptr);
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
  EXPECT_TRUE(LookUpSymbolName(pi, 2) == SymPi && LookUpSymbolName(pi, 4) == 0);
}

}  // namespace
