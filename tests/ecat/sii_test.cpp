#include "ecat/sii.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "ecat/frame.h"

namespace kestrum::ecat {
namespace {

// An image of the header area with an identity, to which tests append category words.
struct Image {
    std::vector<uint8_t> bytes;

    Image() : bytes(kSiiFirstCategoryWord * 2, 0) {
        PutLe32(bytes, kSiiVendorWord * 2, 0x0000'0A0B);
        PutLe32(bytes, kSiiProductWord * 2, 0x1234'5678);
        PutLe32(bytes, kSiiRevisionWord * 2, 3);
        PutLe16(bytes, kSiiEepromSizeWord * 2, 15);  // 16 Kibit
    }
    Image& Words(std::initializer_list<uint16_t> words) {
        for (uint16_t w : words) {
            bytes.push_back(static_cast<uint8_t>(w & 0xFF));
            bytes.push_back(static_cast<uint8_t>(w >> 8));
        }
        return *this;
    }
    // A PDO header saying count entries, then `entries` 1-bit entries of object 6000H.
    Image& AddPdo(uint16_t index, uint8_t count, uint8_t syncManager, int entries) {
        Words({index, static_cast<uint16_t>(count | (syncManager << 8)), 0, 0});
        for (int i = 1; i <= entries; ++i) Words({0x6000, static_cast<uint16_t>(i), 0x0101, 0});
        return *this;
    }
};

std::string ParseError(const std::vector<uint8_t>& image) {
    std::string error;
    const auto info = ParseSii(image, &error);
    EXPECT_FALSE(info.has_value());
    return error;
}

TEST(SiiTest, ReadsIdentityAndPdos) {
    Image image;
    image
        .Words({0x000A, 2, 0x0101, 0x4141})  // strings, skipped
        .Words({kCategoryTxPdo, 12})
        .AddPdo(0x1A00, 2, 3, 2)
        .Words({kCategoryRxPdo, 4})
        .AddPdo(0x1600, 0, 0xFF, 0)
        .Words({kCategoryEnd});
    std::string error;
    const auto info = ParseSii(image.bytes, &error);
    ASSERT_TRUE(info.has_value()) << error;
    EXPECT_EQ(info->vendorId, 0x0A0Bu);
    EXPECT_EQ(info->productCode, 0x12345678u);
    EXPECT_EQ(info->revision, 3u);
    ASSERT_EQ(info->txPdos.size(), 1u);
    EXPECT_EQ(info->txPdos[0].index, 0x1A00);
    EXPECT_EQ(info->txPdos[0].syncManager, 3);
    ASSERT_EQ(info->txPdos[0].entries.size(), 2u);
    EXPECT_EQ(info->txPdos[0].entries[1].index, 0x6000);
    EXPECT_EQ(info->txPdos[0].entries[1].subindex, 2);
    EXPECT_EQ(info->txPdos[0].entries[1].bitLength, 1);
    ASSERT_EQ(info->rxPdos.size(), 1u);
    EXPECT_EQ(info->rxPdos[0].syncManager, 0xFF);
}

TEST(SiiTest, RefusesBrokenImages) {
    EXPECT_EQ(ParseError(std::vector<uint8_t>(0x10, 0)), "cannot read the identity words");
    // A category whose size reaches past the image.
    EXPECT_EQ(ParseError(Image().Words({0x001E, 8, 0, 0, kCategoryEnd}).bytes),
              "cannot read the category at word 0x004A");
    EXPECT_EQ(ParseError(Image().Words({kCategoryTxPdo, 8, 0x1A00, 1, 0, 0, kCategoryEnd}).bytes),
              "cannot read the category at word 0x0040");
    // Entries past the category, though the image holds them.
    EXPECT_EQ(
        ParseError(
            Image().Words({kCategoryTxPdo, 8}).AddPdo(0x1A01, 2, 3, 2).Words({kCategoryEnd}).bytes),
        "PDO 0x1A01 runs past its category at word 0x0040");
    EXPECT_EQ(ParseError(Image().Words({kCategoryRxPdo, 2, 0x1600, 0, kCategoryEnd}).bytes),
              "a PDO header runs past its category at word 0x0040");
    // No end marker.
    EXPECT_EQ(ParseError(Image().Words({0x001E, 1, 0}).bytes),
              "cannot read the category at word 0x0043");
    EXPECT_EQ(ParseError(Image().Words({0x001E}).bytes),
              "cannot read the size of the category at word 0x0040");
}

TEST(SiiTest, TheWalkEndsAtTheEepromsSize) {
    // 2 Kibit: 128 words, 40H of them after the header. A real EEPROM wraps round past
    // its end, so the image is as long as a larger one and still refused.
    struct Case {
        uint16_t sizeWord;
        uint16_t categoryWords;
        const char* error;
    };
    const Case cases[] = {
        {1, 0x3D, ""},  // its end marker is the EEPROM's last word
        {1, 0x3E, "no end marker before word 0x0080"},
        {1, 0x7000, "the category at word 0x0040 runs past the EEPROM's 128 words"},
        {0, 0, "no end marker before word 0x0040"},  // 1 Kibit: the header only
    };
    for (const Case& c : cases) {
        Image image;
        PutLe16(image.bytes, kSiiEepromSizeWord * 2, c.sizeWord);
        image.Words({0x001E, c.categoryWords});
        image.bytes.resize(image.bytes.size() + std::size_t{c.categoryWords} * 2, 0);
        image.Words({kCategoryEnd});
        image.bytes.resize(std::max<std::size_t>(image.bytes.size(), 0x400), 0);
        std::string error;
        const auto info = ParseSii(image.bytes, &error);
        EXPECT_EQ(info.has_value(), *c.error == 0) << c.sizeWord << " " << c.categoryWords;
        EXPECT_EQ(error, c.error) << c.sizeWord << " " << c.categoryWords;
    }
}

// The size word of the largest EEPROM the walk takes: 512 Kibit.
constexpr uint16_t kLargestEeprom = 511;

// An EEPROM of zero words everywhere but where a test puts an end marker.
SiiReader ZeroEeprom(uint32_t endWord, uint32_t* highest) {
    return [=](uint32_t word, uint32_t count, std::vector<uint8_t>& out) {
        out.assign(std::size_t{count} * 2, 0);
        for (uint32_t i = 0; i < count; ++i) {
            if (word + i == kSiiEepromSizeWord) PutLe16(out, i * 2, kLargestEeprom);
            if (word + i == endWord) PutLe16(out, i * 2, kCategoryEnd);
            if (highest != nullptr) *highest = std::max(*highest, word + i);
        }
        return true;
    };
}

TEST(SiiTest, BoundsTheCategoryWalk) {
    const uint32_t first = kSiiFirstCategoryWord;
    std::string error;
    uint32_t highest = 0;
    // Zero-size categories: as many as allowed, then one more.
    EXPECT_TRUE(ReadSii(ZeroEeprom(first + 2 * kSiiMaxCategories, nullptr), &error).has_value())
        << error;
    EXPECT_FALSE(
        ReadSii(ZeroEeprom(first + 2 * kSiiMaxCategories + 2, &highest), &error).has_value());
    EXPECT_EQ(error, "more than 256 categories");
    EXPECT_EQ(highest, first + 2 * kSiiMaxCategories);

    // Categories of 1000H words, the last a TxPDO reaching past the largest EEPROM: its
    // data is never asked for.
    highest = 0;
    const SiiReader big = [&](uint32_t word, uint32_t count, std::vector<uint8_t>& out) {
        highest = std::max(highest, word + count);
        out.assign(std::size_t{count} * 2, 0);
        if (word == kSiiEepromSizeWord) PutLe16(out, 0, kLargestEeprom);
        if (word >= first && count == 1) {
            PutLe16(out, 0, word % 2 == 1 ? 0x0FFE : word == 0x7040 ? kCategoryTxPdo : 0x001E);
        }
        return true;
    };
    EXPECT_FALSE(ReadSii(big, &error).has_value());
    EXPECT_EQ(error, "the category at word 0x7040 runs past the EEPROM's 32768 words");
    EXPECT_LE(highest, kSiiMaxWords);

    const SiiReader failing = [](uint32_t, uint32_t, std::vector<uint8_t>&) { return false; };
    EXPECT_FALSE(ReadSii(failing, &error).has_value());
    EXPECT_EQ(error, "cannot read the identity words");
}

PdoEntry Entry(uint16_t index, uint8_t bits) {
    return {.index = index, .subindex = 1, .bitLength = bits};
}

TEST(SiiTest, CountsIo) {
    struct Case {
        const char* name;
        std::vector<PdoEntry> tx, rx;
        uint8_t syncManager;
        IoCounts io;
    };
    const Case cases[] = {
        {"bits", {Entry(0x6000, 1), Entry(0x6000, 1)}, {Entry(0x7000, 1)}, 3, {2, 1, 0, 0, 0}},
        {"unassigned PDO", {Entry(0x6000, 1), Entry(0x6400, 16)}, {Entry(0x7000, 1)}, 0xFF, {}},
        {"gaps", {Entry(0, 1), Entry(0, 16)}, {Entry(0, 1)}, 3, {}},
        {"8 and 32 bits", {Entry(0x6000, 8), Entry(0x6400, 32)}, {Entry(0x7000, 8)}, 3, {}},
        {"AD and DA",
         {Entry(0x6400, 16), Entry(0x6FFF, 16), Entry(0x7000, 16)},
         {Entry(0x7400, 16), Entry(0x6000, 16)},
         3,
         {0, 0, 2, 1, 0}},
        {"axes, once each",
         {Entry(0x6041, 16), Entry(0x6841, 16), Entry(0x6041, 16), Entry(0x9841, 16),
          Entry(0xA041, 16), Entry(0x6042, 16)},
         {},
         3,
         {0, 0, 0, 0, 3}},
        {"no AD or DA with axes",
         {Entry(0x6041, 16), Entry(0x6400, 16), Entry(0x6000, 1)},
         {Entry(0x7400, 16)},
         3,
         {1, 0, 0, 0, 1}},
        {"axes only from TxPDOs", {}, {Entry(0x6041, 16)}, 3, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SiiInfo info;
        info.txPdos.push_back({.index = 0x1A00, .syncManager = c.syncManager, .entries = c.tx});
        info.rxPdos.push_back({.index = 0x1600, .syncManager = c.syncManager, .entries = c.rx});
        const IoCounts io = CountIo(info);
        EXPECT_EQ(io.inputs, c.io.inputs);
        EXPECT_EQ(io.outputs, c.io.outputs);
        EXPECT_EQ(io.ad, c.io.ad);
        EXPECT_EQ(io.da, c.io.da);
        EXPECT_EQ(io.axes, c.io.axes);
    }
}

TEST(SiiTest, ImagesOfCountsReadBackTheCounts) {
    struct Case {
        IoCounts asked, counted;
    };
    const Case cases[] = {
        {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}},
        {{1, 0, 0, 0, 0}, {1, 0, 0, 0, 0}},
        {{16, 8, 2, 4, 0}, {16, 8, 2, 4, 0}},
        {{255, 256, 0, 0, 0}, {255, 256, 0, 0, 0}},
        {{32, 32, 4, 4, 2}, {32, 32, 0, 0, 2}},
        {{1024, 1024, 1024, 1024, 0}, {1024, 1024, 1024, 1024, 0}},
        {{1024, 1024, 0, 0, 8}, {1024, 1024, 0, 0, 8}},
        {{-5, -1, -7, -9, -2}, {0, 0, 0, 0, 0}},
        {{1 << 30, INT32_MAX, INT32_MAX, INT32_MAX, 0}, {1024, 1024, 1024, 1024, 0}},
        {{0, 0, 0, 0, 100}, {0, 0, 0, 0, 8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.asked.inputs << ' ' << c.asked.outputs << ' ' << c.asked.ad << ' '
                     << c.asked.da << ' ' << c.asked.axes);
        const std::vector<uint8_t> image =
            BuildSii(SiiFor(0x0A0B, 0x1234'5678, 0x0002'0001, c.asked), 0x0107);
        EXPECT_LE(image.size(), std::size_t{kSiiMaxWords} * 2);
        EXPECT_EQ(Le16(image, kSiiAliasWord * 2), 0x0107);
        std::string error;
        const auto info = ParseSii(image, &error);
        ASSERT_TRUE(info.has_value()) << error;
        EXPECT_EQ(info->vendorId, 0x0A0Bu);
        EXPECT_EQ(info->productCode, 0x12345678u);
        EXPECT_EQ(info->revision, 0x00020001u);
        const IoCounts io = CountIo(*info);
        EXPECT_EQ(io.inputs, c.counted.inputs);
        EXPECT_EQ(io.outputs, c.counted.outputs);
        EXPECT_EQ(io.ad, c.counted.ad);
        EXPECT_EQ(io.da, c.counted.da);
        EXPECT_EQ(io.axes, c.counted.axes);
    }
}

// The entry count is one byte, so a longer PDO must not lose entries in the image.
TEST(SiiTest, BuildSiiKeepsLongPdos) {
    SiiInfo info;
    info.txPdos.push_back({.index = 0x1A00,
                           .syncManager = 3,
                           .entries = std::vector<PdoEntry>(600, Entry(0x6000, 1))});
    const auto read = ParseSii(BuildSii(info, 0), nullptr);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(CountIo(*read).inputs, 600);
}

}  // namespace
}  // namespace kestrum::ecat
