// GraphRelation2D's readers of the bitmap and the boundary: drawing, status, the hit test, the
// probe (a ring search for the nearest set pixel that is not interior, refined onto the boundary)
// and the nearest point. The ring search visits only the frame's part of each ring, and no ring
// past the frame's farthest pixel.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "graphs/core/graph_color.h"
#include "graphs/kinds2d/level_line_probes.h"
#include "graphs/kinds2d/relation_graph.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/numeric/numeric_helpers.h"

bool GraphRelation2D::Draw() {
  if (bits_ == nullptr || IsNoFillColor(color_)) return true;
  BlitPixelsToPortSameSize(Bitmap(), frame_, GraphColorRGB(color_), frame_);
  return true;
}

int32_t GraphRelation2D::Status() {
  if (plane_ == PlaneVerdict::kNowhere) return isEquation_ ? 6 : 8;  // "Not satisfied anywhere" / "False everywhere"
  const size_t size = bits_ != nullptr ? BitmapBytes() : 0;
  for (size_t i = 0; i < size; ++i) {
    if (bits_[i] != 0) return 0;
  }
  return isEquation_ ? 7 : 9;  // "... in the region shown"
}

bool GraphRelation2D::HitTest(double x, double y) {
  if (bits_ == nullptr || boundary_ == nullptr || IsNoFillColor(color_)) return false;
  return LevelCrossesBoxAround(CompiledFunctionEvaluator(boundary_), 0.0, x, y, 4 * map_->unitsPerPixelX,
                               4 * map_->unitsPerPixelY);
}

ProbeRecord GraphRelation2D::Probe(double x, double y) {
  ProbeRecord record{};
  InitProbeRecord(&record);
  if (bits_ == nullptr || boundary_ == nullptr || IsNoFillColor(color_)) return record;
  const PackedBitmap bitmap = Bitmap();
  const int32_t width = RectWidth(frame_), height = RectHeight(frame_);
  const int32_t h = WorldToPixelX(map_, x) - frame_.left, v = WorldToPixelY(map_, y) - frame_.top;
  const double aspect = map_->unitsPerPixelX / map_->unitsPerPixelY;
  auto set = [&](int32_t i, int32_t j) {
    i = std::min(std::max(i, 0), width - 1), j = std::min(std::max(j, 0), height - 1);
    return GetPackedPixel(bitmap, frame_.left + i, frame_.top + j) != kRelationBlank;
  };
  double best = kPositiveInfinity, bestX = 0, bestY = 0;
  auto consider = [&](int32_t i, int32_t j) {
    if (!set(i, j)) return;
    bool interior = true;
    for (int32_t dj = -1; dj <= 1 && interior; ++dj) {
      for (int32_t di = -1; di <= 1 && interior; ++di) interior = set(i + di, j + dj);
    }
    if (interior) return;
    const double px = PixelToWorldX(map_, frame_.left + i), py = PixelToWorldY(map_, frame_.top + j);
    const double d = (px - x) * (px - x) + aspect * aspect * (py - y) * (py - y);
    if (d < best) best = d, bestX = px, bestY = py;
  };
  // Rings of radius r < limit, the limit first max(width, height), then after each ring that came
  // nearer the pixel reach of the best distance (which may grow: a probe from outside the frame
  // first meets a pixel that is not the nearest). Only the parts of a ring inside the frame are
  // visited, and no ring past the farthest frame pixel.
  const int32_t farthest = std::max({std::abs(h), std::abs(h - (width - 1)), std::abs(v), std::abs(v - (height - 1))});
  int32_t limit = std::max(width, height);
  for (int32_t r = 0; r < limit; ++r) {
    const double before = best;
    const int32_t i0 = std::max(h - r, 0), i1 = std::min(h + r, width - 1);
    for (int32_t j : {v - r, v + r}) {
      for (int32_t i = i0; j >= 0 && j < height && i <= i1; ++i) consider(i, j);
      if (r == 0) break;  // one row
    }
    const int32_t j0 = std::max(v - r + 1, 0), j1 = std::min(v + r - 1, height - 1);
    for (int32_t i : {h - r, h + r}) {
      if (r == 0 || i < 0 || i >= width) continue;
      for (int32_t j = j0; j <= j1; ++j) consider(i, j);
    }
    if (best < before) {
      const double reach = map_->pixelsPerUnitX * std::sqrt(best);
      limit = reach < farthest ? static_cast<int32_t>(reach) + 1 : farthest + 1;
    }
  }
  if (best == kPositiveInfinity) return record;
  const RealEvaluator boundary = CompiledFunctionEvaluator(boundary_);
  const double ux = map_->unitsPerPixelX, uy = map_->unitsPerPixelY;
  if (!NearestLevelCrossing(boundary, 0.0, bestX, bestY, 2 * ux, 2 * uy, x, y, &record.x, &record.y)) return record;
  record.mode = 1;
  record.rgb = GraphColorRGB(color_);
  ProbeSegmentIfNear(boundary, 0.0, 4 * ux, 4 * uy, &record);
  return record;
}

NearestPointRecord GraphRelation2D::NearestPoint(double x, double y, double tolerance, double, double) {
  if (bits_ == nullptr || boundary_ == nullptr || IsNoFillColor(color_)) return NoNearestPoint();
  return ProbeCrossingsInBox(CompiledFunctionEvaluator(boundary_), 0.0, x, y, tolerance,
                             tolerance * map_->unitsPerPixelY / map_->unitsPerPixelX);
}
