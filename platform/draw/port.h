// Ports and offscreen buffers (GWorlds): a surface of native 32-bit 0xAARRGGBB pixels with
// its bounds (top-left may be non-zero), clip region, pen, colours, text state, dirty region
// and lock state. Every drawing call clips to clip ∩ bounds, so no call reads or writes outside
// a buffer. Drawing writes alpha 0 into the pixels it colours (the GL upload sets it to 255);
// only pictures bring their own alpha.
#pragma once

#include <cstdint>

#include "platform/draw/draw_memory.h"
#include "platform/draw/pattern.h"
#include "platform/draw/qd_geometry.h"
#include "platform/draw/region.h"

struct RGBColor16 {
  uint16_t red;
  uint16_t green;
  uint16_t blue;
};

// Transfer modes: pattern modes for the pen and fills, source modes for text and copies.
enum : int16_t {
  kSrcCopy = 0, kSrcOr = 1, kSrcXor = 2, kSrcBic = 3,
  kPatCopy = 8, kPatOr = 9, kPatXor = 10, kPatBic = 11,
  kBlend = 32, kDitherCopy = 64,
};

// Text faces (bits).
enum : int16_t { kFaceBold = 1, kFaceItalic = 2, kFaceUnderline = 4, kFaceCondense = 32, kFaceExtend = 64 };

// The two classic colour constants of ForeColor/BackColor.
enum : int32_t { kBlackColor = 33, kWhiteColor = 30 };

struct PenState {
  QDPoint location;
  QDPoint size;  // (v = height, h = width)
  int16_t mode;
  Pattern8 pattern;
};

// Pixel lock state bits.
enum : uint8_t { kPixelsLocked = 0x80, kPixelsPurgeable = 0x40 };

struct Port {
  uint32_t* pixels;
  int32_t rowBytes;
  QDRect bounds;    // the pixel rectangle in the port's local coordinates
  QDRect portRect;  // equal to bounds for an offscreen buffer
  RgnHandle clip;
  RgnHandle dirty;  // rectangles changed by the pixel routines since last cleared
  PenState pen;
  RGBColor16 foreColor;
  RGBColor16 backColor;
  RGBColor16 opColor;
  RGBColor16 hiliteColor;
  int16_t textFont;
  int16_t textSize;
  int16_t textFace;
  int16_t textMode;
  uint8_t pixelsState;
  bool ownsPixels;
  const DrawAllocator* alloc;
};
using GWorldPtr = Port*;
using CGrafPtr = Port*;

// An offscreen buffer of the rectangle (local coordinates), every pixel white with alpha 0
// (0x00FFFFFF); null when memory is refused or the rectangle is empty. The buffer is current-port-ready: clip = bounds, pen normal, black on white.
GWorldPtr NewGWorld(const QDRect& bounds);
// A port drawing into memory the caller owns (rowBytes a multiple of 4, at least 4 x width).
Port* NewPortOnPixels(uint32_t* pixels, int32_t rowBytes, const QDRect& bounds);
void DisposeGWorld(GWorldPtr gw);  // also disposes a port made by NewPortOnPixels; null ignored

// The current port (null at start); the device argument of the old interface is ignored.
Port* GetPort();
void SetPort(Port* port);
void GetGWorld(CGrafPtr* port, void** device);
void SetGWorld(CGrafPtr port, void* device);

// Pixel lock state: buffers are never purged, so locking always succeeds.
bool LockPixels(GWorldPtr gw);
void UnlockPixels(GWorldPtr gw);
uint8_t GetPixelsState(GWorldPtr gw);
void SetPixelsState(GWorldPtr gw, uint8_t state);
uint32_t* GetPixBaseAddr(GWorldPtr gw);

// Moves the local coordinate system so that portRect's top-left becomes (h, v). The clip region
// and the pen location are numbers in local coordinates and are not changed; patterns stay
// anchored to local (0, 0). A move that would push the bounds past the int16 range is ignored.
void SetOrigin(int32_t h, int32_t v);
void GetPortBounds(const Port* port, QDRect* out);

// Clip of the current port. Each answers false when memory is refused (the region written to
// is then unchanged), true otherwise, no port or null region included.
bool ClipRect(const QDRect& r);
bool GetClip(RgnHandle into);
bool SetClip(const Region* from);
void AddRectToDirtyRegion(Port* port, const QDRect& r);

// Colours of the current port. A 16-bit colour becomes the pixel channel c >> 8.
void RGBForeColor(const RGBColor16& c);
void RGBBackColor(const RGBColor16& c);
void GetForeColor(RGBColor16* c);
void GetBackColor(RGBColor16* c);
void ForeColor(int32_t classic);  // kBlackColor, kWhiteColor; others give black
void BackColor(int32_t classic);
void OpColor(const RGBColor16& c);
void GetPortHiliteColor(const Port* port, RGBColor16* c);
uint32_t ColorToPixel(const RGBColor16& c);
RGBColor16 PixelToColor(uint32_t pixel);
// The RGB of `over` laid on `under` with weight coverage (0..255) per channel, rounded to the
// nearest value: (o * k + u * (255 - k) + 127) / 255. Alpha of the result is 0. The one mixing
// rule of antialiased text, antialiased lines and translucent pictures.
uint32_t MixPixel(uint32_t over, uint32_t under, uint32_t coverage);

// Pixels of the current port by local coordinates; reading outside gives white, writing is ignored.
void GetCPixel(int32_t h, int32_t v, RGBColor16* c);
void SetCPixel(int32_t h, int32_t v, const RGBColor16& c);
// The address of the pixel at local (h, v) of a port, or null outside its bounds.
uint32_t* PixelAddress(const Port* port, int32_t h, int32_t v);
