// UTF-8 text read one character at a time, for the window's text input and the typed rows of a
// document. Invariant: only well-formed characters are returned: no overlong form, no surrogate,
// nothing past U+10FFFF, no sequence cut short by the end of the text.
#pragma once

#include <cstddef>

// The character of text (size bytes) at *at, *at then past it. False, *at unchanged, for a
// malformed sequence or at the end of the text.
bool NextUtf8Character(const char* text, size_t size, size_t* at, char32_t* out);
