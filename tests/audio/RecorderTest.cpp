// The recorder on a ring in virtual time: what the file holds, how a
// recording ends, and start and stop racing the ring's three writers.

#include "audio/Recorder.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/ErrorText.h"
#include "platform/MessageQueue.h"
#include "platform/WaveOut.h"
#include "tests/WaitUntil.h"
#include "tests/platform/WaveFileBytes.h"

namespace tavolin {
namespace {

using test::WaitUntil;

class NoticeWindow final : public WindowPort {
 public:
  void RequestRepaint() override {}
  void ShowError(std::string_view text, std::string_view caption) override { Add(text, caption); }
  void ShowNotice(std::string_view text, std::string_view caption) override { Add(text, caption); }
  std::vector<std::string> Messages() {
    std::lock_guard lock(mutex_);
    return messages_;
  }

 private:
  void Add(std::string_view text, std::string_view caption) {
    std::lock_guard lock(mutex_);
    messages_.push_back(std::string(caption) + ": " + std::string(text));
  }
  std::mutex mutex_;
  std::vector<std::string> messages_;
};

std::string TempPath(const std::string& name) {
  // The process id keeps test runs in several build trees apart.
  return (std::filesystem::temp_directory_path() / ("tavolin-recorder-" + std::to_string(getpid()) + "-" + name))
      .string();
}

// The first sample of every block of a finished file, after checking that
// the file is 46 + 2048 k bytes with both sizes right.
std::vector<int16_t> RecordedBlocks(const std::string& path) {
  const auto bytes = test::ReadAll(path);
  EXPECT_EQ(test::FinishedDataBytes(bytes) % kBlockBytes, 0u);
  std::vector<int16_t> firsts;
  for (size_t at = kWaveHeaderBytes; at + kBlockBytes <= bytes.size(); at += kBlockBytes) {
    const auto first = static_cast<int16_t>(bytes[at] | bytes[at + 1] << 8);
    // A block is copied whole: every sample of it carries the same tag.
    for (size_t s = at; s < at + kBlockBytes; s += 2) {
      if (static_cast<int16_t>(bytes[s] | bytes[s + 1] << 8) != first) {
        ADD_FAILURE() << "block at " << at << " is torn";
        break;
      }
    }
    firsts.push_back(first);
  }
  return firsts;
}

struct RecordingRig {
  explicit RecordingRig(uint64_t dataLimit = kWaveDataLimit) : recorder(ring, window, format, dataLimit) {
    ring.WaveData.reset(new int16_t[kRingSamples]());
    ring.device = &device;
    SetUpHeaders(ring);
    for (WaveHeader& h : ring.WaveHeaders) EXPECT_TRUE(device.Prepare(h));
    for (uint32_t k = 0; k < kRingBuffers; ++k) Fill(k, static_cast<int16_t>(100 + k));
    WriteAllBuffers(ring);
  }
  ~RecordingRig() { recorder.Stop(); }

  void Fill(uint32_t k, int16_t tag) { std::fill_n(ring.Block(k), kBlockSamples, tag); }

  // One period of the steady state: a buffer comes back played (and so is
  // recorded), is queued again and is refilled with the next tag.
  void Period() {
    device.Advance(kBlockSamples);
    auto m = queue.Peek();
    ASSERT_TRUE(m && m->id == MessageId::WaveOutDone);
    ASSERT_TRUE(TakeCompletion(ring, *reinterpret_cast<WaveHeader*>(m->lParam)));
    const uint32_t queued = (WriteNextBuffer(ring) + kRingBuffers - 1) % kRingBuffers;
    Fill(queued, nextTag++);
  }

  MessageQueue queue;
  VirtualWaveOut device{queue};
  WaveRing ring;
  NoticeWindow window;
  WaveFormat format;
  Recorder recorder;
  int16_t nextTag = 200;
};

// k periods recorded: the blocks as the device plays them, in order.
TEST(Recorder, AFileOfKBlocksHoldsThemInTheOrderTheyWereQueued) {
  for (const int k : {0, 1, 11}) {
    RecordingRig r;
    const std::string path = TempPath("k.wav");
    ASSERT_TRUE(r.recorder.Start(path));
    EXPECT_TRUE(r.recorder.Recording());
    EXPECT_EQ(r.ring.recorder.load(), &r.recorder) << "the status line shows the recording";
    for (int i = 0; i < k; ++i) r.Period();
    r.recorder.Stop();
    EXPECT_FALSE(r.recorder.Recording());
    EXPECT_EQ(r.ring.recorder.load(), nullptr);
    // The eight primed blocks play first, then the ones refilled from tag 200 on.
    std::vector<int16_t> expected;
    expected.reserve(k);
    for (int i = 0; i < k; ++i) expected.push_back(static_cast<int16_t>(i < 8 ? 100 + i : 200 + i - 8));
    EXPECT_EQ(RecordedBlocks(path), expected) << k << " blocks";
    EXPECT_TRUE(r.window.Messages().empty());
    std::filesystem::remove(path);
  }
}

// What Python's own WAVE reader makes of the file: channels, sample width,
// rate, frames and the first sample's bytes; empty when it cannot read it.
std::string PythonReads(const std::string& path) {
  const std::string command = "python3 -c \"import wave; w = wave.open('" + path +
                              "'); print(w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes(), "
                              "w.readframes(1).hex())\"";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  char line[128] = {};
  const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
  pclose(pipe);
  return got ? line : "";
}

TEST(Recorder, AnIndependentReaderReadsTheFile) {
  RecordingRig r;
  const std::string path = TempPath("python.wav");
  ASSERT_TRUE(r.recorder.Start(path));
  for (int i = 0; i < 5; ++i) r.Period();
  r.recorder.Stop();
  EXPECT_EQ(PythonReads(path), "1 2 44100 5120 6400\n");  // first sample 100
  std::filesystem::remove(path);
}

// kill -9 during a recording: the file left behind is valid and holds every
// block up to the writer's last flush, half a second (22 blocks) in.
TEST(Recorder, AFileLeftByKillMinus9IsValidUpToTheLastFlush) {
  const std::string path = TempPath("killed.wav");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RecordingRig r;
    if (r.recorder.Start(path)) {
      for (int i = 0; i < 30; ++i) r.Period();
      // The sizes are written after the samples they count.
      WaitUntil([&] {
        const auto bytes = test::ReadAll(path);
        return bytes.size() >= kWaveHeaderBytes && test::Le32(bytes, 42) != 0;
      });
    }
    [[maybe_unused]] const ssize_t said = write(ready[1], "r", 1);
    for (;;) pause();  // still recording when killed
  }
  char byte = 0;
  EXPECT_EQ(read(ready[0], &byte, 1), 1);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
  EXPECT_EQ(RecordedBlocks(path).size(), 22u);
  EXPECT_EQ(PythonReads(path), "1 2 44100 22528 6400\n");
  std::filesystem::remove(path);
}

// Delete during a recording: the eight blocks the restart queues again are
// recorded once each, as the device plays them, and then the ring plays on.
TEST(Recorder, ARestartRecordsEachBlockOnceAsItIsPlayed) {
  RecordingRig r;
  const std::string path = TempPath("restart.wav");
  for (int i = 0; i < 3; ++i) r.Period();
  ASSERT_TRUE(r.recorder.Start(path));
  r.Period();
  const uint32_t from = r.ring.RingIndex.load();
  std::vector<int16_t> expected = {103};
  for (uint32_t i = 0; i < kRingBuffers; ++i) expected.push_back(r.ring.Block((from + i) % kRingBuffers)[0]);
  std::atomic<bool> restarted{false};
  std::thread audio([&] {  // takes the returns, as the audio thread does
    while (!restarted) {
      if (auto m = r.queue.GetFor(std::chrono::milliseconds(5)))
        TakeCompletion(r.ring, *reinterpret_cast<WaveHeader*>(m->lParam));
    }
  });
  EXPECT_TRUE(RestartSoundSystem(r.ring));
  restarted = true;
  audio.join();
  // The eight come back, then the first two refilled since the restart.
  const int16_t refilled = r.nextTag;
  for (uint32_t i = 0; i < kRingBuffers + 2; ++i) r.Period();
  expected.push_back(refilled);
  expected.push_back(static_cast<int16_t>(refilled + 1));
  r.recorder.Stop();
  EXPECT_EQ(RecordedBlocks(path), expected);
  std::filesystem::remove(path);
}

TEST(Recorder, AFileThatCannotBeCreatedIsReportedAndNothingRecords) {
  RecordingRig r;
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(r.recorder.Start("/nonexistent-folder/take.wav"));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "tavolin: recording: can't open /nonexistent-folder/take.wav to write: " + ErrorText(ENOENT) + "\n");
  EXPECT_EQ(r.window.Messages(), std::vector<std::string>{"ERROR: Can't open to write"});
  EXPECT_FALSE(r.recorder.Recording());
  EXPECT_EQ(r.ring.recorder.load(), nullptr);
  r.Period();  // nothing to append to
}

// The file reaches its size limit (4 GiB; less here): the recording ends by
// itself, the status shows it at once, the user is told, and the file is
// valid and holds every block up to the limit.
TEST(Recorder, AtTheSizeLimitTheRecordingEndsWithAMessageAndAValidFile) {
  RecordingRig r(3 * kBlockBytes);
  const std::string path = TempPath("limit.wav");
  ASSERT_TRUE(r.recorder.Start(path));
  for (int i = 0; i < 5; ++i) r.Period();
  ASSERT_TRUE(WaitUntil([&] { return !r.recorder.Recording(); }));
  EXPECT_EQ(r.ring.recorder.load(), nullptr);
  r.recorder.CheckEnded();
  const auto messages = r.window.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("ERROR: The file has reached the 4 GB limit"), std::string::npos) << messages[0];
  EXPECT_EQ(RecordedBlocks(path), (std::vector<int16_t>{100, 101, 102}));
  // A new recording starts afresh.
  ASSERT_TRUE(r.recorder.Start(path));
  r.Period();
  r.recorder.Stop();
  EXPECT_EQ(RecordedBlocks(path), std::vector<int16_t>{105});
  std::filesystem::remove(path);
}

// A disk that takes no more (a file size limit stands in for a full disk:
// the write fails the same way) ends the recording with a message; the file
// is valid and holds the blocks written before the refused write.
[[noreturn]] void RecordUntilTheDiskRefuses(const std::string& path) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = kWaveHeaderBytes + 40 * kBlockBytes;
  setrlimit(RLIMIT_FSIZE, &limit);
  RecordingRig r;
  if (!r.recorder.Start(path)) std::exit(2);  // NOLINT(concurrency-mt-unsafe): no other thread ends the process
  for (int i = 0; i < 100 && r.recorder.Recording(); ++i) r.Period();
  // NOLINTNEXTLINE(concurrency-mt-unsafe): no other thread ends the process
  if (!WaitUntil([&] { return !r.recorder.Recording(); })) std::exit(3);
  r.recorder.CheckEnded();
  const auto messages = r.window.Messages();
  // NOLINTNEXTLINE(concurrency-mt-unsafe): no other thread ends the process
  std::exit(messages.size() == 1 && messages[0].starts_with("ERROR: Can't write to the file: the disk is full") ? 0
                                                                                                                : 4);
}

TEST(RecorderDeathTest, AFullDiskEndsTheRecordingWithAMessageAndAValidFile) {
  const std::string path = TempPath("full.wav");
  EXPECT_EXIT(RecordUntilTheDiskRefuses(path), ::testing::ExitedWithCode(0), "");
  // The writer writes half a second (22 blocks) at a time: the second did not fit.
  EXPECT_EQ(RecordedBlocks(path).size(), 22u);
  std::filesystem::remove(path);
}

// Start and stop from the window thread, again and again, while the audio
// thread requeues returned buffers and the sequencer thread writes all
// buffers (a file load): every file is finished and valid, holds only whole
// blocks, and holds what was played while it was open.
TEST(RecorderThreads, StartAndStopWhileThreeThreadsQueue) {
  RecordingRig r;
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    while (!stop) {
      r.device.Advance(kBlockSamples);
      while (auto m = r.queue.Peek()) {
        if (TakeCompletion(r.ring, *reinterpret_cast<WaveHeader*>(m->lParam))) WriteNextBuffer(r.ring);
      }
      // Faster than real time, but not so fast that the FIFO's seconds
      // run out between two looks of the writer.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  std::thread sequencer([&] {
    while (!stop) {
      WriteAllBuffers(r.ring);
      std::this_thread::yield();
    }
  });
  const std::string path = TempPath("hammer.wav");
  for (int round = 0; round < 40; ++round) {
    ASSERT_TRUE(r.recorder.Start(path));
    // Of 13 buffers played after Start returned, the audio thread has taken
    // back all but the last since then, each appended whole.
    const uint64_t started = r.device.PlayedSamples();
    ASSERT_TRUE(WaitUntil([&] { return r.device.PlayedSamples() >= started + 13 * kBlockSamples; }));
    r.recorder.Stop();
    const std::vector<int16_t> blocks = RecordedBlocks(path);
    EXPECT_GE(blocks.size(), 1u) << "round " << round;
    for (const int16_t tag : blocks) EXPECT_TRUE(tag >= 100 && tag < 108) << tag;
  }
  stop = true;
  audio.join();
  sequencer.join();
  for (const std::string& m : r.window.Messages()) ADD_FAILURE() << m;
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace tavolin
