#include "ui/win32/src/dialog_template_builder.h"

#include <string_view>

#include "ui/application.h"
#include "ui/win32/src/win32.h"
#include "ui/win32_access.h"

namespace pelvane::ui {
namespace {

// Predefined classes of the dialog manager, named by ordinal.
constexpr uint16_t kButtonClass = 0x0080;
constexpr uint16_t kEditClass = 0x0081;
constexpr uint16_t kStaticClass = 0x0082;
constexpr uint16_t kComboBoxClass = 0x0085;

class TemplateWriter {
  public:
    void Word(uint32_t value) { words_.push_back(static_cast<uint16_t>(value)); }
    void Dword(uint32_t value) {
        Word(value & 0xFFFF);
        Word(value >> 16);
    }
    void Text(std::string_view utf8) {
        for (wchar_t c : Widen(utf8)) Word(static_cast<uint16_t>(c));
        Word(0);
    }
    void Ordinal(uint16_t value) {
        Word(0xFFFF);
        Word(value);
    }
    void AlignDword() {
        if (words_.size() % 2 != 0) Word(0);
    }
    void Rect(const ui::Rect& rect) {
        for (int value : {rect.x, rect.y, rect.width, rect.height})
            Word(static_cast<uint16_t>(static_cast<int16_t>(value)));
    }
    std::vector<uint16_t> Take() { return std::move(words_); }

  private:
    std::vector<uint16_t> words_;
};

bool Has(uint32_t styles, uint32_t style) {
    return (styles & style) != 0;
}

DWORD EditStyle(uint32_t styles) {
    DWORD style = ES_LEFT;
    if (Has(styles, kReadOnly)) style |= ES_READONLY;
    if (Has(styles, kMultiLine))
        style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL;
    if (Has(styles, kAutoHScroll)) style |= ES_AUTOHSCROLL;
    return style;
}

// The item's class, as an ordinal or a registered name, and its window style.
DWORD ItemStyle(const ItemTemplate& item, TemplateWriter& out) {
    switch (item.kind) {
        case ItemKind::Tab:
            out.Text("SysTabControl32");
            // The pages are the tab control's children: it must not paint over them.
            return WS_CLIPCHILDREN | (Has(item.styles, kTabButtons) ? TCS_BUTTONS : 0);
        case ItemKind::GroupBox:
            out.Ordinal(kButtonClass);
            return BS_GROUPBOX;
        case ItemKind::Static:
            out.Ordinal(kStaticClass);
            return SS_LEFT;
        case ItemKind::Icon:
            out.Ordinal(kStaticClass);
            return SS_ICON;
        case ItemKind::ComboBox:
            // Our own order rather than CBS_SORT, so that both systems sort alike.
            out.Ordinal(kComboBoxClass);
            return CBS_DROPDOWN | WS_VSCROLL |
                   (Has(item.styles, kAutoHScroll) ? CBS_AUTOHSCROLL : 0);
        case ItemKind::PushButton:
            out.Ordinal(kButtonClass);
            return Has(item.styles, kDefaultButton) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        case ItemKind::Edit:
            out.Ordinal(kEditClass);
            return EditStyle(item.styles);
        case ItemKind::ListView:
            out.Text("SysListView32");
            return LVS_REPORT | LVS_SHOWSELALWAYS;
    }
    return 0;
}

void WriteItem(const ItemTemplate& item, TemplateWriter& out) {
    out.AlignDword();
    out.Dword(0);  // help id
    out.Dword(0);  // extended style
    TemplateWriter itemClass;
    DWORD style = ItemStyle(item, itemClass) | WS_CHILD | WS_GROUP;
    if (!Has(item.styles, kHidden)) style |= WS_VISIBLE;
    if (Has(item.styles, kTabStop)) style |= WS_TABSTOP;
    if (Has(item.styles, kBorder)) style |= WS_BORDER;
    out.Dword(style);
    out.Rect(item.rect);
    out.Dword(static_cast<uint32_t>(item.id));
    for (uint16_t word : itemClass.Take()) out.Word(word);
    if (item.kind == ItemKind::Icon) {
        out.Ordinal(static_cast<uint16_t>(kAppIconResource));
    } else {
        out.Text(item.text);
    }
    out.Word(0);  // no creation data
}

DWORD WindowStyle(const DialogTemplate& dialogTemplate, bool asPage) {
    const std::string_view family = dialogTemplate.fontFamily;
    // The shell font: "MS Shell Dlg" becomes the system's dialog font of today.
    DWORD style = family.starts_with("MS Shell Dlg") ? DS_SHELLFONT : DS_SETFONT;
    if (asPage) return style | WS_CHILD | DS_CONTROL;
    style |= WS_POPUP | DS_CENTER;
    if (Has(dialogTemplate.styles, kChild)) return style;
    style |= WS_CAPTION | WS_SYSMENU;
    style |= Has(dialogTemplate.styles, kResizable) ? WS_THICKFRAME : DS_MODALFRAME;
    if (Has(dialogTemplate.styles, kMinMaxButtons)) style |= WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    return style;
}

}  // namespace

std::vector<uint16_t> BuildDialogTemplate(const DialogTemplate& dialogTemplate, bool asPage) {
    TemplateWriter out;
    out.Word(1);       // version
    out.Word(0xFFFF);  // extended template
    out.Dword(0);      // help id
    out.Dword(asPage ? WS_EX_CONTROLPARENT : 0);
    out.Dword(WindowStyle(dialogTemplate, asPage));
    out.Word(static_cast<uint32_t>(dialogTemplate.items.size()));
    out.Rect({0, 0, dialogTemplate.size.width, dialogTemplate.size.height});
    out.Word(0);  // no menu
    out.Word(0);  // the dialog class
    out.Text(asPage ? "" : dialogTemplate.caption);
    out.Word(static_cast<uint32_t>(dialogTemplate.pointSize));
    out.Word(static_cast<uint32_t>(dialogTemplate.fontWeight));
    out.Word(DEFAULT_CHARSET << 8);  // not italic, then the character set
    out.Text(dialogTemplate.fontFamily);
    for (const ItemTemplate& item : dialogTemplate.items) WriteItem(item, out);
    return out.Take();
}

}  // namespace pelvane::ui
