// GraphColor: construction and release, the colour-menu index table, brightening, clones and the
// swatches.
#include "graphs/core/graph_color.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "graphics/gl/graphics_context.h"
#include "graphics/picture_helpers.h"
#include "graphics/qd_layer.h"
#include "graphs/core/graph_kind.h"
#include "graphs/core/graphs_state.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/hsv_colour.h"

namespace {

constexpr PackedRGB kWhite = 0xffffff;
constexpr PackedRGB kDarkGrey = 0x333333;
constexpr PackedRGB kPatternLight = 0xe5e5e5;

struct IndexColor {
  int32_t index;
  uint32_t mode;
  PackedRGB rgb;
};
// The colour menu: fixed colours 1..8, patterns 10..16 (default RGB kept), no fill 17.
constexpr IndexColor kIndexColors[] = {
    {1, kColorFixed, kDefaultGraphRGB},   {2, kColorFixed, 0xff0000},           {3, kColorFixed, 0x0000ff},
    {4, kColorFixed, 0x00ff00},           {5, kColorFixed, 0x00ffff},           {6, kColorFixed, 0xffff00},
    {7, kColorFixed, 0xcccccc},           {8, kColorFixed, kDarkGrey},          {10, kColorChecks, kDefaultGraphRGB},
    {11, kColorStripesAcross, kDefaultGraphRGB}, {12, kColorStripesAlong, kDefaultGraphRGB},
    {13, kColorHueRampDown, kDefaultGraphRGB},   {14, kColorHueRampAcross, kDefaultGraphRGB},
    {15, kColorHueStepsDown, kDefaultGraphRGB},  {16, kColorHueStepsAcross, kDefaultGraphRGB},
    {17, kColorNoFill, kDefaultGraphRGB},
};

PicHandle CopyPicture(const Picture* source) {
  PicHandle copy = NewPicture(source->pixels, source->width, source->height);
  if (copy != nullptr) copy->frame = source->frame;
  return copy;
}

// Index 999: the current texture picture copied and made into a texture; white without one.
void SetTextureColor(GraphColor* color) {
  color->mode = kColorTexture;
  KillPicture(color->picture);
  color->picture = nullptr;
  const Picture* current = GraphsGlobals().currentTexturePicture;
  if (current != nullptr) color->picture = CopyPicture(current);
  DeleteColorTexture(color);
  if (color->picture != nullptr && color->context != nullptr) {
    color->texture = TextureFromPicture(color->picture, color->context);
  }
  if (color->context != nullptr) {
    color->resourceContextKind = GLContextKind(color->context);
    color->resourceContextHandle = GLContextHandle(color->context);
  }
  if (color->texture == 0) color->rgb = kWhite;
}

void SetForeColorOrBlack(PackedRGB rgb, bool black) {
  if (black) {
    SetForeColorBlack();
  } else {
    SetForeColorPacked(rgb);
  }
}

void Line(int32_t h1, int32_t v1, int32_t h2, int32_t v2) {
  QDMoveTo(h1, v1);
  QDLineTo(h2, v2);
}

}  // namespace

GraphColor::GraphColor(GraphicsContext* context) : GraphColorCore(context) {}

GraphColor::~GraphColor() {
  for (CompiledFunction*& function : component) {
    DeleteCompiledFunction(function);
    function = nullptr;
  }
  DeleteColorPrograms(this);
  DeleteColorParameters(this);
  DeleteColorTexture(this);
  KillPicture(picture);
  picture = nullptr;
}

GraphColor* CloneGraphColor(const GraphColor* color) {
  auto* clone = new (std::nothrow) GraphColor(color->context);
  if (clone == nullptr) return nullptr;
  clone->mode = color->mode == kColorGPUProgram ? color->savedMode : color->mode;
  clone->rgb = color->rgb;
  if (color->component[0] != nullptr) {
    for (int k = 0; k < 3; ++k) {
      if (color->component[k] != nullptr) clone->component[k] = CopyFunction(color->component[k]);
    }
  }
  return clone;
}

void SetGraphColorIndex(GraphColor* color, double index) {
  color->rgb = kDefaultGraphRGB;
  const int32_t n = TruncateToInt32(index);
  if (n == kTextureColorIndex) {
    SetTextureColor(color);
    return;
  }
  for (const IndexColor& entry : kIndexColors) {
    if (entry.index == n) {
      color->mode = entry.mode;
      color->rgb = entry.rgb;
      return;
    }
  }
  color->mode = kColorFixed;
  color->rgb = kWhite;
}

void BrightenGraphColor(GraphColor* color) {
  if (color->mode != kColorFixed || color->rgb == kDarkGrey) return;
  uint32_t r = (color->rgb >> 16) & 0xff, g = (color->rgb >> 8) & 0xff, b = color->rgb & 0xff;
  if (r == 0 && g == 0 && b == 0) return;  // black has no hue to brighten
  if (r >= g && r >= b) {
    g = g * 255 / r;
    b = b * 255 / r;
    r = 255;
  } else if (g >= r && g >= b) {
    r = r * 255 / g;
    b = b * 255 / g;
    g = 255;
  } else {
    r = r * 255 / b;
    g = g * 255 / b;
    b = 255;
  }
  color->rgb = (r << 16) | (g << 8) | b;
}

PackedRGB BandColor(PackedRGB rgb, int32_t band, int32_t bands) {
  if (bands < 2) return rgb;
  band = std::min(std::max(band, 0), bands - 1);
  const double f = 0.26 + 0.74 * (static_cast<double>(band) / (bands - 1));
  PackedRGB out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    out |= static_cast<PackedRGB>(f * ((rgb >> shift) & 0xff)) << shift;
  }
  return out;
}

PackedRGB HSVToPackedRGB(double h) {
  double r, g, b;
  HSVToRGB(h, 1.0, 1.0, &r, &g, &b);
  return ((static_cast<uint32_t>(255.0 * r) & 0xff) << 16) | ((static_cast<uint32_t>(255.0 * g) & 0xff) << 8) |
         (static_cast<uint32_t>(255.0 * b) & 0xff);
}

void DrawGraphColorSwatch(const GraphColor* color, const QDRect& rect) {
  const int32_t t = rect.top, l = rect.left, b = rect.bottom, r = rect.right;
  switch (color->mode) {
    case kColorFixed:
      SetForeColorPacked(color->rgb);
      QDPaintRect(rect);
      break;
    case kColorChecks:
      for (int32_t x = l; x < r; ++x) {
        for (int32_t y = t; y < b; ++y) {
          SetForeColorOrBlack(kPatternLight, ((((x - l) / 4) ^ ((y - t) / 4)) & 1) == 0);
          Line(x, y, x, y);
        }
      }
      break;
    case kColorStripesAcross:
      for (int32_t y = t; y < b; ++y) {
        SetForeColorOrBlack(kPatternLight, (((y - t) / 4) & 1) == 0);
        Line(l, y, r - 1, y);
      }
      break;
    case kColorStripesAlong:
      for (int32_t x = l; x < r; ++x) {
        SetForeColorOrBlack(kPatternLight, (((x - l) / 4) & 1) == 0);
        Line(x, t, x, b - 1);
      }
      break;
    case kColorHueRampDown:
    case kColorHueStepsDown:
      for (int32_t y = t; y < b; ++y) {
        const double hue = color->mode == kColorHueRampDown ? double(y - t) / double(b - t) : ((y - t) / 4) / 6.0;
        SetForeColorPacked(HSVToPackedRGB(hue));
        Line(l, y, r - 1, y);
      }
      break;
    case kColorHueRampAcross:
    case kColorHueStepsAcross:
      for (int32_t x = l; x < r; ++x) {
        const double hue = color->mode == kColorHueRampAcross ? double(x - l) / double(r - l) : ((x - l) / 4) / 6.0;
        SetForeColorPacked(HSVToPackedRGB(hue));
        Line(x, t, x, b - 1);
      }
      break;
    case kColorNoFill:
      SetForeColorBlack();
      Line(r - 1, t, l, b - 1);
      Line(l, t, r - 1, b - 1);
      QDFrameRect(rect);
      break;
    default:
      break;  // textures and expression colours have no swatch
  }
  SetForeColorBlack();
}

void DrawGraphColorPicture(const GraphColor* color, int32_t x, int32_t y, const QDRect& clip, int32_t scaleX,
                           int32_t scaleY) {
  if (color->picture == nullptr) return;
  QDRect frame;
  GetPictureFrame(color->picture, &frame);
  const int64_t h = int64_t(x) - int64_t(RectWidth(frame)) * scaleX / 2;
  const int64_t v = int64_t(y) + int64_t(RectHeight(frame)) * scaleY / 2;
  if (h < INT32_MIN || h > INT32_MAX || v < INT32_MIN || v > INT32_MAX) return;
  DrawPictureInGWorld(color->picture, int32_t(h), int32_t(v), clip, scaleX, scaleY);
}

bool IsGraphColorModeComputed(const GraphColor* color) {
  const uint32_t m = color->mode;
  return m == kColorHueRampDown || m == kColorHueRampAcross || m == kColorRGBExpressions || m == kColorHSVExpressions;
}

bool IsGraphColorModeShaded(const GraphColor* color) {
  const uint32_t m = color->mode;
  return m == kColorChecks || m == kColorStripesAcross || m == kColorStripesAlong || m == kColorHueStepsDown ||
         m == kColorHueStepsAcross;
}
