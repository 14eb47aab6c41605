// MIDI input through a private JACK server: the virtual port receives every
// short message a JACK client sends, a stale list line is not opened, and
// after Close the handler no longer runs.

#include "platform/MidiInPort.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "JackMidiSender.h"
#include "JackServer.h"
#include "tests/WaitUntil.h"

namespace tavolin {
namespace {

using test::WaitUntil;

// What the handler saw: a lock-free record, as on the real MIDI thread.
struct Received {
  std::array<std::atomic<uint32_t>, 64> messages{};  // bytes packed low first, size in the top byte
  std::atomic<uint32_t> count{0};

  static void Handle(void* self, const uint8_t* bytes, size_t size) {
    auto& r = *static_cast<Received*>(self);
    uint32_t packed = static_cast<uint32_t>(size) << 24;
    for (size_t i = 0; i < size && i < 3; ++i) packed |= uint32_t{bytes[i]} << (8 * i);
    const uint32_t n = r.count.load(std::memory_order_relaxed);
    r.messages[n % r.messages.size()].store(packed, std::memory_order_relaxed);
    r.count.store(n + 1, std::memory_order_release);
  }
};

TEST(MidiInPortJack, VirtualPortReceivesShortMessagesUntilClosed) {
  if (std::system("command -v jackd > /dev/null") != 0) GTEST_SKIP() << "jackd is not installed";
  test::JackServer server("tavolin-midi-" + std::to_string(getpid()), 256);
  if (!server.WaitUntilUp()) GTEST_SKIP() << "jackd could not be started";

  Received received;
  MidiInPort port(&Received::Handle, &received);
  const auto lines = port.ListPorts();
  ASSERT_EQ(lines.back(), MidiInPort::kVirtualLine);
  std::string error;
  EXPECT_FALSE(port.Open(0, "a port that went away", error));
  EXPECT_NE(error.find("a port that went away"), std::string::npos) << error;
  EXPECT_FALSE(port.IsOpen());
  ASSERT_TRUE(port.Open(lines.size() - 1, lines.back(), error)) << error;

  test::JackMidiSender sender;
  ASSERT_TRUE(sender.Ok());
  ASSERT_TRUE(WaitUntil([&] { return sender.ConnectTo("Tavolin.*:MIDI in$"); }));
  // Timing clock and active sensing arrive too; system exclusive does not.
  for (const auto& bytes : {std::vector<uint8_t>{0x93, 60, 100}, {0xF8}, {0xFE}, {0xC0, 5}, {0xF0, 0x7E, 0xF7}}) {
    ASSERT_TRUE(sender.Send(bytes));
  }
  ASSERT_TRUE(WaitUntil([&] { return received.count.load() >= 4; }));
  const uint32_t expected[] = {0x03643C93, 0x010000F8, 0x010000FE, 0x020005C0};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(received.messages[i].load(), expected[i]) << i;

  port.Close();
  const uint32_t atClose = received.count.load();
  ASSERT_TRUE(sender.Send({0x80, 60, 0}));
  ASSERT_TRUE(WaitUntil([&] { return sender.Pending() == 0; }));  // the port would have had it in that cycle
  EXPECT_EQ(received.count.load(), atClose);
  EXPECT_FALSE(port.IsOpen());
}

// Without the ALSA sequencer and without a JACK server there is nothing to
// open: the virtual port is refused with a reason.
TEST(MidiInPortJack, NoServerIsAFailureWithAReason) {
  if (access("/dev/snd/seq", F_OK) == 0) GTEST_SKIP() << "the ALSA sequencer is there";
  // NOLINTNEXTLINE(concurrency-mt-unsafe): before the port starts its threads
  setenv("JACK_DEFAULT_SERVER", ("tavolin-no-server-" + std::to_string(getpid())).c_str(), 1);
  Received received;
  MidiInPort port(&Received::Handle, &received);
  const auto lines = port.ListPorts();
  ASSERT_EQ(lines.size(), 1u);
  std::string error;
  EXPECT_FALSE(port.Open(0, lines[0], error));
  EXPECT_NE(error.find("JACK"), std::string::npos) << error;
  EXPECT_FALSE(port.IsOpen());
}

TEST(MidiInPortLines, CommandLineChoice) {
  const std::vector<std::string> lines = {"Midi Through:Port-0 14:0", "USB Keys:USB Keys MIDI 1 20:0",
                                          std::string(MidiInPort::kVirtualLine)};
  EXPECT_EQ(FindPortLine(lines, "USB"), 1u);
  EXPECT_EQ(FindPortLine(lines, "Port"), 0u) << "the first that contains it";
  EXPECT_EQ(FindPortLine(lines, "virtual"), 2u);
  EXPECT_EQ(FindPortLine(lines, "Tavolin"), std::nullopt) << "the virtual port only by its keyword";
  EXPECT_EQ(FindPortLine(lines, "Synth"), std::nullopt);
}

}  // namespace
}  // namespace tavolin
