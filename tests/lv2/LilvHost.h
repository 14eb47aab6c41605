#pragma once
// A small LV2 host on lilv for the plugin's tests: a URID map, a song of
// MIDI events run through a new instance in calls of given sizes (or one
// call at a time, for instances side by side), the host's worker and log,
// what the notify port says, and a state store that keeps what a host saves.

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/log/log.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
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
#include <ostream>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "lv2/ControlPorts.h"
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

// Where the host's transport is, said at frame `at` of the run (a
// time:Position with time:frame and time:speed).
struct Transport {
  uint32_t at;
  int64_t frame;
  float speed;
};

// What a run plays: at what rate, for how long, which events, and the
// control ports' values where not their defaults.
struct Song {
  double rate = kEngineRate;
  uint32_t length = 12 * 1024;
  std::span<const Event> events;
  std::map<std::string, float> controls;
  std::span<const Transport> transport = {};  // each before the events of its frame; in order
  uint32_t restartAt = 0;                     // the frame where the host deactivates and activates it again; 0: none
  std::string vocoderAt0 = {};                // a modulator file set through patch:Set at frame 0; empty: none
  // The host's doings with the instance before the first call and after the last.
  std::function<void(LilvInstance*, UridMap&)> before = nullptr;
  std::function<void(LilvInstance*, UridMap&)> after = nullptr;
  // More events for the call that starts at frame `at`, after the MIDI events.
  std::function<void(LV2_Atom_Forge&, UridMap&, uint32_t at)> messages = nullptr;
  // Changes the MIDI input's buffer as forged, before the call.
  std::function<void(LV2_Atom_Sequence&, UridMap&)> input = nullptr;
  LV2_Worker_Status worker = LV2_WORKER_SUCCESS;  // what the host's worker answers to a schedule
};

// What the notify port said in a call: the path of a patch:Set of the
// vocoder file, or "?" for anything else.
struct Notified {
  size_t call;
  std::string path;
  bool operator==(const Notified&) const = default;
  friend void PrintTo(const Notified& n, std::ostream* os) { *os << "call " << n.call << ": \"" << n.path << '"'; }
};

constexpr int32_t kHostMaxFrames = 4096;

class Host;

// One instance as a host runs it, one call at a time: its features, its
// ports and its worker, run on the test's thread after each call.
class Session {
 public:
  Session(Host& host, const LilvPlugin* plugin, const Song& song);
  ~Session() {
    if (instance_ == nullptr) return;
    lilv_instance_deactivate(instance_);
    lilv_instance_free(instance_);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  LilvInstance* instance() const { return instance_; }
  bool Done() const { return at_ >= song_.length; }
  // The next call, of `frames` (but no further than the song's end, unless it is over).
  void Call(uint32_t frames);
  // The song's `after`, once every call is made.
  void Finish() {
    if (song_.after) song_.after(instance_, urids_);
  }

  std::vector<float> out;
  float latency = -1;
  std::vector<Notified> notified;

 private:
  static LV2_Worker_Status Schedule(LV2_Worker_Schedule_Handle handle, uint32_t size, const void* data) {
    auto& session = *static_cast<Session*>(handle);
    if (session.song_.worker != LV2_WORKER_SUCCESS) return session.song_.worker;
    const auto* bytes = static_cast<const uint8_t*>(data);
    session.work_.emplace_back(bytes, bytes + size);
    return LV2_WORKER_SUCCESS;
  }
  static LV2_Worker_Status Respond(LV2_Worker_Respond_Handle handle, uint32_t size, const void* data) {
    const auto* instance = static_cast<LilvInstance*>(handle);
    const auto* worker =
        static_cast<const LV2_Worker_Interface*>(lilv_instance_get_extension_data(instance, LV2_WORKER__interface));
    return worker->work_response(lilv_instance_get_handle(instance), size, data);
  }
  void DoScheduledWork() {
    const auto* worker =
        static_cast<const LV2_Worker_Interface*>(lilv_instance_get_extension_data(instance_, LV2_WORKER__interface));
    for (const std::vector<uint8_t>& work : work_) {
      worker->work(lilv_instance_get_handle(instance_), Respond, instance_, static_cast<uint32_t>(work.size()),
                   work.data());
    }
    work_.clear();
  }
  void ForgeInput(uint32_t frames);
  void ReadNotify();
  uint32_t Map(const char* uri) { return urids_.map.map(urids_.map.handle, uri); }

  const Song& song_;
  UridMap urids_;
  LV2_URID maxBlock_ = Map(LV2_BUF_SIZE__maxBlockLength);
  LV2_URID atomInt_ = Map(LV2_ATOM__Int);
  int32_t maxFrames_ = kHostMaxFrames;
  LV2_Options_Option options_[2] = {{LV2_OPTIONS_INSTANCE, 0, maxBlock_, sizeof(int32_t), atomInt_, &maxFrames_},
                                    {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  LV2_Worker_Schedule schedule_{this, &Session::Schedule};
  LV2_Feature mapFeature_{LV2_URID__map, &urids_.map};
  LV2_Feature optionsFeature_{LV2_OPTIONS__options, options_};
  LV2_Feature scheduleFeature_{LV2_WORKER__schedule, &schedule_};
  LV2_Feature logFeature_;
  LilvInstance* instance_ = nullptr;
  std::vector<float> controls_;
  LV2_Atom_Forge forge_{};
  std::vector<uint8_t> sequence_ = std::vector<uint8_t>(8192);
  alignas(8) uint8_t notify_[8192] = {};
  std::vector<std::vector<uint8_t>> work_;
  uint32_t at_ = 0;
  size_t call_ = 0;
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
  std::vector<float> Render(const Song& song, const std::vector<uint32_t>& sizes, float* latency,
                            std::vector<Notified>* notified = nullptr) {
    Session session(*this, plugin_, song);
    EXPECT_NE(session.instance(), nullptr);
    if (session.instance() == nullptr) return {};
    for (size_t call = 0; !session.Done(); ++call) session.Call(sizes[call % sizes.size()]);
    session.Finish();
    *latency = session.latency;
    if (notified != nullptr) *notified = session.notified;
    return session.out;
  }

  // What the plugin wrote to the host's log.
  std::string logged;
  LV2_Log_Log log{this, &Host::Printf, &Host::VPrintf};

 private:
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
};

inline Session::Session(Host& host, const LilvPlugin* plugin, const Song& song)
    : song_(song), logFeature_{LV2_LOG__log, &host.log} {
  out.resize(song.length);
  const LV2_Feature* features[] = {&mapFeature_, &optionsFeature_, &scheduleFeature_, &logFeature_, nullptr};
  instance_ = lilv_plugin_instantiate(plugin, song.rate, features);
  if (instance_ == nullptr) return;
  // Every control input at its default, as a host shows it first, or at the song's value.
  const uint32_t ports = lilv_plugin_get_num_ports(plugin);
  std::vector<float> minimum(ports), maximum(ports);
  controls_.resize(ports);
  lilv_plugin_get_port_ranges_float(plugin, minimum.data(), maximum.data(), controls_.data());
  for (uint32_t port = tavolin::kFirstControlPort; port < ports; ++port) {
    const LilvNode* symbol = lilv_port_get_symbol(plugin, lilv_plugin_get_port_by_index(plugin, port));
    if (auto set = song.controls.find(lilv_node_as_string(symbol)); set != song.controls.end()) {
      controls_[port] = set->second;
    }
    lilv_instance_connect_port(instance_, port, &controls_[port]);
  }
  lv2_atom_forge_init(&forge_, &urids_.map);
  lilv_instance_connect_port(instance_, 0, sequence_.data());
  lilv_instance_connect_port(instance_, 2, &latency);
  lilv_instance_connect_port(instance_, 3, notify_);
  if (song.before) song.before(instance_, urids_);
  lilv_instance_activate(instance_);
}

inline void Session::Call(uint32_t frames) {
  const uint32_t n = Done() ? frames : std::min(frames, song_.length - at_);
  ForgeInput(n);
  // The host says how much room the plugin has, in a chunk the plugin writes a sequence over.
  auto* notify = reinterpret_cast<LV2_Atom*>(notify_);
  *notify = {sizeof notify_, Map(LV2_ATOM__Chunk)};
  if (!Done()) lilv_instance_connect_port(instance_, 1, out.data() + at_);
  lilv_instance_run(instance_, n);
  ReadNotify();
  DoScheduledWork();
  at_ += n;
  ++call_;
  if (at_ == song_.restartAt) {
    lilv_instance_deactivate(instance_);
    lilv_instance_activate(instance_);
  }
}

inline void Session::ForgeInput(uint32_t frames) {
  lv2_atom_forge_set_buffer(&forge_, sequence_.data(), sequence_.size());
  LV2_Atom_Forge_Frame frame;
  lv2_atom_forge_sequence_head(&forge_, &frame, 0);
  auto position = song_.transport.begin();
  const auto forgePositionsUpTo = [&](uint64_t end) {
    for (; position != song_.transport.end() && position->at < end; ++position) {
      if (position->at < at_) continue;
      LV2_Atom_Forge_Frame object;
      lv2_atom_forge_frame_time(&forge_, position->at - at_);
      lv2_atom_forge_object(&forge_, &object, 0, Map(LV2_TIME__Position));
      lv2_atom_forge_key(&forge_, Map(LV2_TIME__frame));
      lv2_atom_forge_long(&forge_, position->frame);
      lv2_atom_forge_key(&forge_, Map(LV2_TIME__speed));
      lv2_atom_forge_float(&forge_, position->speed);
      lv2_atom_forge_pop(&forge_, &object);
    }
  };
  for (const Event& e : song_.events) {
    if (e.at < at_ || e.at >= at_ + frames) continue;
    forgePositionsUpTo(uint64_t{e.at} + 1);
    lv2_atom_forge_frame_time(&forge_, e.at - at_);
    lv2_atom_forge_atom(&forge_, 3, Map(LV2_MIDI__MidiEvent));
    lv2_atom_forge_write(&forge_, e.bytes, 3);
  }
  forgePositionsUpTo(uint64_t{at_} + frames);
  if (at_ == 0 && !song_.vocoderAt0.empty()) {
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_frame_time(&forge_, 0);
    lv2_atom_forge_object(&forge_, &object, 0, Map(LV2_PATCH__Set));
    lv2_atom_forge_key(&forge_, Map(LV2_PATCH__property));
    lv2_atom_forge_urid(&forge_, Map("urn:tavolin:synth#vocoder"));
    lv2_atom_forge_key(&forge_, Map(LV2_PATCH__value));
    lv2_atom_forge_path(&forge_, song_.vocoderAt0.c_str(), static_cast<uint32_t>(song_.vocoderAt0.size()));
    lv2_atom_forge_pop(&forge_, &object);
  }
  if (song_.messages) song_.messages(forge_, urids_, at_);
  lv2_atom_forge_pop(&forge_, &frame);
  if (song_.input) song_.input(*reinterpret_cast<LV2_Atom_Sequence*>(sequence_.data()), urids_);
}

inline void Session::ReadNotify() {
  const auto* sequence = reinterpret_cast<const LV2_Atom_Sequence*>(notify_);
  EXPECT_EQ(sequence->atom.type, Map(LV2_ATOM__Sequence)) << "no sequence on the notify port in call " << call_;
  if (sequence->atom.type != Map(LV2_ATOM__Sequence)) return;
  LV2_ATOM_SEQUENCE_FOREACH(sequence, event) {
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
    const LV2_Atom* property = nullptr;
    const LV2_Atom* value = nullptr;
    if (event->body.type == Map(LV2_ATOM__Object) && object->body.otype == Map(LV2_PATCH__Set)) {
      lv2_atom_object_get(object, Map(LV2_PATCH__property), &property, Map(LV2_PATCH__value), &value, 0);
    }
    const bool ours = property != nullptr && property->type == Map(LV2_ATOM__URID) &&
                      reinterpret_cast<const LV2_Atom_URID*>(property)->body == Map("urn:tavolin:synth#vocoder");
    const bool isPath = value != nullptr && value->type == Map(LV2_ATOM__Path) && value->size > 0;
    notified.push_back(
        {call_, ours && isPath ? std::string(static_cast<const char*>(LV2_ATOM_BODY_CONST(value))) : "?"});
  }
}

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

// A variable-length quantity of a MIDI file.
inline tavolin::test::Bytes Vlq(uint32_t value) {
  tavolin::test::Bytes bytes{static_cast<uint8_t>(value & 0x7F)};
  while ((value >>= 7) != 0) bytes.insert(bytes.begin(), static_cast<uint8_t>(0x80 | (value & 0x7F)));
  return bytes;
}

}  // namespace lv2test
