// The pointer (mouse position and button) and the cursor, as an interface: a windowing
// back end implements it, tests install the scripted fake. With no source installed
// the program is headless: waits report kFailed and cursor requests are refused.
// Points are (vertical, horizontal), signed 16-bit, in the current port's coordinates.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "platform/draw/qd_geometry.h"

class FakeClock;

enum class PointerEventKind : uint8_t {
  kMoved,      // the pointer moved; the button is still down
  kReleased,   // the button went up
  kTimedOut,   // nothing happened within the time-out; the button is still down
  kCancelled,  // the user cancelled the tracking
  kFailed,     // no pointer device, or the back end failed
};

struct PointerEvent {
  PointerEventKind kind = PointerEventKind::kFailed;
  QDPoint where{0, 0};     // pointer position when the wait ended
  uint32_t modifiers = 0;  // modifier keys held: 1 Command, 2 Shift, 4 Option, 8 Control
};

// Theme cursors the program asks for by number.
inline constexpr int kThemeArrowCursor = 0;
inline constexpr int kThemeClosedHandCursor = 8;
inline constexpr int kThemePoofCursor = 22;

// A 16 x 16 colour cursor: pixels 0xAARRGGBB row by row, and its hot spot.
struct ColorCursorImage {
  int resourceId = 0;
  QDPoint hotSpot{0, 0};
  uint32_t pixels[16 * 16] = {};
};

class PointerSource {
 public:
  virtual ~PointerSource() = default;
  // Waits for the next movement or release; a negative time-out waits without limit.
  virtual PointerEvent WaitPointerEvent(double timeoutSeconds) = 0;
  // False once the release of the last press was taken, by a wait or by the event loop: a
  // tracking loop that starts then must not wait for it. The default leaves that to the waits.
  virtual bool IsButtonDown() { return true; }
  // Drops the keys, clicks and wheel turns that came in so far, those a wait kept for later
  // included, and those still arriving for a moment after; a window's close, resize and exposure
  // stay. The default has nothing to drop.
  virtual void DiscardInput() {}
  // Each returns true when the cursor was set.
  virtual bool SetThemeCursor(int themeCursor) = 0;
  virtual bool SetColorCursor(const ColorCursorImage& image) = 0;
};

// The installed source (null: headless). Installing does not take ownership.
void SetPointerSource(PointerSource* source);
PointerSource* GetPointerSource();

// The cursor-font name a windowing back end uses for a theme cursor; null when unknown.
const char* ThemeCursorName(int themeCursor);

// The built-in colour cursor images 128, 355 and 357; null for any other id.
const ColorCursorImage* BuiltInColorCursor(int resourceId);

// A scripted pointer for tests. Each step happens `delayNs` of clock time after the
// previous one; a wait that ends before the next step is due advances the fake clock by
// the whole time-out and reports kTimedOut. A script that has run out lets go of the
// button (kReleased), so no test can hang on an unlimited wait.
class ScriptedPointerSource : public PointerSource {
 public:
  struct Step {
    uint64_t delayNs;
    PointerEventKind kind;
    QDPoint where;
    uint32_t modifiers = 0;
  };

  explicit ScriptedPointerSource(FakeClock* clock) : clock_(clock) {}
  void Push(const Step& step) { script_.push_back(step); }
  PointerEvent WaitPointerEvent(double timeoutSeconds) override;
  bool SetThemeCursor(int themeCursor) override;
  bool SetColorCursor(const ColorCursorImage& image) override;

  // Theme cursors refused by the back end (for the fall-back paths).
  std::vector<int> refusedThemeCursors;
  // Every cursor request in order: theme cursors as their number, colour cursors as
  // 1000 + resource id; refused requests are recorded too.
  std::vector<int> cursorLog;
  int waits = 0;

 private:
  FakeClock* clock_;
  std::deque<Step> script_;
  QDPoint last_{0, 0};
};
