#pragma once
// A JACK client of the test's own that listens to another client's audio
// outputs and reports the loudest sample of the cycles since it was last
// asked; it may also keep the first samples of its first input.

#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace tavolin::test {

class JackAudioCapture {
 public:
  struct Window {
    uint32_t cycles = 0;
    float peak = 0.0f;
  };

  // Keeps the first `keptSamples` samples of the first input.
  explicit JackAudioCapture(size_t keptSamples = 0) : kept_(keptSamples) {
    client_ = jack_client_open("audio-capture", JackNoStartServer, nullptr);
    if (!client_) return;
    for (int i = 0; i < 2; ++i) {
      in_[i] = jack_port_register(client_, i ? "in_2" : "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    }
    jack_set_process_callback(client_, &JackAudioCapture::Process, this);
    if (!in_[0] || !in_[1] || jack_activate(client_) != 0) Close();
  }
  ~JackAudioCapture() { Close(); }
  bool Ok() const { return client_ != nullptr; }

  // Connects the first `outputs` (one or two) audio outputs whose names
  // match the regular expression; false while they are not there.
  bool ConnectFrom(const std::string& pattern, int outputs = 2) {
    const char** ports = jack_get_ports(client_, pattern.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
    if (!ports) return false;
    bool connected = ports[0] && (outputs == 1 || ports[1]);
    for (int i = 0; connected && i < outputs; ++i) {
      const int result = jack_connect(client_, ports[i], jack_port_name(in_[i]));
      connected = result == 0 || result == EEXIST;
    }
    jack_free(ports);
    return connected;
  }

  size_t KeptCount() const { return keptCount_.load(); }
  // The samples kept so far.
  std::vector<float> Kept() const {
    return {kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(keptCount_.load())};
  }

  // What came in since the last call.
  Window Take() {
    Window w;
    w.cycles = cycles_.exchange(0);
    w.peak = peak_.exchange(0.0f);
    return w;
  }

 private:
  static int Process(jack_nframes_t frames, void* self) {
    auto& s = *static_cast<JackAudioCapture*>(self);
    float peak = s.peak_.load(std::memory_order_relaxed);
    for (jack_port_t* port : s.in_) {
      const auto* samples = static_cast<const float*>(jack_port_get_buffer(port, frames));
      for (jack_nframes_t i = 0; i < frames; ++i) peak = std::max(peak, std::fabs(samples[i]));
    }
    s.peak_.store(peak, std::memory_order_relaxed);
    const auto* first = static_cast<const float*>(jack_port_get_buffer(s.in_[0], frames));
    const size_t count = s.keptCount_.load(std::memory_order_relaxed);
    const size_t n = std::min<size_t>(frames, s.kept_.size() - count);
    std::copy(first, first + n, s.kept_.begin() + static_cast<std::ptrdiff_t>(count));
    s.keptCount_.store(count + n, std::memory_order_release);
    s.cycles_.fetch_add(1, std::memory_order_release);
    return 0;
  }

  void Close() {
    if (client_) jack_client_close(client_);
    client_ = nullptr;
  }

  jack_client_t* client_ = nullptr;
  jack_port_t* in_[2] = {nullptr, nullptr};
  std::atomic<float> peak_{0.0f};
  std::atomic<uint32_t> cycles_{0};
  std::vector<float> kept_;
  std::atomic<size_t> keptCount_{0};
};

}  // namespace tavolin::test
