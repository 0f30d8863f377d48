// Reading a frame back, shared by every backend: one glReadPixels into the destination, then
// the rows are swapped in place, so nothing is allocated per frame.
#include "platform/gl/gl_backend.h"

#include <algorithm>

bool ReadFrameInto(GLBackend& backend, PlatformGLContext* context, const GLFrameRect& source,
                   uint32_t* destination, int32_t rowBytes) {
  if (context == nullptr || destination == nullptr) return false;
  const int32_t width = source.right - source.left;
  const int32_t height = source.bottom - source.top;
  if (width <= 0 || height <= 0 || source.top < 0 || source.left < 0 || source.bottom > context->height ||
      source.right > context->width || rowBytes % 4 != 0 || rowBytes / 4 < width) {
    return false;
  }
  if (!backend.BindFrameForReading(context)) return false;
  const GLEntryPoints& gl = backend.Api();
  gl.PixelStorei(GL_PACK_ALIGNMENT, 4);
  gl.PixelStorei(GL_PACK_ROW_LENGTH, rowBytes / 4);
  // GL rows count up from the bottom: the source's bottom row lands in the first destination row.
  gl.ReadPixels(source.left, context->height - source.bottom, width, height, GL_BGRA,
                GL_UNSIGNED_INT_8_8_8_8_REV, destination);
  gl.PixelStorei(GL_PACK_ROW_LENGTH, 0);
  const int32_t stride = rowBytes / 4;
  for (int32_t r = 0; r < height / 2; ++r) {
    uint32_t* upper = destination + static_cast<int64_t>(r) * stride;
    uint32_t* lower = destination + static_cast<int64_t>(height - 1 - r) * stride;
    std::swap_ranges(upper, upper + width, lower);
  }
  return true;
}
