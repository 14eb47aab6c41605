// The LV2 entry points: the host's ports and MIDI events in, PluginEngine's
// samples out. Everything is allocated in instantiate; run neither
// allocates, locks, waits nor does I/O.

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "lv2/PluginEngine.h"
#include "platform/WaveFormat.h"

namespace tavolin {
namespace {

constexpr const char* kUri = "urn:tavolin:synth";
// Without the host's word on its largest call, calls are cut into pieces of this many frames.
constexpr uint32_t kDefaultMaxFrames = 8192;

enum Port : uint32_t { kMidiIn = 0, kOut = 1, kLatencyOut = 2 };

struct Instance {
  std::unique_ptr<PluginEngine> engine;
  uint32_t maxFrames = kDefaultMaxFrames;
  LV2_URID midiEvent = 0;
  const LV2_Atom_Sequence* midiIn = nullptr;
  float* out = nullptr;
  float* latency = nullptr;
};

const LV2_Feature* FindFeature(const LV2_Feature* const* features, const char* uri) {
  for (; features != nullptr && *features != nullptr; ++features)
    if (std::strcmp((*features)->URI, uri) == 0) return *features;
  return nullptr;
}

// The host's largest call, when it says so.
uint32_t MaxFrames(const LV2_Feature* const* features, LV2_URID_Map& map) {
  const LV2_Feature* options = FindFeature(features, LV2_OPTIONS__options);
  if (options == nullptr) return kDefaultMaxFrames;
  const LV2_URID maxBlock = map.map(map.handle, LV2_BUF_SIZE__maxBlockLength);
  const LV2_URID atomInt = map.map(map.handle, LV2_ATOM__Int);
  for (auto* o = static_cast<const LV2_Options_Option*>(options->data); o->key != 0; ++o) {
    if (o->key == maxBlock && o->type == atomInt && o->size == sizeof(int32_t)) {
      const int32_t frames = *static_cast<const int32_t*>(o->value);
      if (frames > 0) return static_cast<uint32_t>(frames);
    }
  }
  return kDefaultMaxFrames;
}

LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) {
  // The engine's numbers are defined at its own rate.
  if (rate != kSampleRate) return nullptr;
  const LV2_Feature* mapFeature = FindFeature(features, LV2_URID__map);
  if (mapFeature == nullptr) return nullptr;
  auto& map = *static_cast<LV2_URID_Map*>(mapFeature->data);
  auto instance = std::unique_ptr<Instance>(new (std::nothrow) Instance);
  if (!instance) return nullptr;
  instance->maxFrames = std::min(MaxFrames(features, map), kDefaultMaxFrames);
  instance->engine.reset(new (std::nothrow) PluginEngine(instance->maxFrames));
  if (!instance->engine || !instance->engine->Ok()) return nullptr;
  instance->midiEvent = map.map(map.handle, LV2_MIDI__MidiEvent);
  return instance.release();
}

void ConnectPort(LV2_Handle handle, uint32_t port, void* data) {
  auto& instance = *static_cast<Instance*>(handle);
  switch (port) {
    case kMidiIn: instance.midiIn = static_cast<const LV2_Atom_Sequence*>(data); break;
    case kOut: instance.out = static_cast<float*>(data); break;
    case kLatencyOut: instance.latency = static_cast<float*>(data); break;
    default: break;
  }
}

// Moves the engine's input on by `frames` and writes as many samples out,
// in pieces no longer than the engine was sized for.
void Play(Instance& instance, uint32_t frames, uint32_t& done) {
  while (frames > 0) {
    const uint32_t n = std::min(frames, instance.maxFrames);
    instance.engine->Advance(n);
    instance.engine->Output(instance.out + done, n);
    done += n;
    frames -= n;
  }
}

void Run(LV2_Handle handle, uint32_t frames) {
  auto& instance = *static_cast<Instance*>(handle);
  if (instance.latency != nullptr) *instance.latency = static_cast<float>(PluginEngine::kLatency);
  if (instance.out == nullptr) return;
  uint32_t done = 0;
  if (instance.midiIn != nullptr) {
    LV2_ATOM_SEQUENCE_FOREACH(instance.midiIn, event) {
      if (event->body.type != instance.midiEvent || event->time.frames < 0) continue;
      const auto at = std::min(static_cast<uint32_t>(event->time.frames), frames);
      if (at > done) Play(instance, at - done, done);
      instance.engine->Message(static_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&event->body)), event->body.size);
    }
  }
  Play(instance, frames - done, done);
}

void Cleanup(LV2_Handle handle) { delete static_cast<Instance*>(handle); }

const void* ExtensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptor = {kUri, Instantiate, ConnectPort, nullptr, Run, nullptr, Cleanup, ExtensionData};

}  // namespace
}  // namespace tavolin

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &tavolin::kDescriptor : nullptr;
}
