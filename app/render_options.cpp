// Parsing of the programs' command lines, once and in order; numbers must be read whole and be
// finite.
#include "app/render_options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "document/document_ranges.h"
#include "document/document_record.h"

namespace {

constexpr int kMinSide = 16;
constexpr int kMaxSide = 4096;

// "WxH" within the side limits.
bool ReadSize(const char* text, int* width, int* height) {
  const char* x = std::strchr(text, 'x');
  if (x == nullptr) return false;
  double a, b;
  if (!ReadWholeNumber(std::string(text, x).c_str(), &a) || !ReadWholeNumber(x + 1, &b)) return false;
  if (a != std::floor(a) || b != std::floor(b) || a < kMinSide || b < kMinSide || a > kMaxSide || b > kMaxSide) {
    return false;
  }
  *width = static_cast<int>(a), *height = static_cast<int>(b);
  return true;
}

}  // namespace

const char* RangeOptionsUsage() {
  return "  --x MIN,MAX      an x range to show whole\n"
         "  --y MIN,MAX      a y range to show whole; each range given is centred and both axes\n"
         "                   share one scale, the largest grid scale at which every range given\n"
         "                   fits (default: 64 pixels a unit), an axis without a range centred on\n"
         "                   0; a range the view cannot show is refused. In 3D and 4D they are\n"
         "                   the x and y ranges of the box (default -2,2)\n"
         "  --z MIN,MAX      the z range of the 3D box or the 4D view (default -2,2)\n"
         "  --w MIN,MAX      the w range of the 4D view (default -2,2)\n"
         "  --t MIN,MAX      the parameter range of curves in t\n"
         "  --u MIN,MAX      the parameter ranges of surfaces in u and v (3D and 4D)\n"
         "  --v MIN,MAX\n"
         "  --r MIN,MAX      the ranges of r, theta (2D and 3D) and phi (3D)\n"
         "  --theta MIN,MAX\n"
         "  --phi MIN,MAX    A document line @NAME=MIN,MAX (@z=-1,1) asks for a range the same\n"
         "                   way; an option wins over the line. A range the view shown does not\n"
         "                   have is refused.\n";
}

const char* RenderUsage() {
  static const std::string usage =
      std::string("usage: quorvalis-render [options] DOCUMENT\n"
                  "  DOCUMENT         one equation a line in bracket notation, e.g. equal[y,power[x,2]],\n"
                  "                   or typed as keys, e.g. type: y=x^2{Right}+1 (keys without a\n"
                  "                   character in braces: {Right} {Left} {Up} {Down} {Tab} {Backspace}\n"
                  "                   {Escape}, modifiers as in {Ctrl-d} {Alt-x} {Shift-Tab});\n"
                  "                   blank lines and lines starting with # are skipped; a line @view=3d\n"
                  "                   builds the rows in space and draws the 3D view, a line @view=4d in 4D\n"
                  "                   space and draws the 4D view (OpenGL offscreen, or the software\n"
                  "                   rasteriser with use_software_renderer=1 in the preferences); a line\n"
                  "                   @split=2d or @split=3d draws the second 2D or 3D view beside the first\n"
                  "                   (the rows starting @side=1 go there), @map=space matrix[3,1,X,Y,Z] the\n"
                  "                   two 3D views with the space map; a row may start with @colour=N\n"
                  "                   (1-8, 10-17), @grain=G, @opacity=A (0 to 1) and @mode=M (0, 1, 2)\n"
                  "  --output FILE    the PNG to write (default graph.png)\n"
                  "  --size WxH       the graph pane in pixels, 16 to 4096 a side (default 800x600)\n") +
      RangeOptionsUsage() + "  --antialias      draw through the double-size buffer\n";
  return usage.c_str();
}

bool ParseRenderOptions(int argc, char** argv, RenderOptions* options, std::string* error, bool windowProgram) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    // The argument after an option is its value, unless it is an option itself.
    const char* value = i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0 ? argv[i + 1] : nullptr;
    auto refuse = [&](const char* what) {
      *error = arg + ": " + what;
      return false;
    };
    const int32_t range = arg.size() > 2 && arg.compare(0, 2, "--") == 0 ? AskedRangeByName(arg.substr(2)) : -1;
    if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "--antialias") {
      options->antialias = true;
    } else if (arg == "--trace" && windowProgram) {
      options->trace = true;
    } else if (arg == "--output") {
      if (value == nullptr || *value == '\0') return refuse("expects a file name");
      options->output = value, options->outputGiven = true, ++i;
    } else if (arg == "--size") {
      if (value == nullptr || !ReadSize(value, &options->width, &options->height)) {
        return refuse("expects WxH, 16 to 4096 pixels a side");
      }
      options->sizeGiven = true, ++i;
    } else if (range >= 0) {
      const RangeRead read = ReadRangeBounds(value, options->ranges.bounds[range]);
      if (read != RangeRead::kRange) {
        *error = RangeRefusal(range, false, read);
        return false;
      }
      options->ranges.given[range] = true;
      options->ranges.fromDocumentLine[range] = false;
      ++i;
    } else if (!arg.empty() && arg[0] == '-') {
      return refuse("unknown option");
    } else if (options->document.empty()) {
      options->document = arg;
    } else {
      return refuse("only one document can be rendered");
    }
  }
  if (!windowProgram && options->document.empty() && !options->help) {
    *error = "no document given";
    return false;
  }
  return true;
}

std::vector<std::string> RenderArguments(const RenderOptions& options) {
  std::vector<std::string> args;
  if (options.outputGiven) args.insert(args.end(), {"--output", options.output});
  if (options.sizeGiven) {
    args.insert(args.end(), {"--size", std::to_string(options.width) + "x" + std::to_string(options.height)});
  }
  for (int32_t k = 0; k < kAskedRangeCount; ++k) {
    if (!options.ranges.given[k]) continue;
    char bounds[64];
    std::snprintf(bounds, sizeof bounds, "%.17g,%.17g", options.ranges.bounds[k][0], options.ranges.bounds[k][1]);
    args.insert(args.end(), {std::string("--") + AskedRangeNameText(k), bounds});
  }
  if (options.antialias) args.emplace_back("--antialias");
  if (!options.document.empty()) args.push_back(options.document);
  return args;
}

bool ShowRangeOptions(const RenderOptions& options, DocumentRecord* document, std::string* refusal) {
  AskedRanges ranges = document->askedRanges;
  OverlayAskedRanges(&ranges, options.ranges);
  return ShowAskedRanges(ranges, document->shownView, &document->viewSet, refusal);
}

bool LayOutBoth2DViews(const RenderOptions& options, DocumentRecord* document, std::string* refusal) {
  GraphViewSet* set = &document->viewSet;
  if (set->secondary == nullptr || set->primary != set->first2D) return true;
  const bool both2D = set->secondary == set->second2D;
  for (GraphView2D* view : {set->first2D, set->second2D}) {
    if (view != set->first2D && !both2D) continue;
    view->SetViewDefaults();
    view->UpdateGeometry();
  }
  if (!ShowRangeOptions(options, document, refusal)) return false;
  if (both2D) ViewSetCopyViewSettings(set, 1);
  return true;
}
