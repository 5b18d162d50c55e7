// Objects read through the nodes' standard mailboxes by CoE SDO upload, by the rules the
// slave controllers keep: a full SM1 is read and set aside before a request; the request
// is written whole into SM0, again while the node has not taken the last one; the reply
// is awaited on SM1's status and read whole; a reply whose read was lost is asked for
// again with the repeat request; and only an answer to the question asked is taken.
// One request per node at a time; each step is one exchange for all of them, so the
// caller decides when mailbox traffic may use the line. Every wait is bounded by time.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ecat/coe.h"
#include "ecat/master.h"
#include "ecat/scan.h"

namespace kestrum::ecat {

struct SdoOutcome {
    using Clock = std::chrono::steady_clock;
    enum class Kind {
        kValue,     // value holds the object, 1 to 4 bytes little-endian
        kNotAsked,  // the node's state or set-up keeps its mailbox shut: nothing was sent
        kAnswered,  // the node answered with an abort, a mailbox error or what is no value
        kNoAnswer,  // the node did not answer in time
    };
    uint16_t position = 0;
    SdoAddress object;
    Kind kind = Kind::kNoAnswer;
    uint32_t value = 0;
    std::string why;  // for all but kValue
    Clock::time_point at{};
};

struct TimedEmergency {
    Emergency emergency;
    std::chrono::steady_clock::time_point at;
};

class Mailboxes {
  public:
    using Clock = std::chrono::steady_clock;
    // How long a node may leave its mailbox full before it takes a request, and how long
    // a request taken may go unanswered.
    static constexpr std::chrono::milliseconds kTakeWait{100};
    static constexpr std::chrono::milliseconds kAnswerWait{100};
    // A first request may repeat the previous master's last counter and be dropped: with
    // no answer this soon it goes again with the next counter.
    static constexpr std::chrono::milliseconds kFirstAnswerWait{30};
    static constexpr std::size_t kEmergenciesKept = 8;

    explicit Mailboxes(Master& master) : master_(master) {}

    // The nodes as the latest scan has them: a node gone or replaced loses its mailbox
    // state, and a transfer under way at its place is dropped. True when that happened.
    bool Follow(const BusScan& scan);
    // Starts an upload at position unless one is under way there or no such node is known.
    bool Start(uint16_t position, SdoAddress object, Clock::time_point now);
    bool Busy(uint16_t position) const;
    bool Active() const;
    // Every transfer under way waits on its node: polling at once would find nothing new.
    bool Waiting() const;
    // One exchange for every transfer under way, replies awaited until waitUntil at most;
    // the outcomes of those that ended.
    std::vector<SdoOutcome> Step(Clock::time_point waitUntil);

    // The last kEmergenciesKept emergencies of each node that sent any, by position.
    std::map<uint16_t, std::deque<TimedEmergency>> emergencies() const;
    // What was set aside or given up since the last call, for -v.
    std::vector<std::string> TakeNotes() { return std::exchange(notes_, {}); }
    uint64_t framesSent() const { return framesSent_; }
    uint64_t emergenciesSeen() const { return emergenciesSeen_; }

  private:
    enum class Phase { kCheck, kDrain, kWrite, kAwait, kRead, kRepeat, kRepeatAck };
    struct Transfer {
        SdoAddress object;
        Phase phase = Phase::kCheck;
        uint8_t counter = 0;
        bool counterResent = false;
        bool nodeFull = false;  // the node has not taken our last write
        Clock::time_point began, takenAt;
    };
    struct Node {
        std::array<uint8_t, kTypeBlockBytes> typeBlock{};
        uint32_t vendorId = 0, productCode = 0, serial = 0;
        bool siiRead = false;
        SiiFault siiFault = SiiFault::kNone;
        uint16_t protocols = 0;
        MailboxArea area;
        uint8_t lastCounter = 0;    // 0: no request sent yet
        bool counterKnown = false;  // the node has answered one of our counters
        std::optional<Transfer> transfer;
        std::deque<TimedEmergency> emergencies;
    };

    std::vector<Datagram> Datagrams(uint16_t position, const Node& node) const;
    // Takes a step's replies (none when its frame was lost); an outcome when it ended.
    std::optional<SdoOutcome> Advance(uint16_t position, Node& node,
                                      const std::optional<std::vector<Datagram>>& replies,
                                      Clock::time_point now);
    std::optional<SdoOutcome> Checked(uint16_t position, Node& node,
                                      const std::vector<Datagram>& replies);
    std::optional<SdoOutcome> Read(uint16_t position, Node& node, const Datagram& reply,
                                   Clock::time_point now);
    std::optional<SdoOutcome> Waited(uint16_t position, Node& node, Clock::time_point now);
    // Keeps an emergency, or notes what else is set aside; false for neither.
    bool SetAside(uint16_t position, Node& node, const MailboxReply& reply, Clock::time_point now);
    void NextRequest(Node& node);
    SdoOutcome End(uint16_t position, Node& node, SdoOutcome::Kind kind, std::string why,
                   Clock::time_point now);

    Master& master_;
    std::vector<Node> nodes_;
    std::vector<std::string> notes_;
    uint64_t framesSent_ = 0;
    uint64_t emergenciesSeen_ = 0;
};

}  // namespace kestrum::ecat
