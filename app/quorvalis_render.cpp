// quorvalis-render: the headless road from a document of equations to a PNG of its graph pane.
// Each row is classified and built by the graph factory, the view set's idle loop runs until
// every graph is complete (with a progress line on a terminal), and the first 2D view is drawn
// into an offscreen buffer and written out. Bad input (an unreadable line, an equation that
// cannot be graphed) is named by line with its reason and ends the run with status 1 before
// anything is drawn; usage and file errors end it with status 2.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "algebra/algebra_seams.h"
#include "app/headless_document.h"
#include "app/render_options.h"
#include "graphics/graphics_layer.h"
#include "graphs/equation_form.h"
#include "graphs/graph_factory.h"
#include "graphs/graph_view_2d.h"
#include "kernel/diagnostics/message_tables.h"
#include "kernel/kernel_startup.h"
#include "kernel/threads/timers.h"
#include "kernel/trees/expr_node.h"
#include "platform/draw/png_io.h"
#include "platform/draw/port.h"

namespace {

constexpr int kExitBadDocument = 1;
constexpr int kExitUsage = 2;
constexpr uint32_t kTickBudgetTicks = 30;  // the budget of one idle tick of a document window
constexpr double kGrain = 0.5, kOpacity = 1.0, kPlottingMode = 2.0;

void Report(const std::string& path, int line, const std::string& reason) {
  std::fprintf(stderr, "%s:%d: %s\n", path.c_str(), line, reason.c_str());
}

// Builds every row's graphs; the rows that cannot be graphed are reported. Returns their count.
int BuildRows(HeadlessDocument& document, const std::string& path, std::vector<int32_t>* tableRows) {
  CoordinateTransform transform;
  BuildGraphsForEquationSet(&document.viewSet, false, false, false, false, &transform);
  int problems = 0;
  for (size_t i = 0; i < document.rows.size(); ++i) {
    ExprNode* equation = document.rows[i].expression;
    int32_t message = 0;
    int32_t row = -1;
    if (ClassifyEquationForGraph(equation, false, false, &document) == 0) {
      message = ClassifyEquationList(equation, false, false, &document);
    } else {
      ExprNode* copy = CopyExpression(equation);  // the factory rewrites its equation in place
      row = CreateGraphsForEquation(&document.viewSet, copy, false, false, &transform,
                                    static_cast<double>(i % 8 + 1), kGrain, kOpacity, kPlottingMode, document.xyTypes[i],
                                    &document, &message);
      FreeExpression(copy);
    }
    tableRows->push_back(row);
    if (row >= 0) continue;
    ++problems;
    Report(path, document.lineOfRow[i], message != 0 ? GraphResultMessage(message) : "not enough memory to graph it");
  }
  return problems;
}

// Ticks the view set until every graph is complete; on a terminal the progress is shown.
void ComputeAll(HeadlessDocument& document) {
  GraphViewSet* set = &document.viewSet;
  const bool terminal = isatty(STDERR_FILENO) != 0;
  const int32_t total = set->first2D->graphs.count;
  const int32_t budget = static_cast<int32_t>(TicksToTimerUnits(kTickBudgetTicks));
  while (!ViewSetAllViewsReady(set)) {
    ViewSetIdleTick(set, budget);
    if (!terminal) continue;
    int32_t complete = 0;
    for (int32_t i = 0; i < total; ++i) complete += set->first2D->graphs.data[i]->IsComplete() ? 1 : 0;
    std::fprintf(stderr, "\rcomputing graphs: %d of %d complete", complete, total);
  }
  if (terminal) std::fprintf(stderr, "\rcomputing graphs: %d of %d complete\n", total, total);
}

}  // namespace

int main(int argc, char** argv) {
  RenderOptions options;
  std::string error;
  if (!ParseRenderOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "quorvalis-render: %s\n%s", error.c_str(), RenderUsage());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(RenderUsage(), stdout);
    return 0;
  }
  InitApplicationGlobals();
  InstallAlgebraSeams();
  if (!InitGraphicsLayer()) std::fprintf(stderr, "quorvalis-render: graph paper patterns missing; drawing without\n");

  HeadlessDocument document;
  document.antialiased = options.antialias;
  std::vector<DocumentProblem> problems;
  if (!ReadDocumentFile(options.document, &document, &problems, &error)) {
    std::fprintf(stderr, "quorvalis-render: %s\n", error.c_str());
    return kExitUsage;
  }
  for (const DocumentProblem& p : problems) Report(options.document, p.line, p.reason);
  const QDRect pane = MakeRect(0, 0, options.width, options.height);
  InitViewSet(&document.viewSet, pane, &document);
  GraphView2D* view = document.viewSet.first2D;
  if (view == nullptr) {
    std::fprintf(stderr, "quorvalis-render: not enough memory for the graph pane\n");
    return kExitUsage;
  }
  if (options.hasRangeX || options.hasRangeY) {
    const double x0 = options.hasRangeX ? options.rangeX[0] : view->WindowX(0);
    const double x1 = options.hasRangeX ? options.rangeX[1] : view->WindowX(options.width);
    const double y0 = options.hasRangeY ? options.rangeY[0] : view->WindowY(options.height);
    const double y1 = options.hasRangeY ? options.rangeY[1] : view->WindowY(0);
    view->SetViewRange(x0, x1, y0, y1);
  }
  std::vector<int32_t> tableRows;
  const int unbuilt = BuildRows(document, options.document, &tableRows);
  if (!problems.empty() || unbuilt > 0) {
    std::fprintf(stderr, "quorvalis-render: %zu line(s) could not be graphed; nothing was written\n",
                 problems.size() + static_cast<size_t>(unbuilt));
    return kExitBadDocument;
  }
  ComputeAll(document);
  for (size_t i = 0; i < tableRows.size(); ++i) {
    const int32_t status = ViewSetGetSlotEntry(&document.viewSet, tableRows[i]);
    if (status != 0) Report(options.document, document.lineOfRow[i], std::string("note: ") + GraphResultMessage(status));
  }

  GWorldPtr window = NewGWorld(pane);
  if (window == nullptr) {
    std::fprintf(stderr, "quorvalis-render: not enough memory for a %dx%d picture\n", options.width, options.height);
    return kExitUsage;
  }
  SetGWorld(window, nullptr);
  view->Draw();
  const bool written = WritePortPng(options.output.c_str(), window, false);
  SetGWorld(nullptr, nullptr);
  DisposeGWorld(window);
  if (!written) {
    std::fprintf(stderr, "quorvalis-render: cannot write %s\n", options.output.c_str());
    return kExitUsage;
  }
  std::error_code ignored;
  const std::filesystem::path where = std::filesystem::absolute(options.output, ignored);
  std::printf("wrote %s (%dx%d, %zu graph%s)\n", where.c_str(), options.width, options.height, tableRows.size(),
              tableRows.size() == 1 ? "" : "s");
  return 0;
}
