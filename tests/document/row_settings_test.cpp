// Row settings in document lines: each setting, in any order beside the others, sets its row; a
// value out of range or not a number refuses the whole line (no row, nothing half set); the rows
// written back read as they were; an opacity other than 1 makes the document draw with
// transparency.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "document/document_file.h"
#include "document/row_settings.h"
#include "graphics/gl/gl_globals.h"
#include "tests/document/document_test_support.h"

namespace {

class RowSettingsTest : public document_test::DocumentTest {
 protected:
  void TearDown() override {
    std::remove(path_.c_str());
    DocumentTest::TearDown();
  }
  bool Read(const std::string& text, DocumentRecord* document) {
    std::ofstream(path_, std::ios::binary) << text;
    lines_.clear();
    problems_.clear();
    std::string failure;
    return ReadDocumentFile(path_, document, &lines_, &problems_, &failure);
  }
  std::string path_ = testing::TempDir() + testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
  std::vector<int> lines_;
  std::vector<DocumentProblem> problems_;
};

// The second row of each document carries the settings (the first is a plain row before it, so a
// colour left out is the second row's own, red). Values: colour, grain, opacity, mode, side.
TEST_F(RowSettingsTest, EachSettingSetsItsRowOrRefusesTheWholeLine) {
  const struct {
    const char* line;
    double values[5];
    const char* reason;  // null: read
  } cases[] = {
      {"@colour=12 @grain=0.25 @opacity=0.5 @mode=0 @side=1 equal[y,x]", {12, 0.25, 0.5, 0, 1}, nullptr},
      {"@mode=1 @xytype=2 @opacity=0 @colour=17 type: y = x", {17, 0.5, 0, 1, 0}, nullptr},
      {"@grain=1e-1 @colour=8 equal[y,x]", {8, 0.1, 1, 2, 0}, nullptr},
      {"@grain=.75 @opacity=1 @mode=2 @side=0 @colour=1 equal[y,x]", {1, 0.75, 1, 2, 0}, nullptr},
      {"@colour=9 equal[y,x]", {}, "bad colour setting (\"@colour=N\" with N from 1 to 8 or 10 to 17 expected)"},
      {"@colour=0 equal[y,x]", {}, "bad colour setting (\"@colour=N\" with N from 1 to 8 or 10 to 17 expected)"},
      {"@colour=18 equal[y,x]", {}, "bad colour setting (\"@colour=N\" with N from 1 to 8 or 10 to 17 expected)"},
      {"@colour=2.0 equal[y,x]", {}, "bad colour setting (\"@colour=N\" with N from 1 to 8 or 10 to 17 expected)"},
      {"@grain=-0.1 equal[y,x]", {}, "bad grain setting (\"@grain=G\" with G from 0 to 1 expected)"},
      {"@grain=1.01 equal[y,x]", {}, "bad grain setting (\"@grain=G\" with G from 0 to 1 expected)"},
      {"@grain=0,5 equal[y,x]", {}, "bad grain setting (\"@grain=G\" with G from 0 to 1 expected)"},
      {"@grain= equal[y,x]", {}, "bad grain setting (\"@grain=G\" with G from 0 to 1 expected)"},
      {"@opacity=nan equal[y,x]", {}, "bad opacity setting (\"@opacity=A\" with A from 0 to 1 expected)"},
      {"@opacity=inf equal[y,x]", {}, "bad opacity setting (\"@opacity=A\" with A from 0 to 1 expected)"},
      {"@mode=3 equal[y,x]", {}, "bad mode setting (\"@mode=M\" with M 0, 1 or 2 expected)"},
      {"@side=-1 equal[y,x]", {}, "bad side setting (\"@side=S\" with S 0 or 1 expected)"},
      // A good setting before a bad one sets nothing: the line is refused whole.
      {"@colour=3 @grain=0.5 @opacity=2 equal[y,x]", {}, "bad opacity setting (\"@opacity=A\" with A from 0 to 1 expected)"},
      {"@mode=0 @mode=1 equal[y,x]", {}, "\"@mode=\" given twice on the line (each row setting once)"},
      {"@opacity=0.5", {}, "a row setting without a formula (\"@opacity=A formula\" expected)"},
  };
  for (const auto& c : cases) {
    DocumentRecord document;  // fills the graphics layer's document hooks
    const auto transparent = GLGlobals().document.drawsWithTransparency;
    ASSERT_TRUE(Read(std::string("equal[y,x]\n") + c.line + "\n", &document)) << c.line;
    if (c.reason != nullptr) {
      ASSERT_EQ(problems_.size(), 1u) << c.line;
      EXPECT_EQ(problems_[0].reason, c.reason) << c.line;
      EXPECT_EQ(document.rows.count, 1) << c.line;
      EXPECT_FALSE(transparent(static_cast<DocumentServices*>(&document))) << c.line;
      continue;
    }
    ASSERT_TRUE(problems_.empty()) << c.line << ": " << problems_[0].reason;
    ASSERT_EQ(document.rows.count, 2) << c.line;
    const EquationRow& row = document.rows.data[1];
    for (int32_t k = 0; k < kRowSettingCount; ++k) {
      EXPECT_EQ(RowSettingOf(row, static_cast<RowSetting>(k)), c.values[k]) << c.line << " setting " << k;
    }
    EXPECT_EQ(transparent(static_cast<DocumentServices*>(&document)), c.values[2] != 1.0) << c.line;
  }
}

// Written and read back, every row has its settings again: a colour other than its place's own
// (row 3 magenta rather than green), the exact grain and opacity, the mode and the side; a row
// with the settings a plain line gives is written plain.
TEST_F(RowSettingsTest, RowsWrittenBackReadWithTheirSettings) {
  DocumentRecord document;
  ASSERT_TRUE(Read("@grain=0.1 @opacity=0.3333333333333333 equal[y,x]\n"
                   "equal[y,x]\n"
                   "@side=1 @mode=1 equal[y,x]\n"
                   "@colour=1 @xytype=3 equal[z,times[x,y]]\n",
                   &document));
  ASSERT_TRUE(problems_.empty()) << problems_[0].reason;
  std::string text;
  for (int32_t i = 0; i < document.rows.count; ++i) text += DocumentRowLine(document.rows.data[i], i) + "\n";
  EXPECT_EQ(text.substr(text.find('\n') + 1, 11), "equal[y,x]\n") << text;
  DocumentRecord again;
  ASSERT_TRUE(Read(text, &again));
  ASSERT_TRUE(problems_.empty()) << problems_[0].reason;
  ASSERT_EQ(again.rows.count, document.rows.count);
  for (int32_t i = 0; i < again.rows.count; ++i) {
    for (int32_t k = 0; k < kRowSettingCount; ++k) {
      const RowSetting which = static_cast<RowSetting>(k);
      EXPECT_EQ(RowSettingOf(again.rows.data[i], which), RowSettingOf(document.rows.data[i], which)) << i << " " << k;
    }
    EXPECT_EQ(again.rows.data[i].xyType, document.rows.data[i].xyType) << i;
  }
  EXPECT_EQ(again.rows.data[3].color, 1.0);
}

}  // namespace
