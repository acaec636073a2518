#include "Frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace hublink;

TEST(Crc8, PublishedCheckValue) {
    const std::string digits = "123456789";
    EXPECT_EQ(Crc8(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()), 0xF4);
}

struct FrameVector {
    std::uint8_t command;
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> frame; // expected frame bytes 0..n+4
};

class FrameVectors : public ::testing::TestWithParam<FrameVector> {};

TEST_P(FrameVectors, BuildsTheWireBytes) {
    const FrameVector& v = GetParam();
    TFrameRequest req;
    req.setDataLength(static_cast<std::uint8_t>(v.data.size()));
    for (std::size_t k = 0; k < v.data.size(); ++k)
        req.data(k) = v.data[k];
    OutputReport out{};
    ASSERT_TRUE(BuildOutputReport(v.command, req, out));
    EXPECT_EQ(out[0], 0);
    std::vector<std::uint8_t> got(out.begin() + 1, out.begin() + 1 + v.frame.size());
    EXPECT_EQ(got, v.frame);
    for (std::size_t i = 1 + v.frame.size(); i < out.size(); ++i)
        EXPECT_EQ(out[i], 0) << "padding at " << i;
    EXPECT_EQ(CheckFrame(out.data() + 1, FRAME_SIZE), FrameVerdict::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    WireFormat, FrameVectors,
    ::testing::Values(
        FrameVector{CMD_GET_VERSION, {}, {0x55, 0x05, 0x00, 0x01, 0xA5}},
        FrameVector{CMD_GET_VERSION, {0x00}, {0x55, 0x06, 0x00, 0x01, 0x00, 0xC8}},
        FrameVector{CMD_SET_LED, {0x01, 0x32}, {0x55, 0x07, 0x00, 0xF1, 0x01, 0x32, 0x73}},
        // the last data byte is outside the check: any value keeps 0x73
        FrameVector{CMD_SET_LED, {0x01, 0x00}, {0x55, 0x07, 0x00, 0xF1, 0x01, 0x00, 0x73}},
        FrameVector{CMD_SET_LED, {0x01, 0x64}, {0x55, 0x07, 0x00, 0xF1, 0x01, 0x64, 0x73}},
        FrameVector{CMD_SET_LED, {0x06, 0x49}, {0x55, 0x07, 0x00, 0xF1, 0x06, 0x49, 0x66}},
        FrameVector{CMD_GET_STATE, {}, {0x55, 0x05, 0x00, 0x04, 0xA5}},
        FrameVector{CMD_RESTART, {}, {0x55, 0x05, 0x00, 0x0B, 0xA5}},
        FrameVector{CMD_GET_RUNDATA, {}, {0x55, 0x05, 0x00, 0x10, 0xA5}},
        FrameVector{CMD_GET_LEDS, {}, {0x55, 0x05, 0x00, 0xF2, 0xA5}},
        FrameVector{CMD_STORE_LEDS, {}, {0x55, 0x05, 0x00, 0xF3, 0xA5}}));

TEST(BuildOutputReport, LongestFrameFillsAllSixtyFourBytes) {
    TFrameRequest req;
    req.setDataLength(59);
    for (std::size_t k = 0; k < 59; ++k)
        req.data(k) = static_cast<std::uint8_t>(k + 1);
    OutputReport out{};
    ASSERT_TRUE(BuildOutputReport(CMD_DATA, req, out));
    const std::uint8_t* frame = out.data() + 1;
    EXPECT_EQ(frame[1], 64);
    EXPECT_EQ(frame[62], 59); // last data byte
    EXPECT_EQ(frame[63], Crc8(frame, 62));
}

TEST(BuildOutputReport, RefusesSixtyDataBytes) {
    TFrameRequest req;
    req.setDataLength(60);
    OutputReport out{};
    out.fill(0xEE);
    EXPECT_FALSE(BuildOutputReport(CMD_DATA, req, out));
    EXPECT_EQ(out[1], 0xEE);
}

TEST(CheckFrame, RejectsBrokenFrames) {
    std::uint8_t good[64] = {0x55, 0x05, 0x00, 0x01, 0xA5};
    EXPECT_EQ(CheckFrame(good, 64), FrameVerdict::Ok);
    auto broken = [&](std::size_t pos, std::uint8_t value) {
        std::uint8_t f[64];
        std::copy(good, good + 64, f);
        f[pos] = value;
        return CheckFrame(f, 64);
    };
    EXPECT_EQ(broken(0, 0x54), FrameVerdict::BadSync);
    EXPECT_EQ(broken(1, 0x04), FrameVerdict::BadLength);
    EXPECT_EQ(broken(1, 0x41), FrameVerdict::BadLength);
    EXPECT_EQ(broken(2, 0x01), FrameVerdict::BadZeroByte);
    EXPECT_EQ(broken(4, 0xA4), FrameVerdict::BadCheckByte);
}
