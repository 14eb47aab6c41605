#pragma once
// The sound output named on the command line (`--audio API[:DEVICE]`), the
// list that `--list-audio` prints, and what a restart opens again.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SoundOutputs.h"
#include "platform/WaveOut.h"

namespace tavolin {

// "null", or a sound system's short name ("jack", "alsa", "pulse") with an
// optional ":DEVICE" (e.g. "alsa:hw:1"). Nothing, with the mistake in
// `error`, for an unknown sound system or an empty device.
std::optional<WaveOutChoice> ParseAudioChoice(std::string_view text, std::string& error);

// One line per output device, "API:DEVICE<tab>N channels[, default]", in a
// form that --audio takes; a sound system without any says so on its line.
std::string SoundOutputListing(const std::vector<SoundSystemOutputs>& systems);

// How the output device is fed (`--latency`): the ring of eight queued
// 1024-sample buffers ("ring", about 190 ms), or the pull path, where the
// device's callback takes samples from the block pipeline as it needs them
// ("low").
enum class OutputPath { Ring, Pull };
std::optional<OutputPath> ParseLatency(std::string_view text);

// What a restart opens in place of a failed device: a device named on the
// command line again; for the default choice the same kind as start-up
// opened, so a sound card is not exchanged for the null device.
WaveOutChoice ChoiceToReopen(const WaveOutChoice& chosen, WaveOutKind opened);

}  // namespace tavolin
