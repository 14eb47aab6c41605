#pragma once
// The vocoder file parameter as run sees it: a patch:Set on the input
// schedules the file's reading in the host's worker; a patch:Get, a file
// read, or a state restored puts the path in use on the notify port, in a
// patch:Set at the call's first frame. Everything here is allocated with
// the instance; the calls for run touch only the host's buffers.

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/log/logger.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "lv2/PatchMessages.h"

namespace tavolin {

class ParameterPort {
 public:
  // `schedule` is the host's worker, null when it has none.
  ParameterPort(LV2_URID_Map& map, LV2_Log_Logger& logger, const LV2_Worker_Schedule* schedule);

  void ConnectNotify(LV2_Atom_Sequence* notify) { notify_ = notify; }
  bool IsObject(const LV2_Atom& atom) const { return messages_.IsObject(atom); }

  // [audio thread] Run's start and end: the notify port's sequence, its
  // head written even when nothing follows.
  void Begin();
  void End();
  // [audio thread] An object event of the input.
  void OnObject(const LV2_Atom& object);

  // [audio thread (work_response), or restore, which no run overlaps] The
  // path now in use ("": none), for the next run to tell.
  void Announce(const char* path, size_t size);

 private:
  void ScheduleLoad(const LV2_Atom& path);

  PatchMessages messages_;
  LV2_Log_Logger& logger_;
  const LV2_Worker_Schedule* schedule_;
  LV2_Atom_Sequence* notify_ = nullptr;
  LV2_Atom_Forge forge_{};
  LV2_Atom_Forge_Frame sequence_{};
  std::array<char, kMaxPathBytes> path_{};
  uint32_t pathLength_ = 0;
  bool due_ = false;  // the path is to be told
};

}  // namespace tavolin
