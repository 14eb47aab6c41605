#include "audio/OutputDevices.h"

#include <cstdio>

namespace tavolin {

namespace {
// A sound card asks for samples every few milliseconds, whether or not it
// has buffers to play. Two seconds without a request is a device that has
// stopped, not a busy machine.
constexpr uint32_t kStallLimitMs = 2000;
}  // namespace

void OutputDevices::Adopt(std::unique_ptr<WaveOut> device, Opener reopen) {
  reopen_ = std::move(reopen);
  Track(std::move(device));
}

void OutputDevices::Track(std::unique_ptr<WaveOut> device) {
  lastPumped_ = device->PumpedSamples();
  lastMovedMs_ = clock_.Milliseconds();
  reported_ = false;
  devices_.push_back(std::move(device));
}

void OutputDevices::PlayFrom(SampleSource* source) {
  source_ = source;
  if (WaveOut* device = Current()) device->PlayFrom(source);
}

bool OutputDevices::Failed() {
  const WaveOut* device = Current();
  if (device == nullptr) return false;
  const uint64_t pumped = device->PumpedSamples();
  const uint32_t now = clock_.Milliseconds();
  if (pumped != lastPumped_) {
    lastPumped_ = pumped;
    lastMovedMs_ = now;
    reported_ = false;  // it came back by itself
    return false;
  }
  return now - lastMovedMs_ >= kStallLimitMs;
}

bool OutputDevices::TakeNewFailure() {
  if (!Failed() || reported_) return false;
  reported_ = true;
  return true;
}

bool OutputDevices::Replace(WaveRing& ring) {
  if (!reopen_) return false;
  WaveOutOpenResult opened = reopen_();
  if (!opened.device) {
    std::fprintf(stderr, "tavolin: audio output: cannot open it again: %s\n", opened.error.c_str());
    reported_ = false;  // still stopped: the user is told again
    return false;
  }
  WaveOut* old = Current();
  WaveOut* fresh = opened.device.get();
  Track(std::move(opened.device));
  ring.device = fresh;
  // Gives back, without a message, whatever the failed device still holds
  // (a write that landed after the reset), so the new one can take it.
  if (old != nullptr) old->Close();
  // Only now: two devices never pull from the source at once.
  if (source_ != nullptr) {
    fresh->PlayFrom(source_);
  } else {
    for (WaveHeader& h : ring.WaveHeaders) fresh->Prepare(h);
  }
  return true;
}

WaveOutTotals OutputDevices::Totals() const {
  WaveOutTotals sum;
  for (const auto& device : devices_) {
    const WaveOutTotals t = device->Totals();
    sum.playedSamples += t.playedSamples;
    sum.underrunSamples += t.underrunSamples;
    sum.underrunEvents += t.underrunEvents;
  }
  return sum;
}

void OutputDevices::Release(WaveRing& ring) {
  if (WaveOut* device = Current()) {
    device->Reset();
    for (WaveHeader& h : ring.WaveHeaders) {
      if (h.flags.load(std::memory_order_acquire) & WHDR_PREPARED) device->Unprepare(h);
    }
  }
  ring.device = nullptr;
  for (auto& device : devices_) device->Close();
  devices_.clear();
}

}  // namespace tavolin
