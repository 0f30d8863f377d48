// Equation-form classification of a 50-row document, as a rebuild of the graphs does it: every
// row classified for the view (and explained when it has no form), in 2D and in 3D. The goal is
// under 1 ms for all rows.
#include <benchmark/benchmark.h>

#include "document/document_record.h"
#include "graphs/factory/equation_form.h"
#include "kernel/text/formula_reader.h"

namespace {

// A mix of rows: explicit curves and surfaces, tuples, fields on surfaces, conditions, point
// lists, definitions, sliders and rows without a form.
const char* const kRows[] = {
    "equal[y,power[x,2]]",
    "equal[z,times[sin[x],cos[y]]]",
    "equal[r,times[2,theta]]",
    "comma[equal[y,power[x,3]],greaterthan[x,0]]",
    "equal[matrix[3,1,x,y,z],matrix[3,1,times[cos[u],sin[v]],times[sin[u],sin[v]],cos[v]]]",
    "equal[matrix[4,1,x,y,u,v],matrix[4,1,cos[t],sin[t],t,1]]",
    "comma[equal[matrix[3,1,x,y,z],matrix[3,1,y,z,x]],equal[z,times[x,y]]]",
    "comma[matrix[2,1,1,2],matrix[2,1,3,4]]",
    "equal[a,slider[id[comma[0,10]]]]",
    "equal[function[f,x],plus[power[x,2],times[a,x]]]",
    "equal[plus[power[x,2],power[y,2],power[z,2]],4]",
    "lessthan[plus[power[x,2],power[y,2]],1]",
    "equal[z,times[r,phi]]",
    "equal[function[optotal[x],y],times[x,y]]",
    "equal[p,plus[1,times[2,i]]]",
    "equal[z,plus[2,times[p,i]]]",
    "comma[equal[matrix[3,1,r,g,b],matrix[3,1,x,y,0]],plus[x,y]]",
    "equal[y,t]",
    "comma[equal[y,x],dot[x,y]]",
    "matrix[3,1,cos[t],sin[t],t]",
    "equal[theta,times[r,z]]",
    "comma[equal[matrix[3,1,x,y,z],matrix[3,1,u,v,times[u,v]]],equal[matrix[3,1,r,g,b],matrix[3,1,u,v,1]]]",
    "equal[w,power[z,2]]",
    "equal[plus[x,times[i,y]],power[z,2]]",
    "equal[y,plus[times[a,power[x,2]],times[b,x],c]]",
};

class ClassifierFixture : public benchmark::Fixture {
 public:
  void SetUp(const benchmark::State&) override {
    document_ = new DocumentRecord;
    const int n = sizeof(kRows) / sizeof(kRows[0]);
    for (int k = 0; k < 50; ++k) {
      SetFormulaReaderText(kRows[k % n]);
      document_->AppendEquationRow(ParseFormulaText());
    }
  }
  void TearDown(const benchmark::State&) override { delete document_; }

  // Form words and messages of every row; returns a checksum so nothing is optimised away.
  int64_t ClassifyAll(bool flag3D) {
    int64_t sum = 0;
    for (int32_t i = 0; i < document_->RowCount(); ++i) {
      ExprNode* equation = document_->rows.data[i].expression;
      const int32_t word = ClassifyEquationForGraph(equation, flag3D, false, document_);
      sum += word != 0 ? word : ClassifyEquationList(equation, flag3D, false, document_);
    }
    return sum;
  }

 protected:
  DocumentRecord* document_ = nullptr;
};

BENCHMARK_F(ClassifierFixture, Classify50Rows2D)(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ClassifyAll(false));
  state.SetItemsProcessed(state.iterations() * 50);
}

BENCHMARK_F(ClassifierFixture, Classify50Rows3D)(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ClassifyAll(true));
  state.SetItemsProcessed(state.iterations() * 50);
}

}  // namespace
