#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

#include "calendar/access/callback_channel.h"

namespace {

using bridge::ChannelClosed;
using bridge::ChannelEmpty;

template <typename Alternative, typename Variant>
bool is(const Variant& v) {
  return std::holds_alternative<Alternative>(v);
}

TEST(CallbackChannel, TellsEmptyFromClosedAndDrainsBeforeClosing) {
  auto [sender, receiver] = bridge::make_channel<int>();
  EXPECT_TRUE(is<ChannelEmpty>(receiver.try_receive()));
  EXPECT_TRUE(sender.send(1));
  EXPECT_TRUE(sender.send(2));
  { auto gone = std::move(sender); }
  EXPECT_EQ(std::get<int>(receiver.try_receive()), 1);
  EXPECT_EQ(std::get<int>(receiver.try_receive()), 2);
  EXPECT_TRUE(is<ChannelClosed>(receiver.try_receive()));
}

TEST(CallbackChannel, ClosesOnlyWhenTheLastCopyOfTheSenderGoes) {
  auto [sender, receiver] = bridge::make_channel<int>();
  std::function<void(int)> callback = [s = std::move(sender)](int v) { s.send(v); };
  std::function<void(int)> copy = callback;
  callback = nullptr;
  EXPECT_TRUE(is<ChannelEmpty>(receiver.try_receive()));
  copy(7);
  copy = nullptr;
  EXPECT_EQ(std::get<int>(receiver.try_receive()), 7);
  EXPECT_TRUE(is<ChannelClosed>(receiver.try_receive()));
}

TEST(CallbackChannel, SendAfterTheReceiverIsGoneIsDropped) {
  auto [sender, receiver] = bridge::make_channel<std::string>();
  { auto gone = std::move(receiver); }
  EXPECT_FALSE(sender.send("late"));
}

TEST(CallbackChannel, CarriesMessagesFromManyThreads) {
  auto [sender, receiver] = bridge::make_channel<int>();
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([s = sender, i] {
      for (int k = 0; k < 100; ++k) s.send(i);
    });
  }
  for (auto& t : threads) t.join();
  { auto gone = std::move(sender); }
  int received = 0;
  while (is<int>(receiver.try_receive())) ++received;
  EXPECT_EQ(received, 800);
  EXPECT_TRUE(is<ChannelClosed>(receiver.try_receive()));
}

}  // namespace
