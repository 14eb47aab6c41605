// Out of memory anywhere in instantiate gives the host no instance, or one
// that plays, and never a crash or a leak: this test's own operator new
// fails the Nth allocation, for N from 1 until instantiate gets through.

#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "LilvHost.h"

namespace {

std::atomic<long> gCountdown{0};  // the allocation that fails, counted down; 0: none
std::atomic<long> gFailed{0};

void* Allocate(std::size_t size) noexcept {
  if (gCountdown.load() > 0 && gCountdown.fetch_sub(1) == 1) {
    ++gFailed;
    return nullptr;
  }
  return std::malloc(std::max<std::size_t>(size, 1));  // NOLINT(cppcoreguidelines-no-malloc): operator new itself
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
// NOLINTBEGIN(cppcoreguidelines-no-malloc): what the operators above gave
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
// NOLINTEND(cppcoreguidelines-no-malloc)

namespace {

using namespace lv2test;

// A note played through a few calls sounds once the latency has passed.
bool Plays(LilvInstance* instance, UridMap& urids) {
  std::vector<uint8_t> sequence(256);
  std::vector<float> out(4 * 1024);
  lilv_instance_connect_port(instance, 0, sequence.data());
  lilv_instance_activate(instance);
  for (uint32_t at = 0; at < out.size(); at += 1024) {
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, &urids.map);
    lv2_atom_forge_set_buffer(&forge, sequence.data(), sequence.size());
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_sequence_head(&forge, &frame, 0);
    if (at == 0) {
      const uint8_t note[] = {0x90, 45, 100};
      lv2_atom_forge_frame_time(&forge, 0);
      lv2_atom_forge_atom(&forge, sizeof note, urids.map.map(urids.map.handle, LV2_MIDI__MidiEvent));
      lv2_atom_forge_write(&forge, note, sizeof note);
    }
    lv2_atom_forge_pop(&forge, &frame);
    lilv_instance_connect_port(instance, 1, out.data() + at);
    lilv_instance_run(instance, 1024);
  }
  lilv_instance_deactivate(instance);
  return std::any_of(out.begin() + 2048, out.end(), [](float s) { return s != 0.0f; });
}

int Discard(LV2_Log_Handle, LV2_URID, const char*, ...) { return 0; }
int DiscardV(LV2_Log_Handle, LV2_URID, const char*, va_list) { return 0; }
LV2_Worker_Status Refuse(LV2_Worker_Schedule_Handle, uint32_t, const void*) { return LV2_WORKER_ERR_NO_SPACE; }

TEST(Lv2OutOfMemory, EveryFailedAllocationInInstantiateGivesNoInstanceOrOneThatPlays) {
  Host host;
  ASSERT_NE(host.plugin(), nullptr);
  for (const double rate : {44100.0, 48000.0}) {
    UridMap urids;
    LV2_Log_Log log{nullptr, Discard, DiscardV};
    LV2_Worker_Schedule schedule{nullptr, Refuse};
    const LV2_Feature mapFeature{LV2_URID__map, &urids.map};
    const LV2_Feature logFeature{LV2_LOG__log, &log};
    const LV2_Feature scheduleFeature{LV2_WORKER__schedule, &schedule};
    const LV2_Feature* features[] = {&mapFeature, &logFeature, &scheduleFeature, nullptr};
    // A first instance maps every URI and keeps the library loaded, so that
    // what fails below is the plugin's own allocations.
    LilvInstance* first = lilv_plugin_instantiate(host.plugin(), rate, features);
    ASSERT_NE(first, nullptr);
    long refused = 0;
    for (long n = 1;; ++n) {
      gFailed = 0;
      gCountdown = n;
      LilvInstance* instance = lilv_plugin_instantiate(host.plugin(), rate, features);
      gCountdown = 0;
      const bool failed = gFailed > 0;
      if (instance == nullptr) {
        ASSERT_TRUE(failed) << "no instance, with nothing refused, at " << rate << " Hz";
        ++refused;
        continue;
      }
      EXPECT_TRUE(Plays(instance, urids)) << "allocation " << n << " failed at " << rate << " Hz";
      lilv_instance_free(instance);
      if (!failed) break;  // instantiate made fewer than n allocations
    }
    EXPECT_GT(refused, 10) << rate;
    lilv_instance_free(first);
  }
}

}  // namespace
