// Indexes, matrices and stacks at 18 pt: the 1 x 1 golden with the real fonts (x 9 px, 800u =
// 943200 more each way), and with the fake metrics the centring of a vector's cells, the
// subscript bound, both index groups, and shape words that do not match the operands.
#include "editor/layout_boxes.h"
#include "tests/editor/typeset_test_support.h"

using namespace typeset_test;

TEST_F(TypesetTest, MatrixGoldenAndCentredCells) {
  TypesetGlobals().fontMetrics = nullptr;
  const TypesetBox one = *Edit("matrix[1,1,x]")->root->box;
  EXPECT_EQ(std::make_tuple(one.width, BoxHeight(one), one.ascent, one.descent, one.baselineFlag),
            std::make_tuple(1533024, 2417760, 1208880, 1208880, 0));
  TypesetGlobals().fontMetrics = &fake_;
  FormulaEditor* e = Edit("matrix[3,1,x,string[\"abc\"],1]");
  for (int i = 0; i < 3; ++i)  // centred in the 27 px column after 400u and t
    EXPECT_EQ(BoxAt(e->root, {i}).relativeHorizontal + BoxAt(e->root, {i}).width / 2, 400 * 1179 + 65536 + Px(27) / 2);
  // Rows stack from the bottom: the last 200u over it, 400u between rows.
  EXPECT_EQ(std::make_pair(BoxAt(e->root, {2}).relativeVertical, BoxAt(e->root, {1}).relativeVertical),
            std::make_pair(-200 * 1179, -(200 * 1179 + Px(45) / 2 + 400 * 1179)));
  // An atop halves its height about the axis.
  const TypesetBox& atop = *Edit("atop[x,y]")->root->box;
  EXPECT_EQ(std::make_tuple(atop.ascent, atop.descent, atop.baselineFlag), std::make_tuple(Px(45) / 2 + 250 * 1179,
                                                                                          Px(45) / 2 + 250 * 1179, 0));
}

TEST_F(TypesetTest, IndicesHangFromTheBaseAndShapesAreChecked) {
  // x_1: the 12 pt index (15 px high, S/20 = 39321 raw there) has its top min(h/2 - S/20, 3d/4)
  // over the base's bottom, h = 22.5 px the base's height: 11.25 px - 39321.
  FormulaEditor* e = Edit("indexes[0,1,x,1]");
  const TypesetBox &base = BoxAt(e->root, {0}), &index = BoxAt(e->root, {1});
  EXPECT_EQ(base.absoluteVertical - (index.absoluteVertical - BoxHeight(index)), Px(45) / 4 - 39321);
  // T with an upper and a lower index: both groups 38u (of 12 pt) after it, as wide as the wider.
  e = Edit("indexes[1,1,T,i,string[\"jk\"]]");
  EXPECT_EQ(std::make_pair(e->root->box->width, BoxAt(e->root, {2}).relativeHorizontal),
            std::make_pair(Px(9) + 38 * 786 + Px(12), Px(9) + 38 * 786));
  EXPECT_LT(BoxAt(e->root, {2}).absoluteVertical, BoxAt(e->root, {1}).absoluteVertical - BoxHeight(BoxAt(e->root, {1})));
  // Shape words edited to disagree with the operands: a missing cell or index is a prompt's room;
  // operands past the cells open new rows.
  struct Case { const char* text; NodeHalves shape; const char* same; };
  const Case cases[] = {{"matrix[1,3,a,b,c]", {2, 2}, "matrix[2,2,a,b,c,prompt[]]"},
                        {"matrix[1,2,a,b]", {1, 1}, "matrix[2,1,a,b]"},
                        {"indexes[0,1,x,a]", {2, 1}, "indexes[2,1,x,a,prompt[],prompt[]]"}};
  for (const Case& c : cases) {
    FormulaEditor* edited = Edit(c.text, 0);
    edited->root->value.halves = c.shape;
    LayoutFormula();
    const TypesetBox a = *edited->root->box, b = *Edit(c.same)->root->box;
    EXPECT_EQ(std::make_tuple(a.width, a.ascent, a.descent), std::make_tuple(b.width, b.ascent, b.descent)) << c.text;
  }
}
