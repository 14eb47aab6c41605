#pragma once
// A small LV2 host on lilv for the plugin's tests: a URID map, a song of
// MIDI events run through a new instance in calls of given sizes, the
// host's worker and log, and a state store that keeps what a host saves.

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/log/log.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "tests/midi/TempFiles.h"

namespace lv2test {

constexpr double kEngineRate = 44100.0;
constexpr uint32_t kLatency = 1024;

// The host's URID map: each URI gets its place in the list, plus one.
class UridMap {
 public:
  LV2_URID_Map map{this, &UridMap::Map};
  const std::string& Unmap(LV2_URID urid) const { return uris_.at(urid - 1); }

 private:
  static LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri) {
    auto& uris = static_cast<UridMap*>(handle)->uris_;
    for (size_t i = 0; i < uris.size(); ++i)
      if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
    uris.emplace_back(uri);
    return static_cast<LV2_URID>(uris.size());
  }
  std::vector<std::string> uris_;
};

struct Event {
  uint32_t at;
  uint8_t bytes[3];
};

// What a run plays: at what rate, for how long, which events, and the
// control ports' values where not their defaults.
struct Song {
  double rate = kEngineRate;
  uint32_t length = 12 * 1024;
  std::span<const Event> events;
  std::map<std::string, float> controls;
  uint32_t restartAt = 0;       // the frame where the host deactivates and activates it again; 0: none
  std::string vocoderAt0 = {};  // a modulator file set through patch:Set at frame 0; empty: none
  // The host's doings with the instance before the first call and after the last.
  std::function<void(LilvInstance*, UridMap&)> before = nullptr;
  std::function<void(LilvInstance*, UridMap&)> after = nullptr;
};

class Host {
 public:
  Host() {
    world_ = lilv_world_new();
    LilvNode* bundle = lilv_new_file_uri(world_, nullptr, TAVOLIN_LV2_BUNDLE);
    lilv_world_load_bundle(world_, bundle);
    lilv_node_free(bundle);
    LilvNode* uri = lilv_new_uri(world_, "urn:tavolin:synth");
    plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri);
    lilv_node_free(uri);
  }
  ~Host() { lilv_world_free(world_); }
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  const LilvPlugin* plugin() const { return plugin_; }

  // Runs a new instance over the song in calls of the sizes given in turn.
  std::vector<float> Render(const Song& song, const std::vector<uint32_t>& sizes, float* latency) {
    UridMap urids;
    const LV2_URID maxBlock = urids.map.map(urids.map.handle, LV2_BUF_SIZE__maxBlockLength);
    const LV2_URID atomInt = urids.map.map(urids.map.handle, LV2_ATOM__Int);
    const int32_t maxFrames = 4096;
    const LV2_Options_Option options[] = {{LV2_OPTIONS_INSTANCE, 0, maxBlock, sizeof(int32_t), atomInt, &maxFrames},
                                          {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    const LV2_Feature mapFeature{LV2_URID__map, &urids.map};
    const LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
    LV2_Worker_Schedule schedule{this, &Host::Schedule};
    LV2_Log_Log log{this, &Host::Printf, &Host::VPrintf};
    const LV2_Feature scheduleFeature{LV2_WORKER__schedule, &schedule};
    const LV2_Feature logFeature{LV2_LOG__log, &log};
    const LV2_Feature* features[] = {&mapFeature, &optionsFeature, &scheduleFeature, &logFeature, nullptr};
    LilvInstance* instance = lilv_plugin_instantiate(plugin_, song.rate, features);
    EXPECT_NE(instance, nullptr);
    if (instance == nullptr) return {};
    // Every control input at its default, as a host shows it first, or at the song's value.
    const uint32_t ports = lilv_plugin_get_num_ports(plugin_);
    std::vector<float> controls(ports), minimum(ports), maximum(ports);
    lilv_plugin_get_port_ranges_float(plugin_, minimum.data(), maximum.data(), controls.data());
    for (uint32_t port = 3; port < ports; ++port) {
      const LilvNode* symbol = lilv_port_get_symbol(plugin_, lilv_plugin_get_port_by_index(plugin_, port));
      if (auto set = song.controls.find(lilv_node_as_string(symbol)); set != song.controls.end()) {
        controls[port] = set->second;
      }
      lilv_instance_connect_port(instance, port, &controls[port]);
    }

    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, &urids.map);
    const LV2_URID midiEvent = urids.map.map(urids.map.handle, LV2_MIDI__MidiEvent);
    std::vector<uint8_t> sequence(8192);
    std::vector<float> out(song.length);
    lilv_instance_connect_port(instance, 0, sequence.data());
    lilv_instance_connect_port(instance, 2, latency);
    if (song.before) song.before(instance, urids);
    lilv_instance_activate(instance);
    uint32_t at = 0;
    for (size_t call = 0; at < song.length; ++call) {
      const uint32_t n = std::min(sizes[call % sizes.size()], song.length - at);
      lv2_atom_forge_set_buffer(&forge, sequence.data(), sequence.size());
      LV2_Atom_Forge_Frame frame;
      lv2_atom_forge_sequence_head(&forge, &frame, 0);
      for (const Event& e : song.events) {
        if (e.at < at || e.at >= at + n) continue;
        lv2_atom_forge_frame_time(&forge, e.at - at);
        lv2_atom_forge_atom(&forge, 3, midiEvent);
        lv2_atom_forge_write(&forge, e.bytes, 3);
      }
      if (at == 0 && !song.vocoderAt0.empty()) ForgePathSet(forge, urids, song.vocoderAt0);
      lv2_atom_forge_pop(&forge, &frame);
      lilv_instance_connect_port(instance, 1, out.data() + at);
      lilv_instance_run(instance, n);
      DoScheduledWork(instance);
      at += n;
      if (at == song.restartAt) {
        lilv_instance_deactivate(instance);
        lilv_instance_activate(instance);
      }
    }
    if (song.after) song.after(instance, urids);
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
    return out;
  }

  // What the plugin wrote to the host's log.
  std::string logged;

 private:
  // patch:Set of the vocoder's file, at the sequence's first frame.
  static void ForgePathSet(LV2_Atom_Forge& forge, UridMap& urids, const std::string& path) {
    auto map = [&urids](const char* uri) { return urids.map.map(urids.map.handle, uri); };
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_frame_time(&forge, 0);
    lv2_atom_forge_object(&forge, &object, 0, map(LV2_PATCH__Set));
    lv2_atom_forge_key(&forge, map(LV2_PATCH__property));
    lv2_atom_forge_urid(&forge, map("urn:tavolin:synth#vocoder"));
    lv2_atom_forge_key(&forge, map(LV2_PATCH__value));
    lv2_atom_forge_path(&forge, path.c_str(), static_cast<uint32_t>(path.size() + 1));
    lv2_atom_forge_pop(&forge, &object);
  }

  // The host's worker, run on the test's thread after each call.
  static LV2_Worker_Status Schedule(LV2_Worker_Schedule_Handle handle, uint32_t size, const void* data) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    static_cast<Host*>(handle)->work_.emplace_back(bytes, bytes + size);
    return LV2_WORKER_SUCCESS;
  }
  static LV2_Worker_Status Respond(LV2_Worker_Respond_Handle handle, uint32_t size, const void* data) {
    const auto* instance = static_cast<LilvInstance*>(handle);
    const auto* worker =
        static_cast<const LV2_Worker_Interface*>(lilv_instance_get_extension_data(instance, LV2_WORKER__interface));
    return worker->work_response(lilv_instance_get_handle(instance), size, data);
  }
  void DoScheduledWork(LilvInstance* instance) {
    const auto* worker =
        static_cast<const LV2_Worker_Interface*>(lilv_instance_get_extension_data(instance, LV2_WORKER__interface));
    for (const std::vector<uint8_t>& work : work_) {
      worker->work(lilv_instance_get_handle(instance), Respond, instance, static_cast<uint32_t>(work.size()),
                   work.data());
    }
    work_.clear();
  }

  static int VPrintf(LV2_Log_Handle handle, LV2_URID, const char* format, va_list args) {
    char text[1024];
    const int n = std::vsnprintf(text, sizeof text, format, args);
    static_cast<Host*>(handle)->logged += text;
    return n;
  }
  static int Printf(LV2_Log_Handle handle, LV2_URID type, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = VPrintf(handle, type, format, args);
    va_end(args);
    return n;
  }

  LilvWorld* world_ = nullptr;
  const LilvPlugin* plugin_ = nullptr;
  std::vector<std::vector<uint8_t>> work_;
};

// A plugin's saved state as a host keeps it: by key, the type and the bytes.
using SavedState = std::map<std::string, std::pair<std::string, std::vector<uint8_t>>>;

struct StateAccess {
  UridMap& urids;
  SavedState& state;
};

inline LV2_State_Status Store(LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                              uint32_t) {
  auto& access = *static_cast<StateAccess*>(handle);
  const auto* bytes = static_cast<const uint8_t*>(value);
  access.state[access.urids.Unmap(key)] = {access.urids.Unmap(type), {bytes, bytes + size}};
  return LV2_STATE_SUCCESS;
}

inline const void* Retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) {
  auto& access = *static_cast<StateAccess*>(handle);
  const auto found = access.state.find(access.urids.Unmap(key));
  if (found == access.state.end()) return nullptr;
  *size = found->second.second.size();
  *type = access.urids.map.map(access.urids.map.handle, found->second.first.c_str());
  *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
  return found->second.second.data();
}

inline const LV2_State_Interface& StateOf(LilvInstance* instance) {
  return *static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance, LV2_STATE__interface));
}

template <typename T>
inline std::pair<std::string, std::vector<uint8_t>> Value(const char* type, T value) {
  std::vector<uint8_t> bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  return {type, bytes};
}

// The unison tables are the plugin's state: restored, a saw's ratio and
// offset change the sound; saved and restored into a new instance they

// A variable-length quantity of a MIDI file.
inline tavolin::test::Bytes Vlq(uint32_t value) {
  tavolin::test::Bytes bytes{static_cast<uint8_t>(value & 0x7F)};
  while ((value >>= 7) != 0) bytes.insert(bytes.begin(), static_cast<uint8_t>(0x80 | (value & 0x7F)));
  return bytes;
}

// The same messages as a MIDI file for tavolin-render --midi-in and as

}  // namespace lv2test
