// The loaded colour cursors and the arrow hook, in one record with one reset for tests.
#include "kernel/interaction/cursors.h"

#include "platform/pointer_source.h"

namespace {

struct CursorState {
  const ColorCursorImage* cursor128 = nullptr;
  const ColorCursorImage* cursor355 = nullptr;
  const ColorCursorImage* cursor357 = nullptr;
  ArrowCursorHook arrowCursor = nullptr;
  uint32_t requests = 0;
};

constinit CursorState cursors;

void SetColorCursor(const ColorCursorImage* image) {
  ++cursors.requests;
  PointerSource* source = GetPointerSource();
  if (source != nullptr && image != nullptr) source->SetColorCursor(*image);
}

bool SetTheme(int themeCursor) {
  ++cursors.requests;
  PointerSource* source = GetPointerSource();
  return source != nullptr && source->SetThemeCursor(themeCursor);
}

}  // namespace

void LoadColorCursors() {
  cursors.cursor128 = BuiltInColorCursor(128);
  cursors.cursor355 = BuiltInColorCursor(355);
  cursors.cursor357 = BuiltInColorCursor(357);
}

void SetThemeArrowCursor() { SetTheme(kThemeArrowCursor); }
void SetThemeClosedHandCursor() { SetTheme(kThemeClosedHandCursor); }
void SetPoofCursor() {
  if (!SetTheme(kThemePoofCursor)) SetThemeArrowCursor();
}
void SetColorCursor128() { SetColorCursor(cursors.cursor128); }
void SetColorCursor355() { SetColorCursor(cursors.cursor355); }
void SetColorCursor357() { SetColorCursor(cursors.cursor357); }

void SetArrowCursorHook(ArrowCursorHook hook) { cursors.arrowCursor = hook; }

void SetArrowCursor() {
  if (cursors.arrowCursor != nullptr) cursors.arrowCursor();
}

uint32_t CursorRequests() { return cursors.requests; }

void ResetCursorsForTests() { cursors = CursorState{}; }
