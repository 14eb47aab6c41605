#include "audio/Recorder.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/BoundedQueue.h"
#include "platform/ErrorText.h"
#include "platform/ThreadName.h"

namespace tavolin {

namespace {

constexpr uint32_t kStatusMask = 0x3;
constexpr uint32_t kIdle = 0;
constexpr uint32_t kRecording = 1;
constexpr uint32_t kStopping = 2;
constexpr uint32_t kEnded = 3;
constexpr uint32_t kAppender = 0x4;

constexpr uint32_t Status(uint32_t word) { return word & kStatusMask; }
constexpr uint32_t Appenders(uint32_t word) { return word / kAppender; }

// About 6 s of blocks: the writer may fall that far behind (a disk that
// stalls for a moment) before the recording has to end.
constexpr size_t kFifoBlocks = 256;
// How often the writer looks into the FIFO: the appenders do not wake it,
// since waking a thread is not for the audio thread to do.
constexpr auto kWriterPoll = std::chrono::milliseconds(10);

// How much the writer lets gather before it flushes: half a second of
// samples, so that a file the program leaves behind when it dies is at most
// that far behind what was played.
constexpr uint64_t kFlushBytes = kSampleRate;

constexpr const char* kAfterEnd = " Recording has stopped; the file holds what was recorded until then.";

struct Block {
  std::array<int16_t, kBlockSamples> samples;
  uint32_t count;
};

bool WriteBlock(WaveFileWriter& writer, const Block& block) {
  return writer.Append(block.samples.data(), block.count) && (writer.BufferedBytes() < kFlushBytes || writer.Flush());
}

}  // namespace

enum class Recorder::EndReason : uint32_t { None, DiskRefused, SizeLimit, FifoFull };

struct Recorder::Session {
  explicit Session(uint64_t dataLimit) : writer(dataLimit) {}
  WaveFileWriter writer;
  BoundedQueue<Block> fifo{kFifoBlocks};
  std::atomic<EndReason> reason{EndReason::None};  // the first wins
  std::thread thread;
};

Recorder::Recorder(WaveRing& ring, WindowPort& window, const WaveFormat& format, uint64_t dataLimit)
    : ring_(ring), window_(window), format_(format), dataLimit_(dataLimit) {}

Recorder::~Recorder() { Stop(); }

bool Recorder::Recording() const { return Status(state_.load(std::memory_order_acquire)) == kRecording; }

bool Recorder::Start(const std::string& path) {
  CheckEnded();
  if (Status(state_.load(std::memory_order_acquire)) != kIdle) return false;
  auto session = std::make_unique<Session>(dataLimit_);
  if (!session->writer.Open(path, format_)) {
    // The box has no room for the reason; the terminal gets it.
    std::fprintf(stderr, "tavolin: recording: can't open %s to write: %s\n", path.c_str(),
                 ErrorText(session->writer.SystemError()).c_str());
    window_.ShowError("Can't open to write", "ERROR");
    return false;
  }
  session_ = std::move(session);
  // The session is complete before any appender can see Recording; the
  // status bits are 0 (Idle), so adding sets them and keeps the count. The
  // writer starts after that: it ends as soon as it finds no recording.
  state_.fetch_add(kRecording, std::memory_order_acq_rel);
  session_->thread = std::thread([this, &s = *session_] { WriteBlocks(s); });
  ring_.recorder.store(this, std::memory_order_release);
  return true;
}

void Recorder::End(EndReason why) {
  EndReason none = EndReason::None;
  session_->reason.compare_exchange_strong(none, why, std::memory_order_acq_rel);
  uint32_t word = state_.load(std::memory_order_acquire);
  while (Status(word) == kRecording &&
         !state_.compare_exchange_weak(word, word - kRecording + kEnded, std::memory_order_acq_rel)) {
  }
  BlockSink* self = this;
  ring_.recorder.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
}

void Recorder::Append(const int16_t* samples, uint32_t bytes) {
  const uint32_t word = state_.fetch_add(kAppender, std::memory_order_acq_rel);
  if (Status(word) == kRecording) {
    Block block{};
    block.count = std::min<uint32_t>(bytes / 2, kBlockSamples);
    std::copy_n(samples, block.count, block.samples.begin());
    // A full FIFO would leave a gap in the file: the recording ends instead,
    // with every block before the gap.
    if (!session_->fifo.TryPush(block)) End(EndReason::FifoFull);
  }
  state_.fetch_sub(kAppender, std::memory_order_release);
}

void Recorder::WaitForAppenders() const {
  // An append is a copy of 2 KiB: this wait is short and never on the disk.
  while (Appenders(state_.load(std::memory_order_acquire)) != 0) std::this_thread::yield();
}

// The writer thread: blocks out of the FIFO into the file until the
// recording has left Recording and no appender is inside any more; then
// the last ones, and the sizes.
void Recorder::WriteBlocks(Session& s) {
  NameCurrentThread("WaveRec");
  bool writing = true;
  for (;;) {
    const uint32_t word = state_.load(std::memory_order_acquire);
    const bool last = Status(word) != kRecording && Appenders(word) == 0;
    bool took = false;
    Block block;
    while (s.fifo.TryPop(block)) {
      took = true;
      if (writing && !WriteBlock(s.writer, block)) {
        writing = false;  // the rest is dropped: the file ends on what was written
        End(s.writer.Error() == WaveWriteError::SizeLimit ? EndReason::SizeLimit : EndReason::DiskRefused);
      }
    }
    if (last) break;  // nothing can have been pushed since `word` was read
    if (!took) std::this_thread::sleep_for(kWriterPoll);
  }
  if (!s.writer.Finish() && s.writer.Error() != WaveWriteError::SizeLimit) {
    EndReason none = EndReason::None;
    s.reason.compare_exchange_strong(none, EndReason::DiskRefused, std::memory_order_acq_rel);
  }
}

void Recorder::Stop() {
  uint32_t word = state_.load(std::memory_order_acquire);
  if (Status(word) == kIdle) return;
  while (Status(word) == kRecording &&
         !state_.compare_exchange_weak(word, word - kRecording + kStopping, std::memory_order_acq_rel)) {
  }
  BlockSink* self = this;
  ring_.recorder.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
  WaitForAppenders();
  session_->thread.join();
  const EndReason why = session_->reason.load(std::memory_order_acquire);
  session_.reset();
  // Only this thread moves the status away from Stopping or Ended; the
  // appenders' counts stay as they are.
  const uint32_t status = Status(state_.load(std::memory_order_acquire));
  state_.fetch_sub(status, std::memory_order_acq_rel);
  const char* problem = "";
  switch (why) {
    case EndReason::None: return;
    case EndReason::DiskRefused: problem = "Can't write to the file: the disk is full or failing."; break;
    case EndReason::SizeLimit: problem = "The file has reached the 4 GB limit of a WAVE file."; break;
    case EndReason::FifoFull: problem = "The disk did not keep up with the recording."; break;
  }
  // Also on stderr: at shut-down there is no window left to show the box.
  std::fprintf(stderr, "tavolin: recording: %s\n", problem);
  window_.ShowNotice(std::string(problem) + kAfterEnd, "ERROR");
}

void Recorder::CheckEnded() {
  if (Status(state_.load(std::memory_order_acquire)) == kEnded) Stop();
}

}  // namespace tavolin
