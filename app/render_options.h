// The command line of the headless program, which the window program reads too: the document to
// read, the PNG to write, the size of the graph pane, the ranges shown (x and y, and every other
// range a document can ask for by name), and antialiasing. Every value is checked before use:
// sizes within 16..4096 pixels, ranges finite with the lower bound below the upper.
#pragma once

#include <string>
#include <vector>

#include "document/document_ranges.h"

class DocumentRecord;

struct RenderOptions {
  std::string document;            // the document file: one equation a line
  std::string output = "graph.png";
  bool outputGiven = false;
  int width = 800;
  int height = 600;
  bool sizeGiven = false;
  AskedRanges ranges;              // --x, --y, --z, ... as given
  bool antialias = false;
  bool help = false;
  bool trace = false;              // the window program's own --trace
};

// Reads argv into *options, each option once in order, an option's value being the argument after
// it (one that starts with "--" is no value). False with *error set (a sentence naming the option)
// on bad input: an unknown option, a missing or bad value, a second document. The window program
// reads the same options with the document optional (an empty document) and --trace its own.
bool ParseRenderOptions(int argc, char** argv, RenderOptions* options, std::string* error,
                        bool windowProgram = false);
// The headless program's arguments (after the program's name) for the same options: what the
// window program hands it where there is no display.
std::vector<std::string> RenderArguments(const RenderOptions& options);
// The usage text, ending with a newline.
const char* RenderUsage();
// The usage lines of the range options, shared by both programs' usage texts.
const char* RangeOptionsUsage();
// Shows the ranges the document's lines and the options ask for (an option over a line of the
// same name) in the document's shown view (ShowAskedRanges). False with *refusal set (a sentence
// naming the ranges) when the view does not have or cannot show one, the document unchanged.
bool ShowRangeOptions(const RenderOptions& options, DocumentRecord* document, std::string* refusal);
// With a plane transformation (or a split view) a second view shows beside the first 2D view, each
// on its half of the graph pane (once the rows are built): the first is centred on its half and
// the ranges asked for are fitted to it at that size; a second 2D view is centred too and shows the
// first one's region. Both programs lay the views out with it; nothing (true) when the first 2D
// view is not shown beside another. False, with *refusal set, when the first cannot show the
// ranges asked for at its size.
bool LayOutBoth2DViews(const RenderOptions& options, DocumentRecord* document, std::string* refusal);
