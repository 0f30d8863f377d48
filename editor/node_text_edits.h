// Edits of the characters of a number's display text and of a string's text. A number's text
// lives in its record (at most kNumberTextMax characters, always terminated); a string's text
// is a counted heap block that grows by reallocation. Every edit keeps the text terminated and
// refuses, changing nothing, what would not fit or could not be allocated.
#pragma once

#include <cstdint>

struct ExprNode;

// The text of a num or string node ("" for other kinds) and its length.
const char* NodeText(const ExprNode* node);
int32_t NodeTextLength(const ExprNode* node);
// Inserts `count` characters at `at` (0..length). False, unchanged, past a number's capacity or
// when a string's block is refused.
bool InsertNodeText(ExprNode* node, int32_t at, const char* chars, int32_t count);
// Removes characters lo..hi-1 (clamped to the text).
void RemoveNodeText(ExprNode* node, int32_t lo, int32_t hi);
// A number's value read again from its text with the localized decimal separator.
void RereadNumberValue(ExprNode* node);
// Replaces the NUL-terminated heap string *buffer (from AllocMemory, or null for "") by a new
// block holding it and c; the old block is freed. False, unchanged, when memory is refused.
bool AppendCharToCString(char** buffer, char c);
