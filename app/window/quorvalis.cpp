// quorvalis: the main program. Opens a document file (the format quorvalis-render reads, bracket
// notation or typed rows, in 2D or, with a line @view=3d or @view=4d, in the 3D or the 4D view)
// in a document window, or an empty document without one. Lines that cannot be read are named on
// standard error and left out. Ranges asked for are shown whole in the graph pane at one scale for
// both axes, as the headless program shows them. Where there is no display it says so and renders
// the document's graph pane to a PNG with quorvalis-render, as the headless program does. Status:
// 0 after the window closed (or the PNG was written), 2 on bad usage, a file that cannot be read or
// a range the view cannot show.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "algebra/algebra_seams.h"
#include "app/render_options.h"
#include "document/document_file.h"
#include "document/document_record.h"
#include "document/document_window.h"
#include "graphics/gl/graphics_context.h"
#include "graphics/graphics_layer.h"
#include "kernel/kernel_startup.h"
#include "platform/window/sdl_window.h"
#include "shell/document_event_loop.h"

namespace {

constexpr int kExitUsage = 2;

const char* Usage() {
  static const std::string usage =
      std::string("usage: quorvalis [options] [DOCUMENT]\n"
                  "  DOCUMENT         a document file as quorvalis-render reads it (quorvalis-render --help);\n"
                  "                   without one, an empty document\n"
                  "  --size WxH       the window in pixels (default 800x600)\n"
                  "  --antialias      draw the plane views through the double-size buffer\n") +
      RangeOptionsUsage() +
      "  --output FILE    where there is no display: the PNG drawn instead\n"
      "  --trace          write the layout, then the caret and the view at the start and after\n"
      "                   each key and click, to standard output\n"
      "In the window: type into the last row; Return builds the graphs and goes on in a new row;\n"
      "Up widens the selection a part at a step, and with the whole formula selected goes to the\n"
      "row above; Down narrows it, and goes to the row below where it does not move or from the\n"
      "formula's end; Backspace in an empty row deletes it; click a row to edit it; the wheel\n"
      "scrolls the rows; drag the divider between the panes to share the window out. F10 opens\n"
      "the first menu (the arrows move, Return chooses, Escape closes). Control+Z undoes,\n"
      "Control+Shift+Z and Control+Y redo, Control+X, Control+C and Control+V cut, copy and\n"
      "paste, Control+A selects the row.\n"
      "In a plane view: a plain drag on a graph probes it and on empty paper pans; Control-drag\n"
      "pans anywhere; Alt-drag probes the first graph; Shift-drag zooms to a box; a double click\n"
      "zooms in at the probe. On a raster, a colour plot, integral curves or a map document a\n"
      "plain drag always probes, as their graphs cover the pane; only Control-drag pans there.\n"
      "In 3D and 4D: drag a graph to turn the view (Shift: about one axis, or in 4D the other\n"
      "three axes; Control with Alt: the depth). Control stands for Command and Alt for Option.\n"
      "Without a display, run it under Xvfb: xvfb-run -s '-screen 0 1024x900x24' quorvalis DOCUMENT\n";
  return usage.c_str();
}

// quorvalis-render beside this program.
std::string RenderProgram() {
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "quorvalis-render";
  self[n] = '\0';
  const std::string path(self);
  const size_t slash = path.rfind('/');
  // The build puts both programs in app/.
  const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  const std::string beside = folder + "/quorvalis-render";
  return access(beside.c_str(), X_OK) == 0 ? beside : "quorvalis-render";
}

// Renders the document to the PNG as the headless program does, with the same options; its
// status is ours.
int RenderInstead(const RenderOptions& options) {
  const std::string program = RenderProgram();
  std::vector<std::string> arguments = RenderArguments(options);
  if (options.document.empty()) arguments.emplace_back("/dev/null");
  std::vector<char*> args{const_cast<char*>(program.c_str())};
  for (std::string& argument : arguments) args.push_back(argument.data());
  args.push_back(nullptr);
  std::fflush(nullptr);
  execv(program.c_str(), args.data());
  execvp("quorvalis-render", args.data());
  std::fprintf(stderr, "quorvalis: cannot run quorvalis-render: %s\n", std::strerror(errno));
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  // Each option once, in order; --trace is the window's own.
  RenderOptions options;
  std::string error;
  if (!ParseRenderOptions(argc, argv, &options, &error, true)) {
    std::fprintf(stderr, "quorvalis: %s\n%s", error.c_str(), Usage());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(Usage(), stdout);
    return 0;
  }
  std::string why;
  if (!HasWindowDisplay(&why)) {
    std::fprintf(stderr, "quorvalis: %s; rendering the graph pane to %s instead\n", why.c_str(),
                 options.output.c_str());
    return RenderInstead(options);
  }
  InitApplicationGlobals();
  InstallAlgebraSeams();
  if (!InitGraphicsLayer()) std::fprintf(stderr, "quorvalis: graph paper patterns missing; drawing without\n");
  InitGLPlatform();

  // The document is made for the window's graph pane, so its views start centred in it.
  auto document =
      std::make_unique<DocumentRecord>(ComputeDocumentWindowLayout(options.width, options.height).graphPane);
  SetCurrentDocument(document.get());
  if (!options.document.empty()) {
    std::vector<int> lineOfRow;
    std::vector<DocumentProblem> problems;
    if (!ReadDocumentFile(options.document, document.get(), &lineOfRow, &problems, &error)) {
      std::fprintf(stderr, "quorvalis: %s\n", error.c_str());
      return kExitUsage;
    }
    for (const DocumentProblem& p : problems)
      std::fprintf(stderr, "%s:%d: %s (left out)\n", options.document.c_str(), p.line, p.reason.c_str());
  }
  if (!ShowRangeOptions(options, document.get(), &error)) {
    std::fprintf(stderr, "quorvalis: %s\n", error.c_str());
    return kExitUsage;
  }
  const std::string title = "Quorvalis" + (options.document.empty() ? std::string() : " - " + options.document);
  std::unique_ptr<SdlWindow> window(SdlWindow::Open(title.c_str(), options.width, options.height, &error));
  if (window == nullptr) {
    std::fprintf(stderr, "quorvalis: %s; rendering the graph pane to %s instead\n", error.c_str(),
                 options.output.c_str());
    document.reset();
    return RenderInstead(options);
  }
  DocumentWindow documentWindow(document.get(), window.get());
  if (!documentWindow.Open(options.width, options.height)) {
    std::fprintf(stderr, "quorvalis: not enough memory for the window\n");
    return kExitUsage;
  }
  document->antialiased = options.antialias;
  // A document with a map shows its two plane views as the headless program does, and refuses a
  // range the first cannot show at half the width.
  if (!LayOutBoth2DViews(options, document.get(), &error)) {
    std::fprintf(stderr, "quorvalis: %s\n", error.c_str());
    return kExitUsage;
  }
  documentWindow.RedrawAll();
  FILE* traceFile = options.trace ? stdout : nullptr;
  if (traceFile != nullptr) {
    TraceLayout(traceFile, &documentWindow);
    TraceCaret(traceFile, &documentWindow);
    TraceView(traceFile, &documentWindow);
  }
  RunDocumentEventLoop(window.get(), &documentWindow, traceFile);
  ShutdownApplicationKernel();
  return 0;
}
