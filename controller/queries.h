// Controller and node queries: commands turned into numbers and texts.
#pragma once

#include <cstdint>
#include <string>

#include "controller/result_codes.h"
#include "kestrum.h"
#include "kestrum/language/node_items.h"

namespace pelvane {

inline constexpr int kIdentityFieldSize = 128;

// Each place holds kIdentityFieldSize bytes.
int32_t GetControllerInfo(char* model, char* version, char* id);

// The three fields of GetControllerInfo, decoded; untouched when the query fails.
struct ControllerIdentity {
    std::string model, version, id;
};
int32_t ReadControllerIdentity(ControllerIdentity* identity);
// numberFound as below.
int32_t GetNodeCount(int32_t* count, bool* numberFound = nullptr);
// numberFound, when given, tells a reply that held a number from one that did not
// (both succeed); it is left alone when the query fails.
int32_t GetNodeAxisCount(KST_HANDLE handle, int32_t node, int32_t* axisCount,
                         bool* numberFound = nullptr);
int32_t GetNodeIoBase(int32_t node, int32_t* ioBase, bool* numberFound = nullptr);
int32_t GetNodeAioBase(int32_t node, int32_t* aioBase, bool* numberFound = nullptr);
// item: one of kestrum::language::NodeInfoItem.
int32_t GetNodeInfo(int32_t node, int32_t item, int32_t* value, bool* numberFound = nullptr);

// "?NODE_REGS(0,node,first,count)": count register bytes from item first into values.
// kResultNotANumber when the reply is not count bytes.
int32_t GetNodeRegisters(int32_t node, int32_t first, int32_t count, int32_t* values);

// The commands these queries send, as sent: for saying what was asked.
std::string NodeCountCommand();
std::string NodeInfoCommand(int32_t node, int32_t item);
std::string NodeRegistersCommand(int32_t node, int32_t first, int32_t count);

}  // namespace pelvane
