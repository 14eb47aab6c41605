#include "platform/SoundOutputs.h"

#include "platform/RtAudioProbe.h"

namespace tavolin {

std::vector<std::string> SoundSystemNames() {
  std::vector<RtAudio::Api> apis;
  RtAudio::getCompiledApi(apis);
  std::vector<std::string> names;
  names.reserve(apis.size());
  for (RtAudio::Api api : apis) names.push_back(RtAudio::getApiName(api));
  return names;
}

std::vector<SoundSystemOutputs> ListSoundOutputs() {
  QuietAlsa quiet;
  std::vector<RtAudio::Api> apis;
  RtAudio::getCompiledApi(apis);
  std::vector<SoundSystemOutputs> systems;
  for (RtAudio::Api api : apis) {
    SoundSystemOutputs system;
    system.api = RtAudio::getApiName(api);
    Guarded(
        [&] {
          for (const RtAudioOutput& o : OutputsOf(*QuietRtAudio(api))) {
            system.outputs.push_back({o.name, o.channels, o.isDefault});
          }
        },
        &system.error);
    systems.push_back(std::move(system));
  }
  return systems;
}

std::string MissingSoundOutput(const std::string& api, const std::string& device) {
  return ChooseOutput(api, device).error;
}

}  // namespace tavolin
