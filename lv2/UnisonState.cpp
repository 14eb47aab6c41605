#include "lv2/UnisonState.h"

#include <lv2/atom/atom.h>

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "params/EngineInputs.h"

namespace tavolin {

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr uint32_t kPortable = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
constexpr const char* kKeyPrefix = "urn:tavolin:synth#";

std::string RatioName(int saw) { return "UnisonRatio" + std::to_string(saw); }
std::string OffsetName(int saw) { return "UnisonOffset" + std::to_string(saw); }

const Synth& AtStart() {
  static const auto synth = std::make_unique<Synth>();
  return *synth;
}

}  // namespace

UnisonState::UnisonState(LV2_URID_Map& map, LV2_Log_Logger& logger) : logger_(logger) {
  for (int k = 0; k < kUnisonSaws; ++k) {
    ratio_[k] = map.map(map.handle, (kKeyPrefix + RatioName(k)).c_str());
    offset_[k] = map.map(map.handle, (kKeyPrefix + OffsetName(k)).c_str());
  }
  double_ = map.map(map.handle, LV2_ATOM__Double);
  long_ = map.map(map.handle, LV2_ATOM__Long);
}

LV2_State_Status UnisonState::Save(const Synth& synth, LV2_State_Store_Function store, LV2_State_Handle handle) const {
  for (int k = 0; k < kUnisonSaws; ++k) {
    const double ratio = synth.UnisonRatio[k].load(kRelaxed);
    const int64_t offset = static_cast<uint32_t>(synth.UnisonOffset[k].load(kRelaxed));
    if (store(handle, ratio_[k], &ratio, sizeof ratio, double_, kPortable) != LV2_STATE_SUCCESS ||
        store(handle, offset_[k], &offset, sizeof offset, long_, kPortable) != LV2_STATE_SUCCESS) {
      return LV2_STATE_ERR_UNKNOWN;
    }
  }
  return LV2_STATE_SUCCESS;
}

std::optional<double> UnisonState::Stored(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, LV2_URID key,
                                          LV2_URID type, const std::string& name) const {
  size_t size = 0;
  uint32_t stored = 0;
  uint32_t flags = 0;
  const void* value = retrieve(handle, key, &size, &stored, &flags);
  if (value == nullptr) return std::nullopt;  // a session saved before the key was
  if (stored != type || size != sizeof(double)) {
    lv2_log_error(&logger_, "tavolin: the state's %s%s is not a %s; its value at start is taken\n", kKeyPrefix,
                  name.c_str(), type == double_ ? "double" : "long");
    return std::nullopt;
  }
  char shown[32];
  double number = 0;
  if (type == double_) {
    std::memcpy(&number, value, sizeof number);  // the host's bytes need not be aligned
    std::snprintf(shown, sizeof shown, "%.17g", number);
  } else {
    int64_t whole = 0;
    std::memcpy(&whole, value, sizeof whole);
    number = static_cast<double>(whole);
    std::snprintf(shown, sizeof shown, "%" PRId64, whole);
  }
  const std::string why = std::isfinite(number) ? CheckEngineInput(name, number) : name + " takes a finite number";
  if (why.empty()) return number;
  lv2_log_error(&logger_, "tavolin: the state's %s%s = %s is refused (%s); its value at start is taken\n", kKeyPrefix,
                name.c_str(), shown, why.c_str());
  return std::nullopt;
}

LV2_State_Status UnisonState::Restore(Synth& synth, LV2_State_Retrieve_Function retrieve,
                                      LV2_State_Handle handle) const {
  for (int k = 0; k < kUnisonSaws; ++k) {
    const auto ratio = Stored(retrieve, handle, ratio_[k], double_, RatioName(k));
    const auto offset = Stored(retrieve, handle, offset_[k], long_, OffsetName(k));
    synth.UnisonRatio[k].store(ratio.value_or(AtStart().UnisonRatio[k].load(kRelaxed)), kRelaxed);
    synth.UnisonOffset[k].store(
        offset ? static_cast<int32_t>(static_cast<uint32_t>(*offset)) : AtStart().UnisonOffset[k].load(kRelaxed),
        kRelaxed);
  }
  return LV2_STATE_SUCCESS;
}

}  // namespace tavolin
