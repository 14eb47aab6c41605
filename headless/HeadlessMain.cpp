// tavolin-headless: the synthesizer as a sound module, without a screen or
// Qt. Its options (HeadlessOptions.h) choose the sound output, the MIDI
// input and the sources to connect to it, the engine's settings, a
// recording and songs to play.

#include <cstdio>
#include <string>

#include "headless/HeadlessOptions.h"
#include "headless/SoundModule.h"
#include "platform/ThreadName.h"

int main(int argc, char** argv) {
  std::string mistake;
  const auto options = tavolin::ParseHeadlessOptions(argc, argv, mistake);
  const std::optional<tavolin::ProgramOptions> program =
      options ? std::optional<tavolin::ProgramOptions>(options->program) : std::nullopt;
  if (const auto code = tavolin::AnswerBeforeStart(
          program, mistake, {"tavolin-headless", tavolin::kHeadlessUsage, tavolin::HeadlessHelp(), TAVOLIN_VERSION})) {
    return *code;
  }
  for (const std::string& warning : options->warnings) std::fprintf(stderr, "tavolin-headless: %s\n", warning.c_str());
  tavolin::NameCurrentThread("Main");
  return tavolin::RunSoundModule(*options);
}
