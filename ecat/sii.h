// The slave information interface (SII, the node's EEPROM): identity words and the PDO
// categories, and what a diagnosis counts from them. The image is untrusted: a category
// chain that loops or runs past the EEPROM ends the walk with an error.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrum::ecat {

// Word addresses.
inline constexpr uint32_t kSiiAliasWord = 0x0004;
inline constexpr uint32_t kSiiVendorWord = 0x0008;
inline constexpr uint32_t kSiiProductWord = 0x000A;
inline constexpr uint32_t kSiiRevisionWord = 0x000C;
inline constexpr uint32_t kSiiSerialWord = 0x000E;
inline constexpr uint32_t kSiiMailboxWord = 0x0018;  // SM0 start, length; SM1 start, length; protocols
inline constexpr uint32_t kSiiEepromSizeWord = 0x003E;  // the size in Kibit, less one
inline constexpr uint32_t kSiiFirstCategoryWord = 0x0040;
inline constexpr uint32_t kEepromWordsPerKibibit = 64;
// The walk never goes past the EEPROM's size, nor this word (a 64 KiB EEPROM), nor more
// categories than this.
inline constexpr uint32_t kSiiMaxWords = 0x8000;
inline constexpr int kSiiMaxCategories = 256;

inline constexpr uint16_t kCategoryTxPdo = 0x32;  // inputs: slave to master
inline constexpr uint16_t kCategoryRxPdo = 0x33;  // outputs
inline constexpr uint16_t kCategoryEnd = 0xFFFF;

struct PdoEntry {
    uint16_t index = 0;  // 0 is a gap
    uint8_t subindex = 0;
    uint8_t bitLength = 0;
};

struct Pdo {
    uint16_t index = 0;
    uint8_t syncManager = 0xFF;  // 0xFF: not assigned
    std::vector<PdoEntry> entries;
};

inline constexpr uint16_t kMailboxCoe = 0x0004;  // in the protocols word

// The standard mailbox a master sets up for PREOP: SM0 master to node, SM1 node to master.
struct MailboxWords {
    uint16_t receiveStart = 0, receiveLength = 0;  // SM0
    uint16_t sendStart = 0, sendLength = 0;        // SM1
    uint16_t protocols = 0;
    bool operator==(const MailboxWords&) const = default;
};

struct SiiInfo {
    uint32_t vendorId = 0;
    uint32_t productCode = 0;
    uint32_t revision = 0;
    uint32_t serial = 0;
    MailboxWords mailbox;
    std::vector<Pdo> txPdos, rxPdos;
};

// Reads count words from word on into out (2 bytes a word, little-endian); false when
// the EEPROM cannot be read.
using SiiReader = std::function<bool(uint32_t word, uint32_t count, std::vector<uint8_t>& out)>;

// The words an EEPROM holds by its size word, at most kSiiMaxWords.
uint32_t EepromWords(uint16_t sizeWord);

// The identity words, the standard mailbox words, the EEPROM's size, then the categories from kSiiFirstCategoryWord
// up to the end marker, inside the size: the PDO ones are read, the others skipped by
// their size.
std::optional<SiiInfo> ReadSii(const SiiReader& read, std::string* error);
// The same over a whole image held in memory.
std::optional<SiiInfo> ParseSii(std::span<const uint8_t> image, std::string* error);

// What the diagnosis counts, from the PDOs assigned to a sync manager (not 0xFF):
// inputs/outputs are 1-bit entries (index not 0) of the Tx/Rx PDOs; axes the k in 0..7
// with a TxPDO entry 6041H + 800H*k; AD/DA the 16-bit Tx entries in 6000H-6FFFH and Rx
// entries in 7000H-7FFFH, counted 0 for a node with axes.
struct IoCounts {
    int32_t inputs = 0, outputs = 0, ad = 0, da = 0, axes = 0;
};
IoCounts CountIo(const SiiInfo& info);

// An image of info with the alias in word 4, the mailbox words, the PDO categories and the end marker.
std::vector<uint8_t> BuildSii(const SiiInfo& info, uint16_t alias);
// PDOs that CountIo counts back as exactly io (io.ad and io.da are ignored when io.axes
// is not 0).
SiiInfo SiiFor(uint32_t vendorId, uint32_t productCode, uint32_t revision, const IoCounts& io);

}  // namespace kestrum::ecat
