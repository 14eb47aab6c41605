// The factory presets as hosts find them through lilv: a labelled bank
// covering every oscillator mode, each preset within the controls' ranges,
// sounding exactly as tavolin-render with the same settings and without
// clipping a chord; and a preset the host saves, controls and state, loads
// back into a new instance with the same sound.

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "LilvHost.h"
#include "platform/WaveFileWriter.h"
#include "tests/midi/TempFiles.h"

namespace {

using namespace lv2test;

constexpr const char* kPluginUri = "urn:tavolin:synth";
// The plugin's timing and note numbering, where it has those controls, and
// their values that play as tavolin-render does.
const std::map<std::string, float> kTimingAsRendered = {{"compensated", 1.0f}, {"numbering", 1.0f}};
// Session settings, not sounds: a preset leaves them as the user set them.
const std::set<std::string> kNotInPresets = {"compensated", "numbering", "PitchBend"};

struct ControlPort {
  float minimum, maximum, defaultValue;
  bool toggled;
};

// The plugin's control inputs by symbol, read from its description.
std::map<std::string, ControlPort> ControlInputs(LilvWorld* world, const LilvPlugin* plugin) {
  LilvNode* input = lilv_new_uri(world, LILV_URI_INPUT_PORT);
  LilvNode* control = lilv_new_uri(world, LILV_URI_CONTROL_PORT);
  LilvNode* toggled = lilv_new_uri(world, LV2_CORE__toggled);
  std::map<std::string, ControlPort> ports;
  for (uint32_t i = 0; i < lilv_plugin_get_num_ports(plugin); ++i) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
    if (!lilv_port_is_a(plugin, port, input) || !lilv_port_is_a(plugin, port, control)) continue;
    LilvNode *defaultValue = nullptr, *minimum = nullptr, *maximum = nullptr;
    lilv_port_get_range(plugin, port, &defaultValue, &minimum, &maximum);
    ports[lilv_node_as_string(lilv_port_get_symbol(plugin, port))] = {
        lilv_node_as_float(minimum), lilv_node_as_float(maximum), lilv_node_as_float(defaultValue),
        lilv_port_has_property(plugin, port, toggled)};
    lilv_node_free(defaultValue);
    lilv_node_free(minimum);
    lilv_node_free(maximum);
  }
  lilv_node_free(toggled);
  lilv_node_free(control);
  lilv_node_free(input);
  return ports;
}

// The bundle in a lilv world of its own, with the presets lilv relates to
// the plugin, each loaded as a host loads it before applying it.
class PresetWorld {
 public:
  PresetWorld() : world_(lilv_world_new()) {
    LilvNode* bundle = lilv_new_file_uri(world_, nullptr, TAVOLIN_LV2_BUNDLE);
    lilv_world_load_bundle(world_, bundle);
    lilv_node_free(bundle);
    LilvNode* uri = lilv_new_uri(world_, kPluginUri);
    plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri);
    lilv_node_free(uri);
    if (plugin_ == nullptr) return;
    LilvNode* presetClass = lilv_new_uri(world_, LV2_PRESETS__Preset);
    LilvNodes* related = lilv_plugin_get_related(plugin_, presetClass);
    LILV_FOREACH(nodes, i, related) {
      const LilvNode* preset = lilv_nodes_get(related, i);
      lilv_world_load_resource(world_, preset);
      presets_.push_back(lilv_node_as_uri(preset));
    }
    lilv_nodes_free(related);
    lilv_node_free(presetClass);
  }
  ~PresetWorld() { lilv_world_free(world_); }
  PresetWorld(const PresetWorld&) = delete;
  PresetWorld& operator=(const PresetWorld&) = delete;

  LilvWorld* world() const { return world_; }
  const LilvPlugin* plugin() const { return plugin_; }
  const std::vector<std::string>& presets() const { return presets_; }

  // The one value of a preset's property, as a string ("" if it has none).
  std::string Property(const std::string& subject, const char* property) const {
    LilvNode* s = lilv_new_uri(world_, subject.c_str());
    LilvNode* p = lilv_new_uri(world_, property);
    LilvNode* value = lilv_world_get(world_, s, p, nullptr);
    std::string text = value != nullptr ? lilv_node_as_string(value) : "";
    lilv_node_free(value);
    lilv_node_free(p);
    lilv_node_free(s);
    return text;
  }

  LilvState* Load(const std::string& preset, LV2_URID_Map* map) const {
    LilvNode* node = lilv_new_uri(world_, preset.c_str());
    LilvState* state = lilv_state_new_from_world(world_, map, node);
    lilv_node_free(node);
    return state;
  }

 private:
  LilvWorld* world_;
  const LilvPlugin* plugin_ = nullptr;
  std::vector<std::string> presets_;
};

// The host's own buffers for the control inputs, by symbol: what a host
// connects, what lilv sets when it restores a state and reads when it saves
// one. They start at the controls' defaults.
struct ControlBuffers {
  explicit ControlBuffers(const std::map<std::string, ControlPort>& ports) {
    for (const auto& [symbol, port] : ports) values[symbol] = port.defaultValue;
  }

  void ConnectAll(const LilvPlugin* plugin, LilvInstance* instance) {
    for (uint32_t i = 0; i < lilv_plugin_get_num_ports(plugin); ++i) {
      const LilvNode* symbol = lilv_port_get_symbol(plugin, lilv_plugin_get_port_by_index(plugin, i));
      if (auto found = values.find(lilv_node_as_string(symbol)); found != values.end()) {
        lilv_instance_connect_port(instance, i, &found->second);
      }
    }
  }

  // lilv's set_value: a value of a type a control cannot take, or for a port
  // that is no control input, is refused and remembered.
  static void Set(const char* symbol, void* data, const void* value, uint32_t size, uint32_t type) {
    auto& buffers = *static_cast<ControlBuffers*>(data);
    const auto found = buffers.values.find(symbol);
    const LV2_URID floatType = buffers.map->map(buffers.map->handle, LV2_ATOM__Float);
    if (found == buffers.values.end() || type != floatType || size != sizeof(float)) {
      buffers.refused.insert(symbol);
      return;
    }
    std::memcpy(&found->second, value, sizeof(float));
    buffers.restored.insert(symbol);
  }

  // lilv's get_value.
  static const void* Get(const char* symbol, void* data, uint32_t* size, uint32_t* type) {
    auto& buffers = *static_cast<ControlBuffers*>(data);
    const auto found = buffers.values.find(symbol);
    if (found == buffers.values.end()) return nullptr;
    *size = sizeof(float);
    *type = buffers.map->map(buffers.map->handle, LV2_ATOM__Float);
    return &found->second;
  }

  std::map<std::string, float> values;
  std::set<std::string> restored, refused;
  LV2_URID_Map* map = nullptr;  // the instance's, while lilv calls back
};

// The host's URID unmap, each string kept where lilv may still read it.
struct Unmapper {
  explicit Unmapper(const UridMap& map) : urids(map) {}
  static const char* Unmap(LV2_URID_Unmap_Handle handle, LV2_URID urid) {
    auto& self = *static_cast<Unmapper*>(handle);
    return self.kept.try_emplace(urid, self.urids.Unmap(urid)).first->second.c_str();
  }
  const UridMap& urids;
  std::map<LV2_URID, std::string> kept;
  LV2_URID_Unmap unmap{this, &Unmapper::Unmap};
};

void SetRenderersTiming(ControlBuffers& buffers) {
  for (const auto& [symbol, value] : kTimingAsRendered) {
    if (auto found = buffers.values.find(symbol); found != buffers.values.end()) found->second = value;
  }
}

std::string Output(const std::string& command) {
  std::string text;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return text;
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) text.append(chunk, n);
  pclose(pipe);
  return text;
}

// tavolin-render's options for the same controls: a switch on is --on, the
// mode --mode, every other control --set with the single-precision value
// the plugin takes, written so that it reads back as the same number.
std::string RenderOptions(const ControlBuffers& buffers, const std::map<std::string, ControlPort>& ports) {
  std::string options;
  for (const auto& [symbol, value] : buffers.values) {
    if (kTimingAsRendered.count(symbol) != 0) continue;
    char text[64];
    if (symbol == "mode") {
      std::snprintf(text, sizeof text, " --mode %d", static_cast<int>(value));
    } else if (ports.at(symbol).toggled) {
      if (value < 0.5f) continue;
      std::snprintf(text, sizeof text, " --on %s", symbol.c_str());
    } else {
      std::snprintf(text, sizeof text, " --set %s=%.17g", symbol.c_str(), static_cast<double>(value));
    }
    options += text;
  }
  static const bool liveNumbering =
      Output(std::string(TAVOLIN_RENDER) + " --help 2>&1").find("--note-numbering") != std::string::npos;
  if (liveNumbering) options += " --note-numbering live";
  return options;
}

// The plugin's state, as a host saves it.
SavedState SavedBy(LilvInstance* instance, UridMap& urids) {
  SavedState state;
  StateAccess access{urids, state};
  EXPECT_EQ(StateOf(instance).save(lilv_instance_get_handle(instance), Store, &access, 0, nullptr), LV2_STATE_SUCCESS);
  return state;
}

// A saved state given back to the plugin, as a host restores a session.
void Restore(LilvInstance* instance, UridMap& urids, SavedState state) {
  StateAccess access{urids, state};
  EXPECT_EQ(StateOf(instance).restore(lilv_instance_get_handle(instance), Retrieve, &access, 0, nullptr),
            LV2_STATE_SUCCESS);
}

// tavolin-render's --set for the unison tables in a saved state: the name
// after the key's '#', the number as the plugin keeps it.
std::string UnisonOptions(const SavedState& state) {
  std::string options;
  for (const auto& [key, value] : state) {
    const std::string name = key.substr(key.find('#') + 1);
    char text[96];
    if (value.first == LV2_ATOM__Double && value.second.size() == sizeof(double)) {
      double ratio;
      std::memcpy(&ratio, value.second.data(), sizeof ratio);
      std::snprintf(text, sizeof text, " --set %s=%.17g", name.c_str(), ratio);
    } else if (value.first == LV2_ATOM__Long && value.second.size() == sizeof(int64_t)) {
      int64_t offset;
      std::memcpy(&offset, value.second.data(), sizeof offset);
      std::snprintf(text, sizeof text, " --set %s=%" PRId64, name.c_str(), offset);
    } else {
      continue;
    }
    options += text;
  }
  return options;
}

// A note, then a four-note chord at full velocity: millisecond times, which
// a MIDI file at 500 ticks a quarter and 120 beats a minute keeps as ticks.
struct TimedEvent {
  uint32_t ms;
  uint8_t bytes[3];
};
constexpr TimedEvent kPhrase[] = {
    {0, {0x90, 45, 100}},  {60, {0x80, 45, 0}},  {80, {0x90, 36, 127}}, {80, {0x90, 40, 127}}, {80, {0x90, 43, 127}},
    {80, {0x90, 47, 127}}, {230, {0x80, 36, 0}}, {230, {0x80, 40, 0}},  {230, {0x80, 43, 0}},  {230, {0x80, 47, 0}},
};
constexpr uint32_t kPhraseFrames = 16 * 1024;
// The renderer's ring puts eight blocks before the output where the plugin puts one.
constexpr uint32_t kRenderLatency = 8 * 1024;

// The phrase as tavolin-render --midi-in --exact-positions plays it, with
// the options given: its samples from where the plugin's first one is.
std::vector<int16_t> RenderedPhrase(tavolin::test::TempFiles& files, const std::string& options) {
  tavolin::test::Bytes track;
  uint32_t last = 0;
  for (const TimedEvent& e : kPhrase) {
    track = tavolin::test::Cat({track, Vlq(e.ms - last), {e.bytes, e.bytes + 3}});
    last = e.ms;
  }
  track = tavolin::test::Cat({track, {0, 0xFF, 0x2F, 0}});
  const std::string keys = files.Write("phrase.mid", tavolin::test::Smf(0, 500, {track}));
  const std::string wave = files.Path("phrase.wav");
  const std::string command = std::string(TAVOLIN_RENDER) + " --quiet --midi-in " + keys +
                              " --exact-positions --seconds 0.6 -o " + wave + options;
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream in(wave, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<int16_t> samples;
  const size_t from = tavolin::kWaveHeaderBytes + 2 * (kRenderLatency - kLatency);
  for (size_t at = from; at + 1 < bytes.size() && samples.size() < kPhraseFrames; at += 2) {
    samples.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8));
  }
  return samples;
}

std::vector<Event> PhraseEvents() {
  std::vector<Event> events;
  for (const TimedEvent& e : kPhrase) events.push_back({e.ms * 441 / 10, {e.bytes[0], e.bytes[1], e.bytes[2]}});
  return events;
}

// Every preset: labelled, in the factory bank, for this plugin, setting
// every control a sound is made of and nothing else, within the ranges; and
// every oscillator mode has one.
TEST(Lv2Preset, TheFactoryBankCoversEveryModeWithinTheControlsRanges) {
  PresetWorld presets;
  ASSERT_NE(presets.plugin(), nullptr);
  const std::map<std::string, ControlPort> ports = ControlInputs(presets.world(), presets.plugin());
  std::set<std::string> labels;
  std::set<int> modes;
  UridMap urids;
  for (const std::string& preset : presets.presets()) {
    SCOPED_TRACE(preset);
    const std::string label = presets.Property(preset, LILV_NS_RDFS "label");
    EXPECT_FALSE(label.empty());
    EXPECT_TRUE(labels.insert(label).second) << "a second preset called " << label;
    EXPECT_EQ(presets.Property(preset, LV2_CORE__appliesTo), kPluginUri);
    const std::string bank = presets.Property(preset, LV2_PRESETS__bank);
    EXPECT_FALSE(presets.Property(bank, LILV_NS_RDFS "label").empty()) << "bank " << bank;

    LilvState* state = presets.Load(preset, &urids.map);
    ASSERT_NE(state, nullptr);
    ControlBuffers buffers(ports);
    buffers.map = &urids.map;
    lilv_state_restore(state, nullptr, ControlBuffers::Set, &buffers, 0, nullptr);
    lilv_state_free(state);
    EXPECT_TRUE(buffers.refused.empty()) << "not a control input, or not a number: " << *buffers.refused.begin();
    for (const auto& [symbol, value] : buffers.values) {
      if (kNotInPresets.count(symbol) != 0) {
        EXPECT_EQ(buffers.restored.count(symbol), 0u) << symbol << " is the user's to set";
        continue;
      }
      EXPECT_EQ(buffers.restored.count(symbol), 1u) << symbol << " left as the last preset had it";
      EXPECT_GE(value, ports.at(symbol).minimum) << symbol;
      EXPECT_LE(value, ports.at(symbol).maximum) << symbol;
    }
    modes.insert(static_cast<int>(buffers.values.at("mode")));
  }
  EXPECT_EQ(modes.size(), 15u) << "modes with a preset";
}

// Each preset applied as a host applies it sounds, sample for sample, as
// tavolin-render with its values as --mode, --set and --on and its unison
// tables as --set; a chord at full velocity does not reach full scale; the
// state it holds is keys the plugin knows, each changing a table from its
// start, whatever tables the instance had before.
TEST(Lv2Preset, EachSoundsAsTavolinRenderWithItsSettingsAndDoesNotClip) {
  PresetWorld presets;
  Host host;
  ASSERT_NE(host.plugin(), nullptr);
  const std::map<std::string, ControlPort> ports = ControlInputs(presets.world(), presets.plugin());
  ASSERT_FALSE(ports.empty());
  const std::vector<Event> events = PhraseEvents();
  ASSERT_FALSE(presets.presets().empty());
  for (const std::string& preset : presets.presets()) {
    SCOPED_TRACE(preset);
    ControlBuffers buffers(ports);
    SetRenderersTiming(buffers);
    SavedState tables;
    Song song{kEngineRate, kPhraseFrames, events, {}};
    song.before = [&](LilvInstance* instance, UridMap& urids) {
      buffers.map = &urids.map;
      buffers.ConnectAll(host.plugin(), instance);
      LilvState* state = presets.Load(preset, &urids.map);
      ASSERT_NE(state, nullptr);
      const SavedState atStart = SavedBy(instance, urids);
      // Tables a session left behind, which the preset replaces.
      Restore(instance, urids, {{"urn:tavolin:synth#UnisonRatio3", Value(LV2_ATOM__Double, 0.5)}});
      lilv_state_restore(state, instance, ControlBuffers::Set, &buffers, 0, nullptr);
      tables = SavedBy(instance, urids);
      size_t changed = 0;
      for (const auto& [key, value] : tables) changed += atStart.count(key) == 0 || atStart.at(key) != value;
      EXPECT_EQ(changed, lilv_state_get_num_properties(state))
          << "a key the plugin does not know, or its value at start";
      lilv_state_free(state);
    };
    float latency = 0;
    const std::vector<float> plugin = host.Render(song, {333}, &latency);
    EXPECT_FALSE(buffers.restored.empty());
    tavolin::test::TempFiles files;
    const std::vector<int16_t> rendered = RenderedPhrase(files, RenderOptions(buffers, ports) + UnisonOptions(tables));
    ASSERT_EQ(rendered.size(), kPhraseFrames);
    size_t differences = 0, sounding = 0, clipped = 0;
    for (size_t n = 0; n < kPhraseFrames; ++n) {
      differences += plugin[n] * 32768.0f != static_cast<float>(rendered[n]);
      sounding += rendered[n] != 0;
      clipped += rendered[n] == 32767 || rendered[n] == -32768;
    }
    EXPECT_EQ(differences, 0u);
    EXPECT_GT(sounding, kPhraseFrames / 2);
    EXPECT_EQ(clipped, 0u);
  }
}

// What a host saves as a preset of its own, every control and the unison
// tables, written to a folder by lilv and read back into a new instance,
// sounds the same; the same controls without the tables do not.
TEST(Lv2Preset, APresetTheHostSavesLoadsBackTheSame) {
  PresetWorld world;
  Host host;
  ASSERT_NE(world.plugin(), nullptr);
  const std::map<std::string, ControlPort> ports = ControlInputs(world.world(), world.plugin());
  tavolin::test::TempFiles files;
  const std::string folder = files.Path("mine.preset.lv2/");
  ControlBuffers saved(ports);
  for (const auto& [symbol, value] : std::map<std::string, float>{
           {"mode", 9.0f}, {"DetuneOn", 1.0f}, {"DetuneFact", 0.01f}, {"MasterVol", 0.3f}, {"Life", 0.6f}}) {
    saved.values.at(symbol) = value;
  }
  const SavedState tables{{"urn:tavolin:synth#UnisonRatio3", Value(LV2_ATOM__Double, 0.5)},
                          {"urn:tavolin:synth#UnisonOffset5", Value(LV2_ATOM__Long, int64_t{3000000000})}};
  const std::vector<Event> events = PhraseEvents();
  Song song{kEngineRate, kPhraseFrames, events, {}};
  song.before = [&](LilvInstance* instance, UridMap& urids) {
    saved.map = &urids.map;
    saved.ConnectAll(world.plugin(), instance);
    Restore(instance, urids, tables);
    LilvState* state = lilv_state_new_from_instance(world.plugin(), instance, &urids.map, nullptr, nullptr, nullptr,
                                                    folder.c_str(), ControlBuffers::Get, &saved, 0, nullptr);
    ASSERT_NE(state, nullptr);
    lilv_state_set_label(state, "My saws");
    Unmapper unmapper(urids);
    EXPECT_EQ(lilv_state_save(world.world(), &urids.map, &unmapper.unmap, state, nullptr, folder.c_str(), "mine.ttl"),
              0);
    lilv_state_free(state);
  };
  float latency = 0;
  const std::vector<float> original = host.Render(song, {256}, &latency);

  ControlBuffers loaded(ports);
  std::string label;
  song.before = [&](LilvInstance* instance, UridMap& urids) {
    loaded.map = &urids.map;
    loaded.ConnectAll(world.plugin(), instance);
    LilvState* state = lilv_state_new_from_file(world.world(), &urids.map, nullptr, (folder + "mine.ttl").c_str());
    ASSERT_NE(state, nullptr);
    label = lilv_state_get_label(state) != nullptr ? lilv_state_get_label(state) : "";
    lilv_state_restore(state, instance, ControlBuffers::Set, &loaded, 0, nullptr);
    lilv_state_free(state);
  };
  EXPECT_EQ(host.Render(song, {100}, &latency), original);
  EXPECT_EQ(label, "My saws");
  EXPECT_EQ(loaded.restored.size(), ports.size()) << "the host saved every control";
  EXPECT_EQ(loaded.values, saved.values);

  song.before = [&](LilvInstance* instance, UridMap&) { saved.ConnectAll(world.plugin(), instance); };
  EXPECT_NE(host.Render(song, {256}, &latency), original) << "the tables made no difference";
}

}  // namespace
