// WAV reading and the two built-in devices. A WAV file is untrusted input: every chunk size is
// checked against what remains of the file before it is read, and only plain PCM in the ranges
// of SoundResource is accepted.
#include "platform/sound.h"

#include <cstdio>
#include <new>
#include <string>
#include <string_view>

#include "platform/draw/shapes.h"

namespace {

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

NullSoundDevice gNullDevice;
SoundDevice* gDevice = nullptr;

}  // namespace

SoundResource* ParseWavSound(const uint8_t* data, size_t size) {
  if (data == nullptr || size < 12 || size > static_cast<size_t>(kMaxSoundFileBytes)) return nullptr;
  if (std::string_view(reinterpret_cast<const char*>(data), 4) != "RIFF" ||
      std::string_view(reinterpret_cast<const char*>(data + 8), 4) != "WAVE") {
    return nullptr;
  }
  SoundResource parsed;
  bool haveFormat = false;
  const uint8_t* samples = nullptr;
  size_t sampleBytes = 0;
  size_t at = 12;
  while (size - at >= 8) {
    std::string_view tag(reinterpret_cast<const char*>(data + at), 4);
    size_t length = Le32(data + at + 4);
    at += 8;
    if (length > size - at) return nullptr;
    if (tag == "fmt ") {
      if (length < 16 || Le16(data + at) != 1) return nullptr;  // PCM only
      parsed.channels = Le16(data + at + 2);
      parsed.sampleRate = static_cast<int32_t>(Le32(data + at + 4));
      parsed.bitsPerSample = Le16(data + at + 14);
      haveFormat = true;
    } else if (tag == "data") {
      samples = data + at;
      sampleBytes = length;
    }
    at += length + (length & 1);  // chunks are padded to even sizes
    if (at > size) break;
  }
  if (!haveFormat || samples == nullptr || parsed.channels < 1 || parsed.channels > 2 ||
      parsed.sampleRate < 8000 || parsed.sampleRate > 192000 ||
      (parsed.bitsPerSample != 8 && parsed.bitsPerSample != 16)) {
    return nullptr;
  }
  size_t frameBytes = static_cast<size_t>(parsed.channels * parsed.bitsPerSample / 8);
  if (sampleBytes == 0 || sampleBytes % frameBytes != 0) return nullptr;
  auto* sound = new (std::nothrow) SoundResource(std::move(parsed));
  if (sound == nullptr) return nullptr;
  sound->samples.assign(samples, samples + sampleBytes);
  return sound;
}

SoundResource* GetSoundResource(int32_t id) {
  std::string path = std::string(ResourceDirectory()) + "/snd" + std::to_string(id) + ".wav";
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return nullptr;
  long length = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
  std::vector<uint8_t> bytes;
  bool ok = length > 0 && length <= kMaxSoundFileBytes && std::fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    bytes.resize(static_cast<size_t>(length));
    ok = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
  }
  std::fclose(file);
  if (!ok) return nullptr;
  SoundResource* sound = ParseWavSound(bytes.data(), bytes.size());
  if (sound != nullptr) sound->id = id;
  return sound;
}

void ReleaseSound(SoundResource* sound) { delete sound; }

int32_t RecordingSoundDevice::OpenChannel() {
  if (refuseOpen) {
    calls.push_back("open-channel refused");
    return 0;
  }
  ++openChannels;
  calls.push_back("open-channel " + std::to_string(++lastChannel_));
  return lastChannel_;
}

bool RecordingSoundDevice::Play(int32_t channel, const SoundResource& sound) {
  std::string call = "play-async " + std::to_string(channel) + " snd" + std::to_string(sound.id);
  calls.push_back(refusePlay ? call + " refused" : call);
  return !refusePlay && channel > 0;
}

void RecordingSoundDevice::DisposeChannel(int32_t channel, bool quietNow) {
  if (channel == 0) return;
  --openChannels;
  calls.push_back((quietNow ? "dispose-quiet " : "dispose ") + std::to_string(channel));
}

void SetSoundDevice(SoundDevice* device) { gDevice = device; }

SoundDevice& CurrentSoundDevice() { return gDevice != nullptr ? *gDevice : gNullDevice; }
