// Sampled sounds and the device that plays them: a sound is a short PCM WAV file in the
// resource folder ("snd<id>.wav"), checked before use; the device is an interface whose
// default is a null device (no audio hardware is assumed) and whose recording variant logs
// every call for tests. Channels are small positive numbers; 0 means none.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t kMaxSoundFileBytes = 4 * 1024 * 1024;

struct SoundResource {
  int32_t id = 0;
  int32_t sampleRate = 0;     // 8000 .. 192000
  int32_t channels = 0;       // 1 or 2
  int32_t bitsPerSample = 0;  // 8 or 16
  std::vector<uint8_t> samples;  // interleaved PCM frames, little-endian
};

// The sound resource id from the resource folder, or null when the file is missing, too large,
// not a PCM WAV of the forms above, or its chunks overrun the file. Release with ReleaseSound.
SoundResource* GetSoundResource(int32_t id);
// Same from a WAV held in memory (id left 0).
SoundResource* ParseWavSound(const uint8_t* data, size_t size);
void ReleaseSound(SoundResource* sound);  // null ignored

class SoundDevice {
 public:
  virtual ~SoundDevice() = default;
  // A new channel for sampled sounds, or 0 when none can be had.
  virtual int32_t OpenChannel() = 0;
  // Starts the sound on the channel (asynchronously: the call returns at once); false on error.
  virtual bool Play(int32_t channel, const SoundResource& sound) = 0;
  // Stops what the channel plays (quietNow: at once) and closes it. 0 is ignored.
  virtual void DisposeChannel(int32_t channel, bool quietNow) = 0;
};

// Accepts everything and plays nothing.
class NullSoundDevice : public SoundDevice {
 public:
  int32_t OpenChannel() override { return ++lastChannel_; }
  bool Play(int32_t channel, const SoundResource&) override { return channel > 0; }
  void DisposeChannel(int32_t, bool) override {}

 private:
  int32_t lastChannel_ = 0;
};

// Logs "open-channel N", "play-async N snd<id>", "dispose-quiet N" (or "dispose N") and can
// refuse opening or playing. Refused calls are logged with " refused".
class RecordingSoundDevice : public SoundDevice {
 public:
  int32_t OpenChannel() override;
  bool Play(int32_t channel, const SoundResource& sound) override;
  void DisposeChannel(int32_t channel, bool quietNow) override;

  bool refuseOpen = false;
  bool refusePlay = false;
  std::vector<std::string> calls;
  int32_t openChannels = 0;  // opened and not yet disposed

 private:
  int32_t lastChannel_ = 0;
};

// The device the program plays through; null restores the null device. Not owned.
void SetSoundDevice(SoundDevice* device);
SoundDevice& CurrentSoundDevice();
