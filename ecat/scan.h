// A strictly diagnostic scan of a segment: nodes counted with a broadcast read and every
// node read by its position, published at once; identity and PDOs follow from the SII
// through the EEPROM interface, node by node, between scans. It writes nothing but that
// interface's control and address.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ecat/eeprom.h"
#include "ecat/master.h"
#include "ecat/registers.h"
#include "ecat/sii.h"

namespace pelvane::ecat {

struct NodeScan {
    std::array<uint8_t, kTypeBlockBytes> typeBlock{};
    uint16_t alias = 0;
    uint16_t dlStatus = 0;
    uint16_t alStatus = 0;
    uint16_t alStatusCode = 0;
    std::array<uint8_t, kErrorCounterBytes> counters{};  // 0300H-0313H
    // Identity and PDO counts are unread until siiRead; siiFault says why when it failed.
    bool siiRead = false;
    SiiFault siiFault = SiiFault::kNone;
    bool eepromChecksumError = false;  // the power-up load's, even when the SII could be read
    SiiInfo sii;
    IoCounts io;
};

struct BusScan {
    std::vector<NodeScan> nodes;
    uint64_t framesSent = 0;
    uint64_t framesLost = 0;
    size_t frames = 0;  // this scan's
};

class Scanner {
  public:
    using Clock = std::chrono::steady_clock;
    // A node whose SII failed is asked again no sooner than this.
    static constexpr std::chrono::seconds kRetryAfter{10};
    // On a steady line one node's identity words are read again this often, so that a
    // node swapped for one of the same kind shows its new identity.
    static constexpr std::chrono::milliseconds kRecheckEvery{200};

    explicit Scanner(Master& master, std::chrono::milliseconds recheckEvery = kRecheckEvery)
        : master_(master), recheckEvery_(recheckEvery) {}

    // Counts and reads every node's registers; identities as known so far. None, with the
    // reason, when a frame of it got no reply: the caller keeps its last complete scan.
    std::optional<BusScan> Scan(std::string* error);
    // Reads SIIs not known yet, node by node, until the deadline (a node begun is
    // finished), or re-checks one node's identity when its turn has come.
    void ReadIdentities(Clock::time_point deadline);
    // After the line was gone another one may be plugged in: every identity is unread
    // until the node's identity words are read again (its whole SII if they differ).
    void Forget();

    // EEPROM commands written since the start.
    uint64_t eepromCommands() const { return eepromCommands_; }

  private:
    // What is known of the node at a position, for as long as it looks the same.
    struct Known {
        static Known Placed(const std::array<uint8_t, kTypeBlockBytes>& typeBlock, uint16_t alias) {
            Known known;
            known.typeBlock = typeBlock;
            known.alias = alias;
            known.placed = true;
            return known;
        }
        std::array<uint8_t, kTypeBlockBytes> typeBlock{};
        uint16_t alias = 0;
        bool placed = false;
        bool read = false;
        bool verify = false;  // read, but to be confirmed by the identity words
        SiiFault fault = SiiFault::kNone;
        bool checksumError = false;
        SiiInfo sii;
        IoCounts io;
        Clock::time_point nextTry{};
    };

    std::optional<uint16_t> CountNodes(std::string* error);
    bool ReadRegisters(std::vector<NodeScan>& nodes, size_t* frames, std::string* error);
    // Takes the nodes' places and gives them what is known of each.
    void Remember(std::vector<NodeScan>& nodes);
    void ReadNodeSii(uint16_t position);
    // Whether the identity words still say what was read; none when they cannot be read.
    std::optional<bool> IdentityChanged(uint16_t position);
    void Verify(uint16_t position);

    Master& master_;
    const std::chrono::milliseconds recheckEvery_;
    std::vector<Known> known_;
    size_t recheck_ = 0;
    Clock::time_point lastRecheck_{};
    uint64_t eepromCommands_ = 0;
};

}  // namespace pelvane::ecat
