// The simulated controller and its bus, as read from a bus file.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrum/language/error_registers.h"

namespace kestrum::sim {

// The node's slave controller as a master on the segment finds it; see docs/simulator.md.
struct EscTraits {
    std::optional<double> eepromBusyMs;  // unset: 3 for an emulated EEPROM, else 0.3
    bool eepromEmulated = false;
    int32_t eepromReadBytes = 8;       // 4 or 8
    bool eepromAssignedToPdi = false;  // 0500H bit 0 at power-up
    bool pdiAccessActive = false;      // 0501H bit 0
    bool eepromChecksumError = false;
    bool eepromNotLoaded = false;
    // The EEPROM's size in Kbit (64 words each), as word 003EH tells it; addresses wrap
    // at it. Unset: the smallest power of two from 16 that holds the image.
    std::optional<int32_t> eepromKbit{};
    // About this many words of unassigned PDOs added to the TxPDO category, so that the
    // SII takes many reads; they add no I/O.
    int32_t siiPdoWords = 0;
    // What the first category's size word (0041H) claims instead of its true size.
    std::optional<int32_t> siiCategorySize{};

    // An EEPROM that did not load, or loaded with a bad checksum, configured nothing: no
    // alias, and the PDI never comes up.
    bool ConfigLoaded() const { return !eepromNotLoaded && !eepromChecksumError; }
};

inline constexpr int32_t kAlInit = 1;

// An object the node serves through CoE SDO uploads.
struct CoeObject {
    uint16_t index = 0;
    uint8_t subindex = 0;
    uint8_t bytes = 0;  // 1, 2 or 4 for a number; 0 for a text
    uint32_t value = 0;
    bool liveStatusWord = false;  // 6041H:00 given no value: the node's statusWord
    std::string text;             // a visible string
};

// The node's standard mailbox with CoE; see docs/simulator.md. Read once from the bus
// file and shared, so that copying a node for every frame stays cheap.
struct CoeMailbox {
    std::vector<CoeObject> objects;
    int32_t delayMs = 2;               // from taking a request to its reply
    bool stale = false;                // a reply for another object sits in SM1 at start
    int32_t lastCounter = 0;           // the previous master's last counter, 0 for none
    std::optional<uint16_t> sm0Start;  // unset: where the SII says
};

// A drive's status word (CiA 402), the object SDO reads of a drive answer.
inline constexpr uint16_t kStatusWordObject = 0x6041;

// A node's error registers 300H..313H by offset from 300H.
using ErrorRegisters = std::array<int32_t, language::kErrorRegisterCount>;

// Where a node hangs on the bus: a node before it and that node's slave-controller port
// (1 to 3; port 0 faces the master). Bus files name ports as our texts do, one higher.
struct Upstream {
    int32_t node = 0;
    int32_t escPort = 1;
};

struct Node {
    int32_t vendorId = 0;
    int32_t deviceId = 0;
    int32_t switchNo = 0;
    int32_t axisCount = 0;
    int32_t ioBase = 0;
    int32_t inputCount = 0;
    int32_t outputCount = 0;
    int32_t aioBase = 0;
    int32_t adCount = 0;
    int32_t daCount = 0;
    int32_t revision = 0;        // SII words 000CH-000DH
    bool revisionGiven = false;  // ?NODE_INFO item 2 answers it only then
    int32_t serial = 0;          // SII words 000EH-000FH
    // The error registers 300H to 313H by offset (kestrum/language/error_registers.h):
    // the window's four (300H to 303H) take any 32-bit count, as the controller the window
    // was made for counts them; the others are 8-bit as on the ESC, and the PDI error code
    // (30EH, 30FH) stays 0.
    ErrorRegisters counters{};
    int32_t statusWord = 0;  // object 6041H, drives only
    // Faults from the bus file; see docs/simulator.md.
    double counterRate[2] = {0.0, 0.0};  // per second, for port 0 (300H/301H) and port 1
    EscTraits esc;
    int32_t alState = kAlInit;  // 1, 2, 3, 4 or 8
    bool alError = false;
    int32_t alStatusCode = 0;  // 0..FFFFH
    // 0130H bit 5: the node answered an ID request and 0134H holds its switchNo.
    bool alDeviceId = false;
    // Unset: the previous node's port 1, as on a line.
    std::optional<Upstream> upstream;
    // Unset: the node has no mailbox.
    std::shared_ptr<const CoeMailbox> coe;
};

// Where node i hangs; node 0 hangs on the master and has none.
inline Upstream UpstreamOf(const std::vector<Node>& nodes, std::size_t i) {
    return nodes[i].upstream.value_or(Upstream{static_cast<int32_t>(i) - 1, 1});
}

struct Bus {
    std::string model = "KSM464";
    std::string versionDate = "20261101";
    std::string serialNumber = "00000001";
    std::vector<Node> nodes;
    int32_t lostCount = 0;
    double lostRate = 0.0;  // lost count per second
    int32_t latencyMs = 0;  // added to every reply from the start
};

// The node fields that a bus file and "@SIM SET" name, but for the counters; nullptr for
// an unknown name.
int32_t* NodeField(Node& node, std::string_view name);
// The error register "@SIM SET" names, by address ("300H", "30AH") or by the bus file's
// names ("errorCounters[0]", "forwardedErrors[1]", "puErrors", ...): its offset from
// 300H; nullopt for another name and for the PDI error code.
std::optional<int> NodeCounter(std::string_view name);
// The window's four registers take any 32-bit count, the others 0 to 255.
constexpr bool CounterTakes(int reg, int32_t value) {
    return reg < language::kWindowRegisterCount || (value >= 0 && value <= 0xFF);
}

// Sets one of the node's segment fields ("esc.eepromBusyMs", ..., "alState", "alError",
// "alStatusCode", "alDeviceId") from its text form; false and a reason for a bad value.
// IsSegmentField tells whether a name is one of them.
bool IsSegmentField(std::string_view name);
bool SetSegmentField(Node& node, std::string_view name, std::string_view text, std::string* error);
// An AL state by its name ("INIT", "PREOP", "BOOT", "SAFEOP", "OP"); nullopt for another.
std::optional<int32_t> AlStateOf(std::string_view text);

// Reads a bus file (JSON). nullopt and a reason when it cannot be used.
std::optional<Bus> LoadBusFile(const std::string& path, std::string* error = nullptr);
std::optional<Bus> ParseBus(const std::string& json, std::string* error = nullptr);

}  // namespace kestrum::sim
