// GlyphField3D: the point list and the glyphs that answer for the graph.
#include "graphs/view3d/glyph_field_3d.h"

#include <initializer_list>
#include <new>

#include "graphs/core/graph_color.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/threads/timers.h"

GlyphField3D::GlyphField3D(CompiledFunction* fieldX, CompiledFunction* fieldY, CompiledFunction* fieldZ,
                           GraphColor* color, const double* lengthScale, GraphicsContext* context) {
  glyphs_ = new (std::nothrow) GraphGlyphs3D(fieldX, fieldY, fieldZ, color, lengthScale, &points_, context);
  if (glyphs_ == nullptr) {
    PostError(kErrorOutOfMemory);
    for (CompiledFunction* f : {fieldX, fieldY, fieldZ}) DeleteCompiledFunction(f);
    delete color;
  }
}

GlyphField3D::~GlyphField3D() {
  delete glyphs_;
  ChunkPoolClear(points_);
}

bool GlyphField3D::Draw() { return glyphs_ == nullptr || !pointsReady_ || glyphs_->Draw(); }

int32_t GlyphField3D::Status() { return glyphs_ != nullptr ? glyphs_->Status() : kMessageUndefinedForRanges; }

bool GlyphField3D::IsComplete() { return glyphs_ == nullptr || glyphs_->IsComplete(); }

double GlyphField3D::Extent() { return glyphs_ != nullptr ? glyphs_->Extent() : 0.0; }

void GlyphField3D::GlyphsVariableChanged(int32_t symbol, double value) {
  if (glyphs_ != nullptr) glyphs_->VariableChanged(symbol, value);
}

bool GlyphField3D::GlyphsOption(int32_t code, double value) {
  if (code != 5 && code != 6) return false;
  if (glyphs_ != nullptr) glyphs_->SetOption(code, value);
  return true;
}

void GlyphField3D::ComputeGlyphs(uint32_t deadline) {
  const uint32_t now = ElapsedTimerUnits();
  if (glyphs_ == nullptr || DeadlineReached(now, deadline)) return;
  glyphs_->Compute(static_cast<int32_t>(deadline - now));
}

void GlyphField3D::ClearPoints() {
  ChunkPoolClear(points_);
  pointsReady_ = 0;
  if (glyphs_ != nullptr) glyphs_->Invalidate();
}

bool GlyphField3D::AppendPoint(double x, double y, double z) {
  if (ChunkPoolAppend(points_, GridPoint3{x, y, z}) == 0) return true;
  PostError(kErrorOutOfMemory);
  ChunkPoolClear(points_);
  return false;
}
