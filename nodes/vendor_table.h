// Display names of EtherCAT vendors, as the two node lists show them.
#pragma once

#include <cstdint>
#include <string>

namespace pelvane {

// Room both node lists give a name.
inline constexpr int kVendorNameSize = 128;

// Copies the GBK display name for vendorId into name (zero-terminated); an ID without
// a row of its own gets the default name. A null name writes nothing.
void LookupVendorName(int32_t vendorId, char* name);

// The same name in UTF-8, for programs that print it.
std::string VendorNameUtf8(int32_t vendorId);

}  // namespace pelvane
