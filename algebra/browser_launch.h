// Opening a web address in the user's browser through the desktop's launcher, started as a
// process of its own with the address as its one argument: no shell reads the address.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The launcher's path or name (a name is looked up on PATH): "xdg-open" unless set otherwise
// (tests). Process-wide.
std::string& BrowserLauncher();

// Starts the launcher on the URL and does not wait for it (a thread of its own reaps it). 0 when
// it was started; -669 when the launcher cannot be started (none installed); -50 for an empty
// URL, one holding a NUL, or one that starts with '-', which the launcher would take for an
// option.
int16_t OpenURLInBrowser(std::string_view url);
