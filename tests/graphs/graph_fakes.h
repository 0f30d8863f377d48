// Fakes of the graph tests: graphs that do a fixed amount of work against the fake clock and count
// their calls, and views of each kind that record what the view set asks of them.
#pragma once

#include <string>
#include <vector>

#include "graphs/graph_kind.h"
#include "graphs/graph_view_2d.h"
#include "graphs/graph_view_3d.h"
#include "graphs/graph_view_4d.h"
#include "platform/clock.h"

namespace graphs_test {

using Log = std::vector<std::string>;

// Advances the fake clock by whole timer units (2^16 clock ticks each).
inline void SpendUnits(int64_t units) {
  if (ClockInstalledFake() != nullptr) ClockInstalledFake()->Advance(static_cast<uint64_t>(units) << 16);
}

// A graph that needs `work` units of computing; each Compute spends what it is given (one unit at
// least) until the work is done.
class FakeGraph : public GraphKind2D {
 public:
  explicit FakeGraph(int32_t work = 0, int* deletions = nullptr) : left_(work), deletions_(deletions) {}
  ~FakeGraph() override {
    if (deletions_ != nullptr) ++*deletions_;
  }
  void Compute(int32_t budget) override {
    ++computes;
    const int32_t spent = budget < 1 ? 1 : (budget < left_ ? budget : left_);
    left_ -= spent;
    SpendUnits(spent);
  }
  bool Draw() override { return true; }
  int32_t Status() override { return status; }
  void VariableChanged(int32_t symbol, double value) override { changes.push_back({symbol, value}); }
  void SetOption(int32_t, double) override {}
  void Invalidate() override {}
  bool IsComplete() override { return left_ <= 0; }
  void GeometryChanged() override {}
  void Scroll(int32_t, int32_t) override {}
  bool HitTest(double, double) override { return false; }
  ProbeRecord Probe(double, double) override { return ProbeRecord{}; }
  NearestPointRecord NearestPoint(double, double, double, double, double) override { return NoNearestPoint(); }

  int32_t Left() const { return left_; }
  int computes = 0;
  int32_t status = 0;
  std::vector<std::pair<int32_t, double>> changes;

 private:
  int32_t left_;
  int* deletions_;
};

// Every view operation of the base, recorded as "<name> <operation> <arguments>".
template <typename Base>
class FakeView : public Base {
 public:
  FakeView(std::string name, Log* log) : name_(std::move(name)), log_(log) {}
  ~FakeView() override { DeleteGraphList(this->graphs); }
  void Tick(int32_t budget) override {
    Note("tick " + std::to_string(budget));
    SpendUnits(tickCost);
    TickGraphList(this->graphs, budget);
  }
  void Draw() override { Note("draw"); }
  int32_t GraphStatus(int32_t index) override { return GraphListStatus(this->graphs, index); }
  void UpdateGeometry() override { Note("geometry"); }
  void Command(int32_t code) override { Note("command " + std::to_string(code)); }
  int32_t ScrollWheel(int32_t dh, int32_t dv) override {
    Note("wheel " + std::to_string(dh) + " " + std::to_string(dv));
    return 1;
  }
  void SetGraphOption(int32_t code, double value, int32_t index) override {
    Note("graph option " + std::to_string(code) + " " + std::to_string(static_cast<int>(value)) + " " +
         std::to_string(index));
  }
  RgnHandle InvalRect(RgnHandle region, bool) override { return Own(region); }
  RgnHandle InvalRectMode(RgnHandle region, bool, QDPoint) override { return Own(region); }
  RgnHandle InvalRegion(RgnHandle region) override { return Own(region); }
  QDPoint Origin() override { return QDPoint{0, 0}; }
  ClickResult Click(QDPoint, uint32_t, const ClickFlags&) override {
    Note("click");
    return ClickResult::Handled;
  }
  void ReservedHook1() override {}
  void ReservedHook2() override {}
  bool NeedsRedraw() override { return needsRedraw; }
  bool CanRedrawLive() override { return true; }
  bool IsReady() override {
    Note("ready?");
    return AllGraphsComplete(this->graphs);
  }
  void SetOption(int32_t code, double) override { Note("option " + std::to_string(code)); }

  int32_t tickCost = 0;  // units each Tick spends before its graphs
  bool needsRedraw = false;

 protected:
  void Note(const std::string& what) { log_->push_back(name_ + " " + what); }

 private:
  RgnHandle Own(RgnHandle region) {
    RectRgn(region, this->rect);
    return region;
  }
  std::string name_;
  Log* log_;
};

class FakeView2D : public FakeView<GraphView2D> {
 public:
  using FakeView::FakeView;
  void SetViewRange(double x1, double, double, double) override { Note("range " + std::to_string(int(x1))); }
  bool DropHandle(Handle, const QDPoint*) override {
    Note("drop");
    return true;
  }
  bool UpdateViewMaps() override {
    Note("maps");
    return false;
  }
};

class FakeView3D : public FakeView<GraphView3D> {
 public:
  using FakeView::FakeView;
  bool HasWindowContext() override { return windowContext; }
  bool windowContext = false;
};

class FakeView4D : public FakeView<GraphView4D> {
 public:
  using FakeView::FakeView;
  bool HasWindowContext() override { return windowContext; }
  bool windowContext = false;
};

}  // namespace graphs_test
