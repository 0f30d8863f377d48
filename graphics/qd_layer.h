// The thin layer every drawing routine calls: drawing-layer wrappers taking 32-bit arguments
// (coordinates pinned to int16, Boolean results as 0/1), colour packing, offscreen buffers and
// their pixel access, copies with fixed colour state that restore lock states, the phased
// pattern fills of the graph paper, and the save/restore pairs. Colours passed as one word are
// PackedRGB 0x00RRGGBB; a 16-bit channel is (c << 8) | c of the 8-bit one.
#pragma once

#include <cstdint>

#include "platform/draw/copy_bits.h"
#include "platform/draw/port.h"
#include "platform/draw/region.h"
#include "platform/draw/shapes.h"
#include "platform/draw/text.h"

using PackedRGB = uint32_t;

// Plain wrappers.
void QDMoveTo(int32_t h, int32_t v);
void QDLineTo(int32_t h, int32_t v);
void QDMove(int32_t dh, int32_t dv);
void QDClipRect(const QDRect& r);
void QDPaintRect(const QDRect& r);
void QDFrameRect(const QDRect& r);
void QDInvertRect(const QDRect& r);
void QDDrawChar(int32_t c);    // low byte
int16_t QDCharWidth(int32_t c);  // low byte
void QDPenNormal();
void QDTextFont(int32_t font);
void QDOffsetRect(QDRect* r, int32_t dh, int32_t dv);
uint8_t IntersectRects(const QDRect& a, const QDRect& b, QDRect* out);
uint8_t PointInRect(QDPoint p, const QDRect& r);
RgnHandle QDNewRgn();
void QDRectRgn(RgnHandle rgn, const QDRect& r);
void QDSetEmptyRgn(RgnHandle rgn);
void QDUnionRgn(const Region* a, const Region* b, RgnHandle dst);
uint8_t QDPtInRgn(QDPoint p, const Region* rgn);
void QDDisposePixPat(PixPatHandle pat);
PixPatHandle QDGetPixPat(int32_t id);

// Wrappers that add something. DrawCString and CStringWidth take texts of any length.
void DrawCString(const char* text);
int32_t CStringWidth(const char* text);
void SetForeColorBlack();
void SetBackColorWhite();
void PenPatBlack();
void PenPatGray();
void QDDrawDot(int32_t h, int32_t v);  // one pen-sized dot
RGBColor16 PackedRGBToRGBColor(PackedRGB rgb);
PackedRGB RGBColorToPackedRGB(const RGBColor16& c);
void SetForeColorPacked(PackedRGB rgb);
// The 2D graph kinds call SetForeColorPacked by this name.
inline void SetRGBForeIndex(PackedRGB rgb) { SetForeColorPacked(rgb); }
PackedRGB GetPortHiliteColorPacked(const Port* port);
bool IsRectEmpty(const QDRect& r);
bool RectsEqual(const QDRect& a, const QDRect& b);
void SafeDisposeRgn(RgnHandle rgn);
void SafeDisposeGWorld(GWorldPtr gw);
void PortBounds(const Port* port, QDRect* out);
PackedRGB GetPixelPacked(QDPoint p);  // white outside the current buffer

// The documents layer supplies a window's palette; false when the window has none.
using PaletteEntryHook = bool (*)(int index, void* window, RGBColor16* out);
void SetPaletteEntryHook(PaletteEntryHook hook);
// RGBForeColor from palette entry index of the window; nothing when there is no palette.
void SetForeColorFromPalette(int index, void* window);
void SetForeColorPalette7(void* window);

// Pen calls of the 2D views: a square pen and the xor mode whatever the argument.
void SetSquarePenSize(int32_t n);
void SetPenModeXor(int32_t ignored);

// Offscreen buffers.
// A 32-bit buffer of the rectangle, or null (memory refused, empty rectangle): nothing is kept.
GWorldPtr NewGWorld32(const QDRect& r);
bool LockGWorldPixels(GWorldPtr gw);
inline bool LockGWorld(GWorldPtr gw) { return LockGWorldPixels(gw); }
void UnlockGWorldPixels(GWorldPtr gw);
// True for null; buffers are never purged, so otherwise false (lock state left as it was).
bool GWorldPixelsLost(GWorldPtr gw);
bool GWorldPixelsState(GWorldPtr gw);  // locked
uint32_t* GWorldBaseAddr(GWorldPtr gw);
int32_t GWorldRowBytes(GWorldPtr gw);
QDRect GWorldBounds(GWorldPtr gw);
uint32_t* CurrentGWorldBase();
int32_t CurrentGWorldRowBytes();
QDRect CurrentGWorldBounds();

// src -> dst source copy with black/white colours; current port, colours and both lock states
// come back as they were.
void CopyGWorldRect(GWorldPtr src, GWorldPtr dst, const QDRect& srcRect, const QDRect& dstRect);
// The buffer into the current port with black/white colours: exactly half size goes through
// HalveGWorldVector, any other size through a scaled copy. Lock state and colours restored.
void CopyGWorldToPort(GWorldPtr gw, const QDRect& srcRect, const QDRect& dstRect);
void CopyGWorldToPortSameRect(GWorldPtr gw, const QDRect& r);
// Blends src onto the current buffer at 50 % (OpColor 0x8000 grey, black/white stay set).
void CopyGWorldOpColor(GWorldPtr src, const QDRect& r);

// Fills r of the current port with the pixel pattern so that pattern pixel (0, 0) lies at
// (h, v) in port coordinates, within clip ∩ r; the port's origin and clip come back unchanged.
void FillRectPixPatPhased(const PixPat* pat, int32_t h, int32_t v, const QDRect& r);
// Pattern 250 (window scale) and the double-size paper (pattern 251, drawn by FillGridFast).
void FillRectPatternPhased(int32_t h, int32_t v, const QDRect& r);
void FillGridBackground(int32_t h, int32_t v, const QDRect& r);
// The 2D view axes code calls the two fills by these names.
inline void FillOutsideRect(int32_t h, int32_t v, const QDRect& r) { FillRectPatternPhased(h, v, r); }
inline void FillOutsideRectOffset(int32_t h, int32_t v, const QDRect& r) { FillGridBackground(h, v, r); }

// Save/restore pairs.
struct ClipSave {
  RgnHandle saved;  // null when memory was refused: RestoreClip then opens the clip to the port
};
void SaveClipRect(ClipSave* record, const QDRect& r);
void RestoreClip(ClipSave* record);

struct GWorldSave {
  CGrafPtr port;
  void* device;
};
void SaveAndSetGWorld(GWorldSave* record, GWorldPtr gw);
void RestoreGWorld(const GWorldSave* record);

// A counted pen record, or null when memory is refused (RestorePenState(null) does nothing).
PenState* SavePenState();
void RestorePenState(PenState* saved);

struct PixelsSave {
  GWorldPtr gw;
  uint8_t state;
  bool failed;
};
void SaveGWorldLockPixels(PixelsSave* record);
void RestorePixelsState(const PixelsSave* record);
