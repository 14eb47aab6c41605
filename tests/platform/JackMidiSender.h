#pragma once
// A JACK client of the test's own that plays short MIDI messages into an
// input port of the program under test. Messages queued by the test thread
// go out in the next JACK cycle. A connection the server has accepted joins
// the graph only at a later cycle, so a test waits for `Connected` before it
// plays, or its first message may go nowhere.

#include <jack/jack.h>
#include <jack/midiport.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace tavolin::test {

class JackMidiSender {
 public:
  struct Message {
    std::array<uint8_t, 3> bytes{};
    size_t size = 0;
  };

  explicit JackMidiSender(const char* name = "midi-sender") {
    client_ = jack_client_open(name, JackNoStartServer, nullptr);
    if (!client_) return;
    out_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client_, &JackMidiSender::Process, this);
    if (!out_ || jack_activate(client_) != 0) Close();
  }
  ~JackMidiSender() { Close(); }
  bool Ok() const { return client_ != nullptr; }

  // Connects to the first MIDI input port whose name matches the regular
  // expression. False until a cycle has run with the connection: polled.
  bool ConnectTo(const std::string& pattern) {
    if (Connected()) return true;
    if (jack_port_connected(out_) > 0) return false;
    const char** ports = jack_get_ports(client_, pattern.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
    if (!ports) return false;
    jack_connect(client_, jack_port_name(out_), ports[0]);
    jack_free(ports);
    return false;
  }

  // True once a cycle has run with our output connected.
  bool Connected() const { return connected_.load(); }

  // Messages queued and not yet written into a JACK cycle.
  uint32_t Pending() const { return written_.load() - read_.load(); }

  // [test thread] False when the queue is full.
  bool Send(std::vector<uint8_t> bytes) {
    const uint32_t w = written_.load(std::memory_order_relaxed);
    if (w - read_.load(std::memory_order_acquire) == queue_.size() || bytes.empty() || bytes.size() > 3) return false;
    Message& m = queue_[w % queue_.size()];
    m.size = bytes.size();
    for (size_t i = 0; i < m.size; ++i) m.bytes[i] = bytes[i];
    written_.store(w + 1, std::memory_order_release);
    return true;
  }

 private:
  static int Process(jack_nframes_t frames, void* self) {
    auto& s = *static_cast<JackMidiSender*>(self);
    void* buffer = jack_port_get_buffer(s.out_, frames);
    jack_midi_clear_buffer(buffer);
    s.connected_.store(jack_port_connected(s.out_) > 0);
    uint32_t r = s.read_.load(std::memory_order_relaxed);
    const uint32_t w = s.written_.load(std::memory_order_acquire);
    for (jack_nframes_t t = 0; r != w && t < frames; ++r, ++t) {
      const Message& m = s.queue_[r % s.queue_.size()];
      if (jack_midi_event_write(buffer, t, m.bytes.data(), m.size) != 0) break;
    }
    s.read_.store(r, std::memory_order_release);
    return 0;
  }

  void Close() {
    if (client_) jack_client_close(client_);
    client_ = nullptr;
  }

  jack_client_t* client_ = nullptr;
  jack_port_t* out_ = nullptr;
  std::array<Message, 1024> queue_{};
  std::atomic<uint32_t> written_{0};
  std::atomic<uint32_t> read_{0};
  std::atomic<bool> connected_{false};
};

}  // namespace tavolin::test
