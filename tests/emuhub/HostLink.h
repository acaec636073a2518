#pragma once

#include "EmulatedHub.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// A minimal host over the backend seam, opened the way the program's HID layer does it: one
// handle written from the test thread, another read by a reader thread in 100 ms slices.
class HostLink {
public:
    using Bytes = emuhub::Bytes;
    using Ms = emuhub::Ms;

    HostLink(hublink::HidBackend& backend, const std::string& path, int sliceMs = 100)
        : backend_(backend) {
        hublink::OpenResult r1 = hublink::OpenResult::Failed, r2 = hublink::OpenResult::Failed;
        writeHandle_ = backend_.open(path, &r1);
        readHandle_ = backend_.open(path, &r2);
        openResult_ = r1;
        if (readHandle_)
            reader_ = std::thread([this, sliceMs] { readLoop(sliceMs); });
    }

    ~HostLink() { stop(); }

    void stop() {
        stop_ = true;
        if (reader_.joinable())
            reader_.join();
        if (writeHandle_)
            backend_.close(std::move(writeHandle_));
        if (readHandle_)
            backend_.close(std::move(readHandle_));
    }

    bool ok() const { return writeHandle_ && readHandle_; }
    hublink::OpenResult openResult() const { return openResult_; }

    int sendRaw(const Bytes& report) {
        return writeHandle_ ? backend_.write(*writeHandle_, report.data(), report.size()) : -1;
    }

    // Sends a request record as the program does: the record is kept between frames.
    int send(std::uint8_t command, hublink::TFrameRequest& request) {
        hublink::OutputReport out{};
        if (!hublink::BuildOutputReport(command, request, out))
            return -1;
        return sendRaw(Bytes(out.begin(), out.end()));
    }

    int send(std::uint8_t command, const Bytes& data = {}) {
        hublink::TFrameRequest request;
        request.setDataLength(static_cast<std::uint8_t>(data.size()));
        for (std::size_t k = 0; k < data.size(); ++k)
            request.data(k) = data[k];
        return send(command, request);
    }

    // Next report the reader got, report ID first.
    std::optional<Bytes> next(Ms timeout = Ms(500)) {
        std::unique_lock<std::mutex> lk(m_);
        if (!cv_.wait_for(lk, timeout, [this] { return !reports_.empty(); }))
            return std::nullopt;
        Bytes r = std::move(reports_.front());
        reports_.pop_front();
        return r;
    }

    std::optional<Bytes> exchange(std::uint8_t command, const Bytes& data = {},
                                  Ms timeout = Ms(500)) {
        if (send(command, data) < 0)
            return std::nullopt;
        return next(timeout);
    }

    // Status byte of the reply, or -1 without one.
    int status(std::uint8_t command, const Bytes& data = {}) {
        const auto r = exchange(command, data);
        return r && r->size() > 5 ? (*r)[5] : -1;
    }

    // One record as the update sends it: CMD_DATA, then CMD_ADDR_DATA from the same record.
    // Returns the two statuses (-1 for no reply).
    std::pair<int, int> sendRecord(std::uint16_t address, const Bytes& data) {
        hublink::TFrameRequest& req = record_;
        const auto n = static_cast<std::uint8_t>(data.size() + 4);
        for (int k = 0; k < 4; ++k)
            req.data(k) = 0;
        for (std::size_t k = 0; k < data.size(); ++k)
            req.data(4 + k) = data[k];
        req.setDataLength(n);
        const int first = send(hublink::CMD_DATA, req) < 0 ? -1 : replyStatus();
        if (first != 0)
            return {first, -1};
        req.data(0) = static_cast<std::uint8_t>(address & 0xFF);
        req.data(1) = static_cast<std::uint8_t>(address >> 8);
        req.data(2) = 0;
        req.data(3) = 0;
        req.setDataLength(n);
        const int second = send(hublink::CMD_ADDR_DATA, req) < 0 ? -1 : replyStatus();
        return {first, second};
    }

    bool readerFailed() const { return readFailed_; }
    bool waitReaderFailed(Ms timeout) {
        std::unique_lock<std::mutex> lk(m_);
        return cv_.wait_for(lk, timeout, [this] { return readFailed_.load(); });
    }
    std::size_t pending() {
        std::lock_guard<std::mutex> lk(m_);
        return reports_.size();
    }

private:
    int replyStatus() {
        const auto r = next();
        return r && r->size() > 5 ? (*r)[5] : -1;
    }

    void readLoop(int sliceMs) {
        std::uint8_t buf[hublink::OUTPUT_REPORT_SIZE];
        while (!stop_) {
            const int n = backend_.readTimeout(*readHandle_, buf, sizeof buf, sliceMs);
            if (n < 0) {
                std::lock_guard<std::mutex> lk(m_);
                readFailed_ = true;
                cv_.notify_all();
                return;
            }
            if (n > 0) {
                std::lock_guard<std::mutex> lk(m_);
                reports_.emplace_back(buf, buf + n);
                cv_.notify_all();
            }
        }
    }

    hublink::HidBackend& backend_;
    std::unique_ptr<hublink::HidHandle> writeHandle_;
    std::unique_ptr<hublink::HidHandle> readHandle_;
    hublink::OpenResult openResult_ = hublink::OpenResult::Failed;
    hublink::TFrameRequest record_;
    std::thread reader_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> readFailed_{false};
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<Bytes> reports_;
};

// Counts change notifications, from whatever thread they come.
class ChangeCounter {
public:
    explicit ChangeCounter(hublink::HidBackend& backend) : backend_(backend) {
        backend_.setChangeCallback([this] {
            std::lock_guard<std::mutex> lk(m_);
            ++count_;
            cv_.notify_all();
        });
    }
    ~ChangeCounter() { backend_.setChangeCallback({}); }
    int count() {
        std::lock_guard<std::mutex> lk(m_);
        return count_;
    }
    bool waitFor(int atLeast, emuhub::Ms timeout) {
        std::unique_lock<std::mutex> lk(m_);
        return cv_.wait_for(lk, timeout, [&] { return count_ >= atLeast; });
    }

private:
    hublink::HidBackend& backend_;
    std::mutex m_;
    std::condition_variable cv_;
    int count_ = 0;
};

// A bus with one hub, quick re-enumeration so scenarios stay short.
class HubTest : public ::testing::Test {
protected:
    HubTest() : hub(bus.addHub("hub1")) {
        hub.setReenumerationDelays(emuhub::Ms(20), emuhub::Ms(20));
    }

    std::unique_ptr<HostLink> connect() {
        auto link = std::make_unique<HostLink>(bus, hub.path());
        EXPECT_TRUE(link->ok()) << "open " << hub.path();
        return link;
    }

    emuhub::EmulatedBus bus;
    emuhub::EmulatedHub& hub;
};

inline emuhub::Bytes FrameOf(const emuhub::Bytes& report) {
    return emuhub::Bytes(report.begin() + 1, report.end());
}

// Pads the significant frame bytes with zeros to a whole frame.
inline emuhub::Bytes Frame64(emuhub::Bytes significant) {
    significant.resize(hublink::FRAME_SIZE, 0);
    return significant;
}
