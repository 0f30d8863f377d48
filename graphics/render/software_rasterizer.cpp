// Scan conversion for the software kind. Clipping works in double precision on copies of the
// vertices, so the snapped integer positions always lie inside the view; gradients are made
// once a triangle and edge slopes once an edge, and the inner loops only add increments
// (colours and texture coordinates in float, depth in double).
#include "graphics/render/software_rasterizer.h"

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "graphics/gl/graphics_context.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"

namespace {

// A working vertex: the nine values of RasterVertex in double precision, in the same order.
enum { kX, kY, kZ, kR, kG, kB, kA, kS, kT, kValues };
struct Work {
  double v[kValues];
};
// Interpolated per triangle by plane equations: the four colour bytes (x 255), then s and t.
constexpr int kPlaneValues = 6;

Work ToWork(const RasterVertex& r) {
  return Work{{r.x, r.y, r.z, r.r, r.g, r.b, r.a, r.s, r.t}};
}

bool FinitePosition(const RasterVertex& r) {
  return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.z);
}

// The view's pixels and depth or fragment store, checked to lie inside the target buffer.
struct Target {
  uint32_t* origin;  // the view's top-left pixel
  int32_t stride;    // words a target row
  int32_t width;
  int32_t height;
  double* depth;  // null in fragment mode
  GraphicsContext* ctx;  // null in multiply mode: no depth, the pixel multiplied by the colour
  // NaN: the plane values interpolate between the snapped corners. Otherwise they follow the
  // exact positions: pixel i's values are the plane's at position i + planeShift.
  double planeShift = std::numeric_limits<double>::quiet_NaN();
};

bool MakeTarget(GraphicsContext* ctx, Target* t) {
  if (ctx == nullptr || ctx->targetBase == nullptr || ctx->width <= 0 || ctx->height <= 0) return false;
  if (ctx->depthBuffer == nullptr && ctx->fragmentHeads == nullptr) return false;
  const QDRect& r = ctx->rect;
  const int64_t rowBytes = ctx->targetRowBytes;
  if (r.top < 0 || r.left < 0 || rowBytes % 4 != 0 || rowBytes / 4 < int64_t(r.left) + ctx->width ||
      (int64_t(r.top) + ctx->height) * rowBytes > ctx->targetBytes) {
    return false;
  }
  t->stride = static_cast<int32_t>(rowBytes / 4);
  t->origin = ctx->targetBase + int64_t(r.top) * t->stride + r.left;
  t->width = ctx->width;
  t->height = ctx->height;
  t->depth = ctx->fragmentHeads != nullptr ? nullptr : ctx->depthBuffer;
  t->ctx = ctx;
  return true;
}

uint32_t PixelOf(const float* bytes) {
  return ScaledColorByte(bytes[3]) << 24 | ScaledColorByte(bytes[0]) << 16 | ScaledColorByte(bytes[1]) << 8 |
         ScaledColorByte(bytes[2]);
}

// Writes one pixel of the view (x, y inside it): the depth test in direct mode, a fragment otherwise.
inline bool Plot(const Target& t, int32_t x, int32_t y, double z, uint32_t pixel) {
  if (t.ctx == nullptr) {
    uint32_t& d = t.origin[int64_t(y) * t.stride + x];
    const uint32_t r = (d >> 16 & 0xFF) * (pixel >> 16 & 0xFF) / 255, g = (d >> 8 & 0xFF) * (pixel >> 8 & 0xFF) / 255,
                   b = (d & 0xFF) * (pixel & 0xFF) / 255;
    d = (d & 0xFF000000u) | r << 16 | g << 8 | b;
    return true;
  }
  const int32_t i = y * t.width + x;
  if (t.depth != nullptr) {
    if (z < t.depth[i]) {
      t.depth[i] = z;
      t.origin[int64_t(y) * t.stride + x] = pixel;
    }
    return true;
  }
  return InsertFragment(t.ctx, i, z, pixel);
}

// floor(v + 0.5) of a coordinate that clipping has put inside the view (pinned all the same).
int32_t Snap(double v, int32_t limit) {
  double s = std::floor(v + 0.5);
  if (!(s > 0.0)) return 0;
  return s >= limit ? limit : static_cast<int32_t>(s);
}

// The point where segment in-out meets the plane coord[axis] = plane, from the inside end, so a
// shared edge is cut at the same point whichever triangle it belongs to.
Work Cut(const Work& in, const Work& out, int axis, double plane) {
  Work w;
  const double t = (plane - in.v[axis]) / (out.v[axis] - in.v[axis]);
  for (int i = 0; i < kValues; ++i) w.v[i] = in.v[i] + t * (out.v[i] - in.v[i]);
  w.v[axis] = plane;
  return w;
}

// Plane p of four: 0 x >= 0, 1 x < limitX, 2 y >= 0, 3 y < limitY.
struct Plane {
  int axis;
  bool upper;
  double value;
  bool Inside(const Work& w) const { return upper ? w.v[axis] < value : w.v[axis] >= value; }
};

void ClipPlanes(int32_t width, int32_t height, double margin, Plane out[4]) {
  out[0] = {kX, false, 0.0};
  out[1] = {kX, true, width - margin};
  out[2] = {kY, false, 0.0};
  out[3] = {kY, true, height - margin};
}

// ---- Lines ----

bool LineBody(const Target& t, Work a, Work b) {
  Plane planes[4];
  ClipPlanes(t.width, t.height, 1.5, planes);
  for (const Plane& p : planes) {
    const bool ina = p.Inside(a), inb = p.Inside(b);
    if (!ina && !inb) return true;
    if (!ina) a = Cut(b, a, p.axis, p.value);
    if (!inb) b = Cut(a, b, p.axis, p.value);
  }
  int32_t x0 = Snap(a.v[kX], t.width - 1), y0 = Snap(a.v[kY], t.height - 1);
  int32_t x1 = Snap(b.v[kX], t.width - 1), y1 = Snap(b.v[kY], t.height - 1);
  if (x0 == x1 && y0 == y1) return true;
  if (y1 < y0) {
    std::swap(a, b);
    std::swap(x0, x1);
    std::swap(y0, y1);
  }
  const int32_t dx = x1 - x0, dy = y1 - y0, adx = dx < 0 ? -dx : dx;
  const bool xMajor = adx >= dy;
  const int32_t major = xMajor ? adx : dy, minor = xMajor ? dy : adx, sx = dx < 0 ? -1 : 1;
  const int32_t steps = adx + dy;
  double z = a.v[kZ];
  const double dz = (b.v[kZ] - a.v[kZ]) / steps;
  float c[4], dc[4];
  for (int i = 0; i < 4; ++i) {
    c[i] = static_cast<float>(a.v[kR + i] * 255.0);
    dc[i] = (static_cast<float>(b.v[kR + i] * 255.0) - c[i]) / static_cast<float>(steps);
  }
  auto advance = [&] {
    z += dz;
    for (int i = 0; i < 4; ++i) c[i] += dc[i];
  };
  int32_t x = x0, y = y0, error = -((major + 1) / 2);
  for (int32_t n = 0; n < major; ++n) {
    if (uint32_t(x) < uint32_t(t.width) && uint32_t(y) < uint32_t(t.height) && !Plot(t, x, y, z, PixelOf(c))) {
      return false;
    }
    if (xMajor) x += sx; else ++y;
    advance();
    error += minor;
    if (error >= 0) {
      if (xMajor) ++y; else x += sx;
      advance();
      error -= major;
    }
  }
  return true;
}

// ---- Triangles ----

// One edge from its upper to its lower vertex: x and depth at row y are start + (y - y0) * slope.
struct Edge {
  int32_t x0, y0, y1;
  double dxdy, z0, dzdy;
  const float* f0;  // plane values at the upper vertex
  double XAt(int32_t y) const { return x0 + (y - y0) * dxdy; }
  double ZAt(int32_t y) const { return z0 + (y - y0) * dzdy; }
};

struct Corner {
  int32_t x, y;
  double z;
  float f[kPlaneValues];
};

Edge MakeEdge(const Corner& top, const Corner& bottom) {
  Edge e;
  e.x0 = top.x;
  e.y0 = top.y;
  e.y1 = bottom.y;
  const int32_t dy = bottom.y - top.y;
  e.dxdy = dy != 0 ? double(bottom.x - top.x) / dy : 0.0;
  e.z0 = top.z;
  e.dzdy = dy != 0 ? (bottom.z - top.z) / dy : 0.0;
  e.f0 = top.f;
  return e;
}

// Per-triangle constants of the textured path.
struct TextureSampling {
  const uint32_t* texels = nullptr;  // the chosen level
  int32_t level = 0;
  float offsetS[16], offsetT[16];  // ds/dx * ox + ds/dy * oy per sample, likewise t
};

constexpr float kSampleOffsets[16][2] = {
    {0, 0},         {0.875f, 0},      {0.25f, 0.0625f}, {0.625f, 0.0625f}, {0.0625f, 0.25f}, {0.4375f, 0.25f},
    {0.8125f, 0.25f}, {0.25f, 0.4375f}, {0.625f, 0.4375f}, {0.0625f, 0.625f}, {0.4375f, 0.625f}, {0.8125f, 0.625f},
    {0.25f, 0.8125f}, {0.625f, 0.8125f}, {0, 0.875f},       {0.875f, 0.875f}};

inline int32_t TexelIndex(float v, int32_t size) {
  if (!(v >= 0.0f)) return 0;
  return v >= float(size) ? size - 1 : static_cast<int32_t>(v);
}

// The 16-sample average of the texture under (s, t) times the Gouraud bytes.
inline uint32_t TexturedPixel(const TextureSampling& ts, float s, float t, const float* c) {
  const int32_t size = 1 << ts.level;
  uint32_t sum[4] = {0, 0, 0, 0};
  for (int k = 0; k < 16; ++k) {
    const uint32_t texel =
        ts.texels[TexelIndex(s + ts.offsetS[k], size) + (TexelIndex(t + ts.offsetT[k], size) << ts.level)];
    sum[0] += texel >> 24;
    sum[1] += texel >> 16 & 0xFF;
    sum[2] += texel >> 8 & 0xFF;
    sum[3] += texel & 0xFF;
  }
  const uint32_t a = (sum[0] >> 4) * ScaledColorByte(c[3]) / 255, r = (sum[1] >> 4) * ScaledColorByte(c[0]) / 255,
                 g = (sum[2] >> 4) * ScaledColorByte(c[1]) / 255, b = (sum[3] >> 4) * ScaledColorByte(c[2]) / 255;
  return a << 24 | r << 16 | g << 8 | b;
}

struct Gradients {
  float dx[kPlaneValues], dy[kPlaneValues];
};

// Rows y0 .. y1 - 1 between two edges. The left edge's plane values follow its exact x; texture
// coordinates follow the integer first column of each row.
bool ScanPart(const Target& t, const Edge& left, const Edge& right, int32_t y0, int32_t y1, const Gradients& g,
              const TextureSampling* ts) {
  float rowF[kPlaneValues], rowStep[kPlaneValues];
  for (int i = 0; i < kPlaneValues; ++i) {
    rowF[i] = left.f0[i];
    rowStep[i] = g.dy[i] + static_cast<float>(left.dxdy) * g.dx[i];
  }
  float rowS = left.f0[4], rowT = left.f0[5];
  int32_t prevColumn = left.x0;
  for (int32_t y = left.y0; y < y1; ++y) {
    const double xl = left.XAt(y), xr = right.XAt(y);
    const int32_t first = static_cast<int32_t>(std::floor(xl)), end = static_cast<int32_t>(std::floor(xr));
    if (y > left.y0) {
      for (int i = 0; i < kPlaneValues; ++i) rowF[i] += rowStep[i];
      rowS += float(first - prevColumn) * g.dx[4] + g.dy[4];
      rowT += float(first - prevColumn) * g.dx[5] + g.dy[5];
    }
    prevColumn = first;
    if (y < y0 || end <= first) continue;
    const double zl = left.ZAt(y), dz = (right.ZAt(y) - zl) / (end - first);
    float c[4] = {rowF[0], rowF[1], rowF[2], rowF[3]};
    float s = rowS, tt = rowT;
    double z = zl;
    const int32_t stop = end < t.width ? end : t.width;
    for (int32_t x = first; x < stop; ++x) {
      if (x >= 0) {
        const uint32_t pixel = ts != nullptr ? TexturedPixel(*ts, s, tt, c) : PixelOf(c);
        if (!Plot(t, x, y, z, pixel)) return false;
      }
      for (int i = 0; i < 4; ++i) c[i] += g.dx[i];
      s += g.dx[4];
      tt += g.dx[5];
      z += dz;
    }
  }
  return true;
}

bool ScanTriangle(const Target& t, const Work& a, const Work& b, const Work& c, const uint32_t* const* levels) {
  Corner k[3];
  const Work* w[3] = {&a, &b, &c};
  for (int i = 0; i < 3; ++i) {
    k[i].y = Snap(w[i]->v[kY], t.height);
  }
  if (k[0].y == k[1].y && k[1].y == k[2].y) return true;
  // Sort by row, top first, keeping the given order among equal rows.
  int order[3] = {0, 1, 2};
  if (k[order[1]].y < k[order[0]].y) std::swap(order[0], order[1]);
  if (k[order[2]].y < k[order[1]].y) std::swap(order[1], order[2]);
  if (k[order[1]].y < k[order[0]].y) std::swap(order[0], order[1]);
  Corner p[3];
  for (int i = 0; i < 3; ++i) {
    const Work& v = *w[order[i]];
    p[i].y = k[order[i]].y;
    p[i].x = Snap(v.v[kX], t.width);
    p[i].z = v.v[kZ];
    for (int j = 0; j < 4; ++j) p[i].f[j] = static_cast<float>(v.v[kR + j] * 255.0);
    p[i].f[4] = static_cast<float>(v.v[kS]);
    p[i].f[5] = static_cast<float>(v.v[kT]);
  }
  if (p[0].x == p[1].x && p[1].x == p[2].x) return true;
  if (!std::isnan(t.planeShift)) {
    // The values of the plane through the exact positions, taken at the snapped corners: the
    // texture lands where the positions put it, not up to a pixel off with the snap.
    const Work &A = *w[order[0]], &B = *w[order[1]], &C = *w[order[2]];
    const double ax = B.v[kX] - A.v[kX], ay = B.v[kY] - A.v[kY], bx = C.v[kX] - A.v[kX], by = C.v[kY] - A.v[kY];
    const double det = ay * bx - ax * by;
    if (det != 0.0) {
      for (int j = 0; j < kPlaneValues; ++j) {
        const int value = j < 4 ? kR + j : kS + (j - 4);
        const double scale = j < 4 ? 255.0 : 1.0;
        const double d1 = (B.v[value] - A.v[value]) * scale, d2 = (C.v[value] - A.v[value]) * scale;
        const double gx = (ay * d2 - d1 * by) / det, gy = (d1 * bx - ax * d2) / det;
        for (Corner& corner : p) {
          corner.f[j] = static_cast<float>(A.v[value] * scale + (corner.x + t.planeShift - A.v[kX]) * gx +
                                           (corner.y + t.planeShift - A.v[kY]) * gy);
        }
      }
    }
  }
  const Corner &P = p[0], &Q = p[1], &R = p[2];
  const double e1x = Q.x - P.x, e1y = Q.y - P.y, e2x = R.x - P.x, e2y = R.y - P.y;
  const double D = e1y * e2x - e1x * e2y;
  if (D == 0.0) return true;  // collinear: no area

  TextureSampling sampling;
  if (levels != nullptr) {
    const double tcp = (double(Q.f[5]) - P.f[5]) * (double(R.f[4]) - P.f[4]) -
                       (double(Q.f[4]) - P.f[4]) * (double(R.f[5]) - P.f[5]);
    const double ratio = std::fabs(D / tcp);
    int32_t level = 9;
    for (int32_t L = 0; L <= 8; ++L) {
      if (ratio <= double(1u << (2 * L))) {
        level = L;
        break;
      }
    }
    sampling.level = level;
    sampling.texels = levels[level];
    if (sampling.texels == nullptr) return true;
    const float scale = float(1 << level);
    for (Corner& corner : p) {
      corner.f[4] *= scale;
      corner.f[5] *= scale;
    }
  }
  Gradients g;
  for (int i = 0; i < kPlaneValues; ++i) {
    const double d1 = double(Q.f[i]) - P.f[i], d2 = double(R.f[i]) - P.f[i];
    g.dx[i] = static_cast<float>((e1y * d2 - d1 * e2y) / D);
    g.dy[i] = static_cast<float>((d1 * e2x - e1x * d2) / D);
  }
  if (levels != nullptr) {
    for (int k2 = 0; k2 < 16; ++k2) {
      sampling.offsetS[k2] = g.dx[4] * kSampleOffsets[k2][0] + g.dy[4] * kSampleOffsets[k2][1];
      sampling.offsetT[k2] = g.dx[5] * kSampleOffsets[k2][0] + g.dy[5] * kSampleOffsets[k2][1];
    }
  }
  const TextureSampling* ts = levels != nullptr ? &sampling : nullptr;

  if (P.y == Q.y) {  // flat top: the vertex with the smaller x starts the left edge
    const Corner& l = P.x <= Q.x ? P : Q;
    const Corner& r = P.x <= Q.x ? Q : P;
    return ScanPart(t, MakeEdge(l, R), MakeEdge(r, R), P.y, R.y, g, ts);
  }
  const Edge longEdge = MakeEdge(P, R), upper = MakeEdge(P, Q), lower = MakeEdge(Q, R);
  if (D >= 0) {  // the middle vertex is on the left
    return ScanPart(t, upper, longEdge, P.y, Q.y, g, ts) && ScanPart(t, lower, longEdge, Q.y, R.y, g, ts);
  }
  return ScanPart(t, longEdge, upper, P.y, Q.y, g, ts) && ScanPart(t, longEdge, lower, Q.y, R.y, g, ts);
}

// Clips the triangle to the view (margin 0.5) and draws the polygon left as a fan.
bool ClipAndScan(const Target& t, const Work& a, const Work& b, const Work& c, const uint32_t* const* levels) {
  Work bufA[8] = {a, b, c}, bufB[8];
  Work *in = bufA, *out = bufB;
  int n = 3;
  Plane planes[4];
  ClipPlanes(t.width, t.height, 0.5, planes);
  for (const Plane& p : planes) {
    int m = 0;
    for (int i = 0; i < n; ++i) {
      const Work& prev = in[(i + n - 1) % n];
      const Work& cur = in[i];
      const bool prevIn = p.Inside(prev), curIn = p.Inside(cur);
      if (curIn != prevIn) out[m++] = curIn ? Cut(cur, prev, p.axis, p.value) : Cut(prev, cur, p.axis, p.value);
      if (curIn) out[m++] = cur;
    }
    if (m == 0) return true;
    std::swap(in, out);
    n = m;
  }
  for (int i = 2; i < n; ++i) {
    if (!ScanTriangle(t, in[0], in[i - 1], in[i], levels)) return false;
  }
  return true;
}

bool TriangleBody(const uint32_t* const* levels, const RasterVertex& a, const RasterVertex& b, const RasterVertex& c,
                  GraphicsContext* ctx) {
  Target t;
  if (!MakeTarget(ctx, &t) || !FinitePosition(a) || !FinitePosition(b) || !FinitePosition(c)) return true;
  return ClipAndScan(t, ToWork(a), ToWork(b), ToWork(c), levels);
}

// Replaces the chunk table by one longer by one entry holding a new chunk. False (nothing
// changed) when either allocation is refused.
bool GrowFragmentStore(GraphicsContext* ctx, int32_t chunk) {
  auto** table = static_cast<FragmentRecord**>(AllocMemory(sizeof(FragmentRecord*) * (size_t(chunk) + 1)));
  if (table == nullptr) return false;
  auto* records = static_cast<FragmentRecord*>(AllocMemory(sizeof(FragmentRecord) * kFragmentsPerChunk));
  if (records == nullptr) {
    FreeMemory(table);
    return false;
  }
  if (chunk > 0) std::memcpy(table, ctx->fragmentChunks, sizeof(FragmentRecord*) * size_t(chunk));
  table[chunk] = records;
  FreeMemory(ctx->fragmentChunks);
  ctx->fragmentChunks = table;
  return true;
}

}  // namespace

FragmentRecord* FragmentAt(const GraphicsContext* ctx, int32_t index) {
  return &ctx->fragmentChunks[index >> kFragmentChunkShift][index & (kFragmentsPerChunk - 1)];
}

bool InsertFragment(GraphicsContext* ctx, int32_t pixel, double depth, uint32_t color) {
  if (ctx->lastFragment == INT32_MAX) {
    PostError(kErrorTransparencyMemory);
    return false;
  }
  const int32_t index = ctx->lastFragment + 1;
  if ((index & (kFragmentsPerChunk - 1)) == 0 && !GrowFragmentStore(ctx, index >> kFragmentChunkShift)) {
    PostError(kErrorTransparencyMemory);
    return false;
  }
  FragmentRecord* record = FragmentAt(ctx, index);
  record->depth = depth;
  record->pixel = color;
  int32_t* link = &ctx->fragmentHeads[pixel];
  while (*link >= 0) {
    FragmentRecord* r = FragmentAt(ctx, *link);
    if (r->depth <= depth) break;
    link = &r->next;
  }
  record->next = *link;
  *link = index;
  ctx->lastFragment = index;
  return true;
}

void ClearFragmentStore(GraphicsContext* ctx) {
  if (ctx->fragmentChunks != nullptr) {
    for (int32_t c = 0; ctx->lastFragment >= 0 && c <= (ctx->lastFragment >> kFragmentChunkShift); ++c) {
      FreeMemory(ctx->fragmentChunks[c]);
    }
    FreeMemory(ctx->fragmentChunks);
  }
  ctx->fragmentChunks = nullptr;
  ctx->lastFragment = -1;
  if (ctx->fragmentHeads != nullptr) {
    for (int32_t i = 0; i < ctx->pixelCount; ++i) ctx->fragmentHeads[i] = -1;
  }
}

bool CheckFragmentStore(const GraphicsContext* ctx) {
  if (ctx->fragmentHeads == nullptr) return true;
  if ((ctx->lastFragment >= 0) != (ctx->fragmentChunks != nullptr)) return false;
  int64_t seen = 0;
  for (int32_t p = 0; p < ctx->pixelCount; ++p) {
    double previous = kPositiveInfinity;
    for (int32_t i = ctx->fragmentHeads[p]; i >= 0; i = FragmentAt(ctx, i)->next) {
      if (i > ctx->lastFragment || ++seen > int64_t(ctx->lastFragment) + 1) return false;
      const double d = FragmentAt(ctx, i)->depth;
      if (d > previous) return false;
      previous = d;
    }
  }
  return true;
}

void MultiplyTexturedTriangle(const uint32_t* const* levels, const TexturedVertex& a, const TexturedVertex& b,
                              const TexturedVertex& c, const PixelTarget& target) {
  if (levels == nullptr || target.base == nullptr || target.width <= 0 || target.height <= 0) return;
  for (const TexturedVertex* v : {&a, &b, &c}) {
    if (!std::isfinite(v->x) || !std::isfinite(v->y)) return;
  }
  // The scan snaps a position p to floor(p + 0.5): half a pixel less gives the floor, and a
  // position a thousandth of a pixel short of a whole one (rounding of the map) counts as it.
  // Pixel i's samples start at its top-left corner, position i + kFloorShift.
  constexpr double kFloorShift = -0.5 + 1.0 / 1024;
  const Target t{target.base, target.rowWords, target.width, target.height, nullptr, nullptr, kFloorShift};
  auto work = [](const TexturedVertex& v) {
    return Work{{v.x + kFloorShift, v.y + kFloorShift, 0.0, 1.0, 1.0, 1.0, 1.0, v.s, v.t}};
  };
  ClipAndScan(t, work(a), work(b), work(c), levels);
}

bool RasterizeLine(const RasterVertex& a, const RasterVertex& b, GraphicsContext* ctx) {
  Target t;
  if (!MakeTarget(ctx, &t) || !FinitePosition(a) || !FinitePosition(b)) return true;
  return LineBody(t, ToWork(a), ToWork(b));
}

bool RasterizeTriangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c, GraphicsContext* ctx) {
  return TriangleBody(nullptr, a, b, c, ctx);
}

bool RasterizeTexturedTriangle(const uint32_t* const* levels, const RasterVertex& a, const RasterVertex& b,
                               const RasterVertex& c, GraphicsContext* ctx) {
  if (levels == nullptr) return true;
  return TriangleBody(levels, a, b, c, ctx);
}
