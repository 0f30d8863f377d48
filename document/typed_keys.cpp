// Typed keys: UTF-8 decoding, the named keys in braces, and the keys run on a row's editor.
#include "document/typed_keys.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <utility>

#include "editor/layout_driver.h"
#include "editor/typeset_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/text/formula_reader.h"
#include "kernel/text/number_settings.h"
#include "kernel/trees/expr_node.h"
#include "platform/utf8.h"

namespace {

struct NamedKey {
  const char* name;
  char32_t character;
};

// Longer than any key name with its modifiers ("Shift-Ctrl-Alt-Backspace"): braces farther apart
// hold no key, and are not copied to find that out.
constexpr size_t kLongestKeyName = 40;

constexpr NamedKey kNamedKeys[] = {
    {"Right", kKeyRightArrow}, {"Left", kKeyLeftArrow},           {"Up", kKeyUpArrow},        {"Down", kKeyDownArrow},
    {"Tab", kKeyTab},          {"Backspace", kKeyBackspace}, {"Escape", kKeyEscape},
};

// The first "}" after each "{" of a text read from its start: the text is searched once in all,
// however many braces it holds, so a line of them is read in linear time.
class ClosingBraces {
 public:
  explicit ClosingBraces(const std::string& text) : text_(text) {}
  // The first "}" after `at` (npos: none); `at` must not decrease from call to call.
  size_t After(size_t at) {
    if (!searched_ || (next_ != std::string::npos && next_ <= at)) next_ = text_.find('}', at + 1);
    searched_ = true;
    return next_;
  }

 private:
  const std::string& text_;
  size_t next_ = std::string::npos;
  bool searched_ = false;
};

// "{Name}" at *at (the brace included, `close` its closing brace): modifiers, then a named key or,
// after a modifier, one character. False (nothing consumed) when the braces hold no key name.
bool NamedKeyAt(const std::string& text, size_t close, size_t* at, TypedKey* key) {
  if (close == std::string::npos || close - *at > kLongestKeyName) return false;
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
    const bool modified = k.shift || k.control || k.alt;
    if (!modified || !NextUtf8Character(name.data(), name.size(), &i, &c) || i != name.size()) return false;
    k.character = c;
  }
  *at = close + 1;
  *key = std::move(k);
  return true;
}

// Braces around what reads as a key's name: a letter of either case, then at least one more
// letter, digit, hyphen, plus or underscore, no longer than a key name can be ("{Bogus}", "{right}", "{Ctrl-Home}", "{ctrl+z}").
// Such text was meant as a key, so a name the table lacks is refused by name rather than typed as
// a brace and letters (that would be reported at the "}").
bool LooksLikeKeyName(const std::string& text, size_t close, size_t at) {
  if (close == std::string::npos || close - at < 3 || close - at > kLongestKeyName ||
      !std::isalpha(static_cast<unsigned char>(text[at + 1])))
    return false;
  for (size_t i = at + 1; i < close; ++i) {
    const char c = text[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '+' && c != '_') return false;
  }
  return true;
}

}  // namespace

bool DecodeTypedKeys(const std::string& text, std::vector<TypedKey>* keys, std::string* reason) {
  ClosingBraces braces(text);
  for (size_t at = 0; at < text.size();) {
    TypedKey key{0, false, false, false, {}};
    const size_t close = text[at] == '{' ? braces.After(at) : std::string::npos;
    if (text[at] == '{' && NamedKeyAt(text, close, &at, &key)) {
      keys->push_back(std::move(key));
      continue;
    }
    if (text[at] == '{' && LooksLikeKeyName(text, close, at)) {
      *reason = "unknown key " + text.substr(at, close + 1 - at) + " (key " +
                std::to_string(keys->size() + 1) +
                "; the named keys are Right, Left, Up, Down, Tab, Backspace and Escape, after Shift-, Ctrl- or "
                "Alt- also one character)";
      return false;
    }
    const size_t from = at;
    if (!NextUtf8Character(text.data(), text.size(), &at, &key.character)) {
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

namespace {

// Levels from the node to its root, counted up to kMaxFormulaDepth + 1.
int LevelsAbove(const ExprNode* node) {
  int levels = 0;
  for (; node != nullptr && levels <= kMaxFormulaDepth; node = node->parent) ++levels;
  return levels;
}

int DeepestLevel(ExprNode* root) {
  int deepest = 0;
  TreeCursor cursor(root, WalkOrder::kPreOrder);
  for (ExprNode* n = root; n != nullptr; n = cursor.Next()) deepest = std::max(deepest, cursor.Depth() + 1);
  return deepest;
}

// Keys nest a few levels at most each, so the caret's depth is looked at every kDepthCheckKeys
// keys, and the whole tree once at the end.
constexpr size_t kDepthCheckKeys = 64;

// Where the caret is and how many changes the editors have seen: a key that leaves both as they
// were did nothing.
struct EditorMark {
  const ExprNode* caretNode;
  int32_t mode, start, end;
  uint64_t changes;
  bool operator==(const EditorMark&) const = default;
};

EditorMark MarkOf(const FormulaEditor* editor) {
  return {editor->caretNode, editor->selectionMode, editor->selectionStart, editor->selectionEnd,
          TypesetGlobals().layoutInvalidations};
}

// The blank outside text is how a key line is spaced for reading ("y = x^2"): it does nothing, as
// the space bar does in the window, and is not named for it.
bool IsSpacing(const TypedKey& key) { return key.character == ' ' && !key.shift && !key.control && !key.alt; }

// The typed numbers, written with ".", take the separator number text has everywhere else (the
// formula reader's numbers do the same).
void LocaliseTypedNumbers(ExprNode* root) {
  const char separator = GetDecimalSeparator();
  if (separator == '.' || root == nullptr) return;
  TreeCursor cursor(root, WalkOrder::kPreOrder);
  for (ExprNode* n = root; n != nullptr; n = cursor.Next()) {
    if (n->kind != KindNum) continue;
    char* text = n->value.number->text;
    if (auto* period = static_cast<char*>(std::memchr(text, '.', strnlen(text, kNumberTextMax)))) *period = separator;
  }
}

bool TypeEachKey(const std::vector<TypedKey>& keys, FormulaEditor* editor, void* owner, std::string* reason) {
  // A formula nested deeper than a formula line may be is refused as that line would be: it could
  // not be written and read back, and every key at the caret climbs its levels.
  const auto tooDeep = [&](size_t typed) {
    *reason = "the typed formula nests deeper than " + std::to_string(kMaxFormulaDepth) + " levels (after key " +
              std::to_string(typed) + ")";
    return false;
  };
  const FormulaKeyBatch batch;
  // A key the tree cannot take (an operand past kMaxArity, memory) posts error 7 and changes
  // nothing: the row would be read short, so the line is refused instead, and the alert with it.
  const bool shortageWaiting = ErrorRegisterGlobals().pending == kErrorOutOfMemory;
  for (size_t i = 0; i < keys.size(); ++i) {
    const EditorMark before = MarkOf(editor);
    if (HandleEquationKey(TypedKeyEvent(keys[i]), editor, owner) == 0) {
      *reason = "key " + std::to_string(i + 1) + " (" + keys[i].text + ") means nothing to the editor there";
      return false;
    }
    if (!shortageWaiting && ErrorRegisterGlobals().pending == kErrorOutOfMemory) {
      ClearPendingError(kErrorOutOfMemory);
      *reason = "key " + std::to_string(i + 1) + " (" + keys[i].text + ") does not fit: more than " +
                std::to_string(kMaxArity) + " operands in one place, or memory ran out";
      return false;
    }
    if (MarkOf(editor) == before && !IsSpacing(keys[i])) {
      *reason = "key " + std::to_string(i + 1) + " (" + keys[i].text + ") does nothing where it is typed";
      return false;
    }
    if ((i + 1) % kDepthCheckKeys == 0 && LevelsAbove(editor->caretNode) > kMaxFormulaDepth) return tooDeep(i + 1);
  }
  if (editor->root != nullptr && DeepestLevel(editor->root) > kMaxFormulaDepth) return tooDeep(keys.size());
  return true;
}

}  // namespace

bool TypeKeysIntoEditor(const std::vector<TypedKey>& keys, FormulaEditor* editor, void* owner, std::string* reason) {
  bool typed = false;
  {
    // Typed text reads the same in every locale: "." is the decimal point and "," the list's comma.
    const DecimalSeparatorScope period('.');
    typed = TypeEachKey(keys, editor, owner, reason);
  }
  LocaliseTypedNumbers(editor->root);
  return typed;
}
