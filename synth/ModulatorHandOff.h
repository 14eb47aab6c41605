#pragma once
// The hand-over of the vocoder's modulator from the window thread, which
// loads, frees and starts it, to the audio thread, which plays it one
// 1024-sample frame per block.
//
//   none --Install--> loaded, stopped --Start--> playing --(played out)--> stopped
//   any --Install--> the new one, stopped;  any --Free--> none
//
// The window thread publishes a modulator only once it is completely read,
// through one atomic pointer, and every modulator carries its own serial
// number. The audio thread takes the pointer once per block and announces
// it in a hazard word before it reads anything; a replaced modulator is kept
// on a retire list until the audio thread no longer announces it, so it is
// never freed under the renderer's feet, and the window never waits. The
// position belongs to the audio thread alone: a start is a request (the
// serial of the modulator it is for, and a count) that the audio thread
// takes at a block boundary, so "position := 0" never races with
// "position += 1024", and a start meant for a modulator that has been
// replaced meanwhile is dropped.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace tavolin {

inline constexpr uint32_t kModulatorFrame = 1024;

// One loaded modulator: the data chunk's samples and its byte count.
struct ModulatorData {
  std::unique_ptr<int16_t[]> samples;  // bytes / 2 samples
  uint32_t bytes = 0;
  uint32_t serial = 0;  // set by Install
};

class ModulatorHandOff {
 public:
  ModulatorHandOff() = default;
  ModulatorHandOff(const ModulatorHandOff&) = delete;
  ModulatorHandOff& operator=(const ModulatorHandOff&) = delete;
  ~ModulatorHandOff();  // once the audio thread no longer runs

  // Window thread. Publishes `data`, stopped, in place of the current
  // modulator (null: none).
  void Install(std::unique_ptr<ModulatorData> data);
  // Releases the current modulator (the vocoder stops).
  void Free() { Install(nullptr); }
  // Plays the current modulator from its first sample at the next block;
  // false (nothing happens) when none is loaded.
  bool Start();
  bool Loaded() const { return current_.load(std::memory_order_relaxed) != nullptr; }

  // [audio thread] Once per block: takes a pending start, stops a
  // played-out modulator, and returns the 1024 samples of this block's
  // frame, or null when the vocoder does not play in this block. Only whole
  // frames play: a last partial frame stops the modulator.
  const int16_t* FrameForThisBlock();
  // [audio thread] The frame was used: the next block gets the next one.
  void AdvanceFrame();
  // [audio thread] The current modulator plays from its first sample at the
  // next block, whether it was playing, stopped or played out: where the
  // audio thread itself starts afresh (a plugin's activation or relocation).
  void Rewind() { rewind_ = true; }

  // Any thread: ModulatorPos, the sample index of the next frame; -1 = stopped.
  int32_t Position() const { return position_.load(std::memory_order_relaxed); }

 private:
  void Reclaim();

  // Shared.
  std::atomic<ModulatorData*> current_{nullptr};
  std::atomic<const ModulatorData*> hazard_{nullptr};  // what the audio thread may be reading
  std::atomic<uint64_t> startRequest_{0};              // serial << 32 | count
  std::atomic<int32_t> position_{-1};                  // written by the audio thread only

  // Window thread only.
  std::vector<std::unique_ptr<ModulatorData>> retired_;
  uint32_t lastSerial_ = 0;
  uint32_t startCount_ = 0;

  // Audio thread only.
  uint32_t playingSerial_ = 0;  // 0: none
  uint64_t takenRequest_ = 0;
  bool rewind_ = false;
};

}  // namespace tavolin
