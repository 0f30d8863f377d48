// The camera every 3D view shares between its GL and software kinds: the box-to-cube mapping
// (a model point p becomes (p - centre) * 4 / extent per axis, a cube of side 4 around the
// origin), the eye at M * (50, 0, 0) looking at the origin with M * (0, 0, 1) up, and for the
// software kind the scaled camera vectors and the projection of cube points to view pixels.
// Pure arithmetic on the view frame; nothing here touches GL.
#pragma once

#include <cstdint>

struct GraphicsContext;
struct ViewFrame;

constexpr double kEyeDistance = 50.0;

struct BoxToCube {
  double centre[3];
  double scale[3];  // 4 / extent per axis
};
BoxToCube BoxToCubeOf(const ViewFrame& frame);

// The context's view frame, or an identity frame over the box [-2, 2]^3 (zoom 1, radius 2√3)
// when the view has given none.
const ViewFrame& FrameOf(const GraphicsContext* ctx);

// eye = M * (50, 0, 0) and up = M * (0, 0, 1) of the frame's orientation.
void CameraEyeAndUp(const ViewFrame& frame, double eye[3], double up[3]);

// The camera's scale for a w x h view, s = min(w, h) * 0.5 * 0.3972 * 50 / zoom: a cube point at
// distance d from the eye, off the line of sight by o, lies s * o / d pixels off the view's centre
// (GL's perspective of the same frame agrees within a few per cent over the zooms a view takes).
double CameraPixelScale(const ViewFrame& frame, int32_t width, int32_t height);

// The software camera for a w x h view: forward, up and right (the latter two scaled by
// CameraPixelScale, right negated), eye, depthScale and depthOffset for
// near = max(50 - radius, 1) and far = min(50 + radius, 100). Stored in the context.
void SetSoftwareCamera(GraphicsContext* ctx);

// A cube point projected with the context's software camera: view pixel x, y (both scaled
// back into +-16383 together when either is beyond it) and z (capped at 1; below 0 in front of
// the near plane).
void ProjectCubePoint(const GraphicsContext* ctx, const double q[3], double out[3]);
