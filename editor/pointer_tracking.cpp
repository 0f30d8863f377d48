// Pointer read-outs over the documents' tracking service. The point reported is where the pointer
// was when the wait ended, so a loop handles every movement and stops at the release.
#include "editor/pointer_tracking.h"

#include <algorithm>

#include "editor/document_services.h"
#include "editor/selection_highlight.h"
#include "editor/typeset_state.h"
#include "platform/draw/qd_geometry.h"

namespace {

bool Track(FixedPoint* point, bool pinned) {
  QDPoint where{0, 0};
  const bool down = TrackPointerWhileDown(&where, nullptr, -1.0);
  const FormulaEditor* e = TypesettingGlobals().currentEditor;
  PixelRect whole;
  if (pinned && e && GetWholeFormulaRect(&whole)) {
    int32_t right = whole.right, bottom = whole.bottom;
    if (e->lineCount >= 2) {
      right = whole.left + FixedToPixels(e->widthLimit);
      const int64_t lines = int64_t{e->lineCount} * (whole.bottom - whole.top);
      bottom = static_cast<int32_t>(std::min<int64_t>(whole.top + lines, INT16_MAX));
    }
    QDRect r = MakeRect(whole.left, whole.top, std::max<int32_t>(right, whole.left + 1),
                        std::max<int32_t>(bottom, whole.top + 1));
    where = PinRect(r, where);
  }
  const TypesetState& g = TypesetGlobals();
  point->v = FixedFromInt(int64_t{where.v} - g.originV);
  point->h = FixedFromInt(int64_t{where.h} - g.originH);
  DisplayToLayoutPoint(point);
  return down;
}

}  // namespace

bool TrackFormulaMouse(FixedPoint* point) { return Track(point, false); }
bool TrackFormulaMousePinned(FixedPoint* point) { return Track(point, true); }
