// The drawing layer as a TypesetPort: each call goes to the current port, text state first.
#include "editor/typeset_port.h"

#include "platform/draw/port.h"
#include "platform/draw/shapes.h"
#include "platform/draw/text.h"

namespace {

class DrawingLayerPort final : public TypesetPort {
 public:
  void MoveTo(int32_t h, int32_t v) override { ::MoveTo(h, v); }
  void Move(int32_t dh, int32_t dv) override { ::Move(dh, dv); }
  void LineTo(int32_t h, int32_t v) override { ::LineTo(h, v); }
  void Line(int32_t dh, int32_t dv) override { ::Line(dh, dv); }
  void PenSize(int32_t n) override { ::PenSize(n, n); }
  void PenMode(TypesetPenMode mode) override { ::PenMode(mode == TypesetPenMode::kXor ? kPatXor : kPatCopy); }
  void SavePen() override { GetPenState(&saved_); }
  void RestorePen() override { SetPenState(saved_); }
  void ForeColorBlack() override { ::ForeColor(kBlackColor); }
  void DrawChar(uint8_t c, const TypesetTextState& text) override {
    TextFont(text.font);
    TextSize(text.size);
    TextFace(text.face);
    TextMode(kSrcOr);
    ::DrawChar(c);
  }
  void FillRoundedRect(double left, double top, double right, double bottom, double radius,
                       const TypesetColour* colour) override {
    RGBColor16 rgb = colour ? RGBColor16{colour->red, colour->green, colour->blue} : RGBColor16{};
    ::FillRoundedRect(left, top, right, bottom, radius, colour ? &rgb : nullptr);
  }

 private:
  PenState saved_{};
};

}  // namespace

TypesetPort& DrawingLayerTypesetPort() {
  static DrawingLayerPort port;
  return port;
}
