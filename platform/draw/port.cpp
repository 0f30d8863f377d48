// Ports, offscreen buffers, the current port, colours, clip and pixel access.
// A port's clip and dirty regions are always allocated; a port is never half built.
#include "platform/draw/port.h"

#include <algorithm>

#include "platform/draw/pattern.h"

namespace {

Port* gCurrentPort = nullptr;

constexpr RGBColor16 kBlack16{0, 0, 0};
constexpr RGBColor16 kWhite16{0xFFFF, 0xFFFF, 0xFFFF};
// Our fixed selection highlight: a light blue.
constexpr RGBColor16 kHilite16{0xB5B5, 0xD5D5, 0xFFFF};

Port* MakePort(uint32_t* pixels, int32_t rowBytes, const QDRect& bounds, bool owns, const DrawAllocator* alloc) {
  auto* port = static_cast<Port*>(alloc->alloc(sizeof(Port)));
  if (!port) return nullptr;
  RgnHandle clip = NewRgn();
  RgnHandle dirty = NewRgn();
  if (!clip || !dirty || !RectRgn(clip, bounds)) {
    DisposeRgn(clip);
    DisposeRgn(dirty);
    alloc->release(port);
    return nullptr;
  }
  *port = Port{};
  port->pixels = pixels;
  port->rowBytes = rowBytes;
  port->bounds = bounds;
  port->portRect = bounds;
  port->clip = clip;
  port->dirty = dirty;
  port->pen = PenState{QDPoint{0, 0}, QDPoint{1, 1}, kPatCopy, BlackPattern()};
  port->foreColor = kBlack16;
  port->backColor = kWhite16;
  port->opColor = kBlack16;
  port->hiliteColor = kHilite16;
  port->textFont = 0;
  port->textSize = 0;
  port->textFace = 0;
  port->textMode = kSrcOr;
  port->pixelsState = 0;
  port->ownsPixels = owns;
  port->alloc = alloc;
  return port;
}

}  // namespace

GWorldPtr NewGWorld(const QDRect& bounds) {
  if (EmptyRect(bounds)) return nullptr;
  const DrawAllocator* alloc = CurrentDrawAllocator();
  size_t count = size_t(RectWidth(bounds)) * size_t(RectHeight(bounds));
  auto* pixels = static_cast<uint32_t*>(alloc->alloc(count * 4));
  if (!pixels) return nullptr;
  std::fill(pixels, pixels + count, 0x00FFFFFFu);
  Port* port = MakePort(pixels, RectWidth(bounds) * 4, bounds, true, alloc);
  if (!port) alloc->release(pixels);
  return port;
}

Port* NewPortOnPixels(uint32_t* pixels, int32_t rowBytes, const QDRect& bounds) {
  if (!pixels || EmptyRect(bounds) || rowBytes % 4 != 0 || rowBytes < RectWidth(bounds) * 4) return nullptr;
  return MakePort(pixels, rowBytes, bounds, false, CurrentDrawAllocator());
}

void DisposeGWorld(GWorldPtr gw) {
  if (!gw) return;
  if (gCurrentPort == gw) gCurrentPort = nullptr;
  DisposeRgn(gw->clip);
  DisposeRgn(gw->dirty);
  if (gw->ownsPixels) gw->alloc->release(gw->pixels);
  gw->alloc->release(gw);
}

Port* GetPort() { return gCurrentPort; }
void SetPort(Port* port) { gCurrentPort = port; }

void GetGWorld(CGrafPtr* port, void** device) {
  *port = gCurrentPort;
  if (device) *device = nullptr;
}

void SetGWorld(CGrafPtr port, void*) { gCurrentPort = port; }

bool LockPixels(GWorldPtr gw) {
  if (!gw) return false;
  gw->pixelsState |= kPixelsLocked;
  return true;
}

void UnlockPixels(GWorldPtr gw) {
  if (gw) gw->pixelsState &= uint8_t(~kPixelsLocked);
}

uint8_t GetPixelsState(GWorldPtr gw) { return gw ? gw->pixelsState : 0; }

void SetPixelsState(GWorldPtr gw, uint8_t state) {
  if (gw) gw->pixelsState = state;
}

uint32_t* GetPixBaseAddr(GWorldPtr gw) { return gw ? gw->pixels : nullptr; }

void SetOrigin(int32_t h, int32_t v) {
  Port* port = gCurrentPort;
  if (!port) return;
  int32_t dh = h - port->portRect.left, dv = v - port->portRect.top;
  // Refuse a move that would push the pixel rectangle past the int16 range.
  QDRect moved = port->bounds;
  OffsetRect(&moved, dh, dv);
  if (RectWidth(moved) != RectWidth(port->bounds) || RectHeight(moved) != RectHeight(port->bounds)) return;
  port->bounds = moved;
  OffsetRect(&port->portRect, dh, dv);
}

void GetPortBounds(const Port* port, QDRect* out) { *out = port ? port->portRect : QDRect{0, 0, 0, 0}; }

bool ClipRect(const QDRect& r) { return !gCurrentPort || RectRgn(gCurrentPort->clip, r); }
bool GetClip(RgnHandle into) { return !gCurrentPort || !into || CopyRgn(gCurrentPort->clip, into); }
bool SetClip(const Region* from) { return !gCurrentPort || !from || CopyRgn(from, gCurrentPort->clip); }

void AddRectToDirtyRegion(Port* port, const QDRect& r) {
  if (!port || EmptyRect(r)) return;
  RgnHandle add = NewRgn();
  if (add && RectRgn(add, r)) UnionRgn(port->dirty, add, port->dirty);
  DisposeRgn(add);
}

void RGBForeColor(const RGBColor16& c) {
  if (gCurrentPort) gCurrentPort->foreColor = c;
}

void RGBBackColor(const RGBColor16& c) {
  if (gCurrentPort) gCurrentPort->backColor = c;
}

void GetForeColor(RGBColor16* c) { *c = gCurrentPort ? gCurrentPort->foreColor : kBlack16; }
void GetBackColor(RGBColor16* c) { *c = gCurrentPort ? gCurrentPort->backColor : kWhite16; }
void ForeColor(int32_t classic) { RGBForeColor(classic == kWhiteColor ? kWhite16 : kBlack16); }
void BackColor(int32_t classic) { RGBBackColor(classic == kBlackColor ? kBlack16 : kWhite16); }

void OpColor(const RGBColor16& c) {
  if (gCurrentPort) gCurrentPort->opColor = c;
}

void GetPortHiliteColor(const Port* port, RGBColor16* c) { *c = port ? port->hiliteColor : kHilite16; }

uint32_t ColorToPixel(const RGBColor16& c) {
  return uint32_t(c.red >> 8) << 16 | uint32_t(c.green >> 8) << 8 | uint32_t(c.blue >> 8);
}

RGBColor16 PixelToColor(uint32_t pixel) {
  auto widen = [](uint32_t b) { return uint16_t((b & 0xFF) << 8 | (b & 0xFF)); };
  return RGBColor16{widen(pixel >> 16), widen(pixel >> 8), widen(pixel)};
}

uint32_t MixPixel(uint32_t over, uint32_t under, uint32_t coverage) {
  uint32_t out = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    uint32_t o = over >> shift & 0xFF, u = under >> shift & 0xFF;
    out |= ((o * coverage + u * (255 - coverage) + 127) / 255) << shift;
  }
  return out;
}

uint32_t* PixelAddress(const Port* port, int32_t h, int32_t v) {
  if (!port) return nullptr;
  const QDRect& b = port->bounds;
  if (h < b.left || h >= b.right || v < b.top || v >= b.bottom) return nullptr;
  return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(port->pixels) + int64_t(v - b.top) * port->rowBytes) +
         (h - b.left);
}

void GetCPixel(int32_t h, int32_t v, RGBColor16* c) {
  const uint32_t* p = PixelAddress(gCurrentPort, h, v);
  *c = p ? PixelToColor(*p) : kWhite16;
}

void SetCPixel(int32_t h, int32_t v, const RGBColor16& c) {
  if (uint32_t* p = PixelAddress(gCurrentPort, h, v)) *p = ColorToPixel(c);
}
