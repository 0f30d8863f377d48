// Row settings: what an equation row draws its graphs with beyond its formula (its colour, grain,
// opacity and plotting mode) and the side of the pane that shows them, as one table: the name a
// document line gives each ("@colour=2"), the values it takes, and the graph option code that
// carries a change to the row's built graphs (the side has none: it decides where they are built).
// The document record sends the changes (DocumentRecord::ChangeRowSetting).
// Invariants: a row holds only values the table accepts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "graphs/core/document_services.h"

// The colour-menu index a new row at index i is given: the eight fixed colours in turn.
inline double FixedColourOfRow(int32_t i) { return i % 8 + 1; }

enum class RowSetting : int32_t { kColour, kGrain, kOpacity, kMode, kSide };
inline constexpr int32_t kRowSettingCount = 5;
// The settings the graphs take as options (the Graph menu's, and an undo step's): all but the side.
inline constexpr RowSetting kRowGraphSettings[] = {RowSetting::kColour, RowSetting::kGrain, RowSetting::kOpacity,
                                                   RowSetting::kMode};

// The setting's name in a document line, without "@" and "=": "colour", "grain", "opacity",
// "mode", "side".
const char* RowSettingName(RowSetting which);
// The setting of that name; false for none.
bool RowSettingByName(std::string_view name, RowSetting* which);
// The setting takes the value: a colour-menu index 1..8 or 10..17, a grain or an opacity from 0
// to 1, a plotting mode 0, 1 or 2, a side 0 or 1. NaN is taken by none.
bool RowSettingAccepts(RowSetting which, double value);
// The value of the setting's text as a document line gives it (digits, and for the grain and the
// opacity a decimal point or an exponent, whatever the locale): false, *value untouched, for text
// that is not one number or a value the setting does not take.
bool ReadRowSettingValue(RowSetting which, std::string_view text, double* value);
// The setting as a line gives it, its value named: "@colour=N".
std::string RowSettingForm(RowSetting which);
// The refusal of a bad value, saying what the setting takes:
// "bad colour setting (\"@colour=N\" with N from 1 to 8 or 10 to 17 expected)".
std::string RowSettingRefusal(RowSetting which);

double RowSettingOf(const EquationRow& row, RowSetting which);
// Stores the value (one the setting accepts) in the row.
void SetRowSetting(EquationRow* row, RowSetting which, double value);
// The settings of the row at `index` that a line without them would not give it, as a document line
// starts with them ("@colour=3 @opacity=0.5 "), each followed by a blank; a value reads back
// exactly.
std::string RowSettingsText(const EquationRow& row, int32_t index);

// The graph option code that carries a change of the setting to the row's graphs; -1 for the side.
int32_t RowSettingOption(RowSetting which);
