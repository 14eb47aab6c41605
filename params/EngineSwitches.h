#pragma once
// The ten engine switches by name, as --on and the plugin's toggles reach
// them: the voice processing's and the master chain's.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavolin {

struct Synth;
struct MasterChain;

// Every switch name, in the order --help lists them.
const std::vector<std::string>& EngineSwitchNames();

// The switch called `name`, or null.
std::atomic<int32_t>* FindSwitch(Synth& synth, MasterChain& master, std::string_view name);

}  // namespace tavolin
