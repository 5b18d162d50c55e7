// Dialogs described as data: the window and its items, positions in dialog units.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/geometry.h"

namespace pelvane::ui {

enum class ItemKind {
    Tab,         // TabControl
    GroupBox,    // frame with a title; the items it frames are its siblings
    Static,      // text label
    Icon,        // the application's icon
    ComboBox,    // ComboBox
    PushButton,  // button
    Edit,        // one-line edit, or several lines with kMultiLine
    ListView,    // ListControl
};

// Item styles that change what a control does here.
enum ItemStyle : uint32_t {
    kNoStyle = 0,
    kTabStop = 1u << 0,        // reached with the Tab key; first one gets the initial focus
    kBorder = 1u << 1,         // framed
    kReadOnly = 1u << 2,       // edits
    kMultiLine = 1u << 3,      // edits: several lines
    kAutoHScroll = 1u << 4,    // edits and combo boxes: text may run past the visible width
    kSorted = 1u << 5,         // combo boxes: list kept in case-insensitive order
    kTabButtons = 1u << 6,     // tab control: tabs drawn as buttons
    kDefaultButton = 1u << 7,  // push button pressed by Enter when no other button has focus
    kHidden = 1u << 8,         // not shown when created
};

// Well-known item ids: buttons with these close their dialog.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdNone = -1;

struct ItemTemplate {
    int id = kIdNone;
    ItemKind kind = ItemKind::Static;
    const char* text = "";  // UTF-8
    Rect rect;              // dialog units
    uint32_t styles = kNoStyle;
};

// A list entry that a combo box gets while its dialog is created.
struct InitString {
    int itemId = kIdNone;
    const char* text = "";
};

enum DialogStyle : uint32_t {
    kChild = 1u << 0,          // page inside another window: no caption, no frame
    kResizable = 1u << 1,      // sizing border
    kMinMaxButtons = 1u << 2,  // minimise and maximise boxes
};

struct DialogTemplate {
    const char* caption = "";  // UTF-8
    const char* fontFamily = "MS Shell Dlg";
    int pointSize = 9;
    int fontWeight = 0;
    Size size;  // client area, dialog units
    uint32_t styles = kNoStyle;
    std::vector<ItemTemplate> items;  // template order, which is also the tab order
    std::vector<InitString> initStrings;
};

}  // namespace pelvane::ui
