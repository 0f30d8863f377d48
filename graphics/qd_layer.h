// The thin layer every drawing routine calls: drawing-layer wrappers taking 32-bit arguments
// (coordinates pinned to int16, Boolean results as 0/1), colour packing, offscreen buffers and
// their pixel access, copies with fixed colour state that restore lock states, and the phased
// pattern fills of the graph paper. The packed colours and the save/restore pairs come with it.
#pragma once

#include <cstdint>

#include "graphics/packed_color.h"
#include "graphics/port_save.h"
#include "platform/draw/copy_bits.h"
#include "platform/draw/port.h"
#include "platform/draw/region.h"
#include "platform/draw/shapes.h"
#include "platform/draw/text.h"

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
// (h, v) in port coordinates, within clip ∩ r; the port's origin and clip come back unchanged
// whatever happens. False, drawing nothing, when memory is refused; true otherwise (a move
// that would leave the coordinate range draws nothing as well).
bool FillRectPixPatPhased(const PixPat* pat, int32_t h, int32_t v, const QDRect& r);
// Pattern 250 (window scale) and the double-size paper (pattern 251, drawn by FillGridFast);
// false when the pattern is missing or memory is refused.
bool FillRectPatternPhased(int32_t h, int32_t v, const QDRect& r);
bool FillGridBackground(int32_t h, int32_t v, const QDRect& r);
// The 2D view axes code calls the two fills by these names.
inline bool FillOutsideRect(int32_t h, int32_t v, const QDRect& r) { return FillRectPatternPhased(h, v, r); }
inline bool FillOutsideRectOffset(int32_t h, int32_t v, const QDRect& r) { return FillGridBackground(h, v, r); }
