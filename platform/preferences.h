// The application's integer switches: a small text file of `key=value` lines (blanks around
// either side allowed, `#` starts a comment line). A missing, unreadable, oversized or damaged
// file never fails a caller: a line that does not parse is skipped, and a file that cannot be
// read at all gives no values, so every switch keeps its default.
#pragma once

#include <cstdint>

// Keys longer than this and files larger than kMaxPreferencesBytes are refused.
constexpr int kMaxPreferenceKeyLength = 64;
constexpr int kMaxPreferencesBytes = 64 * 1024;

// The file read from: the path set last, else $XDG_CONFIG_HOME/quorvalis/preferences, else
// $HOME/.config/quorvalis/preferences. Null restores the default. The next read uses it.
void SetPreferencesFile(const char* path);
const char* PreferencesFilePath();

// Reads the file again. True when it was read (even when some lines were skipped); false when
// it is missing, unreadable or too large, and then no key has a value.
bool SynchronizePreferences();

// The value of key: the last well-formed line that sets it. *found (when not null) tells
// whether there was one; 0 is answered otherwise. The file is read on first use.
int32_t GetAppIntegerPreference(const char* key, bool* found);

// Forgets the values and the path set, so the next read starts from the default file.
void ResetPreferencesForTest();
