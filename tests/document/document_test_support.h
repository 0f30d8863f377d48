// Shared set-up of the document tests: the graphics layer for drawing panes, and a fixture that
// puts every process-wide record the documents touch back (current document, demo mode, kernel
// seams, number settings, evaluation scratch) and proves no counted byte outlives a test.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "document/document_record.h"
#include "document/document_window.h"
#include "editor/typeset_state.h"
#include "platform/pointer_source.h"
#include "graphics/graphics_layer.h"
#include "kernel/application_state.h"
#include "kernel/eval/evaluation_scratch.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/number_settings.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/tree_seams.h"

namespace document_test {

class DocumentTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitGraphicsLayer());
    FreeEvalScratch();  // an earlier test's compiles in this process grew it: not ours to count
    ReleaseNodePools();
    bytesBefore_ = GetBytesInUse();
  }
  void TearDown() override {
    ResetDocumentsStateForTests();
    ResetApplicationStateForTests();
    ResetEvaluationSeams();
    ResetTreeSeams();
    ResetNumberSettingsForTests();
    FreeEvalScratch();  // compiles grow the process-wide scratch
    ReleaseNodePools();
    EXPECT_EQ(GetBytesInUse(), bytesBefore_) << "counted heap bytes leaked";
    ShutdownGraphicsLayer();
  }
  size_t bytesBefore_ = 0;
};

// A window test's end: no pointer source, the window closed before its document, the
// typesetting state put back.
inline void CloseWindowForTest(std::unique_ptr<DocumentWindow>& window, std::unique_ptr<DocumentRecord>& document) {
  SetPointerSource(nullptr);
  window.reset();
  document.reset();
  ResetTypesetGlobalsForTest();
}

}  // namespace document_test
