// Seeded random-edit fuzz: codes of every range (the templates, operators and clipboard commands
// weighted up), keys through the Linux translation, clicks, presses with scripted drags, Shift
// and term drags, carets placed in every mode, pastes of system clipboard texts (malformed ones,
// cut-off or damaged formula texts, and whole ones), on small formulas of every kind. After each
// step the editor's invariants hold (tree check, caret node in the tree, start and end valid for
// the mode), every matrix has rows x columns cells, no number is left without digits, and layout
// leaves a valid line table. Under AddressSanitizer this also proves no step reads a freed node.
#include <cstdlib>
#include <random>

#include "editor/equation_keys.h"
#include "editor/formula_clipboard.h"
#include "editor/hit_testing.h"
#include "editor/line_breaking.h"
#include "editor/mouse_selection.h"
#include "editor/node_notation.h"
#include "editor/node_text_edits.h"
#include "kernel/text/bracket_writer.h"
#include "kernel/trees/tree_seams.h"
#include "platform/clock.h"
#include "platform/pointer_source.h"
#include "tests/editor/edit_test_support.h"
#include "tests/kernel/trees/tree_test_support.h"

using namespace edit_test;

namespace {

constexpr int kSteps = 100000;
constexpr int kLargestFormula = 60;  // nodes; past it the fuzz starts a new formula

class EditFuzz {
 public:
  explicit EditFuzz(uint32_t seed) : rng_(seed), trees_(seed) {
    SetPointerSource(&pointer_);
    Scrap().clear();
    EditorHooks& h = TypesetGlobals().hooks;
    h.putScrapText = [](const char* text) { Scrap() = text; };
    h.scrapText = [] { return Scrap().c_str(); };
  }
  ~EditFuzz() { SetPointerSource(nullptr); }

  // Runs one random step; returns what it did, for a failure's message.
  std::string Step() {
    char* text = FormatExpressionBracket(E().root);
    std::string what = std::string(text ? text : "") + " " + Caret() + " then ";
    FreeMemory(text);
    switch (Below(20)) {
      case 0: Restart(); return what + "a new formula";
      case 1: case 2: Click(); return what + "a click";
      case 3: return what + Press();
      case 4: case 5: case 6: case 7: return what + "key " + std::to_string(Key());
      case 8: case 9: Place(); return what + "caret placed at " + Caret();
      case 10: return what + Paste();
      default: {
        const int32_t code = Code();
        DoFormulaEditCommand(code);
        return what + "code " + std::to_string(code);
      }
    }
  }

  int32_t Below(int32_t n) { return static_cast<int32_t>(rng_() % static_cast<uint32_t>(n)); }

 private:
  int32_t Code() {
    static const int32_t kStructure[] = {
        0x1809, 0x180A, 0x18A0, 0x18A1, 0x18A6, 0x18A9, 0x18AA, 0x18AB, 0x18AC, 0x18AE, 0x18AF, 0x18B0, 0x18B1,
        0x18B2, 0x18B3, 0x18B5, 0x18BA, 0x18BB, 0x18BC, 0x18BD, 0x18BF, 0x18C0, 0x18C1, 0x18C2, 0x1900, 0x1901,
        0x1902, 0x1905, 0x1907, 0x1908, 0x100D, 0x100B, 0x103A, 0x1085, 0x1086, 0x1008, 0x1004, 0x1055,
        0x1035, 0x1076, 0x107C, 0x107D, 0x1095, kCodeCut, kCodeCopy, kCodePaste, kCodeClear, kCodeBackspace};
    if (Below(3) == 0) return kStructure[Below(std::size(kStructure))];
    static const char kTyped[] = "0123456789sinhtetapEdfx.,";
    static const int32_t kRanges[][2] = {
        {kCodeSelectNextLeaf, kCodeExitGroup}, {kCodeFirstSymbol, kCodeLastSymbol}, {kCodeCut, kCodeClear},
        {kCodeMarkVectors, kCodeToggleDummies}, {0x2100, 0x2109}, {kCodeFirstTemplate, kCodeLastTemplate},
        {kCodeFirstKind, kCodeLastKind}, {0, 0xFF}, {'A', 'Z'},
    };
    if (Below(2)) return kTyped[Below(sizeof kTyped - 1)];
    const auto& range = kRanges[Below(std::size(kRanges))];
    return range[0] + Below(range[1] - range[0] + 1);
  }

  int32_t Key() {
    static const char32_t kKeys[] = {'x', 'd', 'i', '2', '.', ',', '(', ')', '+', '=', '\\', ' ', '@', kKeyTab,
                                     kKeyBackspace, kKeyEscape, kKeyReturn, kKeyLeftArrow, kKeyRightArrow,
                                     kKeyUpArrow, kKeyDownArrow, U'\u03C0', U'\u221A', U'\u00E9'};
    const char32_t c = kKeys[Below(std::size(kKeys))];
    return HandleEquationKey(TranslateLinuxKey(c, c, Below(3) == 0, Below(3) == 0, Below(4) == 0), &E(), nullptr);
  }

  // A click at a display point around the formula's lines.
  void Click() {
    LayoutFormula();
    const Fixed height = FormulaTextHeight(&E()), width = FormulaTextWidth(&E());
    FixedPoint p{Below(height + kFixedOne * 8) - 4 * kFixedOne, Below(width + kFixedOne * 8) - 4 * kFixedOne};
    DisplayToLayoutPoint(&p);
    ClickToCaret(p);
  }

  // A press at a random point, dragged through up to three more, with Shift or as a term drag.
  std::string Press() {
    LayoutFormula();
    const int32_t height = FixedToPixels(FormulaTextHeight(&E())), width = FixedToPixels(FormulaTextWidth(&E()));
    auto point = [&] { return QDPoint{int16_t(Below(height + 8) - 4), int16_t(Below(width + 8) - 4)}; };
    for (int32_t k = Below(4); k > 0; --k) pointer_.Push({1, PointerEventKind::kMoved, point()});
    const QDPoint at = point();
    FixedPoint p{FixedFromInt(at.v), FixedFromInt(at.h)};
    DisplayToLayoutPoint(&p);
    const bool extend = Below(4) == 0, select = Below(2), drag = Below(2);
    FormulaMouseDown(p, extend, select, drag);
    return std::string("a press") + (extend ? " with Shift" : "") + (drag ? " that may drag" : "");
  }

  // The system clipboard's text, as the window would hand it over: texts that are no formula or
  // not one whole formula, the bracket text of the formula or of a random tree cut off at a random
  // place or with a byte changed, or whole; then pasted.
  std::string Paste() {
    static const char* const kMalformed[] = {
        "", " ", "1/0", "x+", "times[]", "plus[a,times[]]", "plus[a,]", "][", "sin[x]y", "num[1,\"1\"",
        "matrix[2,2,a]", "string[\"ab", "power[x,]", "comma[]", "list[a,comma[]]", "indexes[0,1,x]",
        "1.2.3", "num[,\"\"]", "chem[0,0,0,0,x]", "tensor[1,x]", "sum[]", "\t\n", "NaN", "Infinity",
    };
    ExprNode* other = Below(2) ? trees_.Make(1 + Below(3)) : nullptr;
    char* own = FormatExpressionBracket(other ? other : E().root);
    std::string text = own ? own : "";
    FreeMemory(own);
    FreeExpression(other);
    switch (Below(4)) {
      case 0: text = kMalformed[Below(std::size(kMalformed))]; break;
      case 1: text.resize(Below(static_cast<int32_t>(text.size()) + 1)); break;
      case 2:
        if (!text.empty()) text[Below(static_cast<int32_t>(text.size()))] = "[],\"x1 "[Below(7)];
        break;
      default: break;
    }
    Scrap() = text;
    DoFormulaEditCommand(kCodePaste);
    return "a paste of \"" + text + "\"";
  }

  static std::string& Scrap() {
    static std::string scrap;
    return scrap;
  }

  // A caret the user could make by mouse or keys, in any mode, stored as a drag would store it.
  void Place() {
    std::vector<ExprNode*> nodes;
    TreeCursor cursor(E().root, WalkOrder::kPreOrder);
    for (ExprNode* n = cursor.Current(); n; n = cursor.Next()) nodes.push_back(n);
    ExprNode* n = nodes[Below(static_cast<int32_t>(nodes.size()))];
    const int32_t arity = OperandCount(n), length = NodeTextLength(n);
    int32_t mode = Below(8), a = 0, b = 0;
    if (mode == SelectionChildRange && IsInfixNode(n) && arity > 1) {
      a = Below(arity), b = a + Below(arity - a);
    } else if (mode == SelectionOperator && (IsInfixNode(n) || IsPrefixNode(n)) && arity > 1) {
      a = Below(arity - 1), b = a;
    } else if (mode == SelectionMatrixBlock && n->kind == KindMatrix && arity > 0) {
      a = Below(arity), b = Below(arity);
    } else if ((mode == SelectionText && n->kind == KindString) || (mode == SelectionDigits && n->kind == KindNum)) {
      a = Below(length + 1), b = a + Below(length - a + 1);
    } else {
      mode = SelectionCaretAfter + Below(2);
    }
    E().caretNode = n;
    E().selectionMode = n->kind == KindPrompt ? SelectionCaretNode : mode;
    E().selectionStart = a;
    E().selectionEnd = b;
  }

  // A random tree, or one of a few shapes random trees seldom make; at a width that may break it.
  void Restart() {
    static const char* const kShapes[] = {"matrix[2,2,a,b,c,d]", "matrix[1,3,1,2,3]", "plus[a,minus[b],c]",
                                          "times[2,x,sin[y]]", "power[x,over[1,y]]", "int[x,0,1]",
                                          "string[\"ab\\c\"]", "indexes[0,1,x,i]", "1234.5"};
    ExprNode* tree = nullptr;
    if (Below(2)) {
      SetFormulaReaderText(kShapes[Below(std::size(kShapes))]);
      tree = ParseFormulaText();
    }
    if (!tree) tree = trees_.Make(1 + Below(3));
    E().widthLimit = Below(3) ? kDefaultWidthLimit : FixedFromInt(40 + Below(200));
    FreeExpression(E().root);
    E().root = E().caretNode = tree;
    E().selectionMode = SelectionCaretNode;
    E().selectionStart = E().selectionEnd = 0;
    InvalidateFormulaLayout();
  }

 public:
  void KeepSmall() {
    if (CountSubtreeNodes(E().root) > kLargestFormula) Restart();
  }

 private:
  std::mt19937 rng_;
  tree_test::RandomTree trees_;
  FakeClock clock_;
  ScriptedPointerSource pointer_{&clock_};
};

::testing::AssertionResult MatricesAreWhole(const ExprNode* root) {
  TreeCursor cursor(const_cast<ExprNode*>(root), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n; n = cursor.Next()) {
    if (n->kind == KindMatrix && n->value.halves.first * n->value.halves.second != n->arity)
      return ::testing::AssertionFailure() << "a matrix of " << n->arity << " cells";
  }
  return ::testing::AssertionSuccess();
}

// The random trees hold numbers without digits on purpose (what the reader makes of an empty
// item); editing never makes one, so none may appear where the formula and the clipboard had none.
bool HasNumberWithoutDigits(const ExprNode* root) {
  if (!root) return false;
  TreeCursor cursor(const_cast<ExprNode*>(root), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n; n = cursor.Next()) {
    if (n->kind == KindNum && NodeTextLength(n) == 0) return true;
  }
  return false;
}

class EditFuzzTest : public EditTest {};

TEST_F(EditFuzzTest, RandomEditsKeepTheEditorValidAndLaidOut) {
  FormulaEditor* e = Fresh();
  GetTreeSeams().canMoveSelectedTerm = [] { return true; };  // presses in a selection drag it
  const char* seed = std::getenv("QV_FUZZ_SEED");  // another seed for a local run
  EditFuzz fuzz(seed ? static_cast<uint32_t>(std::strtoul(seed, nullptr, 10)) : 20240521);
  for (int step = 0; step < kSteps; ++step) {
    fuzz.KeepSmall();
    const bool digitless = HasNumberWithoutDigits(e->root) || HasNumberWithoutDigits(FormulaClipboardExpression());
    const std::string what = fuzz.Step();
    const char* why = "";
    ASSERT_TRUE(CheckFormulaEditor(e, &why)) << "step " << step << ": " << what << ": " << why;
    ASSERT_TRUE(MatricesAreWhole(e->root)) << "step " << step << ": " << what;
    ASSERT_TRUE(digitless || what.ends_with("a new formula") || !HasNumberWithoutDigits(e->root))
        << "step " << step << ": " << what << ": a number without digits";
    LayoutFormula();
    ASSERT_TRUE(e->layoutValid) << "step " << step << ": " << what;
    ASSERT_TRUE(CheckLineTable(&why)) << "step " << step << ": " << what << ": " << why;
  }
  EXPECT_TRUE(CheckNodePools());
  ResetTreeSeams();
}

}  // namespace
