// The view sound: a sampled sound (resource 128) played on its own channel while the user drags
// in a 2D view. The sound stays loaded between drags (like a purgeable resource) and is released
// at shut-down; the channel lives from LoadViewSound to DisposeViewSound. Nothing plays while
// either is missing.
#pragma once

#include <cstdint>

#include "platform/sound.h"

constexpr int32_t kViewSoundId = 128;
constexpr int32_t kPoofSoundId = 129;

// Opens a channel for sound resource id, loading the sound unless *sound already holds one.
// True with both set; false with *sound released and null and *channel 0.
bool LoadSoundChannel(int32_t id, SoundResource** sound, int32_t* channel);
// Closes the channel at once (quietly) and clears it; the sound stays loaded.
void DisposeSoundChannel(SoundResource* sound, int32_t* channel);

void LoadViewSound();
// Starts the view sound asynchronously; nothing without LoadViewSound.
void PlayViewSound();
void DisposeViewSound();
// At shut-down: closes any channel and releases the view sound.
void ReleaseSoundResource();

// Whether the view sound is loaded and its channel open (for tests).
bool ViewSoundReady();
