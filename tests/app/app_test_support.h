// The programs run as a user runs them: a command line through the shell, its standard output and
// error read together, and its exit status.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

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

}  // namespace app_test
