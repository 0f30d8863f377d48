// The ranges a document is asked to show: the names as data (with the views that have each
// range), the reading of "MIN,MAX", and their showing, checked whole before anything changes.
#include "document/document_ranges.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "graphs/factory/factory_helpers.h"
#include "graphs/viewset/graph_view_set.h"
#include "graphs/view2d/graph_view_2d.h"
#include "graphs/view3d/graph_view_3d.h"
#include "graphs/view4d/graph_view_4d.h"

namespace {

// The views a range is shown in, as bits of ShownView.
constexpr uint8_t kIn2D = 1 << int(ShownView::k2D), kIn3D = 1 << int(ShownView::k3D),
                  kIn4D = 1 << int(ShownView::k4D);

struct RangeRow {
  const char* name;
  int32_t index;  // in the view set's range record; -1 for the plane's own x and y
  uint8_t views;
};
// In order of AskedRangeName. The plane view has t, r and theta of its own curves; u and v
// belong to surfaces, phi to spherical ones, w to the 4D view.
constexpr RangeRow kRanges[kAskedRangeCount] = {
    {"x", kRangeX, kIn2D | kIn3D | kIn4D},   {"y", kRangeY, kIn2D | kIn3D | kIn4D},
    {"z", kRangeZ, kIn3D | kIn4D},           {"w", kRangeW, kIn4D},
    {"t", kRangeT, kIn2D | kIn3D | kIn4D},   {"u", kRangeU, kIn3D | kIn4D},
    {"v", kRangeV, kIn3D | kIn4D},           {"r", kRangeR, kIn2D | kIn3D},
    {"theta", kRangeTheta, kIn2D | kIn3D},   {"phi", kRangePhi, kIn3D},
};

// How range k is given: "@x=" in a document line, "--x " as an option.
std::string GivenAs(bool fromDocumentLine, int32_t k) {
  return fromDocumentLine ? std::string("@") + kRanges[k].name + "=" : std::string("--") + kRanges[k].name + " ";
}

// "--x 1,2" or "@x=1,2": the range as it was given, its bounds to 17 digits.
std::string GivenText(const AskedRanges& ranges, int32_t k) {
  char bounds[64];
  std::snprintf(bounds, sizeof bounds, "%.17g,%.17g", ranges.bounds[k][0], ranges.bounds[k][1]);
  return GivenAs(ranges.fromDocumentLine[k], k) + bounds;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

const char* SkipBlanks(const char* p) {
  while (IsBlank(*p)) ++p;
  return p;
}

// A finite number at the start of the text (blanks before it skipped); the end of its digits, or
// null when there is none.
const char* ReadNumber(const char* text, double* out) {
  text = SkipBlanks(text);
  if (*text == '\0') return nullptr;
  char* end = nullptr;
  errno = 0;
  *out = std::strtod(text, &end);
  return end != text && errno == 0 && std::isfinite(*out) ? end : nullptr;
}

const char* ViewName(ShownView view) {
  return view == ShownView::k2D ? "2D" : view == ShownView::k3D ? "3D" : "4D";
}

// The coordinate range k of a space view: the 3D box's, or the 4D view's axes'.
double* SpaceRange(GraphViewSet* set, ShownView shown, int32_t k) {
  if (shown == ShownView::k4D) return set->view4D != nullptr ? set->view4D->axisRanges + 2 * k : nullptr;
  return set->first3D != nullptr ? set->first3D->settings.camera.box + 2 * k : nullptr;
}

}  // namespace

bool ReadWholeNumber(const char* text, double* out) {
  if (text == nullptr) return false;
  const char* end = ReadNumber(text, out);
  return end != nullptr && *end == '\0';
}

const char* AskedRangeNameText(int32_t k) { return kRanges[k].name; }

int32_t AskedRangeByName(const std::string& name) {
  for (int32_t k = 0; k < kAskedRangeCount; ++k)
    if (name == kRanges[k].name) return k;
  return -1;
}

RangeRead ReadRangeBounds(const char* text, double bounds[2]) {
  double read[2];
  const char* low = text != nullptr ? ReadNumber(text, &read[0]) : nullptr;
  const char* separator = low != nullptr ? SkipBlanks(low) : nullptr;
  if (separator == nullptr || (*separator != ',' && *separator != ':')) return RangeRead::kNotARange;
  const char* high = ReadNumber(separator + 1, &read[1]);
  if (high == nullptr || (*high != '\0' && !IsBlank(*high)) || !(read[0] < read[1])) return RangeRead::kNotARange;
  if (!std::isfinite(read[1] - read[0])) return RangeRead::kTooWide;
  if (*SkipBlanks(high) != '\0') return RangeRead::kNotAlone;
  bounds[0] = read[0], bounds[1] = read[1];
  return RangeRead::kRange;
}

std::string RangeRefusal(int32_t k, bool fromDocumentLine, RangeRead read) {
  const char* expected = read == RangeRead::kTooWide    ? "with MAX - MIN finite expected: the range is too wide"
                         : read == RangeRead::kNotAlone ? "with nothing beside it expected"
                                                        : "with finite MIN below MAX expected";
  return "bad range (\"" + GivenAs(fromDocumentLine, k) + "MIN,MAX\" " + expected + ")";
}

void OverlayAskedRanges(AskedRanges* ranges, const AskedRanges& over) {
  for (int32_t k = 0; k < kAskedRangeCount; ++k) {
    if (!over.given[k]) continue;
    ranges->given[k] = true;
    ranges->fromDocumentLine[k] = over.fromDocumentLine[k];
    ranges->bounds[k][0] = over.bounds[k][0], ranges->bounds[k][1] = over.bounds[k][1];
  }
}

bool ShowAskedRanges(const AskedRanges& ranges, ShownView shown, GraphViewSet* set, std::string* refusal) {
  const bool inSpace = shown != ShownView::k2D;
  // Every range is checked before any is shown.
  for (int32_t k = 0; k < kAskedRangeCount; ++k) {
    if (!ranges.given[k]) continue;
    if ((kRanges[k].views & (1 << int(shown))) == 0) {
      *refusal = GivenText(ranges, k) + ": the " + ViewName(shown) + " view has no " + kRanges[k].name + " range";
      return false;
    }
    const bool coordinate = k <= kAskedW;
    if (inSpace && coordinate && !IsUsableSpaceRange(ranges.bounds[k][0], ranges.bounds[k][1])) {
      *refusal = GivenText(ranges, k) + ": the view cannot show this range (too wide or too narrow)";
      return false;
    }
  }
  if (!inSpace && (ranges.given[kAskedX] || ranges.given[kAskedY])) {
    GraphView2D* view = set->first2D;
    if (view != nullptr && !view->ShowRangesAtOneScale(ranges.given[kAskedX] ? ranges.bounds[kAskedX] : nullptr,
                                                       ranges.given[kAskedY] ? ranges.bounds[kAskedY] : nullptr)) {
      const bool both = ranges.given[kAskedX] && ranges.given[kAskedY];
      std::string given;
      for (int32_t k : {kAskedX, kAskedY})
        if (ranges.given[k]) given += (given.empty() ? "" : ", ") + GivenText(ranges, k);
      *refusal =
          given + ": the view cannot show " + (both ? "these ranges" : "this range") + " (too wide or too narrow)";
      return false;
    }
  }
  for (int32_t k = 0; k < kAskedRangeCount; ++k) {
    if (!ranges.given[k]) continue;
    if (k <= kAskedW) {
      if (!inSpace) continue;  // the plane's x and y are shown above
      if (double* range = SpaceRange(set, shown, k)) range[0] = ranges.bounds[k][0], range[1] = ranges.bounds[k][1];
      continue;
    }
    ViewSetSetRangeBound(set, kRanges[k].index, ranges.bounds[k][0], 0);
    ViewSetSetRangeBound(set, kRanges[k].index, ranges.bounds[k][1], 1);
  }
  return true;
}
