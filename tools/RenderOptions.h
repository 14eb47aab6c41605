#pragma once
// The command line of tavolin-render.

#include <optional>
#include <string>
#include <vector>

#include "host/EngineSettings.h"

namespace tavolin {

struct RenderSettings {
  std::string songPath;
  bool liveInput = false;                              // --midi-in: songPath's messages come in as live MIDI input
  bool exactPositions = false;                         // --exact-positions: each live message at its own sample
  NoteNumbering numbering = NoteNumbering::LiveInput;  // --note-numbering
  std::string outPath;
  EngineSettings engine;  // --mode, --set, --on, --vocoder (its modulator started with the song)
  std::optional<double> seconds;
  bool quiet = false;
};

enum class RenderAction { Render, PrintEvents, Help, Version, UsageError };

struct ParsedCommandLine {
  RenderAction action = RenderAction::UsageError;
  RenderSettings settings;
  std::string error;                  // for UsageError
  std::vector<std::string> warnings;  // values taken that the window cannot reach
};

ParsedCommandLine ParseRenderCommandLine(const std::vector<std::string>& args);

// The options, then the --set names.
std::string RenderHelp();

// The longest --seconds a WAVE file can hold.
double MaxRenderSeconds();

}  // namespace tavolin
