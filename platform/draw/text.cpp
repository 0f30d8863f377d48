// Text drawing: each glyph's coverage bitmap goes through the port's clipped spans.
#include "platform/draw/text.h"

#include <algorithm>
#include <cstring>

#include "platform/draw/draw_internal.h"
#include "platform/fonts.h"

namespace {

void DrawGlyph(Port* port, uint8_t c) {
  int32_t advance = FontCharAdvance(port->textFont, port->textSize, port->textFace, c);
  int32_t penH = port->pen.location.h, penV = port->pen.location.v;
  if (port->textMode == kSrcCopy && advance > 0) {
    FontFaceMetrics m;
    FontGetMetrics(port->textFont, port->textSize, port->textFace, &m);
    uint32_t back = ColorToPixel(port->backColor);
    auto fillSpan = [back](uint32_t* p, int32_t a, int32_t b, int32_t) { std::fill(p, p + (b - a), back); };
    RegionCursor clip;
    for (int32_t y = penV - m.ascent; y < penV + m.descent; ++y)
      draw_detail::ForClippedSpan(port, clip, y, penH, penH + advance, fillSpan);
  }
  GlyphCoverage g;
  // A family without a bold face is emboldened by drawing the glyph again 1 px to the right.
  int32_t strikes = FontIsSyntheticBold(port->textFont, port->textFace) ? 2 : 1;
  for (int32_t strike = 0; strike < strikes && FontRenderGlyph(port->textFont, port->textSize, port->textFace, c, &g);
       ++strike) {
    uint32_t ink = ColorToPixel(port->textMode == kSrcBic ? port->backColor : port->foreColor);
    bool invert = port->textMode == kSrcXor;
    int32_t x0 = penH + g.left + strike;
    RegionCursor clip;
    for (int32_t r = 0; r < g.rows; ++r) {
      const uint8_t* cov = g.coverage + int64_t(r) * g.pitch;
      int32_t y = penV - g.top + r;
      draw_detail::ForClippedSpan(port, clip, y, x0, x0 + g.width, [&](uint32_t* p, int32_t a, int32_t b, int32_t) {
        for (int32_t x = a; x < b; ++x, ++p) {
          uint32_t k = cov[x - x0];
          if (k == 0) continue;
          *p = invert ? (k >= 128 ? (*p ^ 0x00FFFFFFu) & 0x00FFFFFFu : *p) : MixPixel(ink, *p, k);
        }
      });
    }
  }
  port->pen.location = MakePoint(penH + advance, penV);
}

}  // namespace

void TextFont(int32_t font) {
  if (Port* port = GetPort()) port->textFont = int16_t(font);
}
void TextSize(int32_t size) {
  if (Port* port = GetPort()) port->textSize = PinCoordinate(size);
}
void TextFace(int32_t face) {
  if (Port* port = GetPort()) port->textFace = int16_t(face);
}
void TextMode(int32_t mode) {
  if (Port* port = GetPort()) port->textMode = int16_t(mode);
}

void DrawChar(uint8_t c) {
  if (Port* port = GetPort()) DrawGlyph(port, c);
}

void DrawText(const char* text, int32_t count) {
  Port* port = GetPort();
  if (!port || !text) return;
  for (int32_t i = 0; i < count; ++i) DrawGlyph(port, uint8_t(text[i]));
}

void DrawString(const char* text) {
  if (text) DrawText(text, int32_t(std::strlen(text)));
}

int16_t CharWidth(uint8_t c) {
  Port* port = GetPort();
  return port ? int16_t(FontCharAdvance(port->textFont, port->textSize, port->textFace, c)) : 0;
}

int32_t TextWidth(const char* text, int32_t count) {
  Port* port = GetPort();
  if (!port || !text) return 0;
  int32_t width = 0;
  for (int32_t i = 0; i < count; ++i)
    width += FontCharAdvance(port->textFont, port->textSize, port->textFace, uint8_t(text[i]));
  return width;
}

int32_t StringWidth(const char* text) { return text ? TextWidth(text, int32_t(std::strlen(text))) : 0; }

void GetFontInfo(FontInfo* info) {
  FontFaceMetrics m{0, 0, 0, 0};
  if (Port* port = GetPort()) FontGetMetrics(port->textFont, port->textSize, port->textFace, &m);
  *info = FontInfo{m.ascent, m.descent, m.widMax, m.leading};
}
