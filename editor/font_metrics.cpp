// The platform's fonts as FontMetrics: the same rounded advances and font information the
// drawing layer uses when it draws, so what is measured is what is drawn.
#include "editor/font_metrics.h"

#include "platform/fonts.h"

namespace {

class PlatformMetrics final : public FontMetrics {
 public:
  int32_t CharAdvance(int16_t font, int16_t size, int16_t face, uint8_t c) const override {
    return FontCharAdvance(font, size, face, c);
  }
  void AscentDescent(int16_t font, int16_t size, int16_t face, int32_t* ascent, int32_t* descent) const override {
    FontFaceMetrics m{};
    FontGetMetrics(font, size, face, &m);
    *ascent = m.ascent;
    *descent = m.descent;
  }
};

}  // namespace

const FontMetrics& PlatformFontMetrics() {
  static const PlatformMetrics metrics;
  return metrics;
}
