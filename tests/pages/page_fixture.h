// A page under test, linked to a simulated controller on this test's own address.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <memory>
#include <string>

#include "controller/controller_state.h"
#include "kestrum.h"
#include "kestrum_sim/simulator.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/list_control.h"
#include "ui/qt_access.h"

namespace pelvane::testing {

inline kestrum::sim::Node SimNode(int32_t vendorId, int32_t deviceId, int32_t axisCount = 0) {
    kestrum::sim::Node node;
    node.vendorId = vendorId;
    node.deviceId = deviceId;
    node.axisCount = axisCount;
    return node;
}

class PageTest : public ::testing::Test {
  protected:
    void TearDown() override { Disconnect(); }

    void StartSimulator(const char* address, kestrum::sim::Bus bus,
                        kestrum::sim::Dialect dialect = {}) {
        kestrum::sim::SimulatorOptions options;
        options.address = address;
        options.discovery = false;
        sim = std::make_unique<kestrum::sim::Simulator>(std::move(bus), options, dialect);
        std::string error;
        ASSERT_TRUE(sim->server().Start(&error)) << error;
    }
    void Connect(const char* address) { Link(address); }

  public:
    // As the main window connects.
    static void Link(const char* address) {
        ASSERT_EQ(KST_FastOpen(KST_TYPE_ETHERNET, address, 500, &g_controllerHandle), 0);
        g_commandTimeout = kDefaultCommandTimeoutMs;
        KST_SetTimeOut(g_controllerHandle, kDefaultCommandTimeoutMs);
    }
    static void Disconnect() {
        if (g_controllerHandle != nullptr) KST_Close(g_controllerHandle);
        g_controllerHandle = nullptr;
    }

  protected:
    std::unique_ptr<kestrum::sim::Simulator> sim;
};

// A window whose tab control hosts the pages under test, as the main window's does.
class PageHost {
  public:
    PageHost() { window_.Initialize(); }
    ui::TabControl& tabs() { return *window_.ItemAs<ui::TabControl>(kTabId); }
    // The window and its tab control alike.
    void Resize(const QSize& size) {
        ui::WidgetOf(window_).resize(size);
        ui::WidgetOf(tabs()).resize(size);
    }
    void Show() { window_.Show(true); }

  private:
    static constexpr int kTabId = 100;
    inline static const ui::DialogTemplate kTemplate{
        .size = {200, 100},
        .styles = ui::kResizable,
        .items = {{kTabId, ui::ItemKind::Tab, "", {0, 0, 200, 100}, ui::kNoStyle}},
        .initStrings = {}};
    ui::Dialog window_{kTemplate};
};

// The colour the list paints in the middle of a row's given column.
inline QColor RowPixel(ui::ListControl& control, int row, int column) {
    const ui::QtListControl& list = ui::WidgetOf(control);
    const QImage image = list.viewport()->grab().toImage();
    const int x = list.columnViewportPosition(column) + list.columnWidth(column) / 2;
    const int y = list.rowViewportPosition(row) + 2;
    return image.pixelColor(x, y);
}

}  // namespace pelvane::testing
