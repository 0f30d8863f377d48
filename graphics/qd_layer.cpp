// The drawing wrappers, offscreen buffers, copies and phased fills. Copies remember every lock
// state and colour they change and put each back; a phased fill draws through a clip region of
// its own and hands the port its own clip back untouched.
#include "graphics/qd_layer.h"

#include "graphics/graphics_layer.h"
#include "graphics/pixel_routines.h"

namespace {

PaletteEntryHook gPaletteHook = nullptr;

constexpr RGBColor16 kBlack16{0, 0, 0};
constexpr RGBColor16 kWhite16{0xFFFF, 0xFFFF, 0xFFFF};

}  // namespace

void QDMoveTo(int32_t h, int32_t v) { MoveTo(PinCoordinate(h), PinCoordinate(v)); }
void QDLineTo(int32_t h, int32_t v) { LineTo(PinCoordinate(h), PinCoordinate(v)); }
void QDMove(int32_t dh, int32_t dv) { Move(PinCoordinate(dh), PinCoordinate(dv)); }
void QDClipRect(const QDRect& r) { ClipRect(r); }
void QDPaintRect(const QDRect& r) { PaintRect(r); }
void QDFrameRect(const QDRect& r) { FrameRect(r); }
void QDInvertRect(const QDRect& r) { InvertRect(r); }
void QDDrawChar(int32_t c) { DrawChar(uint8_t(c & 0xFF)); }
int16_t QDCharWidth(int32_t c) { return CharWidth(uint8_t(c & 0xFF)); }
void QDPenNormal() { PenNormal(); }
void QDTextFont(int32_t font) { TextFont(int16_t(font)); }
void QDOffsetRect(QDRect* r, int32_t dh, int32_t dv) { OffsetRect(r, PinCoordinate(dh), PinCoordinate(dv)); }
uint8_t IntersectRects(const QDRect& a, const QDRect& b, QDRect* out) { return SectRect(a, b, out) ? 1 : 0; }
uint8_t PointInRect(QDPoint p, const QDRect& r) { return PtInRect(p, r) ? 1 : 0; }
RgnHandle QDNewRgn() { return NewRgn(); }
void QDRectRgn(RgnHandle rgn, const QDRect& r) { RectRgn(rgn, r); }
void QDSetEmptyRgn(RgnHandle rgn) { SetEmptyRgn(rgn); }
void QDUnionRgn(const Region* a, const Region* b, RgnHandle dst) { UnionRgn(a, b, dst); }
uint8_t QDPtInRgn(QDPoint p, const Region* rgn) { return PtInRgn(p, rgn) ? 1 : 0; }
void QDDisposePixPat(PixPatHandle pat) { DisposePixPat(pat); }
PixPatHandle QDGetPixPat(int32_t id) { return GetPixPat(int16_t(id)); }

void DrawCString(const char* text) { DrawString(text); }
int32_t CStringWidth(const char* text) { return StringWidth(text); }
void SetForeColorBlack() { ForeColor(kBlackColor); }
void SetBackColorWhite() { BackColor(kWhiteColor); }
void PenPatBlack() { PenPat(BlackPattern()); }
void PenPatGray() { PenPat(GrayPattern()); }

void QDDrawDot(int32_t h, int32_t v) {
  QDMoveTo(h, v);
  QDLineTo(h, v);
}

void SetForeColorPacked(PackedRGB rgb) { RGBForeColor(PackedRGBToRGBColor(rgb)); }

PackedRGB GetPortHiliteColorPacked(const Port* port) {
  RGBColor16 c;
  GetPortHiliteColor(port, &c);
  return RGBColorToPackedRGB(c);
}

bool IsRectEmpty(const QDRect& r) { return EmptyRect(r); }
bool RectsEqual(const QDRect& a, const QDRect& b) { return EqualRect(a, b); }
void SafeDisposeRgn(RgnHandle rgn) { DisposeRgn(rgn); }
void SafeDisposeGWorld(GWorldPtr gw) { DisposeGWorld(gw); }
void PortBounds(const Port* port, QDRect* out) { GetPortBounds(port, out); }

PackedRGB GetPixelPacked(QDPoint p) {
  RGBColor16 c;
  GetCPixel(p.h, p.v, &c);
  return RGBColorToPackedRGB(c);
}

void SetPaletteEntryHook(PaletteEntryHook hook) { gPaletteHook = hook; }

void SetForeColorFromPalette(int index, void* window) {
  RGBColor16 c;
  if (gPaletteHook && gPaletteHook(index, window, &c)) RGBForeColor(c);
}

void SetForeColorPalette7(void* window) { SetForeColorFromPalette(7, window); }

void SetSquarePenSize(int32_t n) { PenSize(n, n); }
void SetPenModeXor(int32_t) { PenMode(kPatXor); }

GWorldPtr NewGWorld32(const QDRect& r) { return NewGWorld(r); }

bool LockGWorldPixels(GWorldPtr gw) { return LockPixels(gw); }
void UnlockGWorldPixels(GWorldPtr gw) { UnlockPixels(gw); }

bool GWorldPixelsLost(GWorldPtr gw) {
  if (!gw) return true;
  uint8_t state = GetPixelsState(gw);
  bool locked = LockPixels(gw);
  SetPixelsState(gw, state);
  return !locked;
}

bool GWorldPixelsState(GWorldPtr gw) { return (GetPixelsState(gw) & kPixelsLocked) != 0; }
uint32_t* GWorldBaseAddr(GWorldPtr gw) { return GetPixBaseAddr(gw); }
int32_t GWorldRowBytes(GWorldPtr gw) { return gw ? gw->rowBytes : 0; }
QDRect GWorldBounds(GWorldPtr gw) { return gw ? gw->bounds : QDRect{0, 0, 0, 0}; }
uint32_t* CurrentGWorldBase() { return GWorldBaseAddr(GetPort()); }
int32_t CurrentGWorldRowBytes() { return GWorldRowBytes(GetPort()); }
QDRect CurrentGWorldBounds() { return GWorldBounds(GetPort()); }

namespace {

// Black on white for the length of a copy (copies tint by the port's colours); the port's own
// colours come back at the end.
class BlackOnWhite {
 public:
  BlackOnWhite() {
    GetForeColor(&fore_);
    GetBackColor(&back_);
    SetForeColorBlack();
    SetBackColorWhite();
  }
  ~BlackOnWhite() {
    RGBForeColor(fore_);
    RGBBackColor(back_);
  }
  BlackOnWhite(const BlackOnWhite&) = delete;
  BlackOnWhite& operator=(const BlackOnWhite&) = delete;

 private:
  RGBColor16 fore_, back_;
};

}  // namespace

void CopyGWorldRect(GWorldPtr src, GWorldPtr dst, const QDRect& srcRect, const QDRect& dstRect) {
  if (!src || !dst) return;
  GWorldSave saved;
  SaveAndSetGWorld(&saved, dst);
  bool srcWasLocked = GWorldPixelsState(src), dstWasLocked = GWorldPixelsState(dst);
  if (LockGWorldPixels(src)) {
    LockGWorldPixels(dst);
    const BlackOnWhite colors;
    CopyBits(src, dst, srcRect, dstRect, kSrcCopy);
  }
  if (!srcWasLocked) UnlockGWorldPixels(src);
  if (!dstWasLocked) UnlockGWorldPixels(dst);
  RestoreGWorld(&saved);
}

void CopyGWorldToPort(GWorldPtr gw, const QDRect& srcRect, const QDRect& dstRect) {
  Port* port = GetPort();
  if (!gw || !port) return;
  bool wasLocked = GWorldPixelsState(gw);
  LockGWorldPixels(gw);
  {
    const BlackOnWhite colors;
    if (RectHeight(srcRect) == 2 * RectHeight(dstRect) && RectWidth(srcRect) == 2 * RectWidth(dstRect))
      HalveGWorldVector(gw, srcRect, dstRect);
    else
      CopyBits(gw, port, srcRect, dstRect, kDitherCopy);
  }
  if (!wasLocked) UnlockGWorldPixels(gw);
}

void CopyGWorldToPortSameRect(GWorldPtr gw, const QDRect& r) { CopyGWorldToPort(gw, r, r); }

void CopyGWorldOpColor(GWorldPtr src, const QDRect& r) {
  Port* dst = GetPort();
  if (!src || !dst) return;
  bool srcWasLocked = GWorldPixelsState(src), dstWasLocked = GWorldPixelsState(dst);
  LockGWorldPixels(src);
  LockGWorldPixels(dst);
  OpColor(RGBColor16{0x8000, 0x8000, 0x8000});
  SetForeColorBlack();
  SetBackColorWhite();
  CopyBits(src, dst, r, r, kBlend);
  if (!srcWasLocked) UnlockGWorldPixels(src);
  if (!dstWasLocked) UnlockGWorldPixels(dst);
}

bool FillRectPixPatPhased(const PixPat* pat, int32_t h, int32_t v, const QDRect& r) {
  Port* port = GetPort();
  if (!port || !pat || IsRectEmpty(r)) return true;
  RgnHandle movedClip = NewRgn();
  if (!movedClip) return false;
  RgnHandle ownClip = port->clip;
  QDRect moved = r;
  OffsetRect(&moved, -h, -v);
  // The fill's clip in moved coordinates: the moved rectangle when r lies wholly in the clip,
  // otherwise the clip moved alike.
  bool wholly = RectWhollyInRgn(r, ownClip);
  bool ready = wholly ? RectRgn(movedClip, moved) : CopyRgn(ownClip, movedClip);
  if (ready && !wholly) OffsetRgn(movedClip, -h, -v);
  QDRect portRect = port->portRect;
  // Move the origin by (-h, -v): local (0, 0), where the pattern starts, lands on (h, v). A move
  // that would leave the coordinate range is refused by SetOrigin: draw nothing rather than misplace.
  SetOrigin(portRect.left - h, portRect.top - v);
  if (ready && port->portRect.left == portRect.left - h && port->portRect.top == portRect.top - v) {
    port->clip = movedClip;
    FillCRect(moved, pat);
    port->clip = ownClip;
  }
  SetOrigin(portRect.left, portRect.top);
  DisposeRgn(movedClip);
  return ready;
}

bool FillRectPatternPhased(int32_t h, int32_t v, const QDRect& r) {
  const PixPat* pat = GraphicsGlobals().gridPattern16;
  return pat && FillRectPixPatPhased(pat, h, v, r);
}

bool FillGridBackground(int32_t h, int32_t v, const QDRect& r) {
  if (!GraphicsGlobals().vectorUnit) {
    const PixPat* pat = GraphicsGlobals().gridPattern32;
    return pat && FillRectPixPatPhased(pat, h, v, r);
  }
  FillGridFast(2 - h, -v, r);
  return true;
}
