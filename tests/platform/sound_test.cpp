// Sound resources: the generated WAV files read back with the forms they were written in, and
// damaged or unsupported WAV data is refused before any sample is used.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/sound.h"

namespace {

// A mono or stereo PCM WAV of dataBytes zero bytes whose data chunk declares declaredData.
std::vector<uint8_t> Wav(uint16_t format, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t dataBytes,
                         uint32_t declaredData) {
  std::vector<uint8_t> w;
  auto put = [&w](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) w.push_back(uint8_t(v >> (8 * i)));
  };
  auto tag = [&w](const char* t) { w.insert(w.end(), t, t + 4); };
  tag("RIFF"), put(36 + dataBytes, 4), tag("WAVE"), tag("fmt "), put(16, 4), put(format, 2), put(channels, 2);
  put(rate, 4), put(rate * channels * bits / 8, 4), put(channels * bits / 8, 2), put(bits, 2);
  tag("data"), put(declaredData, 4);
  w.resize(w.size() + dataBytes, 0);
  return w;
}

}  // namespace

// Golden forms from scripts/make-feedback-resources.py: 22050 Hz mono 16-bit, 40 ms and 300 ms.
TEST(SoundResources, GeneratedSoundsReadBackWithTheirForms) {
  for (auto [id, frames] : {std::pair{128, 882}, std::pair{129, 6615}}) {
    SoundResource* s = GetSoundResource(id);
    ASSERT_NE(s, nullptr) << id;
    EXPECT_EQ(s->id, id);
    EXPECT_EQ(s->sampleRate, 22050);
    EXPECT_EQ(s->channels, 1);
    EXPECT_EQ(s->bitsPerSample, 16);
    EXPECT_EQ(s->samples.size(), size_t(frames) * 2);
    ReleaseSound(s);
  }
  EXPECT_EQ(GetSoundResource(130), nullptr);
}

TEST(SoundResources, DamagedWavDataIsRefused) {
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
    bool accepted;
  } cases[] = {
      {"plain PCM", Wav(1, 2, 44100, 16, 8, 8), true},
      {"data chunk overruns the file", Wav(1, 1, 22050, 16, 8, 4000), false},
      {"float samples", Wav(3, 1, 22050, 32, 8, 8), false},
      {"three channels", Wav(1, 3, 22050, 16, 12, 12), false},
      {"rate too low", Wav(1, 1, 100, 16, 8, 8), false},
      {"24-bit", Wav(1, 1, 22050, 24, 6, 6), false},
      {"half a frame", Wav(1, 2, 22050, 16, 6, 6), false},
      {"no samples", Wav(1, 1, 22050, 16, 0, 0), false},
      {"truncated header", std::vector<uint8_t>{'R', 'I', 'F', 'F'}, false},
  };
  for (const Case& c : cases) {
    SoundResource* s = ParseWavSound(c.data.data(), c.data.size());
    EXPECT_EQ(s != nullptr, c.accepted) << c.what;
    ReleaseSound(s);
  }
  std::vector<uint8_t> notRiff = Wav(1, 1, 22050, 16, 8, 8);
  std::memcpy(notRiff.data(), "RIFX", 4);
  EXPECT_EQ(ParseWavSound(notRiff.data(), notRiff.size()), nullptr);
}
