// tavolin-latency-probe: measures note-to-sound latency in one JACK graph.
// It sends note-ons to a MIDI input port and listens to an audio output port;
// per try the latency is the distance in frames from the note-on's frame to
// the first frame whose sample rises above a small threshold. The figure
// includes this client's own period (the sound comes back one cycle later at
// the earliest). Ports that are not there yet are waited for, so the probe can
// open before the program: a host opening its client at the same time as
// another one (jalv) can otherwise stall for minutes.
//
// usage: tavolin-latency-probe MIDI_IN_PORT AUDIO_OUT_PORT [TRIES] [NOTE]
// Prints one line per try and "min X ms, median Y ms, max Z ms over N tries".
// Exit code 1 when it could not set up or a note never sounded.

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// About 4 steps of 16-bit PCM: above rounding noise, below any audible onset.
constexpr float kThreshold = 4.0F / 32768.0F;
constexpr double kSilenceSeconds = 0.3;
constexpr double kGiveUpSeconds = 3.0;  // a note that never sounds
constexpr long kNoSound = -1;

// Everything the process callback touches. The main thread fills it before
// activation and afterwards only sets `connected` and reads `done` and the
// results below it.
struct Probe {
  jack_client_t* client = nullptr;
  jack_port_t* midiOut = nullptr;
  jack_port_t* audioIn = nullptr;
  unsigned char note = 60;
  jack_nframes_t silenceFrames = 0;
  jack_nframes_t giveUpFrames = 0;
  uint32_t random = 0x9e3779b9U;  // xorshift state: seeded, so runs repeat

  enum class Stage { WaitSilence, WaitSound } stage = Stage::WaitSilence;
  jack_nframes_t silentSoFar = 0;
  jack_nframes_t extraWait = 0;  // varies the phase against the synth's blocks
  jack_nframes_t noteOnFrame = 0;
  bool noteOffDue = false;

  std::atomic<bool> connected{false};  // no note before both ports are connected
  std::vector<long> results;           // latency in frames per try, sized before activation
  std::atomic<size_t> done{0};

  uint32_t Next() {
    random ^= random << 13U;
    random ^= random >> 17U;
    random ^= random << 5U;
    return random;
  }
};

void Record(Probe& probe, long frames) {
  const size_t index = probe.done.load(std::memory_order_relaxed);
  if (index >= probe.results.size()) return;
  probe.results[index] = frames;
  probe.done.store(index + 1, std::memory_order_release);
  probe.noteOffDue = true;
  probe.stage = Probe::Stage::WaitSilence;
  probe.silentSoFar = 0;
  probe.extraWait = probe.Next() % 4096U;
}

bool Silent(const float* in, jack_nframes_t frames) {
  return std::all_of(in, in + frames, [](float x) { return std::fabs(x) <= kThreshold; });
}

int Process(jack_nframes_t frames, void* arg) {
  auto& probe = *static_cast<Probe*>(arg);
  void* midi = jack_port_get_buffer(probe.midiOut, frames);
  jack_midi_clear_buffer(midi);
  const auto* in = static_cast<const float*>(jack_port_get_buffer(probe.audioIn, frames));
  if (!probe.connected.load(std::memory_order_acquire)) return 0;
  const jack_nframes_t cycleStart = jack_last_frame_time(probe.client);
  if (probe.noteOffDue) {
    const unsigned char off[3] = {0x80, probe.note, 0};
    jack_midi_event_write(midi, 0, off, sizeof off);
    probe.noteOffDue = false;
    return 0;  // the note-on waits for silence after the release anyway
  }
  if (probe.done.load(std::memory_order_relaxed) >= probe.results.size()) return 0;

  if (probe.stage == Probe::Stage::WaitSilence) {
    probe.silentSoFar = Silent(in, frames) ? probe.silentSoFar + frames : 0;
    if (probe.silentSoFar < probe.silenceFrames + probe.extraWait) return 0;
    const jack_nframes_t offset = probe.Next() % frames;
    const unsigned char on[3] = {0x90, probe.note, 100};
    jack_midi_event_write(midi, offset, on, sizeof on);
    probe.noteOnFrame = cycleStart + offset;
    probe.stage = Probe::Stage::WaitSound;
    return 0;
  }
  for (jack_nframes_t i = 0; i < frames; ++i) {
    const jack_nframes_t at = cycleStart + i;
    if (static_cast<int32_t>(at - probe.noteOnFrame) < 0) continue;  // before the note-on
    if (std::fabs(in[i]) > kThreshold) {
      Record(probe, static_cast<long>(at - probe.noteOnFrame));
      return 0;
    }
  }
  if (cycleStart + frames - probe.noteOnFrame > probe.giveUpFrames) Record(probe, kNoSound);
  return 0;
}

// A busy machine starts the server and the program slowly.
constexpr auto kStartUpTime = std::chrono::seconds(30);

jack_client_t* Connect() {
  const auto giveUp = std::chrono::steady_clock::now() + kStartUpTime;
  for (;;) {
    jack_status_t status{};
    if (jack_client_t* client = jack_client_open("tavolin-latency-probe", JackNoStartServer, &status)) return client;
    if (std::chrono::steady_clock::now() > giveUp) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

bool WaitForPort(jack_client_t* client, const char* name) {
  const auto giveUp = std::chrono::steady_clock::now() + kStartUpTime;
  while (jack_port_by_name(client, name) == nullptr) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

double Milliseconds(long frames, jack_nframes_t rate) { return 1000.0 * static_cast<double>(frames) / rate; }

int Fail(jack_client_t* client, const char* what) {
  std::fprintf(stderr, "tavolin-latency-probe: %s\n", what);
  if (client != nullptr) jack_client_close(client);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 5) {
    std::fprintf(stderr, "usage: tavolin-latency-probe MIDI_IN_PORT AUDIO_OUT_PORT [TRIES] [NOTE]\n");
    return 2;
  }
  const int tries = argc > 3 ? std::atoi(argv[3]) : 20;
  const int note = argc > 4 ? std::atoi(argv[4]) : 60;
  if (tries < 1 || note < 0 || note > 127) {
    std::fprintf(stderr, "tavolin-latency-probe: TRIES must be at least 1 and NOTE within 0..127\n");
    return 2;
  }

  Probe probe;
  probe.client = Connect();
  if (probe.client == nullptr) return Fail(nullptr, "no JACK server to connect to");
  const jack_nframes_t rate = jack_get_sample_rate(probe.client);
  probe.note = static_cast<unsigned char>(note);
  probe.silenceFrames = static_cast<jack_nframes_t>(kSilenceSeconds * rate);
  probe.giveUpFrames = static_cast<jack_nframes_t>(kGiveUpSeconds * rate);
  probe.results.assign(static_cast<size_t>(tries), kNoSound);
  probe.midiOut = jack_port_register(probe.client, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  probe.audioIn = jack_port_register(probe.client, "audio_in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  if (probe.midiOut == nullptr || probe.audioIn == nullptr) return Fail(probe.client, "could not register ports");
  jack_set_process_callback(probe.client, Process, &probe);
  if (jack_activate(probe.client) != 0) return Fail(probe.client, "could not activate");
  for (const char* port : {argv[1], argv[2]})
    if (!WaitForPort(probe.client, port))
      return Fail(probe.client, (std::string("no port ") + port + " within 30 s").c_str());
  if (jack_connect(probe.client, jack_port_name(probe.midiOut), argv[1]) != 0)
    return Fail(probe.client, (std::string("cannot connect to ") + argv[1]).c_str());
  if (jack_connect(probe.client, argv[2], jack_port_name(probe.audioIn)) != 0)
    return Fail(probe.client, (std::string("cannot connect from ") + argv[2]).c_str());
  probe.connected.store(true, std::memory_order_release);
  std::printf("period %u frames at %u Hz\n", jack_get_buffer_size(probe.client), rate);

  size_t printed = 0;
  while (printed < probe.results.size()) {
    const size_t done = probe.done.load(std::memory_order_acquire);
    for (; printed < done; ++printed) {
      const long frames = probe.results[printed];
      if (frames == kNoSound) return Fail(probe.client, "a note never sounded");
      std::printf("try %zu: %ld frames, %.2f ms\n", printed + 1, frames, Milliseconds(frames, rate));
      std::fflush(stdout);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  jack_client_close(probe.client);

  std::vector<long> sorted = probe.results;
  std::sort(sorted.begin(), sorted.end());
  const size_t n = sorted.size();
  const double median = n % 2 != 0 ? Milliseconds(sorted[n / 2], rate)
                                   : (Milliseconds(sorted[n / 2 - 1], rate) + Milliseconds(sorted[n / 2], rate)) / 2;
  std::printf("min %.1f ms, median %.1f ms, max %.1f ms over %zu tries\n", Milliseconds(sorted.front(), rate), median,
              Milliseconds(sorted.back(), rate), n);
  return 0;
}
