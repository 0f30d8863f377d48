// The command line of the headless program, which the window program reads too: the document to
// read, the PNG to write, the size of the graph pane, the x and y ranges shown (and showing them
// in a view), and antialiasing. Every value is checked before use: sizes within 16..4096 pixels,
// ranges finite with the lower bound below the upper.
#pragma once

#include <string>

class DocumentRecord;

struct RenderOptions {
  std::string document;            // the document file: one equation a line
  std::string output = "graph.png";
  int width = 800;
  int height = 600;
  bool hasRangeX = false, hasRangeY = false;
  double rangeX[2] = {0, 0};
  double rangeY[2] = {0, 0};
  bool antialias = false;
  bool help = false;
};

// Reads argv into *options. False with *error set (a sentence naming the option) on bad input.
// The window program reads the same options with the document optional (an empty document).
bool ParseRenderOptions(int argc, char** argv, RenderOptions* options, std::string* error,
                        bool documentRequired = true);
// The usage text, ending with a newline.
const char* RenderUsage();
// Shows the ranges the options ask for in the document's first 2D view, whole, centred, at one
// scale for both axes (GraphView2D::ShowRangesAtOneScale); in a 3D or 4D document they are the x
// and y ranges of the first 3D view's box or of the 4D view's axes. Nothing when none is asked
// for. False with *refusal set (a sentence naming the options) when the 2D view cannot show them,
// the view unchanged.
bool ShowRangeOptions(const RenderOptions& options, DocumentRecord* document, std::string* refusal);
// With a plane transformation the second 2D view shows beside the first, each on its half of the
// graph pane (once the rows are built): both are centred on their halves, the ranges asked for are
// fitted to the first at that size, and the second shows the first one's region. Both programs lay
// the two views out with it; nothing when the second 2D view is not shown.
void LayOutBoth2DViews(const RenderOptions& options, DocumentRecord* document);
