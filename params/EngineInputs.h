#pragma once
// The engine inputs that --set reaches besides the parameter table: the
// pitch wheel, the pitch shift and the unison saws' ratios and offsets.

#include <string>
#include <string_view>
#include <vector>

namespace tavolin {

struct Synth;

const std::vector<std::string>& EngineInputNames();
bool IsEngineInput(std::string_view name);
// Empty when `value` suits the input, else the reason it does not.
std::string CheckEngineInput(std::string_view name, double value);
void SetEngineInput(Synth& synth, std::string_view name, double value);

}  // namespace tavolin
