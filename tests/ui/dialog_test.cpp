// The dialog surface as the program uses it, the same on every backend: each test
// binary runs this file against its own backend through driver.h.
#include "ui/dialog.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "tests/ui/driver.h"
#include "tests/ui/test_dialogs.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/list_control.h"
#include "ui/message_box.h"

namespace pelvane::ui {
namespace {

using testing::Key;
using testing::kOkCancel;
using testing::kPage;
using testing::kTest;
using testing::Press;
using testing::Pump;
using testing::PumpUntil;

class RecordingDialog : public Dialog {
  public:
    explicit RecordingDialog(const DialogTemplate& dialogTemplate, Dialog* parent = nullptr)
        : Dialog(dialogTemplate, parent) {}
    int inits = 0;
    std::vector<Size> sizes;

  protected:
    bool OnInitDialog() override { return ++inits > 0; }
    void OnSize(const Size& clientSize) override { sizes.push_back(clientSize); }
};

TEST(Dialog, ItemsHaveTheirIdsKindsAndTemplatePlaces) {
    RecordingDialog dialog(kTest);
    dialog.Initialize();
    dialog.Initialize();
    EXPECT_EQ(dialog.inits, 1);
    EXPECT_EQ(dialog.Caption(), "Test");
    EXPECT_FALSE(dialog.IsShown());

    // The first item with an id keeps it; unknown ids find nothing.
    for (int id = 1000; id <= 1006; ++id) {
        ASSERT_TRUE(testing::HasItem(dialog, id)) << id;
        EXPECT_EQ(testing::SystemIdOf(dialog, id), id);
    }
    EXPECT_FALSE(testing::HasItem(dialog, 4242));
    EXPECT_FALSE(testing::HasItem(dialog, kIdNone));
    EXPECT_NE(dialog.ItemAs<TabControl>(1000), nullptr);
    EXPECT_NE(dialog.ItemAs<ListControl>(1005), nullptr);
    EXPECT_EQ(dialog.ItemAs<ComboBox>(1000), nullptr);
    EXPECT_EQ(dialog.ItemAs<TabControl>(1002), nullptr);
    EXPECT_EQ(dialog.ItemAs<ListControl>(4242), nullptr);
    EXPECT_FALSE(testing::ItemShown(dialog, 1004));

    // Our measure is the one the system laid the template out with.
    EXPECT_EQ(testing::PlaceOf(dialog, 1000), dialog.MapDialogRect({3, 40, 190, 70}));
    EXPECT_EQ(testing::PlaceOf(dialog, 1002), dialog.MapDialogRect({80, 12, 40, 14}));
    EXPECT_EQ(testing::ClientSize(dialog), DluToPixels(Size{200, 120}, dialog.baseUnits()));

    // The combo box starts sorted by our rule, with nothing typed.
    auto* combo = dialog.ItemAs<ComboBox>(1001);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->Entries(), (StringList{"Alpha", "beta"}));
    EXPECT_EQ(dialog.ItemText(1001), "");
}

TEST(Dialog, TextsRoundTripAndTheComboBoxKeepsWhatWasTyped) {
    RecordingDialog dialog(kTest);
    dialog.Initialize();
    dialog.SetCaption("Pelvane-已链接");
    EXPECT_EQ(dialog.Caption(), "Pelvane-已链接");
    EXPECT_EQ(testing::SystemCaption(dialog), "Pelvane-已链接");

    // A single-line text too long for its field shows its start, as a native edit does.
    dialog.SetItemText(1003, std::string(200, 'x') + "控制器");
    EXPECT_EQ(dialog.ItemText(1003), std::string(200, 'x') + "控制器");
    EXPECT_EQ(testing::FirstShownCharacter(dialog, 1003), 0);

    auto* combo = dialog.ItemAs<ComboBox>(1001);
    dialog.SetItemText(1001, "10.0.0.1");
    EXPECT_EQ(combo->AddString("C"), 2);
    EXPECT_EQ(combo->AddString("0.0.0.0"), 0);
    EXPECT_EQ(combo->AddString("alpha"), 2);  // after its equal
    EXPECT_EQ(combo->Entries(), (StringList{"0.0.0.0", "Alpha", "alpha", "beta", "C"}));
    EXPECT_EQ(combo->FindStringPrefix("B"), 3);
    EXPECT_EQ(combo->FindStringPrefix("x"), -1);
    EXPECT_EQ(dialog.ItemText(1001), "10.0.0.1");
}

TEST(Dialog, FocusFollowsTheTemplateAndEnterNeverClosesButEscapeDoes) {
    RecordingDialog dialog(kTest);
    dialog.Initialize();
    ASSERT_TRUE(testing::ShowActive(dialog));
    // The first tab stop has the focus: the combo box.
    EXPECT_TRUE(testing::HasFocus(dialog, 1001));
    // Past items without a tab stop and hidden ones, round to the start.
    for (int id : {1002, 1003, 1001}) {
        Press(Key::Tab);
        EXPECT_TRUE(testing::HasFocus(dialog, id)) << id;
    }
    int clicks = 0;
    int enters = 0;
    dialog.Bind(1002, Notify::Clicked, [&] { ++clicks; });
    dialog.Bind(1001, Notify::EnterPressed, [&] { ++enters; });

    // Enter in the combo box is its own event; the typed text stays out of the list.
    dialog.SetItemText(1001, "10.0.0.1");
    Press(Key::Enter);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(dialog.ItemAs<ComboBox>(1001)->Entries().size(), 2u);
    EXPECT_EQ(dialog.ItemText(1001), "10.0.0.1");
    testing::Focus(dialog, 1003);
    Press(Key::Enter);
    EXPECT_EQ(clicks, 0);
    testing::Focus(dialog, 1002);
    Press(Key::Enter);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(dialog.IsShown());
    Press(Key::Escape);
    EXPECT_FALSE(dialog.IsShown());

    // Modal: Enter in the edit presses the default button; the owner waits meanwhile.
    dialog.Show(true);
    Dialog ask(kOkCancel, &dialog);
    bool ownerWaited = false;
    testing::RunInModalLoop([&] {
        ownerWaited = testing::OwnerWaits(dialog);
        Press(Key::Enter);
    });
    EXPECT_EQ(ask.DoModal(), kIdOk);
    EXPECT_TRUE(ownerWaited);
    EXPECT_FALSE(testing::OwnerWaits(dialog));
    EXPECT_FALSE(ask.IsShown());
    testing::RunInModalLoop([] { Press(Key::Escape); });
    EXPECT_EQ(ask.DoModal(), kIdCancel);
}

TEST(Dialog, TabsNotifyOnlyTheUsersChoiceAndHostPagesBelowTheStrip) {
    RecordingDialog dialog(kTest);
    dialog.Initialize();
    ASSERT_TRUE(testing::ShowActive(dialog));
    auto* tabs = dialog.ItemAs<TabControl>(1000);
    ASSERT_NE(tabs, nullptr);
    tabs->InsertItem(0, "总线节点信息");
    tabs->InsertItem(1, "通 讯 诊  断");
    EXPECT_EQ(tabs->ItemCount(), 2);
    EXPECT_EQ(tabs->ItemText(1), "通 讯 诊  断");
    int changes = 0;
    dialog.Bind(1000, Notify::SelChange, [&] { ++changes; });
    tabs->SetCurSel(1);
    tabs->SetCurSel(0);
    Pump();
    EXPECT_EQ(changes, 0);
    testing::ClickTab(*tabs, 1);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(tabs->CurSel(), 1);

    RecordingDialog page(kPage);
    ASSERT_TRUE(page.Create(*tabs));
    EXPECT_FALSE(page.Create(*tabs));
    EXPECT_EQ(page.inits, 1);
    EXPECT_FALSE(page.IsShown());
    const Rect area = tabs->PageArea();
    EXPECT_GE(area.y, testing::StripBottom(*tabs));
    page.SetGeometry(area);
    EXPECT_EQ(page.Geometry(), area);
    page.Show(true);
    EXPECT_TRUE(page.IsShown());
    ASSERT_TRUE(PumpUntil([&] { return !page.sizes.empty(); }));
    EXPECT_EQ(page.sizes.back(), (Size{area.width, area.height}));
    // The Tab key walks through the page as through the window's own items.
    testing::Focus(dialog, 1003);
    Press(Key::Tab);
    EXPECT_TRUE(testing::HasFocus(page, 1007));
    // Escape from inside a page closes its window.
    testing::Focus(page, 1007);
    Press(Key::Escape);
    EXPECT_FALSE(dialog.IsShown());
}

TEST(Dialog, SizesReachOnSizeAndFollowSizeButMinimisingDoesNot) {
    RecordingDialog dialog(kTest);
    dialog.Initialize();
    ASSERT_TRUE(testing::ShowActive(dialog));
    dialog.sizes.clear();
    dialog.SetGeometry({40, 40, 500, 400});
    EXPECT_EQ(dialog.Geometry(), (Rect{40, 40, 500, 400}));
    ASSERT_TRUE(PumpUntil([&] { return !dialog.sizes.empty(); }));
    EXPECT_EQ(dialog.sizes, (std::vector<Size>{Size{500, 400}}));
    dialog.FollowSize(1000, kAnchorAll);
    const Rect place = dialog.MapDialogRect({3, 40, 190, 70});
    const Size client = DluToPixels(Size{200, 120}, dialog.baseUnits());
    EXPECT_EQ(testing::PlaceOf(dialog, 1000), FollowClient(place, client, {500, 400}, kAnchorAll));
    testing::Minimise(dialog);
    Pump();
    for (const Size& size : dialog.sizes) EXPECT_EQ(size, (Size{500, 400}));
}

TEST(MessageBox, HookReadsTheOpenBoxAndClosesIt) {
    RecordingDialog dialog(kTest);
    dialog.Initialize();
    dialog.Show(true);
    std::vector<OpenMessageBox> seen;
    bool ownerWaited = false;
    SetMessageBoxHook([&](const OpenMessageBox& box) {
        seen.push_back(box);
        if (seen.size() == 1) ownerWaited = testing::OwnerWaits(dialog);
        box.close();
    });
    MessageBox(&dialog, "链接失败");
    MessageBox(nullptr, "no window");
    SetMessageBoxHook({});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].caption, "Test");
    EXPECT_EQ(seen[0].text, "链接失败");
    EXPECT_EQ(seen[1].caption, testing::ProgramName());
    EXPECT_EQ(seen[1].text, "no window");
    EXPECT_TRUE(ownerWaited);
    EXPECT_FALSE(testing::OwnerWaits(dialog));
}

}  // namespace
}  // namespace pelvane::ui
