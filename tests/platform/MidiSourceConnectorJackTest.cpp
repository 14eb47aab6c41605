// Connecting MIDI sources by name on a private JACK server: a matching source
// is connected once our input is there and plays into it, one that does not
// match is left alone, and a source that leaves and comes back is connected
// again.

#include "platform/MidiSourceConnector.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "JackMidiSender.h"
#include "JackServer.h"
#include "platform/MidiInPort.h"
#include "tests/WaitUntil.h"

namespace tavolin {
namespace {

using test::WaitUntil;
using Kind = MidiSourceEvent::Kind;
using Events = std::vector<MidiSourceEvent>;

}  // namespace

// Failures name the events rather than their bytes.
void PrintTo(const MidiSourceEvent& event, std::ostream* out) {
  *out << (event.kind == Kind::kConnected ? "connected " : "lost ") << event.source;
}

namespace {

void CountNotesOn(void* notesOn, const uint8_t* bytes, size_t size) {
  if (size == 3 && (bytes[0] & 0xF0) == 0x90) static_cast<std::atomic<int>*>(notesOn)->fetch_add(1);
}

// Polls until something happens; empty after the bound.
Events NextEvents(MidiSourceConnector& connector) {
  Events events;
  WaitUntil([&] { return !(events = connector.Poll()).empty(); });
  return events;
}

// Plays a note-on and waits until the server has taken it; whether it
// reached the input is known then, as the server waits for every client.
int NotesAfterPlaying(test::JackMidiSender& sender, const std::atomic<int>& notesOn) {
  WaitUntil([&] { return sender.Connected(); }, std::chrono::seconds(2));
  EXPECT_TRUE(sender.Send({0x90, 60, 100}));
  EXPECT_TRUE(WaitUntil([&] { return sender.Pending() == 0; }));
  const int before = notesOn.load();
  WaitUntil([&] { return notesOn.load() > before; }, std::chrono::seconds(2));
  return notesOn.load();
}

TEST(MidiSourceConnectorJack, KeepsMatchingSourcesConnected) {
  if (std::system("command -v jackd > /dev/null") != 0) GTEST_SKIP() << "jackd is not installed";
  test::JackServer server("tavolin-connect-" + std::to_string(getpid()), 256);
  if (!server.WaitUntilUp()) GTEST_SKIP() << "jackd could not be started";

  std::string error;
  auto connector = test::Patiently([&] { return MidiSourceConnector::Open("^keys", error); },
                                   [](const auto& opened) { return opened != nullptr; });
  ASSERT_TRUE(connector) << error;
  test::JackMidiSender drums("drums");
  std::optional<test::JackMidiSender> keys;
  keys.emplace("keys");
  ASSERT_TRUE(drums.Ok() && keys->Ok());
  EXPECT_EQ(connector->Poll(), Events{}) << "our input is not there yet";

  std::atomic<int> notesOn{0};
  MidiInPort port(&CountNotesOn, &notesOn);
  const auto lines = port.ListPorts();
  ASSERT_TRUE(port.Open(lines.size() - 1, lines.back(), error)) << error;
  EXPECT_EQ(NextEvents(*connector), (Events{{Kind::kConnected, "keys:out"}}));
  EXPECT_EQ(NotesAfterPlaying(*keys, notesOn), 1);
  EXPECT_EQ(NotesAfterPlaying(drums, notesOn), 1) << "a source that does not match is not connected";
  EXPECT_EQ(connector->Poll(), Events{});

  keys.reset();
  EXPECT_EQ(NextEvents(*connector), (Events{{Kind::kLost, "keys:out"}}));
  keys.emplace("keys");
  ASSERT_TRUE(keys->Ok());
  EXPECT_EQ(NextEvents(*connector), (Events{{Kind::kConnected, "keys:out"}}));
  EXPECT_EQ(NotesAfterPlaying(*keys, notesOn), 2);
}

TEST(MidiSourceConnector, RefusesAPatternThatIsNotOne) {
  std::string error;
  EXPECT_EQ(MidiSourceConnector::Open("keys[", error), nullptr);
  EXPECT_NE(error.find("keys["), std::string::npos) << error;
}

}  // namespace
}  // namespace tavolin
