// Typed keys: UTF-8 decoding, the named keys in braces, and the keys run on a row's editor.
#include "document/typed_keys.h"

#include <cstdint>
#include <utility>

namespace {

struct NamedKey {
  const char* name;
  char32_t character;
};

constexpr NamedKey kNamedKeys[] = {
    {"Right", kKeyRightArrow}, {"Left", kKeyLeftArrow},           {"Up", kKeyUpArrow},        {"Down", kKeyDownArrow},
    {"Tab", kKeyTab},          {"Backspace", kKeyBackspace}, {"Escape", kKeyEscape},
};

// The next UTF-8 character of text at *at; false for a malformed, overlong or surrogate sequence.
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

// "{Name}" at *at (the brace included): modifiers, then a named key or, after a modifier, one
// character. False (nothing consumed) when the braces hold no key name.
bool NamedKeyAt(const std::string& text, size_t* at, TypedKey* key) {
  const size_t close = text.find('}', *at + 1);
  if (close == std::string::npos) return false;
  std::string name = text.substr(*at + 1, close - *at - 1);
  TypedKey k{0, false, false, false, text.substr(*at, close + 1 - *at)};
  for (bool more = true; more;) {
    more = false;
    for (auto [prefix, flag] : {std::pair{std::string("Shift-"), &k.shift}, {"Ctrl-", &k.control}, {"Alt-", &k.alt}}) {
      if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
        name.erase(0, prefix.size());
        *flag = more = true;
      }
    }
  }
  for (const NamedKey& named : kNamedKeys)
    if (name == named.name) k.character = named.character;
  if (k.character == 0) {
    size_t i = 0;
    char32_t c = 0;
    if (!(k.shift || k.control || k.alt) || !NextCharacter(name, &i, &c) || i != name.size()) return false;
    k.character = c;
  }
  *at = close + 1;
  *key = std::move(k);
  return true;
}

}  // namespace

bool DecodeTypedKeys(const std::string& text, std::vector<TypedKey>* keys, std::string* reason) {
  for (size_t at = 0; at < text.size();) {
    TypedKey key{0, false, false, false, {}};
    if (text[at] == '{' && NamedKeyAt(text, &at, &key)) {
      keys->push_back(std::move(key));
      continue;
    }
    const size_t from = at;
    if (!NextCharacter(text, &at, &key.character)) {
      *reason = "the keys are not valid UTF-8 (byte " + std::to_string(from + 1) + ")";
      return false;
    }
    key.text = text.substr(from, at - from);
    keys->push_back(std::move(key));
  }
  return true;
}

EditKeyEvent TypedKeyEvent(const TypedKey& key) {
  return TranslateLinuxKey(key.character, key.character, key.shift, key.control, key.alt);
}

bool TypeKeysIntoEditor(const std::vector<TypedKey>& keys, FormulaEditor* editor, void* owner, std::string* reason) {
  for (size_t i = 0; i < keys.size(); ++i) {
    if (HandleEquationKey(TypedKeyEvent(keys[i]), editor, owner) != 0) continue;
    *reason = "key " + std::to_string(i + 1) + " (" + keys[i].text + ") means nothing to the editor there";
    return false;
  }
  return true;
}
