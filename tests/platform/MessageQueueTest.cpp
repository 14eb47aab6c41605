#include "platform/MessageQueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace tavolin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

Message Numbered(uintptr_t n) { return {MessageId::WaveOutDone, 7, n}; }

TEST(MessageQueue, DeliversInPostingOrderAndPeekNeverWaits) {
  MessageQueue queue;
  EXPECT_FALSE(queue.Peek());
  for (uintptr_t n = 1; n <= 3; ++n) ASSERT_TRUE(queue.Post(Numbered(n)));
  queue.Post({});

  EXPECT_EQ(queue.Get().lParam, 1u);
  auto second = queue.Peek();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->id, MessageId::WaveOutDone);
  EXPECT_EQ(second->wParam, 7u);
  EXPECT_EQ(second->lParam, 2u);
  EXPECT_EQ(queue.GetFor(0ms)->lParam, 3u);
  EXPECT_EQ(queue.Get().id, MessageId::Null);
  EXPECT_FALSE(queue.Peek());
}

TEST(MessageQueue, FullQueueRefusesUntilTheOwnerTakes) {
  MessageQueue queue(5);  // rounded up to 8
  for (uintptr_t n = 0; n < 8; ++n) ASSERT_TRUE(queue.Post(Numbered(n)));
  EXPECT_FALSE(queue.Post(Numbered(8)));
  EXPECT_EQ(queue.Get().lParam, 0u);
  EXPECT_TRUE(queue.Post(Numbered(8)));
  for (uintptr_t n = 1; n <= 8; ++n) EXPECT_EQ(queue.Get().lParam, n);
}

TEST(MessageQueue, GetForTimesOutOnAnEmptyQueue) {
  MessageQueue queue;
  const auto start = Clock::now();
  EXPECT_FALSE(queue.GetFor(30ms));
  EXPECT_GE(Clock::now() - start, 30ms);
}

TEST(MessageQueue, APostEndsTheWaitsEarly) {
  MessageQueue queue;
  std::thread poster([&] {
    std::this_thread::sleep_for(20ms);
    queue.Post(Numbered(1));
    std::this_thread::sleep_for(20ms);
    queue.Post(Numbered(2));
  });
  const auto start = Clock::now();
  auto first = queue.GetFor(60s);
  EXPECT_EQ(queue.Get().lParam, 2u);
  poster.join();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->lParam, 1u);
  EXPECT_LT(Clock::now() - start, 30s);
}

// Several producers at full speed against one consumer that mixes every way
// of taking: nothing is lost, nothing doubled, each producer's order kept.
TEST(MessageQueue, ManyProducersOneConsumer) {
  constexpr uintptr_t kProducers = 4;
  constexpr uintptr_t kEach = 40000;
  MessageQueue queue(64);  // small, so producers meet a full queue and the owner sleeps often
  std::vector<std::thread> producers;
  for (uintptr_t p = 0; p < kProducers; ++p) {
    producers.emplace_back([&queue, p] {
      for (uintptr_t n = 0; n < kEach; ++n) {
        while (!queue.Post({MessageId::WaveOutDone, p, n})) std::this_thread::yield();
      }
    });
  }
  std::vector<uintptr_t> next(kProducers, 0);
  for (uintptr_t taken = 0; taken < kProducers * kEach; ++taken) {
    std::optional<Message> message;
    switch (taken % 3) {
      case 0: message = queue.Get(); break;
      case 1: message = queue.GetFor(10s); break;
      default:
        while (!(message = queue.Peek())) std::this_thread::yield();
    }
    ASSERT_TRUE(message);
    ASSERT_LT(message->wParam, kProducers);
    ASSERT_EQ(message->lParam, next[message->wParam]++);
  }
  for (auto& producer : producers) producer.join();
  EXPECT_FALSE(queue.Peek());
  for (uintptr_t p = 0; p < kProducers; ++p) EXPECT_EQ(next[p], kEach);
}

}  // namespace
}  // namespace tavolin
