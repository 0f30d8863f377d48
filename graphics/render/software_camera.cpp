// Camera arithmetic shared by the frame set-up and the software mesh drawing. The stored right
// vector is negated (right x (-s)): together with the software light's signs this gives the
// same picture as GL's camera and two-sided lighting.
#include "graphics/render/software_camera.h"

#include <algorithm>
#include <cmath>

#include "graphics/gl/graphics_context.h"

namespace {

constexpr ViewFrame kDefaultFrame = {{1, 0, 0, 0, 1, 0, 0, 0, 1}, {-2, 2, -2, 2, -2, 2}, 1.0, 3.4641016151377544};

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Unit(double v[3]) {
  const double n = std::sqrt(Dot(v, v));
  if (n > 0 && std::isfinite(n)) {
    for (int i = 0; i < 3; ++i) v[i] /= n;
  }
}

}  // namespace

BoxToCube BoxToCubeOf(const ViewFrame& f) {
  const double* b = f.box;
  return BoxToCube{{(b[0] + b[1]) / 2, (b[2] + b[3]) / 2, (b[4] + b[5]) / 2},
                   {4 / (b[1] - b[0]), 4 / (b[3] - b[2]), 4 / (b[5] - b[4])}};
}

const ViewFrame& FrameOf(const GraphicsContext* ctx) {
  return ctx->viewFrame != nullptr ? *ctx->viewFrame : kDefaultFrame;
}

void CameraEyeAndUp(const ViewFrame& frame, double eye[3], double up[3]) {
  const double* m = frame.orientation;
  for (int i = 0; i < 3; ++i) {
    eye[i] = m[3 * i] * kEyeDistance;
    up[i] = m[3 * i + 2];
  }
}

double CameraPixelScale(const ViewFrame& frame, int32_t width, int32_t height) {
  return std::min(width, height) * 0.5 * 0.3972 * kEyeDistance / frame.zoom;
}

void SetSoftwareCamera(GraphicsContext* ctx) {
  const ViewFrame& frame = FrameOf(ctx);
  double eye[3], up[3], forward[3], right[3];
  CameraEyeAndUp(frame, eye, up);
  const double distance = std::sqrt(Dot(eye, eye));
  for (int i = 0; i < 3; ++i) forward[i] = -eye[i] / distance;
  const double along = Dot(up, forward);
  for (int i = 0; i < 3; ++i) up[i] -= along * forward[i];
  Unit(up);
  right[0] = up[1] * forward[2] - up[2] * forward[1];
  right[1] = up[2] * forward[0] - up[0] * forward[2];
  right[2] = up[0] * forward[1] - up[1] * forward[0];
  Unit(right);
  const double s = CameraPixelScale(frame, ctx->width, ctx->height);
  for (int i = 0; i < 3; ++i) {
    ctx->right[i] = right[i] * -s;
    ctx->up[i] = up[i] * s;
    ctx->forward[i] = forward[i];
    ctx->eye[i] = eye[i];
  }
  const double nearPlane = std::max(kEyeDistance - frame.radius, 1.0);
  const double farPlane = std::min(kEyeDistance + frame.radius, 100.0);
  ctx->depthScale = 1 / (farPlane - nearPlane);
  ctx->depthOffset = nearPlane / (nearPlane - farPlane);
}

void ProjectCubePoint(const GraphicsContext* ctx, const double q[3], double out[3]) {
  const double d[3] = {q[0] - ctx->eye[0], q[1] - ctx->eye[1], q[2] - ctx->eye[2]};
  const double depth = Dot(d, ctx->forward);
  double x = ctx->width / 2.0 + Dot(d, ctx->right) / depth;
  double y = ctx->height / 2.0 - Dot(d, ctx->up) / depth;
  const double largest = std::max(std::fabs(x), std::fabs(y));
  if (largest > 16383) {
    x *= 16383 / largest;
    y *= 16383 / largest;
  }
  out[0] = x;
  out[1] = y;
  out[2] = std::min(depth * ctx->depthScale + ctx->depthOffset, 1.0);
}
