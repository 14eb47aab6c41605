#pragma once
// Recording of the output into a WAVE file: what the listener heard, each
// block once per play. A block is appended when the device gives its buffer
// back played (TakeCompletion, on the audio thread), before it is refilled;
// one that a restart's reset gives back unplayed is recorded once it has
// been played again.
//
// About every half second the writer thread flushes the file and brings its
// two sizes up to date, so that a file left by a crash is valid.
//
// The audio thread never waits on the disk: Append copies the block into a
// lock-free FIFO several seconds deep, and the recorder's own writer thread
// takes the blocks out in order and writes them to the file.
//
// One atomic word holds the recorder's status and the number of appenders
// inside Append:
//   Idle --Start (file created, header written, FIFO, writer thread)--> Recording
//   Recording --Stop--> Stopping --(no appender inside, FIFO drained,
//                                   sizes fixed, file closed)--> Idle
//   Recording --(disk refused, 4 GiB reached, FIFO full)--> Ended
//   Ended --Stop or CheckEnded (window thread: the user is told)--> Idle
// An appender counts itself in and reads the status in one atomic step and
// touches the FIFO only when that status was Recording. Whoever moves the
// status away from Recording thus knows that once the count has fallen to 0
// no append is under way or can start: only then does the writer drain the
// FIFO for the last time, and only then is the FIFO freed.
//
// Start, Stop and CheckEnded run on the window thread; Append on any thread.
// The recorder must outlive every thread that may call Append.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "audio/WaveRing.h"
#include "platform/WaveFileWriter.h"
#include "platform/WaveFormat.h"
#include "platform/WindowPort.h"

namespace tavolin {

class Recorder final : public BlockSink {
 public:
  // `dataLimit`: the most sample bytes per file (tests use less than 4 GiB).
  Recorder(WaveRing& ring, WindowPort& window, const WaveFormat& format, uint64_t dataLimit = kWaveDataLimit);
  ~Recorder() override;  // finishes a running recording
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Creates (or empties) the file, writes its header and starts appending.
  // False, after the "Can't open to write" box and a line on stderr with the
  // path and the reason, when the file cannot be created; a recording that
  // ended by itself is finished first.
  bool Start(const std::string& path);
  // Stops appending, writes every block handed over so far, fixes the two
  // sizes and closes the file. Nothing happens when no recording runs.
  void Stop();
  // A recording that ended by itself (the disk, the 4 GiB limit) is wound
  // up and the user told. Call it now and then while recording.
  void CheckEnded();
  // Any thread: a recording runs and appends.
  bool Recording() const;

  // [audio thread; also window and sequencer threads] Never waits, never allocates.
  void Append(const int16_t* samples, uint32_t bytes) override;

 private:
  struct Session;
  enum class EndReason : uint32_t;

  void End(EndReason why);
  void WriteBlocks(Session& session);
  void WaitForAppenders() const;

  WaveRing& ring_;
  WindowPort& window_;
  const WaveFormat& format_;
  const uint64_t dataLimit_;
  std::atomic<uint32_t> state_{0};    // status in the low bits, appenders inside Append above
  std::unique_ptr<Session> session_;  // while not Idle; read by appenders only while Recording
};

}  // namespace tavolin
