// GraphColor: how one graph is coloured: a fixed RGB colour, a computed pattern, a texture made
// from a picture, or three colour expressions (red, green, blue or hue, saturation, value), with
// the GPU resources that go with it; the colour-menu index mapping, the 3D brightening, clones,
// and the swatches drawn for menus and rows. Invariants: the colour owns its component functions,
// programs, parameter functions, texture and picture, never its context; a clone shares nothing
// (a component whose copy failed is null, which evaluators of the components must accept).
#pragma once

#include <cstdint>

#include "graphics/colour/graph_color_core.h"
#include "graphics/packed_color.h"
#include "platform/draw/qd_geometry.h"

struct GraphicsContext;

inline constexpr PackedRGB kDefaultGraphRGB = 0xce00ce;
inline constexpr int32_t kTextureColorIndex = 999;

class GraphColor : public GraphColorCore {
 public:
  // InitGraphColor: mode 0, default RGB, nothing else; the context may be null (swatches only).
  explicit GraphColor(GraphicsContext* context);
  // DestroyGraphColor: components, programs, parameters, texture (in the context it was made
  // in), picture.
  virtual ~GraphColor();
  GraphColor(const GraphColor&) = delete;
  GraphColor& operator=(const GraphColor&) = delete;

  PackedRGB rgb = kDefaultGraphRGB;
};

// A new colour over the same context with the same mode and RGB (a colour on its GPU program gives
// its saved expression mode: the clone has no program), and deep copies of the three components
// when the first is set (a copy that fails leaves that component null). Texture, picture, programs
// and parameters are not copied. Null when memory is refused.
GraphColor* CloneGraphColor(const GraphColor* color);
// Sets the colour from a colour-menu index (truncated toward zero, saturating; NaN counts as no
// index): 1..8 fixed colours, 10..16 patterns, 17 no fill, 999 the current texture picture, any
// other value white.
void SetGraphColorIndex(GraphColor* color, double index);
// Mode 0 only, not the dark grey 0x333333 nor black: scales the colour up until its largest
// channel is 255 (ties go to red, then green).
void BrightenGraphColor(GraphColor* color);
// Draws the swatch of the mode into the rectangle of the current port; the foreground colour is
// black afterwards.
void DrawGraphColorSwatch(const GraphColor* color, const QDRect& rect);
// Draws the colour's picture centred on (x, y) scaled by whole factors:
// DrawPictureInGWorld at x - w * scaleX / 2, y + h * scaleY / 2.
void DrawGraphColorPicture(const GraphColor* color, int32_t x, int32_t y, const QDRect& clip, int32_t scaleX,
                           int32_t scaleY);
// Band k of n (n >= 2; k clamped into 0..n-1) of the colour, as the raster's palette and the level
// lines shade it: each channel trunc(f c), f = 0.26 + 0.74 (k / (n - 1)) with the quotient taken
// first, so the top band is the colour itself (left to right, 4 bands would give 254 for 255).
PackedRGB BandColor(PackedRGB rgb, int32_t band, int32_t bands);
// The packed colour of hue h at full saturation and value: each channel trunc(255 c) & 0xff.
PackedRGB HSVToPackedRGB(double h);
// The no-fill mode (colour index 17): the 2D kinds then draw and hit nothing, and probe nothing
// except the vector field, whose probe still reads the field at the point. False for null.
inline bool IsNoFillColor(const GraphColor* color) { return color != nullptr && color->mode == kColorNoFill; }
// The colour's RGB; the default graph colour for a graph without one.
inline PackedRGB GraphColorRGB(const GraphColor* color) { return color != nullptr ? color->rgb : kDefaultGraphRGB; }
// Modes whose colour is computed per point (4, 5, 9, 10) / shaded by a pattern (1, 2, 3, 6, 7).
bool IsGraphColorModeComputed(const GraphColor* color);
bool IsGraphColorModeShaded(const GraphColor* color);
// The graph factory and the 2D kinds ask IsGraphColorModeComputed under this name.
inline bool IsGraphColorModeGraded(const GraphColor* color) { return IsGraphColorModeComputed(color); }
