#include "platform/RtAudioProbe.h"

#include <alsa/asoundlib.h>

#include <charconv>
#include <cstdlib>
#include <string_view>
#include <system_error>

namespace tavolin {
namespace {

void IgnoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

// A whole decimal number filling all of `text`.
std::optional<int> WholeNumber(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// ALSA's own spelling of a device, "hw:CARD[,DEVICE]" with a card number,
// as RtAudio names it: "hw:" + the card's name + "," + the device number.
std::optional<std::string> AlsaNameOfCardNumber(std::string_view wanted) {
  if (!wanted.starts_with("hw:")) return std::nullopt;
  wanted.remove_prefix(3);
  const size_t comma = wanted.find(',');
  const auto card = WholeNumber(wanted.substr(0, comma));
  const auto device = comma == std::string_view::npos ? std::optional<int>(0) : WholeNumber(wanted.substr(comma + 1));
  if (!card || !device) return std::nullopt;
  char* cardName = nullptr;
  if (snd_card_get_name(*card, &cardName) < 0) return std::nullopt;
  std::string name = "hw:" + std::string(cardName) + "," + std::to_string(*device);
  std::free(cardName);
  return name;
}

}  // namespace

QuietAlsa::QuietAlsa() { snd_lib_error_set_handler(IgnoreAlsaMessage); }
QuietAlsa::~QuietAlsa() { snd_lib_error_set_handler(nullptr); }

std::unique_ptr<RtAudio> QuietRtAudio(RtAudio::Api api) {
  auto audio = std::make_unique<RtAudio>(api);
  audio->showWarnings(false);
  return audio;
}

std::vector<RtAudioOutput> OutputsOf(RtAudio& audio) {
  std::vector<RtAudioOutput> outputs;
  const unsigned int count = audio.getDeviceCount();
  for (unsigned int id = 0; id < count; ++id) {
    const RtAudio::DeviceInfo info = audio.getDeviceInfo(id);
    if (info.probed && info.outputChannels > 0) {
      outputs.push_back({id, info.name, info.outputChannels, info.isDefaultOutput});
    }
  }
  return outputs;
}

std::optional<RtAudioOutput> FindOutput(RtAudio::Api api, const std::vector<RtAudioOutput>& outputs,
                                        const std::string& wanted) {
  auto named = [&](const std::string& name) -> std::optional<RtAudioOutput> {
    for (const RtAudioOutput& o : outputs) {
      if (o.name == name) return o;
    }
    return std::nullopt;
  };
  if (auto exact = named(wanted)) return exact;
  if (api == RtAudio::LINUX_ALSA) {
    if (auto alsaName = AlsaNameOfCardNumber(wanted)) return named(*alsaName);
  }
  for (const RtAudioOutput& o : outputs) {
    if (o.name.find(wanted) != std::string::npos) return o;
  }
  return std::nullopt;
}

namespace {

RtAudioOutput DefaultOutput(RtAudio& audio, const std::vector<RtAudioOutput>& outputs) {
  const unsigned int id = audio.getDefaultOutputDevice();
  for (const RtAudioOutput& o : outputs) {
    if (o.id == id) return o;
  }
  return outputs.front();
}

ChosenOutput ChooseAmong(std::unique_ptr<RtAudio> audio, const std::vector<RtAudioOutput>& outputs,
                         const std::string& device) {
  ChosenOutput chosen;
  const std::string api = RtAudio::getApiName(audio->getCurrentApi());
  if (outputs.empty()) {
    chosen.error = "sound system \"" + api + "\" has no output device";
    if (audio->getCurrentApi() == RtAudio::UNIX_JACK) chosen.error += " (is the JACK server running?)";
    return chosen;
  }
  if (device.empty()) {
    chosen.output = DefaultOutput(*audio, outputs);
  } else if (auto found = FindOutput(audio->getCurrentApi(), outputs, device)) {
    chosen.output = *found;
  } else {
    chosen.error = "sound system \"" + api + "\" has no output device \"" + device + "\"";
    return chosen;
  }
  chosen.audio = std::move(audio);
  return chosen;
}

}  // namespace

ChosenOutput ChooseOutput(const std::string& api, const std::string& device) {
  QuietAlsa quiet;
  ChosenOutput chosen;
  Guarded(
      [&] {
        if (!api.empty()) {
          const RtAudio::Api wanted = RtAudio::getCompiledApiByName(api);
          if (wanted == RtAudio::UNSPECIFIED) {
            chosen.error = "no sound system \"" + api + "\"";
            return;
          }
          auto audio = QuietRtAudio(wanted);
          const auto outputs = OutputsOf(*audio);
          chosen = ChooseAmong(std::move(audio), outputs, device);
          return;
        }
        std::vector<RtAudio::Api> apis;
        RtAudio::getCompiledApi(apis);
        for (RtAudio::Api each : apis) {
          auto audio = QuietRtAudio(each);
          const auto outputs = OutputsOf(*audio);
          if (!outputs.empty()) {
            chosen = ChooseAmong(std::move(audio), outputs, device);
            return;
          }
        }
        chosen.noDevice = true;
        chosen.error = "no audio output device";
      },
      &chosen.error);
  return chosen;
}

}  // namespace tavolin
