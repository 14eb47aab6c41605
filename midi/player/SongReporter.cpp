#include "midi/player/SongReporter.h"

namespace tavolin {

namespace {
class Quiet final : public SongReporter {
 public:
  void SetTitle(std::string_view) override {}
  void ShowError(std::string_view, std::string_view) override {}
  void PumpEvents() override {}
  bool EscapeHeld() override { return false; }
};
}  // namespace

SongReporter& QuietSongReporter() {
  static Quiet quiet;
  return quiet;
}

}  // namespace tavolin
