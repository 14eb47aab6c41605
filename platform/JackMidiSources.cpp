// The connector on JACK: a client of its own without ports, which connects
// MIDI output ports to our input's port by their full names.

#include <jack/jack.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/MidiSources.h"

namespace tavolin {

namespace {

class JackMidiSources final : public MidiSources {
 public:
  explicit JackMidiSources(jack_client_t* client)
      : client_(client), input_(std::string(kMidiInputClient) + ":" + kMidiInputPort) {}
  ~JackMidiSources() override { jack_client_close(client_); }
  JackMidiSources(const JackMidiSources&) = delete;
  JackMidiSources& operator=(const JackMidiSources&) = delete;

  bool FindInput() override { return jack_port_by_name(client_, input_.c_str()) != nullptr; }

  std::vector<std::string> List() override {
    std::vector<std::string> names;
    const char** ports = jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
    if (!ports) return names;
    for (const char** port = ports; *port; ++port) names.emplace_back(*port);
    jack_free(static_cast<void*>(ports));
    return names;
  }

  bool IsConnected(const std::string& source) override {
    const jack_port_t* port = jack_port_by_name(client_, source.c_str());
    return port && jack_port_connected_to(port, input_.c_str()) != 0;
  }

  bool Connect(const std::string& source) override {
    const int result = jack_connect(client_, source.c_str(), input_.c_str());
    return result == 0 || result == EEXIST;
  }

 private:
  jack_client_t* client_;
  std::string input_;
};

}  // namespace

std::unique_ptr<MidiSources> OpenJackMidiSources(std::string& error) {
  jack_status_t status{};
  jack_client_t* client = jack_client_open("Tavolin-connect", JackNoStartServer, &status);
  if (!client) {
    error = "No MIDI system: neither the ALSA sequencer nor a JACK server is there.";
    return nullptr;
  }
  // Connections are made by active clients only.
  if (jack_activate(client) != 0) {
    jack_client_close(client);
    error = "The JACK server did not accept the MIDI connector.";
    return nullptr;
  }
  return std::make_unique<JackMidiSources>(client);
}

}  // namespace tavolin
