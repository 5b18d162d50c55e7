// A strictly diagnostic scan of a segment: nodes counted with a broadcast read, every
// node read by its position, identity and PDOs from the SII through the EEPROM
// interface. It writes nothing but that interface's control and address.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "master.h"
#include "registers.h"
#include "sii.h"

namespace pelvane::ecat {

struct NodeScan {
    std::array<uint8_t, kTypeBlockBytes> typeBlock{};
    uint16_t alias = 0;
    uint16_t dlStatus = 0;
    uint16_t alStatus = 0;
    uint16_t alStatusCode = 0;
    std::array<uint8_t, kErrorCounterBytes> counters{};  // 0300H-0313H
    bool siiRead = false;  // vendor and product stay 0 until it could be read
    SiiInfo sii;
    IoCounts io;
};

struct BusScan {
    std::vector<NodeScan> nodes;
    uint64_t framesSent = 0;
    uint64_t framesLost = 0;
};

class Scanner {
  public:
    explicit Scanner(Master& master) : master_(master) {}

    // One scan; none, with the reason, when a frame of it got no reply: the caller keeps
    // its last complete scan. SII contents are kept from the scan before for a node
    // that looks the same, and one node's identity words are read again each scan.
    std::optional<BusScan> Scan(std::string* error);
    // Reads every SII again: after the line was gone another one may be plugged in.
    void Forget() { last_.clear(); }

  private:
    std::optional<uint16_t> CountNodes(std::string* error);
    bool ReadRegisters(std::vector<NodeScan>& nodes, std::string* error);
    void ReadSiis(std::vector<NodeScan>& nodes);
    bool EepromOffered(uint16_t position);
    std::optional<std::vector<uint8_t>> ReadEeprom(uint16_t position, uint32_t word);
    std::optional<SiiInfo> ReadNodeSii(uint16_t position);
    bool IdentityChanged(uint16_t position, const NodeScan& node);

    Master& master_;
    std::vector<NodeScan> last_;
    size_t recheck_ = 0;
};

}  // namespace pelvane::ecat
