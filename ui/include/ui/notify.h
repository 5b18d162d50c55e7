// What a control tells its dialog, for handlers bound by item id.
#pragma once

namespace pelvane::ui {

enum class Notify {
    Clicked,       // push button
    DropDown,      // combo box: before its list opens, every time, so entries can still change
    EnterPressed,  // combo box: Enter while its list is closed
    SelChange,     // tab control: the user chose another tab (never when code sets it)
};

}  // namespace pelvane::ui
