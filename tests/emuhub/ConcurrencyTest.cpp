#include "HostLink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace emuhub;
using namespace hublink;

namespace {

TEST_F(HubTest, ReaderThreadAndWriterKeepRepliesInOrder) {
    hub.plug();
    auto host = connect();
    const std::uint8_t commands[] = {CMD_GET_VERSION, CMD_GET_LEDS, CMD_GET_STATE, CMD_GET_RUNDATA};
    for (int i = 0; i < 200; ++i) {
        const std::uint8_t cmd = commands[i % 4];
        const auto reply = host->exchange(cmd);
        ASSERT_TRUE(reply) << i;
        ASSERT_EQ((*reply)[4], cmd) << i;
    }
    EXPECT_EQ(hub.trace().countSent(CMD_GET_LEDS), 50u);
    // The write handle is never read: it keeps the first reports and drops the rest, as hidraw
    // does.
    EXPECT_EQ(hub.droppedReports(), 200u - EmulatedBus::DEFAULT_QUEUE_CAPACITY);
}

TEST_F(HubTest, WritesRunningAheadOfTheReaderWithLatency) {
    // Replies scheduled on the worker while the test keeps writing and the reader keeps reading.
    hub.setReplyLatency(Ms(3));
    hub.plug();
    auto host = connect();
    for (std::uint8_t ch = 1; ch <= 8; ++ch) {
        for (int v = 0; v < 10; ++v) {
            ASSERT_GT(host->send(CMD_SET_LED, {ch, std::uint8_t(v * 10 + ch)}), 0);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    for (int i = 0; i < 80; ++i)
        ASSERT_TRUE(host->next(Ms(500))) << i;
    const LedValues live = hub.liveLeds();
    for (std::uint8_t ch = 1; ch <= 8; ++ch)
        EXPECT_EQ(live[ch - 1], 90 + ch);
}

TEST_F(HubTest, UnplugWakesABlockedReader) {
    hub.plug();
    OpenResult result;
    auto handle = bus.open(hub.path(), &result);
    ASSERT_TRUE(handle);
    std::atomic<int> got{1};
    std::atomic<bool> started{false};
    Clock::time_point returned;
    std::thread reader([&] {
        std::uint8_t buf[65];
        started = true;
        got = bus.readTimeout(*handle, buf, sizeof buf, -1); // no time-out: only the unplug ends it
        returned = Clock::now();
    });
    while (!started)
        std::this_thread::yield();
    std::this_thread::sleep_for(Ms(20));
    const auto t0 = Clock::now();
    hub.unplug();
    reader.join();
    EXPECT_EQ(got, -1);
    EXPECT_LT(returned - t0, Ms(50));
    std::uint8_t report[65] = {};
    EXPECT_EQ(bus.write(*handle, report, sizeof report), -1);
    // Even a replug does not revive the old handle.
    hub.plug();
    EXPECT_EQ(bus.readTimeout(*handle, report, sizeof report, 0), -1);
    bus.close(std::move(handle));
}

TEST_F(HubTest, UnplugWhileReadersWritersAndAFloodRun) {
    for (int round = 0; round < 5; ++round) {
        hub.plug();
        std::vector<std::unique_ptr<HostLink>> hosts;
        for (int i = 0; i < 3; ++i)
            hosts.push_back(std::make_unique<HostLink>(bus, hub.path(), 5));
        hub.startFlood({0x00, 0x55, 0x00}, std::chrono::microseconds(200));
        std::atomic<bool> stop{false};
        std::atomic<int> failedWrites{0};
        std::thread writer([&] {
            // only this thread writes through these links
            while (!stop) {
                if (hosts[0]->send(CMD_GET_STATE) < 0)
                    ++failedWrites;
                std::this_thread::sleep_for(std::chrono::microseconds(300));
            }
        });
        std::this_thread::sleep_for(Ms(15));
        hub.unplug();
        for (auto& h : hosts)
            EXPECT_TRUE(h->waitReaderFailed(Ms(500)));
        for (int i = 0; i < 100 && failedWrites == 0; ++i)
            std::this_thread::sleep_for(Ms(1));
        stop = true;
        writer.join();
        EXPECT_GT(failedWrites.load(), 0) << "writes after the unplug must fail";
        hosts.clear();
        EXPECT_EQ(hub.openHandleCount(), 0);
    }
}

TEST_F(HubTest, TimedEventsNotifyFromTheWorkerWithNoLockHeld) {
    hub.plug();
    auto host = connect();
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::thread::id> callers;
    std::vector<std::size_t> listed;
    bus.setChangeCallback([&] {
        // calling back into the bus must not deadlock
        const std::size_t n = bus.enumerate().size();
        std::lock_guard<std::mutex> lk(m);
        callers.push_back(std::this_thread::get_id());
        listed.push_back(n);
        cv.notify_all();
    });
    ASSERT_EQ(host->status(CMD_ENTER_UPDATE), 0);
    {
        std::unique_lock<std::mutex> lk(m);
        cv.wait_for(lk, Ms(1000), [&] { return callers.size() >= 2; });
    }
    bus.setChangeCallback({});
    std::lock_guard<std::mutex> lk(m);
    ASSERT_EQ(callers.size(), 2u);
    EXPECT_NE(callers[0], std::this_thread::get_id());
    EXPECT_EQ(listed, (std::vector<std::size_t>{0, 1}));
}

TEST_F(HubTest, HandleQueueIsBounded) {
    bus.setQueueCapacity(4);
    hub.plug();
    OpenResult result;
    auto handle = bus.open(hub.path(), &result);
    ASSERT_TRUE(handle);
    for (std::uint8_t i = 0; i < 10; ++i)
        ASSERT_TRUE(hub.injectReport({0x00, i}));
    std::uint8_t buf[65];
    for (std::uint8_t i = 0; i < 4; ++i) {
        ASSERT_EQ(bus.readTimeout(*handle, buf, sizeof buf, 0), 2);
        EXPECT_EQ(buf[1], i) << "the oldest reports are kept";
    }
    EXPECT_EQ(bus.readTimeout(*handle, buf, sizeof buf, 10), 0);
    EXPECT_EQ(hub.droppedReports(), 6u);
    // A short buffer takes the start of the report.
    ASSERT_TRUE(hub.injectReport({0x00, 0x55, 0x06}));
    EXPECT_EQ(bus.readTimeout(*handle, buf, 2, 0), 2);
    EXPECT_EQ(buf[1], 0x55);
}

TEST(EmulatedBusLifetime, BusGoesWithHandlesOpenAndEventsPending) {
    auto bus = std::make_unique<EmulatedBus>();
    EmulatedHub& hub = bus->addHub();
    hub.setReenumerationDelays(Ms(5), Ms(500)); // a return still pending at destruction
    hub.setReplyLatency(Ms(500));               // and a reply
    hub.plug();
    OpenResult result;
    auto handle = bus->open(hub.path(), &result);
    ASSERT_TRUE(handle);
    OutputReport report{};
    TFrameRequest request;
    ASSERT_TRUE(BuildOutputReport(CMD_RESTART, request, report));
    ASSERT_EQ(bus->write(*handle, report.data(), report.size()), 65);
    ASSERT_TRUE(hub.waitForPlugged(false, Ms(500)));
    const auto t0 = Clock::now();
    bus.reset();
    EXPECT_LT(Clock::now() - t0, Ms(200)) << "destruction waited for pending events";
    handle.reset(); // after the bus: must not touch freed memory
}

} // namespace
