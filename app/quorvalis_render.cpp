// quorvalis-render: the headless road from a document of equations to a PNG of its graph pane.
// Each row is prepared (definitions applied, derivatives and vector operators worked out), then
// classified and built by the graph factory, the view set's idle loop runs until every graph shown
// is complete (with a progress line on a terminal), and the first 2D view, or with a line
// "@view=3d" the first 3D view, or with "@view=4d" the 4D view with its axes' letters, is drawn into
// an offscreen buffer and written out, with the second 2D or 3D view beside it when a line
// "@map=..." gives a coordinate transformation or a line "@split=..." a split view.
// The 3D and 4D views draw through Mesa's GL offscreen (read back into the buffer), or through the
// software rasteriser when OpenGL is missing or switched off (use_software_renderer=1 in the
// preferences) and whenever a row has an opacity other than 1. Bad input (an unreadable line, an equation that
// cannot be graphed) is named by line with its reason and ends the run with status 1 before
// anything is drawn; usage and file errors, and a range the view cannot show, end it with status 2.
// The program's messages (OpenGL missing at start-up, memory refused) go to standard error.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "algebra/algebra_seams.h"
#include "app/render_options.h"
#include "document/axis_labels_4d.h"
#include "document/document_file.h"
#include "document/document_record.h"
#include "graphics/gl/graphics_context.h"
#include "graphics/graphics_layer.h"
#include "graphics/port_save.h"
#include "graphics/qd_layer.h"
#include "graphs/view2d/graph_view_2d.h"
#include "graphs/view3d/graph_view_3d.h"
#include "graphs/view4d/graph_view_4d.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/diagnostics/message_alert.h"
#include "kernel/diagnostics/message_tables.h"
#include "kernel/kernel_startup.h"
#include "kernel/threads/timers.h"
#include "platform/draw/png_io.h"
#include "platform/draw/port.h"

namespace {

constexpr int kExitBadDocument = 1;
constexpr int kExitUsage = 2;
constexpr uint32_t kTickBudgetTicks = 30;  // the budget of one idle tick of a document window

// The program's messages (no OpenGL, memory refused, the limits of floating point) on standard
// error, each line of a message on a line.
void SayMessage(int, const char* text) {
  std::string said = text;
  std::replace(said.begin(), said.end(), '\r', '\n');
  std::fprintf(stderr, "quorvalis-render: %s\n", said.c_str());
}

// At every end of the run, a message still pending is said too.
struct PendingMessageSaid {
  ~PendingMessageSaid() { ShowPendingError(); }
};

void Report(const std::string& path, int line, const std::string& reason) {
  std::fprintf(stderr, "%s:%d: %s\n", path.c_str(), line, reason.c_str());
}

// Builds every row's graphs; the rows that cannot be graphed are reported by file line. Returns
// their count.
int BuildRows(DocumentRecord& document, const std::vector<int>& lineOfRow, const std::string& path) {
  const int unbuilt = BuildDocumentRowGraphs(&document);
  for (int32_t i = 0; i < document.rows.count; ++i) {
    const EquationRow& row = document.rows.data[i];
    // A slider row only defines its parameter, a definition its name.
    if (row.graphRow >= 0 || row.hasSliderControl || IsDefinitionRow(&document, i)) continue;
    Report(path, lineOfRow[static_cast<size_t>(i)],
           row.resultMessage != 0 ? GraphResultMessage(row.resultMessage) : "not enough memory to graph it");
  }
  return unbuilt;
}

// Ticks the view set until every graph shown is complete; on a terminal the progress is shown.
void ComputeAll(DocumentRecord& document) {
  GraphViewSet* set = &document.viewSet;
  const bool terminal = isatty(STDERR_FILENO) != 0;
  const GraphList* shown[2] = {&set->primary->graphs, set->secondary != nullptr ? &set->secondary->graphs : nullptr};
  const int32_t total = shown[0]->count + (shown[1] != nullptr ? shown[1]->count : 0);
  const int32_t budget = static_cast<int32_t>(TicksToTimerUnits(kTickBudgetTicks));
  while (!ViewSetAllViewsReady(set)) {
    ViewSetIdleTick(set, budget);
    if (!terminal) continue;
    int32_t complete = 0;
    for (const GraphList* list : shown) {
      for (int32_t i = 0; list != nullptr && i < list->count; ++i) complete += list->data[i]->IsComplete() ? 1 : 0;
    }
    std::fprintf(stderr, "\rcomputing graphs: %d of %d complete", complete, total);
  }
  if (terminal) std::fprintf(stderr, "\rcomputing graphs: %d of %d complete\n", total, total);
}

// What drew a GL view, as the line printed at the end says it: ", 3D by OpenGL".
std::string DrawnBy(const GraphicsContext* context, const char* name) {
  const bool software = GLContextKind(context) == kContextQuickDraw;
  return std::string(", ") + name + (software ? " by the software rasteriser" : " by OpenGL");
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
  InitGLPlatform();
  // Start-up is done: the messages it held (no OpenGL) are said now, and every later one at once.
  SetMessageAlertSink(SayMessage);
  const PendingMessageSaid pendingMessageSaid;

  const QDRect pane = MakeRect(0, 0, options.width, options.height);
  DocumentRecord document(pane);
  document.antialiased = options.antialias;
  std::vector<int> lineOfRow;
  std::vector<DocumentProblem> problems;
  if (!ReadDocumentFile(options.document, &document, &lineOfRow, &problems, &error)) {
    std::fprintf(stderr, "quorvalis-render: %s\n", error.c_str());
    return kExitUsage;
  }
  for (const DocumentProblem& p : problems) Report(options.document, p.line, p.reason);
  GraphViewSet* set = &document.viewSet;
  // The pane's buffer: the plane views draw into it as the current port, the GL views read their
  // frames back into it (the software rasteriser draws there too).
  if (set->first2D == nullptr || set->first3D == nullptr || set->view4D == nullptr ||
      (document.paneBuffer = NewGWorld32(pane)) == nullptr) {
    std::fprintf(stderr, "quorvalis-render: not enough memory for the graph pane\n");
    return kExitUsage;
  }
  if (!ShowRangeOptions(options, &document, &error)) {
    std::fprintf(stderr, "quorvalis-render: %s\n", error.c_str());
    return kExitUsage;
  }
  // The evaluation reads the names the rows define (sliders, complex points) from the current one.
  SetCurrentDocument(&document);
  const int unbuilt = BuildRows(document, lineOfRow, options.document);
  if (!problems.empty() || unbuilt > 0) {
    std::fprintf(stderr, "quorvalis-render: %zu line(s) could not be graphed; nothing was written\n",
                 problems.size() + static_cast<size_t>(unbuilt));
    return kExitBadDocument;
  }
  if (!LayOutBoth2DViews(options, &document, &error)) {
    std::fprintf(stderr, "quorvalis-render: %s\n", error.c_str());
    return kExitUsage;
  }
  ComputeAll(document);
  for (int32_t i = 0; i < document.rows.count; ++i) {
    const int32_t graphRow = document.rows.data[i].graphRow;
    if (graphRow < 0) continue;  // a slider row or a definition
    const int line = lineOfRow[static_cast<size_t>(i)];
    if (const char* note = HiddenViewNote(&document.viewSet, graphRow)) {
      Report(options.document, line, note);
      continue;
    }
    const int32_t status = ViewSetGetSlotEntry(&document.viewSet, graphRow);
    if (status != 0) Report(options.document, line, std::string("note: ") + GraphResultMessage(status));
  }

  // One still frame of each space view shown, in its default orientation; the plane views as they
  // are; the primary first, then the view beside it.
  if (set->primary == set->view4D) set->view4D->SetOption(kOption4DStopSpin, 0.0);
  for (GraphView3D* space : {set->first3D, set->second3D}) {
    if (space == set->primary || space == set->secondary) space->SetOption(kOptionStopSpin, 0.0);
  }
  SetGWorld(document.paneBuffer, nullptr);
  ViewSetActivate(set, 2);
  DrawAxisLabels4D(document);  // the 4D view's letters over its frame; nothing for another view
  const bool written = WritePortPng(options.output.c_str(), document.paneBuffer, false);
  SetGWorld(nullptr, nullptr);
  // The renderer that drew the first GL view shown.
  std::string drawnBy;
  if (set->primary == set->view4D) drawnBy = DrawnBy(set->view4D->context, "4D");
  for (GraphView3D* space : {set->first3D, set->second3D}) {
    if (drawnBy.empty() && (space == set->primary || space == set->secondary)) drawnBy = DrawnBy(space->context, "3D");
  }
  if (!written) {
    std::fprintf(stderr, "quorvalis-render: cannot write %s\n", options.output.c_str());
    return kExitUsage;
  }
  std::error_code ignored;
  const std::filesystem::path where = std::filesystem::absolute(options.output, ignored);
  std::printf("wrote %s (%dx%d, %d graph%s%s)\n", where.c_str(), options.width, options.height, document.rows.count,
              document.rows.count == 1 ? "" : "s", drawnBy.c_str());
  return 0;
}
