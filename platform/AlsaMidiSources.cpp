// The connector on the ALSA sequencer: a client of its own, which subscribes
// our input port to each source port, as aconnect does.

#include <alsa/asoundlib.h>
#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include "platform/MidiSources.h"

namespace tavolin {

namespace {

class AlsaMidiSources final : public MidiSources {
 public:
  explicit AlsaMidiSources(snd_seq_t* seq) : seq_(seq) {}
  ~AlsaMidiSources() override { snd_seq_close(seq_); }
  AlsaMidiSources(const AlsaMidiSources&) = delete;
  AlsaMidiSources& operator=(const AlsaMidiSources&) = delete;

  // Each opened input is a client "Tavolin-MIDI" of its own; with several
  // running, the newest (highest client number) is the one to feed.
  bool FindInput() override {
    bool found = false;
    ForEachPort([&](snd_seq_client_info_t* client, const snd_seq_port_info_t* port) {
      if (std::string(snd_seq_client_info_get_name(client)) != kMidiInputClient ||
          std::string(snd_seq_port_info_get_name(port)) != kMidiInputPort) {
        return;
      }
      const snd_seq_addr_t address = *snd_seq_port_info_get_addr(port);
      if (!found || address.client > input_.client) input_ = address;
      found = true;
    });
    return found;
  }

  // Named as the MIDI input lists them: "Client:Port C:P".
  std::vector<std::string> List() override {
    listed_.clear();
    std::vector<std::string> names;
    ForEachPort([&](snd_seq_client_info_t* client, const snd_seq_port_info_t* port) {
      const snd_seq_addr_t address = *snd_seq_port_info_get_addr(port);
      const unsigned int caps = snd_seq_port_info_get_capability(port);
      const unsigned int readable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
      if ((caps & readable) != readable || (caps & SND_SEQ_PORT_CAP_NO_EXPORT) != 0 ||
          address.client == SND_SEQ_CLIENT_SYSTEM || (address.client == input_.client && address.port == input_.port)) {
        return;
      }
      std::string name = std::string(snd_seq_client_info_get_name(client)) + ":" + snd_seq_port_info_get_name(port) +
                         " " + std::to_string(address.client) + ":" + std::to_string(address.port);
      listed_[name] = address;
      names.push_back(std::move(name));
    });
    return names;
  }

  bool IsConnected(const std::string& source) override {
    return WithSubscription(source, [&](snd_seq_port_subscribe_t* subscription) {
      return snd_seq_get_port_subscription(seq_, subscription) == 0;
    });
  }

  bool Connect(const std::string& source) override {
    return WithSubscription(source, [&](snd_seq_port_subscribe_t* subscription) {
      return snd_seq_get_port_subscription(seq_, subscription) == 0 || snd_seq_subscribe_port(seq_, subscription) == 0;
    });
  }

 private:
  template <typename Visit>
  void ForEachPort(Visit visit) {
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_malloc(&client);
    snd_seq_port_info_malloc(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq_, client) >= 0) {
      snd_seq_port_info_set_client(port, snd_seq_client_info_get_client(client));
      snd_seq_port_info_set_port(port, -1);
      while (snd_seq_query_next_port(seq_, port) >= 0) visit(client, port);
    }
    snd_seq_port_info_free(port);
    snd_seq_client_info_free(client);
  }

  // False for a source not in the last list.
  template <typename Use>
  bool WithSubscription(const std::string& source, Use use) {
    const auto found = listed_.find(source);
    if (found == listed_.end()) return false;
    snd_seq_port_subscribe_t* subscription = nullptr;
    snd_seq_port_subscribe_malloc(&subscription);
    snd_seq_port_subscribe_set_sender(subscription, &found->second);
    snd_seq_port_subscribe_set_dest(subscription, &input_);
    const bool result = use(subscription);
    snd_seq_port_subscribe_free(subscription);
    return result;
  }

  snd_seq_t* seq_;
  snd_seq_addr_t input_{};
  std::map<std::string, snd_seq_addr_t> listed_;
};

}  // namespace

bool AlsaSequencerPresent() {
  struct stat info {};
  return stat("/dev/snd/seq", &info) == 0;
}

std::unique_ptr<MidiSources> OpenAlsaMidiSources(std::string& error) {
  snd_seq_t* seq = nullptr;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0) {
    error = "The ALSA sequencer could not be opened.";
    return nullptr;
  }
  snd_seq_set_client_name(seq, "Tavolin-connect");
  return std::make_unique<AlsaMidiSources>(seq);
}

}  // namespace tavolin
