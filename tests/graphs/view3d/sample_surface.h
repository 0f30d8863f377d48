// A 3D graph of the tests and benchmarks standing in for the surface kinds: the bump
// z = 1.5 exp(-(x^2 + y^2)) sampled on an n x n grid over the 3D view's x and y box, lit by its
// exact normals, computed in one Compute and handed to its mesh by option 5.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "graphics/gl/frame_setup.h"
#include "graphics/gl/gl_material.h"
#include "graphics/gl/gl_mesh.h"
#include "graphics/gl/mesh_drawing.h"
#include "graphs/core/graph_kind.h"

namespace sample_surface {

class Bump3D : public GraphKind3D {
 public:
  Bump3D(int32_t n, const double box[6], GraphicsContext* context, uint32_t rgb = 0xCC6633)
      : n_(n), context_(context), rgb_(rgb) {
    for (int i = 0; i < 4; ++i) box_[i] = box[i];
  }
  ~Bump3D() override { DestroyGLMesh(&mesh_); }
  void Compute(int32_t) override {
    if (complete_) return;
    vertices_.clear();
    normals_.clear();
    triangles_.clear();
    for (int32_t i = 0; i < n_; ++i) {
      for (int32_t j = 0; j < n_; ++j) {
        const double x = box_[0] + (box_[1] - box_[0]) * i / (n_ - 1);
        const double y = box_[2] + (box_[3] - box_[2]) * j / (n_ - 1);
        const double z = 1.5 * std::exp(-(x * x + y * y));
        vertices_.insert(vertices_.end(), {float(x), float(y), float(z)});
        const double nx = 2 * x * z, ny = 2 * y * z, length = std::sqrt(nx * nx + ny * ny + 1);
        normals_.insert(normals_.end(), {float(nx / length), float(ny / length), float(1 / length)});
      }
    }
    for (int32_t i = 0; i + 1 < n_; ++i) {
      for (int32_t j = 0; j + 1 < n_; ++j) {
        const uint32_t a = uint32_t(i * n_ + j), b = a + uint32_t(n_);
        triangles_.insert(triangles_.end(), {a, b, a + 1, a + 1, b, b + 1});
      }
    }
    complete_ = true;
  }
  bool Draw() override {
    if (!MeshHasData(&mesh_)) return true;
    SetGLMaterialColor(rgb_, context_);
    DrawGLMesh(&mesh_);
    return true;
  }
  int32_t Status() override { return 0; }
  void VariableChanged(int32_t, double) override {}
  void SetOption(int32_t code, double) override {
    if (code != 5 || !complete_ || MeshHasData(&mesh_)) return;
    SetGLTriangleMesh(&mesh_, vertices_.data(), normals_.data(), nullptr, nullptr, triangles_.data(),
                      uint32_t(vertices_.size() / 3), uint32_t(triangles_.size() / 3), 0, context_);
  }
  void Invalidate() override {
    complete_ = false;
    DestroyGLMesh(&mesh_);
  }
  bool IsComplete() override { return complete_; }
  double Extent() override { return MeshExtentInView(vertices_.data(), int32_t(vertices_.size() / 3), context_); }

 private:
  int32_t n_;
  double box_[4];
  GraphicsContext* context_;
  uint32_t rgb_;
  bool complete_ = false;
  std::vector<float> vertices_, normals_;
  std::vector<uint32_t> triangles_;
  GLMesh mesh_;
};

}  // namespace sample_surface
