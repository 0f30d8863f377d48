// The slider animation: one slider row of a document steps through its range and back, a step
// each time every shown view has finished the picture of the step before (and no sooner than a
// step's ticks after it), until it is stopped. While it runs, its variable is the evaluation's
// parameter variable (ParameterLetter, ParameterValue): the graphs that keep one picture per
// value of that variable then replay the values they have seen without computing them again.
// Invariants: at most one row of a document animates; while one does it has a slider control; the
// parameter letter is its variable exactly while it runs (a variable that is no single letter
// sets none), and the parameter value is then its slider's value.
#pragma once

#include <cstdint>

#include "document/slider_animation_state.h"

class DocumentRecord;

// The least time between two steps: 30 steps a second at most.
inline constexpr uint32_t kSliderAnimationStepTicks = 2;

// The row the Graph menu animates: the active row when it has a slider, else the first slider
// row; -1 when there is none.
int32_t SliderRowToAnimate(const DocumentRecord& document, int32_t activeRow);
// Starts the row's slider animating (one that runs stops first). When its variable is a single
// letter, that becomes the parameter letter with the slider's value, and the value is sent to the
// graphs again, so that the picture of the starting value is kept too. False (nothing changed)
// when the row has no slider control.
bool StartSliderAnimation(DocumentRecord* document, int32_t row);
// Stops it, and gives up the parameter letter it set. Nothing when none runs.
void StopSliderAnimation(DocumentRecord* document);
// One step: the slider one position on, turning back at either end, its value sent to the graphs
// (no rebuild). False when none runs; an animated row that lost its slider stops it.
bool AdvanceSliderAnimation(DocumentRecord* document);
// A step is due: one runs, every shown view is ready and the step's ticks have passed since the
// last step.
bool SliderAnimationStepDue(DocumentRecord* document);
// Seconds until the step's ticks have passed since the last step (0 when they have); negative
// when none runs.
double SliderAnimationWaitSeconds(const DocumentRecord& document);
