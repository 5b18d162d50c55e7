#include "ecat/sii.h"

#include <algorithm>
#include <bitset>
#include <cstdio>
#include <limits>

#include "ecat/coe.h"
#include "ecat/frame.h"

namespace kestrum::ecat {
namespace {

constexpr uint32_t kIdentityWords = 8;  // vendor, product, revision, serial
constexpr uint32_t kMailboxWords = 5;
constexpr uint32_t kHeaderAreaWords = kSiiFirstCategoryWord;
constexpr uint32_t kSiiVersionWord = 0x003F;
constexpr std::size_t kPdoHeaderBytes = 8;
constexpr std::size_t kPdoEntryBytes = 8;
constexpr std::size_t kMaxEntriesPerPdo = 255;  // the count is one byte
constexpr uint32_t kMaxCategoryWords = 0xFFFF;
constexpr uint16_t kAxisStride = 0x0800;
constexpr int kMaxAxes = 8;
// Keeps the largest image SiiFor makes well inside kSiiMaxWords.
constexpr int32_t kMaxSiiForCount = 1024;

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

std::optional<SiiInfo> Fail(std::string* error, std::string text) {
    if (error != nullptr) *error = std::move(text);
    return std::nullopt;
}

// The reader is trusted for its answer, not for how much it put in out.
bool ReadWords(const SiiReader& read, uint32_t word, uint32_t count, std::vector<uint8_t>& out) {
    out.clear();
    if (!read(word, count, out)) return false;
    if (out.size() < std::size_t{count} * 2) return false;
    out.resize(std::size_t{count} * 2);
    return true;
}

bool ParsePdos(std::span<const uint8_t> bytes, std::vector<Pdo>& pdos, std::string* error) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < kPdoHeaderBytes) {
            if (error != nullptr) *error = "a PDO header runs past its category";
            return false;
        }
        Pdo& pdo = pdos.emplace_back();
        pdo.index = Le16(bytes, at);
        const std::size_t count = bytes[at + 2];
        pdo.syncManager = bytes[at + 3];
        at += kPdoHeaderBytes;
        if ((bytes.size() - at) / kPdoEntryBytes < count) {
            if (error != nullptr) *error = "PDO " + Hex(pdo.index) + " runs past its category";
            return false;
        }
        pdo.entries.reserve(count);
        for (std::size_t i = 0; i < count; ++i, at += kPdoEntryBytes) {
            pdo.entries.push_back(
                {.index = Le16(bytes, at), .subindex = bytes[at + 2], .bitLength = bytes[at + 5]});
        }
    }
    return true;
}

void Put16(std::vector<uint8_t>& image, uint16_t value) {
    image.push_back(static_cast<uint8_t>(value & 0xFF));
    image.push_back(static_cast<uint8_t>(value >> 8));
}

// BOOL, UNSIGNED8/16/32 by width, so that the image reads naturally in other tools.
uint8_t DataType(uint8_t bitLength) {
    switch (bitLength) {
        case 1:
            return 0x01;
        case 8:
            return 0x05;
        case 16:
            return 0x06;
        case 32:
            return 0x07;
        default:
            return 0x00;
    }
}

// Appends one category of pdos in at most budget words; a PDO of more entries than its
// count byte holds goes out as several with the same index. What does not fit is left out.
void PutCategory(std::vector<uint8_t>& image, uint16_t type, const std::vector<Pdo>& pdos,
                 uint32_t budget) {
    if (pdos.empty() || budget < 2) return;
    const uint32_t limit = std::min(budget - 2, kMaxCategoryWords);
    Put16(image, type);
    const std::size_t sizeAt = image.size();
    Put16(image, 0);
    uint32_t words = 0;
    bool full = false;
    for (const Pdo& pdo : pdos) {
        std::size_t done = 0;
        do {
            const std::size_t count = std::min(pdo.entries.size() - done, kMaxEntriesPerPdo);
            const auto pieceWords =
                static_cast<uint32_t>((kPdoHeaderBytes + count * kPdoEntryBytes) / 2);
            full = limit - words < pieceWords;
            if (full) break;
            Put16(image, pdo.index);
            image.push_back(static_cast<uint8_t>(count));
            image.push_back(pdo.syncManager);
            image.push_back(0);  // DC sync
            image.push_back(0);  // name
            Put16(image, 0);     // flags
            for (std::size_t i = done; i < done + count; ++i) {
                const PdoEntry& entry = pdo.entries[i];
                Put16(image, entry.index);
                image.push_back(entry.subindex);
                image.push_back(0);  // name
                image.push_back(DataType(entry.bitLength));
                image.push_back(entry.bitLength);
                Put16(image, 0);  // flags
            }
            words += pieceWords;
            done += count;
        } while (done < pdo.entries.size());
        if (full) break;
    }
    PutLe16(image, sizeAt, static_cast<uint16_t>(words));
}

int32_t Clamp(int32_t count, int32_t cap) {
    return std::clamp(count, 0, cap);
}

// count entries of bitLength bits, first entry index firstIndex, at most 255 to a PDO;
// each PDO's entries take the next object (10H further on) as modules do.
void AddPdos(std::vector<Pdo>& pdos, uint16_t& pdoIndex, uint8_t syncManager, int32_t count,
             uint16_t firstIndex, uint8_t bitLength) {
    uint16_t object = firstIndex;
    while (count > 0) {
        const int32_t take = std::min<int32_t>(count, kMaxEntriesPerPdo);
        Pdo& pdo = pdos.emplace_back();
        pdo.index = pdoIndex++;
        pdo.syncManager = syncManager;
        for (int32_t i = 1; i <= take; ++i) {
            pdo.entries.push_back(
                {.index = object, .subindex = static_cast<uint8_t>(i), .bitLength = bitLength});
        }
        object = static_cast<uint16_t>(object + 0x10);
        count -= take;
    }
}

}  // namespace

uint32_t EepromWords(uint16_t sizeWord) {
    return std::min((uint32_t{sizeWord} + 1) * kEepromWordsPerKibibit, kSiiMaxWords);
}

std::optional<SiiInfo> ReadSii(const SiiReader& read, std::string* error) {
    SiiInfo info;
    std::vector<uint8_t> words;
    if (!ReadWords(read, kSiiVendorWord, kIdentityWords, words)) {
        return Fail(error, "cannot read the identity words");
    }
    info.vendorId = Le32(words, 0);
    info.productCode = Le32(words, 4);
    info.revision = Le32(words, 8);
    info.serial = Le32(words, 12);
    if (!ReadWords(read, kSiiMailboxWord, kMailboxWords, words)) {
        return Fail(error, "cannot read the mailbox words at word " + Hex(kSiiMailboxWord));
    }
    info.mailbox = {Le16(words, 0), Le16(words, 2), Le16(words, 4), Le16(words, 6), Le16(words, 8)};
    // A real EEPROM wraps round at its size: past it the walk would read the header again.
    if (!ReadWords(read, kSiiEepromSizeWord, 1, words)) {
        return Fail(error, "cannot read the EEPROM size at word " + Hex(kSiiEepromSizeWord));
    }
    const uint32_t limit = EepromWords(Le16(words, 0));

    uint32_t word = kSiiFirstCategoryWord;
    for (int categories = 0;; ++categories) {
        if (word >= limit) return Fail(error, "no end marker before word " + Hex(word));
        // The end marker may be the image's last word, so the type is read on its own.
        if (!ReadWords(read, word, 1, words)) {
            return Fail(error, "cannot read the category at word " + Hex(word));
        }
        const uint16_t type = Le16(words, 0);
        if (type == kCategoryEnd) break;
        if (categories == kSiiMaxCategories) {
            return Fail(error, "more than " + std::to_string(kSiiMaxCategories) + " categories");
        }
        if (word + 2 > limit || !ReadWords(read, word + 1, 1, words)) {
            return Fail(error, "cannot read the size of the category at word " + Hex(word));
        }
        const uint32_t size = Le16(words, 0);
        const uint32_t next = word + 2 + size;
        if (next > limit) {
            return Fail(error, "the category at word " + Hex(word) + " runs past the EEPROM's " +
                                   std::to_string(limit) + " words");
        }
        if (type == kCategoryTxPdo || type == kCategoryRxPdo) {
            if (!ReadWords(read, word + 2, size, words)) {
                return Fail(error, "cannot read the category at word " + Hex(word));
            }
            std::string why;
            if (!ParsePdos(words, type == kCategoryTxPdo ? info.txPdos : info.rxPdos, &why)) {
                return Fail(error, why + " at word " + Hex(word));
            }
        }
        if (next <= word) return Fail(error, "the category chain loops at word " + Hex(word));
        word = next;
    }
    return info;
}

std::optional<SiiInfo> ParseSii(std::span<const uint8_t> image, std::string* error) {
    const SiiReader read = [image](uint32_t word, uint32_t count, std::vector<uint8_t>& out) {
        const uint64_t begin = uint64_t{word} * 2;
        const uint64_t end = begin + uint64_t{count} * 2;
        if (end > image.size()) return false;
        out.assign(image.begin() + begin, image.begin() + end);
        return true;
    };
    return ReadSii(read, error);
}

IoCounts CountIo(const SiiInfo& info) {
    // Wide enough that no SiiInfo in memory can overflow it.
    int64_t inputs = 0, outputs = 0, ad = 0, da = 0;
    std::bitset<kMaxAxes> axes;
    for (const Pdo& pdo : info.txPdos) {
        if (pdo.syncManager == 0xFF) continue;
        for (const PdoEntry& entry : pdo.entries) {
            if (entry.index == 0) continue;
            if (entry.bitLength == 1) ++inputs;
            if (entry.bitLength == 16 && entry.index >= 0x6000 && entry.index <= 0x6FFF) ++ad;
            const int offset = entry.index - kStatusWordObject;
            if (offset >= 0 && offset % kAxisStride == 0 && offset / kAxisStride < kMaxAxes) {
                axes.set(static_cast<std::size_t>(offset / kAxisStride));
            }
        }
    }
    for (const Pdo& pdo : info.rxPdos) {
        if (pdo.syncManager == 0xFF) continue;
        for (const PdoEntry& entry : pdo.entries) {
            if (entry.index == 0) continue;
            if (entry.bitLength == 1) ++outputs;
            if (entry.bitLength == 16 && entry.index >= 0x7000 && entry.index <= 0x7FFF) ++da;
        }
    }
    const auto narrow = [](int64_t n) {
        return static_cast<int32_t>(std::min<int64_t>(n, std::numeric_limits<int32_t>::max()));
    };
    IoCounts io;
    io.inputs = narrow(inputs);
    io.outputs = narrow(outputs);
    io.axes = static_cast<int32_t>(axes.count());
    io.ad = io.axes == 0 ? narrow(ad) : 0;
    io.da = io.axes == 0 ? narrow(da) : 0;
    return io;
}

std::vector<uint8_t> BuildSii(const SiiInfo& info, uint16_t alias) {
    std::vector<uint8_t> image(kHeaderAreaWords * 2, 0);
    PutLe16(image, kSiiAliasWord * 2, alias);
    PutLe32(image, kSiiVendorWord * 2, info.vendorId);
    PutLe32(image, kSiiProductWord * 2, info.productCode);
    PutLe32(image, kSiiRevisionWord * 2, info.revision);
    PutLe32(image, kSiiSerialWord * 2, info.serial);
    const MailboxWords& box = info.mailbox;
    PutLe16(image, kSiiMailboxWord * 2, box.receiveStart);
    PutLe16(image, kSiiMailboxWord * 2 + 2, box.receiveLength);
    PutLe16(image, kSiiMailboxWord * 2 + 4, box.sendStart);
    PutLe16(image, kSiiMailboxWord * 2 + 6, box.sendLength);
    PutLe16(image, kSiiMailboxWord * 2 + 8, box.protocols);
    PutLe16(image, kSiiVersionWord * 2, 1);

    // Room for both categories' headers and the end marker is kept back from the first.
    const auto usedWords = [&image] { return static_cast<uint32_t>(image.size() / 2); };
    const uint32_t rxHeader = info.rxPdos.empty() ? 0 : 2;
    PutCategory(image, kCategoryTxPdo, info.txPdos, kSiiMaxWords - usedWords() - rxHeader - 1);
    PutCategory(image, kCategoryRxPdo, info.rxPdos, kSiiMaxWords - usedWords() - 1);
    Put16(image, kCategoryEnd);

    // The size word holds kibibits less one; EEPROMs come in powers of two from 16 Kibit.
    uint32_t kibibits = 16;
    while (kibibits * 64 < usedWords()) kibibits *= 2;
    PutLe16(image, kSiiEepromSizeWord * 2, static_cast<uint16_t>(kibibits - 1));
    return image;
}

SiiInfo SiiFor(uint32_t vendorId, uint32_t productCode, uint32_t revision, const IoCounts& io) {
    SiiInfo info;
    info.vendorId = vendorId;
    info.productCode = productCode;
    info.revision = revision;
    const int32_t axes = Clamp(io.axes, kMaxAxes);

    uint16_t txIndex = 0x1A00;
    AddPdos(info.txPdos, txIndex, 3, Clamp(io.inputs, kMaxSiiForCount), 0x6000, 1);
    if (axes > 0) {
        Pdo& pdo = info.txPdos.emplace_back();
        pdo.index = txIndex++;
        pdo.syncManager = 3;
        for (int32_t k = 0; k < axes; ++k) {
            pdo.entries.push_back(
                {.index = static_cast<uint16_t>(kStatusWordObject + kAxisStride * k),
                 .subindex = 0,
                 .bitLength = 16});
        }
    } else {
        AddPdos(info.txPdos, txIndex, 3, Clamp(io.ad, kMaxSiiForCount), 0x6400, 16);
    }

    uint16_t rxIndex = 0x1600;
    AddPdos(info.rxPdos, rxIndex, 2, Clamp(io.outputs, kMaxSiiForCount), 0x7000, 1);
    if (axes == 0) AddPdos(info.rxPdos, rxIndex, 2, Clamp(io.da, kMaxSiiForCount), 0x7400, 16);
    return info;
}

}  // namespace kestrum::ecat
