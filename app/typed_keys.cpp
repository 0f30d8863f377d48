// Typed keys: UTF-8 decoding, the named keys in braces, and one editor run per formula. The
// editor runs without a document: its hooks are unset, so nothing is snapshotted or redrawn.
#include "app/typed_keys.h"

#include <cstdint>
#include <vector>

#include "editor/equation_keys.h"
#include "editor/formula_editor.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/typeset_records.h"

namespace {

struct Key {
  char32_t character;
  bool shift, control, alt;
  std::string text;  // as written, for messages
};

struct NamedKey {
  const char* name;
  char32_t character;
};

constexpr NamedKey kNamedKeys[] = {
    {"Right", kKeyRightArrow}, {"Left", kKeyLeftArrow}, {"Up", kKeyUpArrow},   {"Down", kKeyDownArrow},
    {"Tab", kKeyTab},          {"Backspace", kKeyBackspace}, {"Escape", kKeyEscape},
};

// The next UTF-8 character of text at *at; false for a malformed or overlong sequence.
bool NextCharacter(const std::string& text, size_t* at, char32_t* out) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(*at);
  const int length = first < 0x80 ? 1 : (first >> 5) == 6 ? 2 : (first >> 4) == 14 ? 3 : (first >> 3) == 30 ? 4 : 0;
  if (length == 0 || *at + length > text.size()) return false;
  char32_t c = length == 1 ? first : first & (0x7F >> length);
  for (int k = 1; k < length; ++k) {
    if ((byte(*at + k) & 0xC0) != 0x80) return false;
    c = (c << 6) | (byte(*at + k) & 0x3F);
  }
  static constexpr char32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
  *at += length;
  *out = c;
  return true;
}

// "{Name}" at *at (the brace included): modifiers, then a named key or one character.
bool NamedKeyAt(const std::string& text, size_t* at, Key* key) {
  const size_t close = text.find('}', *at + 1);
  if (close == std::string::npos) return false;
  std::string name = text.substr(*at + 1, close - *at - 1);
  Key k{0, false, false, false, text.substr(*at, close + 1 - *at)};
  for (bool more = true; more;) {
    more = false;
    for (auto [prefix, flag] : {std::pair{"Shift-", &k.shift}, {"Ctrl-", &k.control}, {"Alt-", &k.alt}}) {
      if (name.rfind(prefix, 0) == 0 && name.size() > std::char_traits<char>::length(prefix)) {
        name.erase(0, std::char_traits<char>::length(prefix));
        *flag = more = true;
      }
    }
  }
  for (const NamedKey& named : kNamedKeys) {
    if (name == named.name) k.character = named.character;
  }
  const bool modified = k.shift || k.control || k.alt;
  if (k.character == 0) {
    size_t i = 0;
    char32_t c;
    if (!modified || !NextCharacter(name, &i, &c) || i != name.size()) return false;
    k.character = c;
  }
  *at = close + 1;
  *key = k;
  return true;
}

bool DecodeKeys(const std::string& text, std::vector<Key>* keys, std::string* reason) {
  for (size_t at = 0; at < text.size();) {
    Key key{0, false, false, false, {}};
    if (text[at] == '{' && NamedKeyAt(text, &at, &key)) {
      keys->push_back(key);
      continue;
    }
    const size_t from = at;
    if (!NextCharacter(text, &at, &key.character)) {
      *reason = "the keys are not valid UTF-8";
      return false;
    }
    key.text = text.substr(from, at - from);
    keys->push_back(key);
  }
  return true;
}

bool HoldsPrompt(const ExprNode* tree) {
  TreeCursor cursor(const_cast<ExprNode*>(tree), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (n->kind == KindPrompt) return true;
  }
  return false;
}

}  // namespace

ExprNode* TypeFormulaKeys(const std::string& keys, std::string* reason) {
  std::vector<Key> decoded;
  if (!DecodeKeys(keys, &decoded, reason)) return nullptr;
  if (decoded.empty()) {
    *reason = "no keys after \"@keys\"";
    return nullptr;
  }
  FormulaEditor* editor = NewFormulaEditor();
  if (editor == nullptr) {
    *reason = "not enough memory for a formula editor";
    return nullptr;
  }
  ExprNode* formula = nullptr;
  for (size_t i = 0; i < decoded.size(); ++i) {
    const Key& k = decoded[i];
    const EditKeyEvent event = TranslateLinuxKey(k.character, k.character, k.shift, k.control, k.alt);
    if (HandleEquationKey(event, editor, nullptr) == 0) {
      *reason = "key " + std::to_string(i + 1) + " (" + k.text + ") means nothing to the editor there";
      break;
    }
    if (i + 1 == decoded.size()) {
      if (HoldsPrompt(editor->root)) {
        *reason = "the typed formula still has an empty place";
      } else if ((formula = CopyExpression(editor->root)) == nullptr) {
        *reason = "not enough memory for the typed formula";
      }
    }
  }
  DisposeFormulaEditor(editor);
  return formula;
}
