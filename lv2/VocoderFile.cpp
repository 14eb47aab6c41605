#include "lv2/VocoderFile.h"

#include <lv2/atom/util.h>
#include <lv2/core/lv2_util.h>
#include <lv2/patch/patch.h>

#include <cstdlib>
#include <cstring>

#include "spectral/ModulatorFile.h"

namespace tavolin {

namespace {

constexpr const char* kParameter = "urn:tavolin:synth#vocoder";

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

VocoderFile::VocoderFile(LV2_URID_Map& map, const LV2_Feature* const* features)
    : parameter_(map.map(map.handle, kParameter)),
      path_type_(map.map(map.handle, LV2_ATOM__Path)),
      urid_type_(map.map(map.handle, LV2_ATOM__URID)),
      object_(map.map(map.handle, LV2_ATOM__Object)),
      set_(map.map(map.handle, LV2_PATCH__Set)),
      property_(map.map(map.handle, LV2_PATCH__property)),
      value_(map.map(map.handle, LV2_PATCH__value)) {
  lv2_log_logger_init(&logger_, &map, static_cast<LV2_Log_Log*>(lv2_features_data(features, LV2_LOG__log)));
}

const LV2_Atom* VocoderFile::PathIn(const LV2_Atom_Object* object) const {
  if (object->atom.type != object_ || object->atom.size < sizeof(LV2_Atom_Object_Body) || object->body.otype != set_) {
    return nullptr;
  }
  const LV2_Atom* property = nullptr;
  const LV2_Atom* value = nullptr;
  lv2_atom_object_get(object, property_, &property, value_, &value, 0);
  if (property == nullptr || property->type != urid_type_ || value == nullptr || value->type != path_type_) {
    return nullptr;
  }
  return reinterpret_cast<const LV2_Atom_URID*>(property)->body == parameter_ ? value : nullptr;
}

void VocoderFile::Load(const std::string& path, ModulatorHandOff& modulator) {
  const std::lock_guard lock(mutex_);
  path_.clear();
  if (path.empty()) {
    modulator.Free();
    return;
  }
  ModulatorLoad load = LoadModulatorFile(path);
  if (!load.data) {
    lv2_log_error(&logger_, "tavolin: %s\n", load.error.c_str());
    modulator.Free();
    return;
  }
  if (!load.warning.empty()) lv2_log_warning(&logger_, "tavolin: %s\n", load.warning.c_str());
  modulator.Install(std::move(load.data));
  modulator.Start();
  path_ = path;
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
