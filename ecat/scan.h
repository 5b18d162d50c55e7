// A strictly diagnostic scan of a segment: nodes counted with a broadcast read and every
// node read by its position, published at once; identity and PDOs follow from the SII
// through the EEPROM interface, node by node, between scans. It writes nothing but that
// interface's control and address. A lost frame is sent again within the scan; a node
// whose reads still got no answer keeps its last values and their age.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ecat/eeprom.h"
#include "ecat/master.h"
#include "ecat/registers.h"
#include "ecat/sii.h"
#include "ecat/sii_walk.h"

namespace kestrum::ecat {

struct NodeScan {
    using Clock = std::chrono::steady_clock;
    // When the registers below were last answered; a node counted but never answered has
    // registersRead false and readAt the time it was first counted.
    bool registersRead = false;
    Clock::time_point readAt{};
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
    bool eepromNotLoaded = false;      // likewise
    SiiInfo sii;
    IoCounts io;
};

// The pages show at most this many nodes; a segment that counts more is read that far.
inline constexpr uint16_t kMaxScannedNodes = 256;

struct BusScan {
    std::vector<NodeScan> nodes;
    size_t counted = 0;  // what the count said: more than nodes on a line cut at kMaxScannedNodes
    uint64_t framesSent = 0;
    uint64_t framesLost = 0;
    size_t frames = 0;  // this scan's, retries included
};

class Scanner {
  public:
    using Clock = std::chrono::steady_clock;
    // A node whose SII failed is asked again no sooner than this; one whose SII made no
    // sense, no sooner than kMalformedRetryAfter, unless its identity words or the node
    // count change.
    static constexpr std::chrono::seconds kRetryAfter{10};
    static constexpr std::chrono::seconds kMalformedRetryAfter{60};
    // On a steady line one node's identity words are read again this often, so that a
    // node swapped for one of the same kind shows its new identity.
    static constexpr std::chrono::milliseconds kRecheckEvery{200};
    // A lost frame of a scan is sent again, with a new index, until this long after its
    // first try.
    static constexpr std::chrono::milliseconds kRetryFor{150};
    // A scan's frames come back within a few milliseconds on any line; one not back by
    // then is sent again at once, and its own reply, if it still comes, is late.
    static constexpr std::chrono::milliseconds kResendAfter{10};

    explicit Scanner(Master& master, std::chrono::milliseconds recheckEvery = kRecheckEvery,
                     std::chrono::milliseconds retryFor = kRetryFor)
        : master_(master), recheckEvery_(recheckEvery), retryFor_(retryFor) {}

    // Counts and reads every node's registers; identities as known so far. A node whose
    // reads got no answer keeps its last values. None, with the reason, when the count got
    // no answer, or another master, a refusing port or a circulating frame ended the scan.
    std::optional<BusScan> Scan(std::string* error);
    // Goes on with reading SIIs not known yet, node by node, or re-checks one node's
    // identity words when its turn has come, until the deadline: a read not finished by
    // then goes on at the next call.
    void ReadIdentities(Clock::time_point deadline);
    // After the line was gone another one may be plugged in: every identity is unread
    // until the node's identity words are read again (its whole SII if they differ).
    void Forget();

    // EEPROM commands written since the start.
    uint64_t eepromCommands() const { return eepromCommands_; }
    // What went wrong with SIIs since the last call, naming the words, for -v.
    std::vector<std::string> TakeNotes() { return std::exchange(notes_, {}); }

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
        bool notLoaded = false;
        SiiInfo sii;
        IoCounts io;
        // As read with the SII, or before its walk failed.
        std::optional<IdentityWords> identity;
        Clock::time_point nextTry{};
    };

    // The exchange, sent again while its frames are lost and the time allows.
    std::optional<std::vector<Datagram>> ExchangeRetried(const std::vector<Datagram>& datagrams,
                                                         size_t* frames, std::string* error);
    std::optional<uint16_t> CountNodes(size_t* frames, std::string* error);
    // The last values of each position, for a line that counts as many nodes as before;
    // fresh ones, never answered, for the rest.
    std::vector<NodeScan> Carried(size_t count, Clock::time_point now) const;
    bool ReadRegisters(std::vector<NodeScan>& nodes, size_t* frames, std::string* error);
    // Takes the nodes' places and gives them what is known of each.
    void Remember(std::vector<NodeScan>& nodes);
    // The next walk due: identity words to confirm, an SII not read, or, when recheck,
    // one node's identity words in turn.
    std::unique_ptr<SiiWalk> NextWalk(Clock::time_point now, bool recheck);
    void Finish(const SiiWalk& walk, SiiWalk::Progress progress);
    void FinishWhole(const SiiWalk& walk, SiiWalk::Progress progress);
    void Note(uint16_t position, const std::string& text);

    Master& master_;
    const std::chrono::milliseconds recheckEvery_;
    const std::chrono::milliseconds retryFor_;
    std::vector<NodeScan> last_;
    size_t lastCount_ = 0;  // what the count said for last_
    std::vector<Known> known_;
    std::unique_ptr<SiiWalk> walk_;  // the one under way
    std::vector<std::string> notes_;
    size_t recheck_ = 0;
    Clock::time_point lastRecheck_{};
    uint64_t eepromCommands_ = 0;
};

}  // namespace kestrum::ecat
