// The row settings' table, their document-line text both ways, and their changes sent to the
// graphs. Numbers are read and written with <charconv>: a document reads alike in every locale,
// and a value written reads back to the same double.
#include "document/row_settings.h"

#include <charconv>
#include <cmath>

namespace {

struct RowSettingRow {
  const char* name;
  const char* letter;  // what the refusal calls the value
  const char* takes;   // what the refusal says of it
  double low, high;
  bool whole;          // a whole number, digits only
  int32_t option;      // the graph option code of a change; -1 none
};

// Indexed by RowSetting. The colour's gap (9) is the one value inside its bounds it refuses.
constexpr RowSettingRow kTable[kRowSettingCount] = {
    {"colour", "N", "from 1 to 8 or 10 to 17", 1, 17, true, 6},
    {"grain", "G", "from 0 to 1", 0, 1, false, 8},
    {"opacity", "A", "from 0 to 1", 0, 1, false, 7},
    {"mode", "M", "0, 1 or 2", 0, 2, true, 0},
    {"side", "S", "0 or 1", 0, 1, true, -1},
};

const RowSettingRow& RowOf(RowSetting which) { return kTable[static_cast<int32_t>(which)]; }

// The value a row has when its line does not give the setting.
double DefaultOf(RowSetting which, int32_t index) {
  const EquationRow fresh{};
  return which == RowSetting::kColour ? FixedColourOfRow(index) : RowSettingOf(fresh, which);
}

}  // namespace

const char* RowSettingName(RowSetting which) { return RowOf(which).name; }

bool RowSettingByName(std::string_view name, RowSetting* which) {
  for (int32_t k = 0; k < kRowSettingCount; ++k) {
    if (name != kTable[k].name) continue;
    *which = static_cast<RowSetting>(k);
    return true;
  }
  return false;
}

bool RowSettingAccepts(RowSetting which, double value) {
  const RowSettingRow& row = RowOf(which);
  if (!(value >= row.low && value <= row.high)) return false;
  if (row.whole && value != std::floor(value)) return false;
  return which != RowSetting::kColour || value != 9.0;
}

bool ReadRowSettingValue(RowSetting which, std::string_view text, double* value) {
  const char* first = text.data();
  const char* last = first + text.size();
  double read = 0.0;
  if (RowOf(which).whole) {
    int32_t n = 0;
    const auto [end, error] = std::from_chars(first, last, n);
    if (error != std::errc() || end != last || text.empty() || text[0] == '-') return false;
    read = n;
  } else {
    // from_chars takes "nan" and "inf" too: the range test below refuses them.
    const auto [end, error] = std::from_chars(first, last, read, std::chars_format::general);
    if (error != std::errc() || end != last) return false;
    read += 0.0;  // -0 is 0
  }
  if (!RowSettingAccepts(which, read)) return false;
  *value = read;
  return true;
}

std::string RowSettingForm(RowSetting which) {
  return std::string("@") + RowOf(which).name + "=" + RowOf(which).letter;
}

std::string RowSettingRefusal(RowSetting which) {
  const RowSettingRow& row = RowOf(which);
  return std::string("bad ") + row.name + " setting (\"" + RowSettingForm(which) + "\" with " + row.letter + " " +
         row.takes + " expected)";
}

double RowSettingOf(const EquationRow& row, RowSetting which) {
  switch (which) {
    case RowSetting::kColour: return row.color;
    case RowSetting::kGrain: return row.grain;
    case RowSetting::kOpacity: return row.opacity;
    case RowSetting::kMode: return row.plottingMode;
    case RowSetting::kSide: return row.side;
  }
  return 0.0;
}

void SetRowSetting(EquationRow* row, RowSetting which, double value) {
  switch (which) {
    case RowSetting::kColour: row->color = value; break;
    case RowSetting::kGrain: row->grain = value; break;
    case RowSetting::kOpacity: row->opacity = value; break;
    case RowSetting::kMode: row->plottingMode = value; break;
    case RowSetting::kSide: row->side = value != 0.0 ? 1 : 0; break;
  }
}

std::string RowSettingsText(const EquationRow& row, int32_t index) {
  std::string text;
  for (int32_t k = 0; k < kRowSettingCount; ++k) {
    const RowSetting which = static_cast<RowSetting>(k);
    const double value = RowSettingOf(row, which);
    if (value == DefaultOf(which, index) || !RowSettingAccepts(which, value)) continue;
    char digits[32];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    if (error != std::errc()) continue;
    text += std::string("@") + kTable[k].name + "=" + std::string(digits, end) + " ";
  }
  return text;
}

int32_t RowSettingOption(RowSetting which) { return RowOf(which).option; }
