// The view sound's process-wide values, kept in one record. Invariant: a channel is open only
// while the sound is loaded; DisposeViewSound closes it and keeps the sound for the next drag.
#include "graphics/feedback/sound_feedback.h"

namespace {

struct ViewSoundState {
  SoundResource* sound = nullptr;
  int32_t channel = 0;
};

ViewSoundState& ViewSound() {
  static ViewSoundState state;
  return state;
}

}  // namespace

bool LoadSoundChannel(int32_t id, SoundResource** sound, int32_t* channel) {
  *channel = 0;
  if (*sound == nullptr) *sound = GetSoundResource(id);
  if (*sound != nullptr) *channel = CurrentSoundDevice().OpenChannel();
  if (*channel != 0) return true;
  ReleaseSound(*sound);
  *sound = nullptr;
  return false;
}

void DisposeSoundChannel(SoundResource*, int32_t* channel) {
  if (*channel != 0) CurrentSoundDevice().DisposeChannel(*channel, true);
  *channel = 0;
}

void LoadViewSound() {
  ViewSoundState& s = ViewSound();
  DisposeSoundChannel(s.sound, &s.channel);
  LoadSoundChannel(kViewSoundId, &s.sound, &s.channel);
}

void PlayViewSound() {
  ViewSoundState& s = ViewSound();
  if (s.sound != nullptr && s.channel != 0) CurrentSoundDevice().Play(s.channel, *s.sound);
}

void DisposeViewSound() {
  ViewSoundState& s = ViewSound();
  DisposeSoundChannel(s.sound, &s.channel);
}

void ReleaseSoundResource() {
  ViewSoundState& s = ViewSound();
  DisposeSoundChannel(s.sound, &s.channel);
  ReleaseSound(s.sound);
  s.sound = nullptr;
}

bool ViewSoundReady() { return ViewSound().sound != nullptr && ViewSound().channel != 0; }
