#pragma once
// The wave-output device: buffers (headers) are queued, played in order and
// given back one by one with a WaveOutDone message to the notification queue.
// Every backend (sound card, null device, virtual time) shares the queueing,
// position counting and notification logic here; a backend only supplies the
// pump that pulls samples at the pace of its clock.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "platform/MessageQueue.h"
#include "platform/WaveFormat.h"

namespace tavolin {

// Header flags, with the values the ring's headers are set up with.
inline constexpr uint32_t WHDR_DONE = 0x01;
inline constexpr uint32_t WHDR_PREPARED = 0x02;
inline constexpr uint32_t WHDR_BEGINLOOP = 0x04;
inline constexpr uint32_t WHDR_ENDLOOP = 0x08;
inline constexpr uint32_t WHDR_INQUEUE = 0x10;

struct WaveHeader {
  int16_t* data = nullptr;
  uint32_t bufferLength = 0;  // bytes
  uint32_t bytesRecorded = 0;
  std::atomic<uint32_t> user{0};   // owner's word; the ring keeps its discard mark here
  std::atomic<uint32_t> flags{0};  // WHDR_*; WHDR_INQUEUE while the device holds it
  uint32_t loops = 1;
};

enum class WaveOutKind {
  Auto,     // the system's default output device, or the null device when there is none
  System,   // the system's default output device (RtAudio)
  Null,     // no sound card: buffers come back at the real-time pace, unheard
  Virtual,  // the caller moves time on with VirtualWaveOut::Advance
};

// The pull path's end of a device: asked for samples as the device plays
// them, instead of the device playing queued buffers.
class SampleSource {
 public:
  virtual ~SampleSource() = default;
  // [audio thread] Writes the next `frames` samples to `out`. Never waits,
  // allocates or does I/O.
  virtual void Fill(int16_t* out, uint32_t frames) = 0;
  // Any thread, lock-free: the samples handed out so far.
  virtual uint64_t Handed() const = 0;
};

// What a device has done since it was opened (never reset).
struct WaveOutTotals {
  uint64_t playedSamples = 0;    // from queued buffers
  uint64_t underrunSamples = 0;  // silence because the queue had run empty
  uint64_t underrunEvents = 0;   // stretches of such silence
};

class WaveOut {
 public:
  virtual ~WaveOut();
  WaveOut(const WaveOut&) = delete;
  WaveOut& operator=(const WaveOut&) = delete;

  bool Prepare(WaveHeader& header);
  // Refused while the device still holds the header.
  bool Unprepare(WaveHeader& header);
  // Queues a prepared header. Refused (false) when it is not prepared or is
  // still queued: a header is never in the device queue twice.
  bool Write(WaveHeader& header);
  // Stops playing and gives every queued header back, each with its done
  // message; the played position starts again from 0. Returns once all are back.
  void Reset();
  // Samples played from the queued buffers since open or the last reset
  // (silence is not counted), so modulo 1024 it is the offset inside the
  // buffer being heard. Any thread, lock-free. While a source plays, what
  // the source has handed out: it never starts again from 0, so that it
  // keeps its place in the source's blocks across a reset or another device.
  uint64_t PlayedSamples() const;
  // Samples of silence played since open because the queue had run empty.
  // Silence before the first buffer after open or a reset is not counted:
  // the device was idle, not starved.
  uint64_t UnderrunSamples() const;
  WaveOutTotals Totals() const;
  // Every sample the device's clock has asked for since open, played or
  // silent: it stands still only when the device itself has stopped.
  uint64_t PumpedSamples() const;
  // Stops the pump; no message is posted after Close returns. Headers still
  // queued are given back without a message, so that the owner may unprepare
  // and free them. Writes after Close are refused; a Write racing with Close
  // either lands before and is given back, or is refused.
  // Every backend's destructor calls Close.
  void Close();

  // From now on the pump plays what `source` gives instead of the queued
  // buffers, which are left alone; a source's underruns are those the
  // device reports. The source must outlive the device's pump (Close).
  void PlayFrom(SampleSource* source);

  const char* BackendName() const;
  // What it plays on ("jack:system", say; else the backend's name) and the
  // frames it asks for at a time (its period; 0: any number, virtual time).
  const std::string& Where() const { return where_; }
  uint32_t Period() const { return period_; }
  // The kind to ask for to open this backend again (never Auto).
  WaveOutKind Kind() const;

 protected:
  WaveOut(const char* backendName, WaveOutKind kind, MessageQueue& notify);
  // The pump: fills `frames` frames from the queued buffers, at any frame
  // count, finishing buffers and posting one done message per finished one.
  // The mono ring is played on every one of `channels` interleaved channels
  // (`out` holds frames x channels samples).
  // Called by one thread at a time (the backend's clock). Never blocks: while
  // Reset or Close holds the device, it plays silence. `out` may be null.
  // Audio thread: no waiting, no allocation, no I/O.
  void Pull(int16_t* out, uint32_t frames, uint32_t channels = 1);
  // Returns once Pull is no longer called.
  virtual void StopPump() = 0;
  // Before the pump starts.
  void SetPlayingOn(std::string where, uint32_t period) {
    where_ = std::move(where);
    period_ = period;
  }
  // [audio thread] The device says it has played `frames` samples of
  // silence because it was not given them in time (an xrun). Counted as an
  // underrun while a source plays; the ring's underruns are its empty queue.
  void CountMissedFrames(uint32_t frames);

 private:
  bool Queue(WaveHeader& header);

  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string where_;
  uint32_t period_ = 0;
};

// Virtual time: nothing plays until Advance is called; Advance runs the pump
// on the calling thread.
class VirtualWaveOut final : public WaveOut {
 public:
  explicit VirtualWaveOut(MessageQueue& notify);
  ~VirtualWaveOut() override;
  // Plays `frames` samples into `out` (may be null when the caller only wants time to pass).
  void Advance(uint32_t frames, int16_t* out = nullptr);

 protected:
  void StopPump() override {}
};

struct WaveOutOpenResult {
  std::unique_ptr<WaveOut> device;  // null when the open failed
  std::string error;                // why, for stderr; empty on success
};

// Which device to open: a kind and, for the system's output, a sound system
// and a device of it by RtAudio's names (RtAudioWaveOut.h).
struct WaveOutChoice {
  WaveOutKind kind = WaveOutKind::Auto;
  std::string api;     // System only; empty: RtAudio's default choice
  std::string device;  // System only; empty: the sound system's default output
  // System and Auto: the frames to ask for at a time (JACK keeps its own
  // period): a ring buffer's for the ring, fewer for the pull path.
  uint32_t period = kBlockSamples;
};

// Opens the chosen device with the given format, posting its done messages
// to `notify`. Only 16-bit mono PCM at 44100 Hz is supported.
WaveOutOpenResult OpenWaveOut(const WaveOutChoice& choice, const WaveFormat& format, MessageQueue& notify);
inline WaveOutOpenResult OpenWaveOut(WaveOutKind kind, const WaveFormat& format, MessageQueue& notify) {
  return OpenWaveOut(WaveOutChoice{kind, {}, {}}, format, notify);
}

}  // namespace tavolin
