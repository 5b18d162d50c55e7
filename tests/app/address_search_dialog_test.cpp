// The network search of the Address box. It sees every simulator on the machine, so it
// runs alone, and it broadcasts, so only where nothing but loopback is up.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QTest>
#include <memory>

#include "app/pelvane_dlg.h"
#include "app/resource.h"
#include "controller/controller_state.h"
#include "kestrum_sim/simulator.h"
#include "tests/support/loopback_only.h"
#include "ui/controls.h"
#include "ui/qt_access.h"

namespace pelvane {
namespace {

std::unique_ptr<kestrum::sim::Simulator> StartSimulator(const char* address) {
    kestrum::sim::SimulatorOptions options;
    options.address = address;
    auto sim = std::make_unique<kestrum::sim::Simulator>(kestrum::sim::Bus{}, options);
    std::string error;
    EXPECT_TRUE(sim->server().Start(&error)) << error;
    return sim;
}

TEST(AddressSearch, AddsEachControllerOnceBeforeTheListOpensAndKeepsIt) {
    PELVANE_REQUIRE_PRIVATE_NETWORK();
    CPelvaneDlg dialog;
    dialog.Initialize();
    ui::WidgetOf(dialog).show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ui::WidgetOf(dialog)));
    auto* box = &ui::WidgetOf(*dialog.ItemAs<ui::ComboBox>(kIdcAddress));
    ui::StringList whenOpening;
    bool listWasOpen = true;
    // Connected after the dialog's own handler, so it sees the search's result.
    QObject::connect(box, &ui::QtComboBox::dropDown, [&] {
        whenOpening = box->Entries();
        listWasOpen = box->view()->isVisible();
    });
    const auto openAndClose = [box] {
        box->showPopup();
        box->hidePopup();
    };
    // Nothing found leaves the list as it was.
    openAndClose();
    EXPECT_EQ(box->Entries(), ui::StringList{"192.168.0.11"});

    auto first = StartSimulator("127.0.0.3");
    auto second = StartSimulator("127.0.0.2");
    box->setEditText("typed");
    openAndClose();
    const ui::StringList expected{"127.0.0.2", "127.0.0.3", "192.168.0.11"};
    EXPECT_EQ(whenOpening, expected);
    EXPECT_FALSE(listWasOpen);
    EXPECT_EQ(box->currentText(), "typed");
    openAndClose();
    EXPECT_EQ(box->Entries(), expected);
    // No link is opened by a search.
    EXPECT_EQ(first->server().AcceptedLinks(), 0u);
    EXPECT_EQ(g_controllerHandle, nullptr);

    // Controllers that stop answering stay in the list.
    first.reset();
    second.reset();
    openAndClose();
    EXPECT_EQ(box->Entries(), expected);
}

}  // namespace
}  // namespace pelvane
