// The ranges a user can ask a document to show, by name: the shown view's coordinate ranges (x
// and y, the box's z, the 4D view's w) and the parameter ranges of curves and surfaces (t, u, v,
// r, theta, phi), as document lines ("@z=-1,1") and program options ("--z -1,1") give them; and
// their showing in the document's shown view.
// Invariants: a range held as given has finite bounds, the lower below the upper, and a finite
// width; a range is shown only in a view that has it, and a view that cannot show a range given
// is left unchanged and the range refused.
#pragma once

#include <cstdint>
#include <string>

#include "document/shown_view.h"

struct GraphViewSet;

enum AskedRangeName : int32_t {
  kAskedX, kAskedY, kAskedZ, kAskedW, kAskedT, kAskedU, kAskedV, kAskedR, kAskedTheta, kAskedPhi,
  kAskedRangeCount,
};

struct AskedRanges {
  bool given[kAskedRangeCount] = {};
  bool fromDocumentLine[kAskedRangeCount] = {};  // else from a program option
  double bounds[kAskedRangeCount][2] = {};
};

// The name of range k ("x", "theta"); k must be below kAskedRangeCount.
const char* AskedRangeNameText(int32_t k);
// The range called `name`, or -1 for none.
int32_t AskedRangeByName(const std::string& name);
// Reads a number written whole and finite ("1e400", "2x" and "" are refused).
bool ReadWholeNumber(const char* text, double* out);
// What reading "MIN,MAX" found: a range; text that is no range (a bound missing, not a number or
// not finite, or MIN not below MAX); a range whose width MAX - MIN is not a finite number (each
// bound finite, the two too far apart: "-1e308,1e308"); or a good range with more beside it.
enum class RangeRead : int32_t { kRange, kNotARange, kTooWide, kNotAlone };
// Reads "MIN,MAX" (or "MIN:MAX") at the start of `text`, blanks allowed around each number: each
// number read whole (up to a blank, the separator or the end) and finite, MIN below MAX and
// MAX - MIN finite. Text after the range and its blanks makes it kNotAlone (a bad range is told
// as bad first). *bounds is set only for kRange. Every reader of a range, document line or program
// option, reads it here and refuses it with RangeRefusal, so one fault is told one way.
RangeRead ReadRangeBounds(const char* text, double bounds[2]);
// The refusal of range k as ReadRangeBounds found it (not kRange), naming the range as it was
// given: 'bad range ("@x=MIN,MAX" with finite MIN below MAX expected)', or "--x MIN,MAX" for an
// option.
std::string RangeRefusal(int32_t k, bool fromDocumentLine, RangeRead read);
// Each range given in `over` replaces the one in *ranges (options over document lines).
void OverlayAskedRanges(AskedRanges* ranges, const AskedRanges& over);

// Shows the ranges given in the view set's `shown` view: in the plane the x and y ranges whole and
// centred at one scale for both axes (an axis without a range centred on 0,
// GraphView2D::ShowRangesAtOneScale); in space the box's (in 4D the axes') x, y, z and w ranges as
// given, each checked against what the projection can use (IsUsableSpaceRange); and the parameter
// ranges in every view that has them. True, changing nothing, when none is given. False with
// *refusal set (a sentence naming the ranges) when a range given is one the shown view does not
// have, or one it cannot show; the views are then unchanged.
bool ShowAskedRanges(const AskedRanges& ranges, ShownView shown, GraphViewSet* set, std::string* refusal);
