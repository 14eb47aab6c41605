#include "params/EngineInputs.h"

#include <algorithm>
#include <cmath>

#include "synth/Synth.h"

namespace tavolin {

namespace {

constexpr std::string_view kRatio = "UnisonRatio";
constexpr std::string_view kOffset = "UnisonOffset";

// The saw index of "UnisonRatioK" / "UnisonOffsetK", or -1.
int SawIndex(std::string_view name, std::string_view prefix) {
  if (name.size() != prefix.size() + 1 || name.substr(0, prefix.size()) != prefix) return -1;
  const int k = name.back() - '0';
  return k >= 0 && k < kUnisonSaws ? k : -1;
}

}  // namespace

const std::vector<std::string>& EngineInputNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n{"PitchBend", "PitchShift"};
    for (int k = 0; k < kUnisonSaws; ++k) n.push_back(std::string(kRatio) + std::to_string(k));
    for (int k = 0; k < kUnisonSaws; ++k) n.push_back(std::string(kOffset) + std::to_string(k));
    return n;
  }();
  return names;
}

bool IsEngineInput(std::string_view name) {
  const auto& names = EngineInputNames();
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::string CheckEngineInput(std::string_view name, double value) {
  // The dialog's offsets are unsigned 32-bit sample counts.
  if (SawIndex(name, kOffset) >= 0 && (value != std::trunc(value) || value < 0 || value > 4294967295.0)) {
    return std::string(name) + " takes a whole number of samples from 0 to 4294967295";
  }
  return {};
}

void SetEngineInput(Synth& synth, std::string_view name, double value) {
  constexpr auto relaxed = std::memory_order_relaxed;
  if (name == "PitchBend") synth.PitchBend.store(value, relaxed);
  if (name == "PitchShift") synth.PitchShift.store(value, relaxed);
  if (const int k = SawIndex(name, kRatio); k >= 0) synth.UnisonRatio[k].store(value, relaxed);
  if (const int k = SawIndex(name, kOffset); k >= 0) {
    synth.UnisonOffset[k].store(static_cast<int32_t>(static_cast<uint32_t>(value)), relaxed);
  }
}

}  // namespace tavolin
