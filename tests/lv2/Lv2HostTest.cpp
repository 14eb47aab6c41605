// The built bundle loaded as a DAW loads it, through lilv: the same MIDI
// events give the same output whatever the block sizes of the host's calls,
// the latency port says one block, and a note sounds that much later.

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr uint32_t kLatency = 1024;
constexpr uint32_t kLength = 12 * 1024;

// The host's URID map: each URI gets its place in the list, plus one.
class UridMap {
 public:
  LV2_URID_Map map{this, &UridMap::Map};

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

const Event kEvents[] = {{0, {0x90, 45, 100}},  {700, {0x91, 52, 90}}, {1024, {0xB0, 1, 80}},
                         {3000, {0xE0, 0, 70}}, {4500, {0x80, 45, 0}}, {5000, {0x90, 64, 100}},
                         {8192, {0xC0, 3, 0}},  {9000, {0x81, 52, 0}}, {10000, {0x80, 64, 0}}};

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

  // Runs a new instance over the events in calls of the sizes given in turn.
  std::vector<float> Render(const std::vector<uint32_t>& sizes, float* latency) {
    UridMap urids;
    const LV2_URID maxBlock = urids.map.map(urids.map.handle, LV2_BUF_SIZE__maxBlockLength);
    const LV2_URID atomInt = urids.map.map(urids.map.handle, LV2_ATOM__Int);
    const int32_t maxFrames = 4096;
    const LV2_Options_Option options[] = {{LV2_OPTIONS_INSTANCE, 0, maxBlock, sizeof(int32_t), atomInt, &maxFrames},
                                          {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    const LV2_Feature mapFeature{LV2_URID__map, &urids.map};
    const LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
    const LV2_Feature* features[] = {&mapFeature, &optionsFeature, nullptr};
    LilvInstance* instance = lilv_plugin_instantiate(plugin_, kRate, features);
    EXPECT_NE(instance, nullptr);
    if (instance == nullptr) return {};

    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, &urids.map);
    const LV2_URID midiEvent = urids.map.map(urids.map.handle, LV2_MIDI__MidiEvent);
    std::vector<uint8_t> sequence(8192);
    std::vector<float> out(kLength);
    lilv_instance_connect_port(instance, 0, sequence.data());
    lilv_instance_connect_port(instance, 2, latency);
    lilv_instance_activate(instance);
    uint32_t at = 0;
    for (size_t call = 0; at < kLength; ++call) {
      const uint32_t n = std::min(sizes[call % sizes.size()], kLength - at);
      lv2_atom_forge_set_buffer(&forge, sequence.data(), sequence.size());
      LV2_Atom_Forge_Frame frame;
      lv2_atom_forge_sequence_head(&forge, &frame, 0);
      for (const Event& e : kEvents) {
        if (e.at < at || e.at >= at + n) continue;
        lv2_atom_forge_frame_time(&forge, e.at - at);
        lv2_atom_forge_atom(&forge, 3, midiEvent);
        lv2_atom_forge_write(&forge, e.bytes, 3);
      }
      lv2_atom_forge_pop(&forge, &frame);
      lilv_instance_connect_port(instance, 1, out.data() + at);
      lilv_instance_run(instance, n);
      at += n;
    }
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
    return out;
  }

 private:
  LilvWorld* world_ = nullptr;
  const LilvPlugin* plugin_ = nullptr;
};

TEST(Lv2Host, SameOutputWhateverTheBlockSizesAndOneBlockOfLatency) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr) << "no plugin urn:tavolin:synth in " << TAVOLIN_LV2_BUNDLE;
  float latency = -1.0f;
  const std::vector<float> reference = host.Render({1024}, &latency);
  ASSERT_EQ(reference.size(), kLength);
  EXPECT_EQ(latency, static_cast<float>(kLatency));
  // The note at frame 0 sounds from the latency on, not before.
  const auto first = std::find_if(reference.begin(), reference.end(), [](float s) { return s != 0.0f; });
  EXPECT_GE(first - reference.begin(), kLatency);
  EXPECT_LT(first - reference.begin(), kLatency + 16);

  std::vector<uint32_t> randomSizes(40);
  std::mt19937 random(3);
  for (uint32_t& size : randomSizes) size = 1 + random() % 4096;
  for (const std::vector<uint32_t>& sizes :
       std::vector<std::vector<uint32_t>>{{1}, {17}, {64}, {1000}, {4096}, randomSizes}) {
    const std::vector<float> out = host.Render(sizes, &latency);
    const auto [a, b] = std::mismatch(reference.begin(), reference.end(), out.begin());
    EXPECT_EQ(a, reference.end()) << "calls of " << sizes[0] << "...: first difference at sample "
                                  << (a - reference.begin());
  }
}

}  // namespace
