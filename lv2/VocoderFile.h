#pragma once
// The vocoder's modulator as the plugin takes it: a WAVE file's path, set
// by the host (a patch:Set of urn:tavolin:synth#vocoder, read in the
// worker) or restored with the session's state. The file is read and
// converted off the audio thread and handed over as the window hands it;
// the modulator it replaces is freed there too. A file that cannot be used
// goes to the host's log and leaves the vocoder silent.

#include <lv2/core/lv2.h>
#include <lv2/log/logger.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <memory>
#include <mutex>
#include <string>

#include "synth/ModulatorHandOff.h"

namespace tavolin {

class VocoderFile {
 public:
  VocoderFile(LV2_URID_Map& map, LV2_Log_Logger& logger);

  // [not the audio thread] Reads `path` ("": none) into `modulator` and
  // starts it from its first sample. False, and no modulator, when the file
  // cannot be used.
  bool Load(const std::string& path, ModulatorHandOff& modulator);
  std::string Path() const;

  LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle,
                        const LV2_Feature* const* features) const;
  // No path in the state is no vocoder.
  LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                           const LV2_Feature* const* features, ModulatorHandOff& modulator);

 private:
  // The file's samples, or null ("", or a failure the host's log is told).
  std::unique_ptr<ModulatorData> Read(const std::string& path);

  mutable std::mutex mutex_;  // the worker's and the host's own threads
  std::string path_;
  LV2_Log_Logger& logger_;
  LV2_URID parameter_;
  LV2_URID path_type_;
};

}  // namespace tavolin
