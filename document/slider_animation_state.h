// The animated slider's state as a document keeps it; slider_animation.h moves it.
// Invariant: the parameter letter is the state's letter only while a row animates.
#pragma once

#include <cstdint>

struct SliderAnimation {
  int32_t row = -1;        // the animated slider row; -1 none
  int32_t direction = 1;   // +1 towards the slider's maximum, -1 towards its minimum
  int32_t letter = 0;      // the parameter letter it set; 0 none
  uint32_t lastStep = 0;   // timer units of the last step, or of the start
  uint32_t steps = 0;      // steps taken in the document's life (the strip is drawn again on a change)
};

// Ends the animation the state holds: its row is none and the parameter letter it set, if still
// set, is given up. Nothing when none runs.
void EndSliderAnimation(SliderAnimation* animation);
