// The LV2 entry points: the host's ports and MIDI events in, PluginEngine's
// samples out, the vocoder file parameter's messages on the notify port.
// Everything is allocated in instantiate; run neither allocates, locks,
// waits nor does I/O. No exception gets back to the host.

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/core/lv2_util.h>
#include <lv2/log/logger.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "lv2/CatchAll.h"
#include "lv2/ControlPorts.h"
#include "lv2/HostStream.h"
#include "lv2/ParameterPort.h"
#include "lv2/TransportPosition.h"
#include "lv2/UnisonState.h"
#include "lv2/VocoderFile.h"
#include "platform/WaveFormat.h"

namespace tavolin {
namespace {

constexpr const char* kUri = "urn:tavolin:synth";
// Without the host's word on its largest call, calls are cut into pieces of this many frames.
constexpr uint32_t kDefaultMaxFrames = 8192;
// Host rates taken: the engine renders at its own rate and is converted.
constexpr double kLowestRate = 8000;
constexpr double kHighestRate = 384000;

enum Port : uint32_t { kMidiIn = 0, kOut = 1, kLatencyOut = 2, kNotify = 3 };
static_assert(kFirstControlPort == kNotify + 1);

struct Instance {
  std::unique_ptr<HostStream> stream;
  std::unique_ptr<ControlInputs> controls;
  PluginChoices choices;
  double rate = kSampleRate;
  uint32_t maxFrames = kDefaultMaxFrames;
  LV2_URID midiEvent = 0;
  LV2_URID sequence = 0;
  std::unique_ptr<TransportReader> transport;
  const LV2_Atom_Sequence* midiIn = nullptr;
  float* out = nullptr;
  float* latency = nullptr;
  LV2_Log_Logger logger{};
  std::unique_ptr<UnisonState> unison;
  std::unique_ptr<VocoderFile> vocoder;
  std::unique_ptr<ParameterPort> parameter;
};

// The host's largest call, when it says so.
uint32_t MaxFrames(const LV2_Feature* const* features, LV2_URID_Map& map) {
  const auto* options = static_cast<const LV2_Options_Option*>(lv2_features_data(features, LV2_OPTIONS__options));
  if (options == nullptr) return kDefaultMaxFrames;
  const LV2_URID maxBlock = map.map(map.handle, LV2_BUF_SIZE__maxBlockLength);
  const LV2_URID atomInt = map.map(map.handle, LV2_ATOM__Int);
  for (const auto* o = options; o->key != 0; ++o) {
    if (o->key == maxBlock && o->type == atomInt && o->size == sizeof(int32_t) && o->value != nullptr) {
      const int32_t frames = *static_cast<const int32_t*>(o->value);
      if (frames > 0) return static_cast<uint32_t>(frames);
    }
  }
  return kDefaultMaxFrames;
}

// The engine, silent and at the stream's start, and its control inputs.
bool MakeEngine(Instance& instance) {
  std::unique_ptr<HostStream> stream(new (std::nothrow) HostStream(instance.rate, instance.maxFrames));
  if (!stream || !stream->Ok()) return false;
  PluginEngine& engine = stream->engine();
  std::unique_ptr<ControlInputs> controls(new (std::nothrow)
                                              ControlInputs(engine.synth(), engine.master(), instance.choices));
  if (!controls) return false;
  instance.stream = std::move(stream);
  instance.controls = std::move(controls);
  return true;
}

Instance* NewInstance(double rate, const LV2_Feature* const* features) {
  if (!(rate >= kLowestRate && rate <= kHighestRate)) return nullptr;
  auto* urids = static_cast<LV2_URID_Map*>(lv2_features_data(features, LV2_URID__map));
  if (urids == nullptr) return nullptr;
  LV2_URID_Map& map = *urids;
  auto instance = std::unique_ptr<Instance>(new (std::nothrow) Instance);
  if (!instance) return nullptr;
  instance->rate = rate;
  instance->maxFrames = std::min(MaxFrames(features, map), kDefaultMaxFrames);
  lv2_log_logger_init(&instance->logger, &map, static_cast<LV2_Log_Log*>(lv2_features_data(features, LV2_LOG__log)));
  instance->unison.reset(new (std::nothrow) UnisonState(map, instance->logger));
  instance->vocoder.reset(new (std::nothrow) VocoderFile(map, instance->logger));
  const auto* schedule = static_cast<const LV2_Worker_Schedule*>(lv2_features_data(features, LV2_WORKER__schedule));
  instance->parameter.reset(new (std::nothrow) ParameterPort(map, instance->logger, schedule));
  instance->transport.reset(new (std::nothrow) TransportReader(map));
  if (!instance->unison || !instance->vocoder || !instance->parameter || !instance->transport ||
      !MakeEngine(*instance)) {
    return nullptr;
  }
  if (schedule == nullptr) {
    lv2_log_warning(&instance->logger, "tavolin: the host has no worker: a vocoder file comes only with a session\n");
  }
  instance->midiEvent = map.map(map.handle, LV2_MIDI__MidiEvent);
  instance->sequence = map.map(map.handle, LV2_ATOM__Sequence);
  return instance.release();
}

// Out of memory, anywhere in it, is no instance.
LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) {
  return CatchAll(nullptr, [&] { return NewInstance(rate, features); });
}

void ConnectPort(LV2_Handle handle, uint32_t port, void* data) {
  CatchAll([&] {
    auto& instance = *static_cast<Instance*>(handle);
    switch (port) {
      case kMidiIn: instance.midiIn = static_cast<const LV2_Atom_Sequence*>(data); break;
      case kOut: instance.out = static_cast<float*>(data); break;
      case kLatencyOut: instance.latency = static_cast<float*>(data); break;
      case kNotify: instance.parameter->ConnectNotify(static_cast<LV2_Atom_Sequence*>(data)); break;
      default:
        if (port >= kFirstControlPort)
          instance.controls->Connect(port - kFirstControlPort, static_cast<const float*>(data));
        break;
    }
  });
}

// Moves the host's stream on by `frames` and writes as many frames out, in
// pieces no longer than the stream was sized for.
void Play(Instance& instance, uint32_t frames, uint32_t& done) {
  while (frames > 0) {
    const uint32_t n = std::min(frames, instance.maxFrames);
    instance.stream->Play(instance.out + done, n);
    done += n;
    frames -= n;
  }
}

// The control ports into the engine: those that changed, or every one
// before the engine starts afresh, so that it starts by their rules.
void TakeControls(Instance& instance, bool all) {
  if (all)
    instance.controls->ApplyAll();
  else
    instance.controls->ApplyChanges();
  PluginEngine& engine = instance.stream->engine();
  engine.midiIn().SetNumbering(instance.choices.numbering);
  engine.SetCompensated(instance.choices.compensated);
}

// After a deactivate the host starts the stream again: no voice of the old
// one sounds on, and the controls are applied afresh. In place: hosts call
// this on their audio thread.
void Activate(LV2_Handle handle) {
  CatchAll([&] {
    auto& instance = *static_cast<Instance*>(handle);
    TakeControls(instance, true);
    instance.stream->Locate(0);
  });
}

// Plays up to an event's frame, before the event takes effect.
void PlayUpTo(Instance& instance, const LV2_Atom_Event& event, uint32_t frames, uint32_t& done) {
  const auto at = std::min(static_cast<uint32_t>(event.time.frames), frames);
  if (at > done) Play(instance, at - done, done);
}

// Where the host's transport is: where the stream starts afresh, the engine
// takes the controls again first.
void OnPosition(Instance& instance, const TransportPosition& position) {
  if (const auto from = instance.stream->Transport(position.frame, position.speed)) {
    TakeControls(instance, true);
    instance.stream->Locate(*from);
  }
}

// The input, when it is a sequence; events that reach past its end are not read.
bool IsSequence(const Instance& instance, const LV2_Atom_Sequence* in) {
  return in != nullptr && in->atom.type == instance.sequence && in->atom.size >= sizeof(LV2_Atom_Sequence_Body);
}
bool Within(const LV2_Atom_Sequence& in, const LV2_Atom_Event& event) {
  const auto* end = reinterpret_cast<const uint8_t*>(&in.body) + in.atom.size;
  const auto left = static_cast<size_t>(end - reinterpret_cast<const uint8_t*>(&event));
  return left >= sizeof event && event.body.size <= left - sizeof event;
}

void Run(LV2_Handle handle, uint32_t frames) {
  CatchAll([&] {
    auto& instance = *static_cast<Instance*>(handle);
    // A port's change counts from the call's first frame, as a message there would.
    TakeControls(instance, false);
    if (instance.latency != nullptr) *instance.latency = static_cast<float>(instance.stream->Latency());
    instance.parameter->Begin();
    if (instance.out != nullptr) {
      uint32_t done = 0;
      if (IsSequence(instance, instance.midiIn)) {
        LV2_ATOM_SEQUENCE_FOREACH(instance.midiIn, event) {
          if (!Within(*instance.midiIn, *event)) break;
          if (event->time.frames < 0) continue;
          if (event->body.type == instance.midiEvent) {
            PlayUpTo(instance, *event, frames, done);
            instance.stream->engine().Message(static_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&event->body)),
                                              event->body.size);
          } else if (const auto position = instance.transport->Read(event->body)) {
            PlayUpTo(instance, *event, frames, done);
            OnPosition(instance, *position);
          } else if (instance.parameter->IsObject(event->body)) {
            instance.parameter->OnObject(event->body);
          }
        }
      }
      Play(instance, frames - done, done);
    }
    instance.parameter->End();
  });
}

void Cleanup(LV2_Handle handle) {
  CatchAll([&] { delete static_cast<Instance*>(handle); });
}

LV2_State_Status Save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state, uint32_t,
                      const LV2_Feature* const* features) {
  return CatchAll(LV2_STATE_ERR_UNKNOWN, [&] {
    auto& instance = *static_cast<Instance*>(handle);
    const LV2_State_Status unison = instance.unison->Save(instance.stream->engine().synth(), store, state);
    return unison != LV2_STATE_SUCCESS ? unison : instance.vocoder->Save(store, state, features);
  });
}

LV2_State_Status Restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state, uint32_t,
                         const LV2_Feature* const* features) {
  return CatchAll(LV2_STATE_ERR_UNKNOWN, [&] {
    auto& instance = *static_cast<Instance*>(handle);
    instance.unison->Restore(instance.stream->engine().synth(), retrieve, state);
    const LV2_State_Status status =
        instance.vocoder->Restore(retrieve, state, features, instance.stream->engine().modulator());
    const std::string path = instance.vocoder->Path();
    instance.parameter->Announce(path.c_str(), path.size() + 1);
    return status;
  });
}

const LV2_State_Interface kState = {Save, Restore};

// [the host's worker thread] Reads the file run scheduled; the path now in
// use ("" when it could not be read) goes back to the audio thread.
LV2_Worker_Status Work(LV2_Handle handle, LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle responder,
                       uint32_t size, const void* data) {
  return CatchAll(LV2_WORKER_ERR_UNKNOWN, [&] {
    auto& instance = *static_cast<Instance*>(handle);
    const auto* text = static_cast<const char*>(data);
    std::string path(text, strnlen(text, size));
    if (!instance.vocoder->Load(path, instance.stream->engine().modulator())) path.clear();
    if (respond(responder, static_cast<uint32_t>(path.size() + 1), path.c_str()) != LV2_WORKER_SUCCESS) {
      lv2_log_error(&instance.logger, "tavolin: the host's worker did not take back the vocoder file's path\n");
    }
    return LV2_WORKER_SUCCESS;
  });
}

// [audio thread] The file the worker read is announced by the next run.
LV2_Worker_Status WorkResponse(LV2_Handle handle, uint32_t size, const void* data) {
  return CatchAll(LV2_WORKER_ERR_UNKNOWN, [&] {
    static_cast<Instance*>(handle)->parameter->Announce(static_cast<const char*>(data), size);
    return LV2_WORKER_SUCCESS;
  });
}

const LV2_Worker_Interface kWorker = {Work, WorkResponse, nullptr};

const void* ExtensionData(const char* uri) {
  return CatchAll(static_cast<const void*>(nullptr), [&]() -> const void* {
    if (uri == nullptr) return nullptr;
    if (std::strcmp(uri, LV2_STATE__interface) == 0) return &kState;
    if (std::strcmp(uri, LV2_WORKER__interface) == 0) return &kWorker;
    return nullptr;
  });
}

const LV2_Descriptor kDescriptor = {kUri, Instantiate, ConnectPort, Activate, Run, nullptr, Cleanup, ExtensionData};

}  // namespace
}  // namespace tavolin

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &tavolin::kDescriptor : nullptr;
}
