// Preferences file reading. The whole file is read at once (it is small by rule) and every
// line is checked before it is used: the key's length and characters, a decimal integer in
// the 32-bit range, nothing else on the line.
#include "platform/preferences.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

struct PreferencesState {
  std::string explicitPath;  // empty: the default path
  std::string path;          // the path last resolved
  bool loaded = false;
  std::vector<std::pair<std::string, int32_t>> values;
};

PreferencesState& State() {
  static PreferencesState state;
  return state;
}

std::string DefaultPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/quorvalis/preferences";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config/quorvalis/preferences";
  return std::string();
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsKeyChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
         c == '.';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// A well-formed line sets *key and *value; comments, blank and damaged lines answer false.
bool ParseLine(std::string_view line, std::string* key, int32_t* value) {
  line = Trim(line);
  if (line.empty() || line.front() == '#') return false;
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  std::string_view k = Trim(line.substr(0, eq));
  std::string_view v = Trim(line.substr(eq + 1));
  if (k.empty() || k.size() > static_cast<size_t>(kMaxPreferenceKeyLength) || v.empty() || v.size() > 12) {
    return false;
  }
  for (char c : k) {
    if (!IsKeyChar(c)) return false;
  }
  size_t digits = (v.front() == '-' || v.front() == '+') ? 1 : 0;
  if (digits == v.size()) return false;
  for (size_t i = digits; i < v.size(); ++i) {
    if (v[i] < '0' || v[i] > '9') return false;
  }
  std::string text(v);
  errno = 0;
  long long parsed = std::strtoll(text.c_str(), nullptr, 10);
  if (errno != 0 || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  *key = std::string(k);
  *value = static_cast<int32_t>(parsed);
  return true;
}

}  // namespace

void SetPreferencesFile(const char* path) {
  PreferencesState& s = State();
  s.explicitPath = path != nullptr ? path : "";
  s.loaded = false;
}

const char* PreferencesFilePath() {
  PreferencesState& s = State();
  s.path = s.explicitPath.empty() ? DefaultPath() : s.explicitPath;
  return s.path.c_str();
}

bool SynchronizePreferences() {
  PreferencesState& s = State();
  s.values.clear();
  s.loaded = true;
  const char* path = PreferencesFilePath();
  if (path[0] == '\0') return false;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  std::string content(static_cast<size_t>(kMaxPreferencesBytes) + 1, '\0');
  size_t n = std::fread(content.data(), 1, content.size(), file);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed || n > static_cast<size_t>(kMaxPreferencesBytes)) return false;
  content.resize(n);
  std::string_view rest(content);
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    std::string key;
    int32_t value = 0;
    if (line.find('\0') == std::string_view::npos && ParseLine(line, &key, &value)) {
      s.values.emplace_back(std::move(key), value);
    }
  }
  return true;
}

int32_t GetAppIntegerPreference(const char* key, bool* found) {
  PreferencesState& s = State();
  if (!s.loaded) SynchronizePreferences();
  int32_t value = 0;
  bool seen = false;
  if (key != nullptr) {
    for (const auto& [k, v] : s.values) {
      if (k == key) {
        value = v;
        seen = true;
      }
    }
  }
  if (found != nullptr) *found = seen;
  return value;
}

void ResetPreferencesForTest() { State() = PreferencesState(); }
