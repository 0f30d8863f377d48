// Ending an animation: the state and the parameter letter it set.
#include "document/slider_animation_state.h"

#include "kernel/eval/evaluation_seams.h"

void EndSliderAnimation(SliderAnimation* animation) {
  if (animation->row < 0) return;
  if (animation->letter != 0 && ParameterLetter() == animation->letter) SetParameterLetter(0);
  animation->row = -1;
  animation->letter = 0;
}
