#pragma once
// The unison tables as the plugin's state, which the host saves with the
// session: the eight saws' ratios (atom:Double) and start offsets
// (atom:Long, 0 to 4294967295, as the dialog's fields and --set take them)
// under the keys urn:tavolin:synth#UnisonRatioK and #UnisonOffsetK.

#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <array>

#include "synth/Synth.h"

namespace tavolin {

class UnisonState {
 public:
  explicit UnisonState(LV2_URID_Map& map);

  LV2_State_Status Save(const Synth& synth, LV2_State_Store_Function store, LV2_State_Handle handle) const;
  // A key that is missing, or holds a value of another type, gives the
  // table's value at start.
  LV2_State_Status Restore(Synth& synth, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) const;

 private:
  std::array<LV2_URID, kUnisonSaws> ratio_{};
  std::array<LV2_URID, kUnisonSaws> offset_{};
  LV2_URID double_ = 0;
  LV2_URID long_ = 0;
};

}  // namespace tavolin
