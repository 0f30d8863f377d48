// Shared set-up of the 4D view tests: a recording document that keeps the axis label block and the
// frame times, and a 4D graph that records what the view asks of it (with the projection's x range
// at each Compute) and can draw one line of its own through the view.
#pragma once

#include <string>
#include <vector>

#include "graphs/view4d/graph_view_4d.h"
#include "tests/graphs/graphs_test_support.h"

namespace view4d_test {

using graphs_test::Log;

class Document4D : public graphs_test::FakeDocument {
 public:
  void ResetViewStateFlags() override { log.push_back("view flags"); }
  void ResetDocumentScroll() override { log.push_back("scroll"); }
  void StoreViewParameterBlock(const double block[10]) override { labels.assign(block, block + 10); }
  void RecordFrameTime(double seconds) override { frameTimes.push_back(seconds); }
  bool IsTrackingMouse() const override { return tracking; }
  std::vector<double> labels;  // h, v of O, X, Y, Z, W
  std::vector<double> frameTimes;
  bool tracking = false;
};

// Logs "<name> <call>"; answers as set; records the view's projection x maximum at each Compute.
// With a view and `line` set, its Draw draws that line (cube coordinates) in red through the view.
class RecordingGraph4D : public GraphKind4D {
 public:
  RecordingGraph4D(std::string name, Log* log, const Projection4D* projection = nullptr)
      : name_(std::move(name)), log_(log), projection_(projection) {}
  void Compute(int32_t) override {
    Note("compute");
    if (projection_ != nullptr) ranges.push_back(projection_->ranges[1]);
    work = 0;
  }
  bool Draw() override {
    Note("draw");
    if (view != nullptr && drawAnswer) return view->Draw4DLine(line, line + 4, 0xff0000);
    return drawAnswer;
  }
  int32_t Status() override { return 0; }
  void VariableChanged(int32_t, double) override {}
  void SetOption(int32_t code, double) override { Note("option " + std::to_string(code)); }
  void Invalidate() override {
    Note("invalidate");
    work = 1;
  }
  bool IsComplete() override { return work <= 0; }
  double Extent() override { return extent; }
  int32_t work = 0;
  bool drawAnswer = true;
  double extent = 1.0;
  std::vector<double> ranges;
  GraphView4D* view = nullptr;
  double line[8] = {0, 0, 0, 0, 0, 0, 0, 0};

 private:
  void Note(const std::string& what) { log_->push_back(name_ + " " + what); }
  std::string name_;
  Log* log_;
  const Projection4D* projection_;
};

}  // namespace view4d_test
