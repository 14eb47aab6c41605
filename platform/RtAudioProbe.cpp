#include "platform/RtAudioProbe.h"

#include <alsa/asoundlib.h>

#include <cstdlib>
#include <regex>

namespace tavolin {
namespace {

void IgnoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

// ALSA's own spelling of a device, "hw:CARD[,DEVICE]" with a card number,
// as RtAudio names it: "hw:" + the card's name + "," + the device number.
std::optional<std::string> AlsaNameOfCardNumber(const std::string& wanted) {
  static const std::regex cardNumber(R"(hw:(\d+)(?:,(\d+))?)");
  std::smatch m;
  if (!std::regex_match(wanted, m, cardNumber)) return std::nullopt;
  char* cardName = nullptr;
  if (snd_card_get_name(std::atoi(m[1].str().c_str()), &cardName) < 0) return std::nullopt;
  std::string name = "hw:" + std::string(cardName) + "," + (m[2].matched ? m[2].str() : "0");
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
