// Character edits of number and string texts. A string's text is replaced by a new block before
// the old one is freed, so a refused allocation leaves the old text whole.
#include "editor/node_text_edits.h"

#include <algorithm>
#include <cstring>

#include "kernel/memory/memory_budget.h"
#include "kernel/text/number_text.h"
#include "kernel/trees/expr_node.h"

namespace {

char* WritableText(ExprNode* node) {
  if (node->kind == KindNum && node->value.number) return node->value.number->text;
  if (node->kind == KindString) return node->text;
  return nullptr;
}

}  // namespace

const char* NodeText(const ExprNode* node) {
  const char* text = WritableText(const_cast<ExprNode*>(node));
  return text ? text : "";
}

int32_t NodeTextLength(const ExprNode* node) { return static_cast<int32_t>(std::strlen(NodeText(node))); }

bool InsertNodeText(ExprNode* node, int32_t at, const char* chars, int32_t count) {
  const int32_t length = NodeTextLength(node);
  if (at < 0 || at > length || count < 0) return false;
  if (node->kind == KindNum && node->value.number) {
    if (length + count > kNumberTextMax) return false;
    char* text = node->value.number->text;
    std::memmove(text + at + count, text + at, static_cast<size_t>(length - at + 1));
    std::memcpy(text + at, chars, static_cast<size_t>(count));
    return true;
  }
  if (node->kind != KindString) return false;
  char* grown = static_cast<char*>(AllocMemory(static_cast<size_t>(length + count + 1)));
  if (!grown) return false;
  const char* old = NodeText(node);
  std::memcpy(grown, old, static_cast<size_t>(at));
  std::memcpy(grown + at, chars, static_cast<size_t>(count));
  std::memcpy(grown + at + count, old + at, static_cast<size_t>(length - at + 1));
  FreeMemory(node->text);
  node->text = grown;
  return true;
}

void RemoveNodeText(ExprNode* node, int32_t lo, int32_t hi) {
  char* text = WritableText(node);
  const int32_t length = NodeTextLength(node);
  lo = std::clamp(lo, 0, length);
  hi = std::clamp(hi, lo, length);
  if (text && hi > lo) std::memmove(text + lo, text + hi, static_cast<size_t>(length - hi + 1));
}

void RereadNumberValue(ExprNode* node) {
  if (node->kind == KindNum && node->value.number) node->value.number->value = ParseNumberLocalized(node->value.number->text);
}

bool AppendCharToCString(char** buffer, char c) {
  const size_t length = *buffer ? std::strlen(*buffer) : 0;
  char* grown = static_cast<char*>(AllocMemory(length + 2));
  if (!grown) return false;
  if (length) std::memcpy(grown, *buffer, length);
  grown[length] = c;
  grown[length + 1] = 0;
  FreeMemory(*buffer);
  *buffer = grown;
  return true;
}
