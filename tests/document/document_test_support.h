// Shared set-up of the document tests: the graphics layer for drawing panes, and a fixture that
// puts every process-wide record the documents touch back (current document, demo mode, kernel
// seams, number settings, evaluation scratch) and proves no counted byte outlives a test.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "document/document_file.h"

#include "document/document_record.h"
#include "document/document_window.h"
#include "document/typed_keys.h"
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

// A window surface that shows nothing: the tests read the window's own buffer.
struct NullSurface final : WindowSurface {
  void Present(const Port&, const QDRect&) override {}
};

// A window test's end: no pointer source, the window closed before its document, the
// typesetting state put back.
inline void CloseWindowForTest(std::unique_ptr<DocumentWindow>& window, std::unique_ptr<DocumentRecord>& document) {
  SetPointerSource(nullptr);
  window.reset();
  document.reset();
  ResetTypesetGlobalsForTest();
}

// The window's graph pane drawn again, its pixels row by row.
inline std::vector<uint32_t> GraphPanePixels(DocumentWindow* window) {
  window->RedrawAll();
  const Port* buffer = window->Buffer();
  const QDRect pane = window->Layout().graphPane;
  std::vector<uint32_t> pixels;
  for (int v = pane.top; v < pane.bottom; ++v)
    for (int h = pane.left; h < pane.right; ++h) pixels.push_back(buffer->pixels[v * (buffer->rowBytes / 4) + h]);
  return pixels;
}

// Reads the text as a document file into the document; a failure or a problem line fails.
inline testing::AssertionResult ReadDocumentText(const std::string& text, DocumentRecord* document) {
  const std::string path = testing::TempDir() + "document_text_" + std::to_string(getpid()) + ".txt";
  std::ofstream(path) << text;
  std::vector<int> lines;
  std::vector<DocumentProblem> problems;
  std::string failure;
  const bool read = ReadDocumentFile(path, document, &lines, &problems, &failure);
  std::remove(path.c_str());
  if (!read) return testing::AssertionFailure() << failure;
  if (!problems.empty()) return testing::AssertionFailure() << problems[0].reason;
  return testing::AssertionSuccess();
}

// Keys as a document's `type:` line writes them, sent to the window; "{Return}" builds.
inline void TypeKeys(DocumentWindow* window, const std::string& text) {
  for (size_t from = 0, at; from <= text.size(); from = at + 8) {
    at = text.find("{Return}", from);
    std::vector<TypedKey> keys;
    std::string reason;
    ASSERT_TRUE(DecodeTypedKeys(text.substr(from, at == std::string::npos ? at : at - from), &keys, &reason)) << reason;
    for (const TypedKey& key : keys) window->HandleKey(TypedKeyEvent(key));
    if (at == std::string::npos) break;
    window->HandleKey(EditKeyEvent{kKeyReturn, kKeyReturn, 0});
  }
}

}  // namespace document_test
