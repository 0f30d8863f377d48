// The programs run as a user runs them: a command line through the shell, its standard output and
// error read together, and its exit status; the headless program's two renderers by preferences,
// and the pixels of the PNG it wrote.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/draw/png_io.h"

namespace app_test {

struct Outcome {
  int status;          // the exit status; -1 when the program did not start or ended by a signal
  std::string output;  // standard output and error together
};

inline Outcome RunCommand(const std::string& command) {
  Outcome run{-1, ""};
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) run.output += buffer;
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

// A path in the temporary folder, named by process too: the folder is shared with the runs of other
// checkouts.
inline std::string Temp(const std::string& name) { return testing::TempDir() + std::to_string(getpid()) + "_" + name; }

#ifdef QV_RENDER_BINARY
// Runs the headless program with the arguments, after the environment assignments given
// ("NAME=value ").
inline Outcome RunRender(const std::string& arguments, const std::string& environment = "") {
  return RunCommand(environment + std::string(QV_RENDER_BINARY) + " " + arguments);
}
#endif

// The environments of the two renderers, as assignments for RunRender: `gl` points the preferences
// at a folder without any (OpenGL, here Mesa's software GL offscreen), `software` at preferences
// that switch the software rasteriser on. The folder `config` (under the test's temporary folder,
// named by the caller) goes with the object.
struct RendererEnvironments {
  explicit RendererEnvironments(const std::string& name)
      : config(Temp(name)), gl("XDG_CONFIG_HOME=" + config + "/none "), software("XDG_CONFIG_HOME=" + config + " ") {
    std::filesystem::create_directories(config + "/quorvalis");
    std::ofstream(config + "/quorvalis/preferences") << "use_software_renderer=1\n";
  }
  ~RendererEnvironments() { std::filesystem::remove_all(config); }
  RendererEnvironments(const RendererEnvironments&) = delete;
  RendererEnvironments& operator=(const RendererEnvironments&) = delete;

  std::string config, gl, software;
};

// The pixels of a PNG (0xAARRGGBB, row by row), empty when it cannot be read.
inline std::vector<uint32_t> PngPixels(const std::string& png) {
  PngImage image{};
  if (!ReadPngFile(png.c_str(), &image)) return {};
  std::vector<uint32_t> pixels(image.pixels, image.pixels + size_t(image.width) * size_t(image.height));
  FreePngImage(&image);
  return pixels;
}

}  // namespace app_test
