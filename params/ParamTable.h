#pragma once
// The 24 rows of parameters that the main window shows and steps from the
// keyboard. The table is constant; the values it points to are the engine's
// parameters, read by the audio thread as they change.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "audio/MasterChain.h"
#include "synth/Synth.h"

namespace tavolin {

struct ParamDef {
  const char* label;
  // The switch that turns the row's feature on; null: none.
  const std::atomic<int32_t>* enableFlag;
  int32_t kind;  // kRealValue or kWholeValue
  // The edited parameter; null for a row that only shows its switch.
  std::atomic<double>* value;
  double step;
  double bigStep;  // one Ctrl step; 0.0 = ten ordinary steps
  // The row counts as switched on while its own value is not 0.0 (ONLY CH).
  bool enabledByValue = false;
};

inline constexpr int32_t kRealValue = 0;
inline constexpr int32_t kWholeValue = 1;
inline constexpr int kParamRows = 24;
// Where stepping a real value down stops.
inline constexpr double kLowestStepped = static_cast<double>(0.0001f);

using ParamTable = std::array<ParamDef, kParamRows>;

ParamTable MakeParamTable(Synth& synth, const MasterChain& master);

// The table and its selected row; window thread only.
struct ParamEditor {
  ParamEditor(Synth& synth, const MasterChain& master) : ParamTable(MakeParamTable(synth, master)) {}
  const tavolin::ParamTable ParamTable;
  int32_t CurrentRow = 0;
};

// Moves the selection by +1 or -1, wrapping around at both ends.
void SelectRow(ParamEditor& editor, int delta);

// Steps the selected row's value by one step in `direction` (+1 or -1),
// by a big step while Ctrl is down. Real values stop at 0.0001 from below.
void StepParam(ParamEditor& editor, int direction, bool ctrlDown);

// Room for any value text.
inline constexpr size_t kValueTextSize = 32;

// The value as shown: "---" without a value, "%d.%03d" truncated for a real
// value (a minus sign in front of a negative one's magnitude), "%d" for a
// whole value. Whatever the locale: the point is written literally.
void ValueText(const ParamDef& row, char (&text)[kValueTextSize]);

bool IsSwitchedOn(const ParamDef& row);

}  // namespace tavolin
