// posix_spawnp in place of a shell command line, so an address holding blanks, quotes, ';' or
// "$(...)" reaches the launcher as the characters it is.
#include "algebra/browser_launch.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <system_error>
#include <thread>

extern char** environ;

std::string& BrowserLauncher() {
  static std::string launcher = "xdg-open";
  return launcher;
}

int16_t OpenURLInBrowser(std::string_view url) {
  if (url.empty() || url.front() == '-' || url.find('\0') != std::string_view::npos) return -50;
  std::string launcher = BrowserLauncher();
  std::string address(url);
  char* argv[] = {launcher.data(), address.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, launcher.c_str(), nullptr, nullptr, argv, environ) != 0) return -669;
  // The launcher is reaped off the caller's thread; without a thread it is reaped if it has
  // already ended, else it stays a zombie until exit: the browser was opened all the same.
  const auto reap = [pid](int options) {
    int status = 0;
    while (waitpid(pid, &status, options) < 0 && errno == EINTR) {
    }
  };
  try {
    std::thread(reap, 0).detach();
  } catch (const std::system_error&) {
    reap(WNOHANG);
  }
  return 0;
}
