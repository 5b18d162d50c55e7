// The network search of the Address box. It sees every simulator on the machine, so it
// runs alone, and it broadcasts, so only where nothing but loopback is up.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QTest>
#include <memory>

#include "controller_state.h"
#include "kestrum_sim/simulator.h"
#include "loopback_only.h"
#include "pelvane_dlg.h"
#include "resource.h"
#include "ui/controls.h"

namespace pelvane {
namespace {

std::unique_ptr<kestrum::sim::Simulator> StartSimulator(const char* address) {
    kestrum::sim::SimulatorOptions options;
    options.address = address;
    auto sim = std::make_unique<kestrum::sim::Simulator>(kestrum::sim::Bus{}, options);
    std::string error;
    EXPECT_TRUE(sim->Start(&error)) << error;
    return sim;
}

class AddressSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        dialog.Initialize();
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        box = dialog.ItemAs<ui::ComboBox>(kIdcAddress);
    }

    void OpenAndCloseList() {
        box->showPopup();
        box->hidePopup();
    }

    CPelvaneDlg dialog;
    ui::ComboBox* box = nullptr;
};

TEST_F(AddressSearch, AddsEachControllerOnceBeforeTheListOpens) {
    PELVANE_REQUIRE_PRIVATE_NETWORK();
    auto first = StartSimulator("127.0.0.3");
    auto second = StartSimulator("127.0.0.2");

    QStringList whenOpening;
    bool listWasOpen = true;
    // Connected after the dialog's own handler, so it sees the search's result.
    QObject::connect(box, &ui::ComboBox::dropDown, [&] {
        whenOpening = box->Entries();
        listWasOpen = box->view()->isVisible();
    });
    box->setEditText("typed");
    OpenAndCloseList();
    const QStringList expected{"127.0.0.2", "127.0.0.3", "192.168.0.11"};
    EXPECT_EQ(whenOpening, expected);
    EXPECT_FALSE(listWasOpen);
    EXPECT_EQ(box->Entries(), expected);
    EXPECT_EQ(box->currentText(), "typed");

    OpenAndCloseList();
    EXPECT_EQ(box->Entries(), expected);
    // No link is opened by a search.
    EXPECT_EQ(first->AcceptedLinks(), 0u);
    EXPECT_EQ(g_controllerHandle, nullptr);
}

TEST_F(AddressSearch, NothingFoundLeavesTheListAsItWas) {
    PELVANE_REQUIRE_PRIVATE_NETWORK();
    OpenAndCloseList();
    EXPECT_EQ(box->Entries(), QStringList{"192.168.0.11"});
    {
        auto sim = StartSimulator("127.0.0.2");
        OpenAndCloseList();
    }
    // Controllers that stop answering stay in the list.
    OpenAndCloseList();
    EXPECT_EQ(box->Entries(), (QStringList{"127.0.0.2", "192.168.0.11"}));
}

}  // namespace
}  // namespace pelvane
