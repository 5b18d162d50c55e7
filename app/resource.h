// Item, command and string ids of the program's dialogs.
#pragma once

#include <cstdint>

namespace pelvane {

// Main dialog items.
inline constexpr int kIdcTab = 1000;
inline constexpr int kIdcAddress = 1001;
inline constexpr int kIdcConnect = 1002;
inline constexpr int kIdcDisconnect = 1003;
inline constexpr int kIdcIdentity = 1004;

// The About entry of the system menu; the low four bits belong to the window system.
inline constexpr uint32_t kIdmAboutBox = 0x0010;

// The About entry's text in the background menu.
inline constexpr const char* kAboutMenuText = "关于 Pelvane(&A)...";

}  // namespace pelvane
