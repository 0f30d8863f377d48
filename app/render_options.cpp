// Parsing of the headless program's command line; numbers must be read whole and be finite.
#include "app/render_options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "document/document_record.h"
#include "graphs/view2d/graph_view_2d.h"
#include "graphs/view3d/graph_view_3d.h"
#include "graphs/view4d/graph_view_4d.h"

namespace {

constexpr int kMinSide = 16;
constexpr int kMaxSide = 4096;

bool ReadNumber(const char* text, double* out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  *out = std::strtod(text, &end);
  return errno == 0 && *end == '\0' && std::isfinite(*out);
}

// "a,b" (or "a:b") with a < b.
bool ReadRange(const char* text, double out[2]) {
  const char* separator = std::strpbrk(text, ",:");
  if (separator == nullptr) return false;
  const std::string low(text, separator);
  return ReadNumber(low.c_str(), &out[0]) && ReadNumber(separator + 1, &out[1]) && out[0] < out[1];
}

// "--x 1,2": the option with its bounds to 15 digits.
std::string RangeText(const char* option, const double range[2]) {
  char text[80];
  std::snprintf(text, sizeof text, "%s %.15g,%.15g", option, range[0], range[1]);
  return text;
}

// "WxH" within the side limits.
bool ReadSize(const char* text, int* width, int* height) {
  const char* x = std::strchr(text, 'x');
  if (x == nullptr) return false;
  const std::string w(text, x);
  double a, b;
  if (!ReadNumber(w.c_str(), &a) || !ReadNumber(x + 1, &b)) return false;
  if (a != std::floor(a) || b != std::floor(b) || a < kMinSide || b < kMinSide || a > kMaxSide || b > kMaxSide) {
    return false;
  }
  *width = static_cast<int>(a), *height = static_cast<int>(b);
  return true;
}

}  // namespace

const char* RenderUsage() {
  return "usage: quorvalis-render [options] DOCUMENT\n"
         "  DOCUMENT         one equation a line in bracket notation, e.g. equal[y,power[x,2]],\n"
         "                   or typed as keys, e.g. type: y=x^2{Right}+1 (keys without a\n"
         "                   character in braces: {Right} {Left} {Up} {Down} {Tab} {Backspace}\n"
         "                   {Escape}, modifiers as in {Ctrl-d} {Alt-x} {Shift-Tab});\n"
         "                   blank lines and lines starting with # are skipped; a line @view=3d\n"
         "                   builds the rows in space and draws the 3D view, a line @view=4d in 4D\n"
         "                   space and draws the 4D view (OpenGL offscreen, or the software\n"
         "                   rasteriser with use_software_renderer=1 in the preferences)\n"
         "  --output FILE    the PNG to write (default graph.png)\n"
         "  --size WxH       the graph pane in pixels, 16 to 4096 a side (default 800x600)\n"
         "  --x MIN,MAX      an x range to show whole\n"
         "  --y MIN,MAX      a y range to show whole; each range given is centred and both axes\n"
         "                   share one scale, the largest grid scale at which every range given\n"
         "                   fits (default: 64 pixels a unit); a range the view cannot show is\n"
         "                   refused. In 3D and 4D they are the x and y ranges of the box\n"
         "                   (default -2,2)\n"
         "  --antialias      draw through the double-size buffer\n";
}

bool ParseRenderOptions(int argc, char** argv, RenderOptions* options, std::string* error, bool documentRequired) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto needs = [&](bool ok, const char* what) {
      if (!ok) *error = arg + ": " + what;
      return ok;
    };
    if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "--antialias") {
      options->antialias = true;
    } else if (arg == "--output") {
      if (!needs(value != nullptr && *value != '\0', "expects a file name")) return false;
      options->output = value, ++i;
    } else if (arg == "--size") {
      if (!needs(value != nullptr && ReadSize(value, &options->width, &options->height),
                 "expects WxH, 16 to 4096 pixels a side")) {
        return false;
      }
      ++i;
    } else if (arg == "--x" || arg == "--y") {
      double* range = arg == "--x" ? options->rangeX : options->rangeY;
      if (!needs(value != nullptr && ReadRange(value, range), "expects MIN,MAX with finite MIN below MAX")) {
        return false;
      }
      (arg == "--x" ? options->hasRangeX : options->hasRangeY) = true;
      ++i;
    } else if (!arg.empty() && arg[0] == '-') {
      *error = arg + ": unknown option";
      return false;
    } else if (options->document.empty()) {
      options->document = arg;
    } else {
      *error = arg + ": only one document can be rendered";
      return false;
    }
  }
  if (documentRequired && options->document.empty() && !options->help) {
    *error = "no document given";
    return false;
  }
  return true;
}

bool ShowRangeOptions(const RenderOptions& options, DocumentRecord* document, std::string* refusal) {
  if (document->shownView != ShownView::k2D) {
    GraphView3D* view = document->viewSet.first3D;
    GraphView4D* view4D = document->viewSet.view4D;
    const bool in4D = document->shownView == ShownView::k4D;
    if (in4D ? view4D == nullptr : view == nullptr) return true;
    // x, y, z (and w) ranges in turn.
    double* box = in4D ? view4D->axisRanges : view->settings.camera.box;
    for (int k = 0; k < 2; ++k) {
      if (options.hasRangeX) box[k] = options.rangeX[k];
      if (options.hasRangeY) box[2 + k] = options.rangeY[k];
    }
    return true;
  }
  GraphView2D* view = document->viewSet.first2D;
  if (view == nullptr || view->ShowRangesAtOneScale(options.hasRangeX ? options.rangeX : nullptr,
                                 options.hasRangeY ? options.rangeY : nullptr)) {
    return true;
  }
  std::string given;
  if (options.hasRangeX) given += RangeText("--x", options.rangeX);
  if (options.hasRangeY) given += (given.empty() ? "" : ", ") + RangeText("--y", options.rangeY);
  const char* what = options.hasRangeX && options.hasRangeY ? "these ranges" : "this range";
  *refusal = given + ": the view cannot show " + what +
             " (too wide or too narrow)";
  return false;
}

void LayOutBoth2DViews(const RenderOptions& options, DocumentRecord* document) {
  GraphViewSet* set = &document->viewSet;
  if (set->secondary == nullptr || set->secondary != set->second2D) return;
  for (GraphView2D* view : {set->first2D, set->second2D}) {
    view->SetViewDefaults();
    view->UpdateGeometry();
  }
  std::string refusal;
  ShowRangeOptions(options, document, &refusal);  // shown at the whole pane's size, so shown at half
  ViewSetCopyViewSettings(set, 1);
}
