// Where typesetting draws: the pen and text calls of the primitives, behind one interface so
// that tests can record each call and check drawing by structure. The real port is the drawing
// layer's current port (a window buffer, or an offscreen buffer written to PNG). Coordinates
// are whole pixels of the port; the pen hangs below and to the right of its point.
#pragma once

#include <cstdint>

// A colour of 16-bit channels.
struct TypesetColour {
  uint16_t red;
  uint16_t green;
  uint16_t blue;
};

enum class TypesetPenMode : uint8_t { kCopy, kXor };

struct TypesetTextState {
  int16_t font;
  int16_t size;  // pixels
  int16_t face;  // bold 1, condense 32
};

class TypesetPort {
 public:
  virtual ~TypesetPort() = default;
  virtual void MoveTo(int32_t h, int32_t v) = 0;
  virtual void Move(int32_t dh, int32_t dv) = 0;
  virtual void LineTo(int32_t h, int32_t v) = 0;
  virtual void Line(int32_t dh, int32_t dv) = 0;
  virtual void PenSize(int32_t n) = 0;  // n by n
  virtual void PenMode(TypesetPenMode mode) = 0;
  // The pen's place, size and mode kept by SavePen come back with RestorePen (one level).
  virtual void SavePen() = 0;
  virtual void RestorePen() = 0;
  virtual void ForeColorBlack() = 0;
  // Draws code c at the pen in srcOr with the text state; the pen advances by its width.
  virtual void DrawChar(uint8_t c, const TypesetTextState& text) = 0;
  // Fills a rectangle of port pixels (fractions kept) with corners rounded to the radius, in the
  // colour, or in the port's own colour when there is none.
  virtual void FillRoundedRect(double left, double top, double right, double bottom, double radius,
                               const TypesetColour* colour) = 0;
};

// The drawing layer's current port (calls do nothing while there is none).
TypesetPort& DrawingLayerTypesetPort();
