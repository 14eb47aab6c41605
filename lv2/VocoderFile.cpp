#include "lv2/VocoderFile.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2_util.h>

#include <cstdlib>
#include <cstring>

#include "lv2/PatchMessages.h"
#include "spectral/ModulatorFile.h"

namespace tavolin {

namespace {

// A path the host's map made, given back as the host asks.
void FreePath(const LV2_Feature* const* features, char* path) {
  if (path == nullptr) return;
  if (const auto* free = static_cast<const LV2_State_Free_Path*>(lv2_features_data(features, LV2_STATE__freePath))) {
    free->free_path(free->handle, path);
  } else {
    std::free(path);  // NOLINT(cppcoreguidelines-no-malloc): the host's map allocated it so
  }
}

}  // namespace

VocoderFile::VocoderFile(LV2_URID_Map& map, LV2_Log_Logger& logger)
    : logger_(logger),
      parameter_(map.map(map.handle, kVocoderParameter)),
      path_type_(map.map(map.handle, LV2_ATOM__Path)) {}

std::unique_ptr<ModulatorData> VocoderFile::Read(const std::string& path) {
  if (path.empty()) return nullptr;
  // The path goes back to the audio thread, whose copy has this room.
  if (path.size() >= kMaxPathBytes) {
    lv2_log_error(&logger_, "tavolin: a vocoder file's path of %zu bytes is refused: the most is %u\n", path.size(),
                  kMaxPathBytes - 1);
    return nullptr;
  }
  ModulatorLoad load = LoadModulatorFile(path);
  if (!load.data) lv2_log_error(&logger_, "tavolin: %s\n", load.error.c_str());
  if (load.data && !load.warning.empty()) lv2_log_warning(&logger_, "tavolin: %s\n", load.warning.c_str());
  return std::move(load.data);
}

bool VocoderFile::Load(const std::string& path, ModulatorHandOff& modulator) {
  const std::lock_guard lock(mutex_);
  path_.clear();
  std::unique_ptr<ModulatorData> data = Read(path);
  if (!data) {
    modulator.Free();
    return path.empty();
  }
  modulator.Install(std::move(data));
  modulator.Start();
  path_ = path;
  return true;
}

std::string VocoderFile::Path() const {
  const std::lock_guard lock(mutex_);
  return path_;
}

LV2_State_Status VocoderFile::Save(LV2_State_Store_Function store, LV2_State_Handle handle,
                                   const LV2_Feature* const* features) const {
  const std::string path = Path();
  if (path.empty()) return LV2_STATE_SUCCESS;
  // Mapped, the path moves with the session.
  const auto* map = static_cast<const LV2_State_Map_Path*>(lv2_features_data(features, LV2_STATE__mapPath));
  char* abstract = map != nullptr ? map->abstract_path(map->handle, path.c_str()) : nullptr;
  const char* stored = abstract != nullptr ? abstract : path.c_str();
  const LV2_State_Status status =
      store(handle, parameter_, stored, std::strlen(stored) + 1, path_type_, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
  FreePath(features, abstract);
  return status;
}

LV2_State_Status VocoderFile::Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                                      const LV2_Feature* const* features, ModulatorHandOff& modulator) {
  size_t size = 0;
  uint32_t type = 0;
  uint32_t flags = 0;
  const auto* value = static_cast<const char*>(retrieve(handle, parameter_, &size, &type, &flags));
  if (value == nullptr || type != path_type_ || size == 0 || value[size - 1] != '\0') {
    Load("", modulator);
    return LV2_STATE_SUCCESS;
  }
  const auto* map = static_cast<const LV2_State_Map_Path*>(lv2_features_data(features, LV2_STATE__mapPath));
  char* absolute = map != nullptr ? map->absolute_path(map->handle, value) : nullptr;
  Load(absolute != nullptr ? absolute : value, modulator);
  FreePath(features, absolute);
  return LV2_STATE_SUCCESS;
}

}  // namespace tavolin
