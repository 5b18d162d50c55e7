#include <gtest/gtest.h>

#include "ui/application.h"

int main(int argc, char** argv) {
    pelvane::ui::Application application(argc, argv, "pelvane_ui_win32_tests");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
