// quorvalis: the main program. Opens a document file (the format quorvalis-render reads, bracket
// notation or typed rows) in a document window, or an empty document without one. Lines that
// cannot be read are named on standard error and left out. Where there is no display it says so
// and renders the document's graph pane to a PNG with quorvalis-render, as the headless program
// does. Status: 0 after the window closed (or the PNG was written), 2 on bad usage or a file that
// cannot be read.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "algebra/algebra_seams.h"
#include "document/document_file.h"
#include "document/document_record.h"
#include "document/document_window.h"
#include "graphics/graphics_layer.h"
#include "kernel/kernel_startup.h"
#include "platform/window/sdl_window.h"
#include "shell/document_event_loop.h"

namespace {

constexpr int kExitUsage = 2;

struct Options {
  std::string document;  // empty: an empty document
  std::string output = "graph.png";
  int width = 800, height = 800;
  bool trace = false;
  bool help = false;
};

const char* Usage() {
  return "usage: quorvalis [options] [DOCUMENT]\n"
         "  DOCUMENT         a document file: one equation a line in bracket notation, e.g.\n"
         "                   equal[y,power[x,2]], or typed as keys, e.g. type: y = x^2{Right} + 1\n"
         "                   (see quorvalis-render --help); without one, an empty document\n"
         "  --size WxH       the window in pixels (default 800x800)\n"
         "  --output FILE    where there is no display: the PNG of the graph pane (default graph.png)\n"
         "  --trace          write the caret and the view after each key and click to standard output\n"
         "In the window: type into the last row; Return builds the graphs; click a row to edit it;\n"
         "drag the graph pane to pan it. Control stands for Command and Alt for Option.\n"
         "Without a display, run it under Xvfb: xvfb-run -s '-screen 0 1024x900x24' quorvalis DOCUMENT\n";
}

bool ReadSize(const char* text, int* width, int* height) {
  int w = 0, h = 0;
  char tail = 0;
  if (std::sscanf(text, "%dx%d%c", &w, &h, &tail) != 2 || w < 200 || h < 200 || w > 4096 || h > 4096) return false;
  *width = w, *height = h;
  return true;
}

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "--trace") {
      options->trace = true;
    } else if (arg == "--size") {
      if (value == nullptr || !ReadSize(value, &options->width, &options->height)) {
        *error = "--size needs WxH, 200 to 4096 pixels a side";
        return false;
      }
      ++i;
    } else if (arg == "--output") {
      if (value == nullptr) {
        *error = "--output needs a file name";
        return false;
      }
      options->output = value;
      ++i;
    } else if (!arg.empty() && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else if (options->document.empty()) {
      options->document = arg;
    } else {
      *error = "one document at a time";
      return false;
    }
  }
  return true;
}

// quorvalis-render beside this program.
std::string RenderProgram() {
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "quorvalis-render";
  self[n] = '\0';
  std::string path(self);
  const size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
  // Built: app/window/quorvalis beside app/quorvalis-render.
  for (const std::string& candidate : {folder + "/quorvalis-render", folder + "/../quorvalis-render"})
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  return "quorvalis-render";
}

// Renders the document to the PNG as the headless program does; its status is ours.
int RenderInstead(const Options& options) {
  const std::string program = RenderProgram();
  const std::string document = options.document.empty() ? "/dev/null" : options.document;
  const std::string size = std::to_string(options.width) + "x" + std::to_string(options.height);
  std::vector<const char*> args = {program.c_str(), document.c_str(), "--output", options.output.c_str(),
                                   "--size", size.c_str(), nullptr};
  std::fflush(nullptr);
  execv(program.c_str(), const_cast<char* const*>(args.data()));
  execvp("quorvalis-render", const_cast<char* const*>(args.data()));
  std::fprintf(stderr, "quorvalis: cannot run quorvalis-render: %s\n", std::strerror(errno));
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "quorvalis: %s\n%s", error.c_str(), Usage());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(Usage(), stdout);
    return 0;
  }
  std::string why;
  if (!HasWindowDisplay(&why)) {
    std::fprintf(stderr, "quorvalis: %s; rendering the graph pane to %s instead\n", why.c_str(), options.output.c_str());
    return RenderInstead(options);
  }
  InitApplicationGlobals();
  InstallAlgebraSeams();
  if (!InitGraphicsLayer()) std::fprintf(stderr, "quorvalis: graph paper patterns missing; drawing without\n");

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
  FILE* trace = options.trace ? stdout : nullptr;
  if (trace != nullptr) {
    const DocumentWindowLayout& l = documentWindow.Layout();
    std::fprintf(trace, "layout math %d %d %d %d graph %d %d %d %d\n", l.mathPane.top, l.mathPane.left,
                 l.mathPane.bottom, l.mathPane.right, l.graphPane.top, l.graphPane.left, l.graphPane.bottom,
                 l.graphPane.right);
    TraceCaret(trace, &documentWindow);
  }
  RunDocumentEventLoop(window.get(), &documentWindow, trace);
  ShutdownApplicationKernel();
  return 0;
}
