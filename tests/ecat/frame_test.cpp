#include "ecat/frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kestrum::ecat {
namespace {

void ExpectSameDatagram(const Datagram& a, const Datagram& b) {
    EXPECT_EQ(a.command, b.command);
    EXPECT_EQ(a.index, b.index);
    EXPECT_EQ(a.adp, b.adp);
    EXPECT_EQ(a.ado, b.ado);
    EXPECT_EQ(a.circulating, b.circulating);
    EXPECT_EQ(a.irq, b.irq);
    EXPECT_EQ(a.data, b.data);
    EXPECT_EQ(a.wkc, b.wkc);
}

Datagram MakeDatagram(std::size_t size) {
    Datagram d;
    d.command = Command::kAprd;
    d.data.assign(size, 0x5A);
    return d;
}

// Ethernet header, then the EtherCAT header word as given, then body.
std::vector<uint8_t> RawFrame(uint16_t ethertype, uint16_t header, std::vector<uint8_t> body) {
    std::vector<uint8_t> bytes(12, 0xFF);
    bytes.push_back(static_cast<uint8_t>(ethertype >> 8));
    bytes.push_back(static_cast<uint8_t>(ethertype & 0xFF));
    bytes.push_back(static_cast<uint8_t>(header & 0xFF));
    bytes.push_back(static_cast<uint8_t>(header >> 8));
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

// A BRD of 2 data bytes with the given flags word (length, C, M), IRQ 0, WKC 3.
std::vector<uint8_t> Brd(uint16_t flags) {
    return {0x07,
            0x09,
            0x03,
            0x00,
            0x00,
            0x00,
            static_cast<uint8_t>(flags & 0xFF),
            static_cast<uint8_t>(flags >> 8),
            0x00,
            0x00,
            0xAB,
            0xCD,
            0x03,
            0x00};
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(FrameTest, RoundTripsSeveralDatagrams) {
    Frame frame;
    frame.source = {0x10, 0x10, 0x10, 0x10, 0x10, 0x10};
    Datagram brd{.command = Command::kBrd,
                 .index = 1,
                 .adp = 0,
                 .ado = 0x0000,
                 .circulating = false,
                 .irq = 0,
                 .data = {0, 0},
                 .wkc = 0};
    Datagram aprd{.command = Command::kAprd,
                  .index = 2,
                  .adp = 0xFFFE,
                  .ado = 0x0300,
                  .circulating = true,
                  .irq = 0x1234,
                  .data = std::vector<uint8_t>(20, 7),
                  .wkc = 0x0102};
    Datagram nop{.command = Command::kNop,
                 .index = 0xFF,
                 .adp = 0x1001,
                 .ado = 0x0130,
                 .circulating = false,
                 .irq = 0,
                 .data = {},
                 .wkc = 0xFFFF};
    frame.datagrams = {brd, aprd, nop};

    const auto bytes = EncodeFrame(frame);
    ASSERT_TRUE(bytes.has_value());
    ASSERT_EQ(bytes->size(), FrameBytes(frame.datagrams));
    EXPECT_EQ(bytes->size(), 16u + 14 + 32 + 12);
    // Length of the datagrams and type 1, then the first datagram's flags: 2 bytes, M set.
    EXPECT_EQ(Le16(*bytes, 14), 0x1000 | 58);
    EXPECT_EQ(Le16(*bytes, 16 + 6), 0x8002);
    EXPECT_EQ(Le16(*bytes, 30 + 6), 0xC014);
    EXPECT_EQ(Le16(*bytes, 62 + 6), 0x0000);

    std::string error;
    const auto decoded = DecodeFrame(*bytes, &error);
    ASSERT_TRUE(decoded.has_value()) << error;
    EXPECT_EQ(decoded->destination, kBroadcastMac);
    EXPECT_EQ(decoded->source, frame.source);
    ASSERT_EQ(decoded->datagrams.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        ExpectSameDatagram(decoded->datagrams[i], frame.datagrams[i]);
}

TEST(FrameTest, PadsShortFramesWithZeros) {
    Frame frame;
    frame.datagrams = {MakeDatagram(2)};
    const auto bytes = EncodeFrame(frame);
    ASSERT_TRUE(bytes.has_value());
    ASSERT_EQ(bytes->size(), kMinFrameBytes);
    EXPECT_EQ((*bytes)[12], 0x88);
    EXPECT_EQ((*bytes)[13], 0xA4);
    EXPECT_EQ(Le16(*bytes, 14), 0x100E);
    for (std::size_t i = 30; i < kMinFrameBytes; ++i) EXPECT_EQ((*bytes)[i], 0) << i;
}

TEST(FrameTest, RefusesWhatDoesNotFit) {
    const auto encodes = [](std::vector<Datagram> datagrams) {
        Frame frame;
        frame.datagrams = std::move(datagrams);
        return EncodeFrame(frame).has_value();
    };
    EXPECT_FALSE(encodes({}));
    EXPECT_TRUE(encodes({MakeDatagram(kMaxDatagramData)}));  // exactly 1514 bytes
    EXPECT_FALSE(encodes({MakeDatagram(kMaxDatagramData + 1)}));
    EXPECT_TRUE(encodes({MakeDatagram(737), MakeDatagram(737)}));
    EXPECT_FALSE(encodes({MakeDatagram(737), MakeDatagram(738)}));
}

TEST(FrameTest, DecodesHandBuiltFrames) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        std::size_t datagrams;  // 0: refused with error
        std::string error;
    };
    const std::vector<uint8_t> one = Brd(0x0002);
    const std::vector<uint8_t> more = Brd(0x8002);
    const Case cases[] = {
        {"one datagram, unpadded", RawFrame(kEthertype, 0x100E, one), 1, ""},
        {"padding after the last", RawFrame(kEthertype, 0x100E, Concat(one, {1, 2, 3, 4})), 1, ""},
        {"two datagrams", RawFrame(kEthertype, 0x101C, Concat(more, one)), 2, ""},
        {"header length over more padding", RawFrame(kEthertype, 0x1010, Concat(one, {0, 0})), 1,
         ""},
        {"too short", std::vector<uint8_t>(15, 0), 0, "too short for EtherCAT"},
        {"IPv4", RawFrame(0x0800, 0x100E, one), 0, "not EtherCAT"},
        {"byte-swapped ethertype", RawFrame(0xA488, 0x100E, one), 0, "not EtherCAT"},
        {"mailbox type", RawFrame(kEthertype, 0x500E, one), 0, "not a datagram frame (type 5)"},
        {"no datagram", RawFrame(kEthertype, 0x1000, one), 0, "no datagram"},
        {"header length past the bytes", RawFrame(kEthertype, 0x100F, one), 0,
         "the header length runs past the frame"},
        {"datagram data past the header length", RawFrame(kEthertype, 0x100E, Brd(0x0003)), 0,
         "datagram 1 runs past the frame"},
        {"second datagram header cut", RawFrame(kEthertype, 0x1014, Concat(more, one)), 0,
         "datagram 2 runs past the frame"},
        {"second datagram wkc cut", RawFrame(kEthertype, 0x101B, Concat(more, one)), 0,
         "datagram 2 runs past the frame"},
        {"M set on the last", RawFrame(kEthertype, 0x100E, Concat(more, one)), 0,
         "datagram 1 says more follow, but the frame ends"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        const auto frame = DecodeFrame(c.bytes, &error);
        if (c.datagrams == 0) {
            EXPECT_FALSE(frame.has_value());
            EXPECT_EQ(error, c.error);
            continue;
        }
        ASSERT_TRUE(frame.has_value()) << error;
        ASSERT_EQ(frame->datagrams.size(), c.datagrams);
        const Datagram& last = frame->datagrams.back();
        EXPECT_EQ(last.command, Command::kBrd);
        EXPECT_EQ(last.index, 9);
        EXPECT_EQ(last.adp, 3);
        EXPECT_EQ(last.data, (std::vector<uint8_t>{0xAB, 0xCD}));
        EXPECT_EQ(last.wkc, 3);
        EXPECT_FALSE(last.circulating);
    }
}

TEST(FrameTest, KeepsTheCirculatingBit) {
    const auto frame = DecodeFrame(RawFrame(kEthertype, 0x100E, Brd(0x4002)), nullptr);
    ASSERT_TRUE(frame.has_value());
    ASSERT_EQ(frame->datagrams.size(), 1u);
    EXPECT_TRUE(frame->datagrams[0].circulating);
    EXPECT_EQ(frame->datagrams[0].data.size(), 2u);
}

}  // namespace
}  // namespace kestrum::ecat
