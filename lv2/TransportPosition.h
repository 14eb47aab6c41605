#pragma once
// Where the host's transport is, as it says on the plugin's input: a
// time:Position object (atom:Object, or atom:Blank from older hosts) with
// time:frame and time:speed, as Long, Float or Double. Reading touches only
// the host's buffer: fit for the audio thread.

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <optional>

namespace tavolin {

struct TransportPosition {
  int64_t frame;
  double speed;  // 0: stopped
};

class TransportReader {
 public:
  explicit TransportReader(LV2_URID_Map& map);

  // The position an object event says; nothing for any other object, or
  // one without a frame that is not negative.
  std::optional<TransportPosition> Read(const LV2_Atom& object) const;

 private:
  double NumberOf(const LV2_Atom* atom, double otherwise) const;

  LV2_URID object_;
  LV2_URID blank_;
  LV2_URID position_;
  LV2_URID frame_;
  LV2_URID speed_;
  LV2_URID long_;
  LV2_URID float_;
  LV2_URID double_;
};

}  // namespace tavolin
