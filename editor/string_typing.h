// Typing text into strings, the one place besides digits where a text caret exists. A string
// takes printable characters only (codes below 32 and 127 are refused) and holds at most 61:
// a character is appended while the text has fewer than 61 and inserted while it has at most 60.
#pragma once

#include <cstdint>

// The caret node becomes an empty string with the caret after it.
void MakeCaretNodeString();
// Mode 3 on a string: the character is appended.
void TypeIntoString(int32_t code);
// Mode 6: a selected range is replaced by the character, or it goes in at the caret.
void TypeIntoStringText(int32_t code);
