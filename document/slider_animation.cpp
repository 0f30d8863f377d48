// The slider animation: its start and stop with the parameter letter, its steps and their pacing.
#include "document/slider_animation.h"

#include "document/document_record.h"
#include "document/slider_strip.h"
#include "graphs/factory/definitions.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/threads/timers.h"

namespace {

// The parameter letter a slider's variable can be: its symbol when that is one character (a
// subscripted or Greek name has none, and its pictures are not kept per value).
int32_t LetterOfSlider(const EquationRow& row) {
  const int32_t key = DefinedParameterKey(row.expression);
  return key > 0 && key < 256 ? key : 0;
}

}  // namespace

int32_t SliderRowToAnimate(const DocumentRecord& document, int32_t activeRow) {
  if (activeRow >= 0 && activeRow < document.rows.count && document.rows.data[activeRow].hasSliderControl) {
    return activeRow;
  }
  return NthSliderRow(document, 0);
}

bool StartSliderAnimation(DocumentRecord* document, int32_t row) {
  if (row < 0 || row >= document->rows.count || !document->rows.data[row].hasSliderControl) return false;
  StopSliderAnimation(document);
  const EquationRow& r = document->rows.data[row];
  SliderAnimation& a = document->animation;
  a.row = row;
  a.direction = r.sliderValue >= r.sliderSteps ? -1 : 1;
  a.lastStep = ElapsedTimerUnits();
  a.letter = LetterOfSlider(r);
  if (a.letter != 0) {
    const double value = GetRowSliderValue(r);
    SetParameterLetter(a.letter);
    SetParameterValue(value);
    // The graphs took this value before it was the parameter's: told again, they keep its picture.
    ViewSetSetVariableAll(&document->viewSet, a.letter, value);
  }
  return true;
}

void StopSliderAnimation(DocumentRecord* document) { EndSliderAnimation(&document->animation); }

bool AdvanceSliderAnimation(DocumentRecord* document) {
  SliderAnimation& a = document->animation;
  if (a.row < 0) return false;
  if (a.row >= document->rows.count || !document->rows.data[a.row].hasSliderControl) {
    StopSliderAnimation(document);
    return false;
  }
  const EquationRow& r = document->rows.data[a.row];
  if (r.sliderValue + a.direction < 0 || r.sliderValue + a.direction > r.sliderSteps) a.direction = -a.direction;
  SetSliderPosition(document, a.row, r.sliderValue + a.direction);
  a.lastStep = ElapsedTimerUnits();
  ++a.steps;
  return true;
}

bool SliderAnimationStepDue(DocumentRecord* document) {
  const SliderAnimation& a = document->animation;
  return a.row >= 0 && ViewSetAllViewsReady(&document->viewSet) &&
         DeadlineReached(ElapsedTimerUnits(), a.lastStep + TicksToTimerUnits(kSliderAnimationStepTicks));
}

double SliderAnimationWaitSeconds(const DocumentRecord& document) {
  const SliderAnimation& a = document.animation;
  if (a.row < 0) return -1.0;
  const uint32_t due = a.lastStep + TicksToTimerUnits(kSliderAnimationStepTicks), now = ElapsedTimerUnits();
  if (DeadlineReached(now, due)) return 0.0;
  return static_cast<double>(due - now) / TicksToTimerUnits(kTicksPerSecond);
}

void DocumentRecord::StepSliderAnimation() { AdvanceSliderAnimation(this); }
