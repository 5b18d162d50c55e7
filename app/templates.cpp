#include "app/templates.h"

#include "app/resource.h"

#ifndef PELVANE_VERSION
#error "PELVANE_VERSION comes from the build"
#endif

namespace pelvane {

using namespace ui;

const DialogTemplate& MainDialogTemplate() {
    static const DialogTemplate dialogTemplate{
        .caption = "Pelvane",
        .fontFamily = "MS Shell Dlg",
        .pointSize = 9,
        .fontWeight = 0,
        .size = {554, 387},
        .styles = kResizable | kMinMaxButtons,
        .items =
            {
                {kIdcTab, ItemKind::Tab, "", {3, 39, 551, 317}, kTabButtons},
                {kIdNone, ItemKind::GroupBox, "控制器", {3, 1, 551, 38}, kNoStyle},
                {kIdNone, ItemKind::Static, "IP", {12, 17, 11, 9}, kNoStyle},
                // No auto-scroll: an address never needs more room than the field shows.
                {kIdcAddress, ItemKind::ComboBox, "", {24, 15, 95, 81}, kSorted | kTabStop},
                {kIdcConnect, ItemKind::PushButton, "连  接", {131, 14, 50, 14}, kTabStop},
                {kIdcDisconnect, ItemKind::PushButton, "断  开", {196, 14, 50, 14}, kTabStop},
                {kIdcIdentity,
                 ItemKind::Edit,
                 "",
                 {256, 12, 296, 20},
                 kReadOnly | kBorder | kAutoHScroll | kTabStop},
            },
        .initStrings = {{kIdcAddress, "192.168.0.11"}},
    };
    return dialogTemplate;
}

const DialogTemplate& AboutDialogTemplate() {
    static const DialogTemplate dialogTemplate{
        .caption = "关于 Pelvane",
        .fontFamily = "MS Shell Dlg",
        .pointSize = 9,
        .fontWeight = 0,
        .size = {170, 62},
        .styles = kNoStyle,
        .items =
            {
                {kIdNone, ItemKind::Icon, "", {14, 14, 21, 20}, kNoStyle},
                {kIdNone,
                 ItemKind::Static,
                 "Pelvane，版本 " PELVANE_VERSION,
                 {42, 14, 114, 8},
                 kNoStyle},
                {kIdNone,
                 ItemKind::Static,
                 "Copyright (C) 2026 Pelvane",
                 {42, 26, 114, 8},
                 kNoStyle},
                {kIdOk, ItemKind::PushButton, "确定", {113, 41, 50, 14}, kDefaultButton | kTabStop},
            },
        .initStrings = {},
    };
    return dialogTemplate;
}

}  // namespace pelvane
