#include "lv2/UnisonState.h"

#include <lv2/atom/atom.h>

#include <cstdint>
#include <memory>
#include <string>

namespace tavolin {

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr uint32_t kPortable = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;

const Synth& AtStart() {
  static const auto synth = std::make_unique<Synth>();
  return *synth;
}

}  // namespace

UnisonState::UnisonState(LV2_URID_Map& map) {
  for (int k = 0; k < kUnisonSaws; ++k) {
    const std::string saw = std::to_string(k);
    ratio_[k] = map.map(map.handle, ("urn:tavolin:synth#UnisonRatio" + saw).c_str());
    offset_[k] = map.map(map.handle, ("urn:tavolin:synth#UnisonOffset" + saw).c_str());
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

LV2_State_Status UnisonState::Restore(Synth& synth, LV2_State_Retrieve_Function retrieve,
                                      LV2_State_Handle handle) const {
  for (int k = 0; k < kUnisonSaws; ++k) {
    size_t size = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    double ratio = AtStart().UnisonRatio[k].load(kRelaxed);
    if (const void* value = retrieve(handle, ratio_[k], &size, &type, &flags);
        value != nullptr && type == double_ && size == sizeof ratio) {
      ratio = *static_cast<const double*>(value);
    }
    int32_t offset = AtStart().UnisonOffset[k].load(kRelaxed);
    if (const void* value = retrieve(handle, offset_[k], &size, &type, &flags);
        value != nullptr && type == long_ && size == sizeof(int64_t)) {
      const int64_t stored = *static_cast<const int64_t*>(value);
      if (stored >= 0 && stored <= UINT32_MAX) offset = static_cast<int32_t>(static_cast<uint32_t>(stored));
    }
    synth.UnisonRatio[k].store(ratio, kRelaxed);
    synth.UnisonOffset[k].store(offset, kRelaxed);
  }
  return LV2_STATE_SUCCESS;
}

}  // namespace tavolin
