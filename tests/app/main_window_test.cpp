/** @file main_window_test.cpp
 * The main window around its fields, on Qt's offscreen platform through the program's own loop:
 * sizing. */
#include "app_driver.h"

#include "app/application.h"
#include "app/layout.h"

#include <QMenuBar>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        application_start();
        started_ = true;
        ASSERT_NE(main_window(), nullptr);
        main_window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main_window()));
    }
    void TearDown() override {
        if (started_) application_end();
    }
    ScratchDirectory scratch_;
    bool started_ = false;
};

int menu_bar_height() { return main_window()->findChild<QMenuBar*>()->height(); }

bool placed(long long gadget, const GadgetPlace& place) {
    return gadget_widget(gadget)->geometry() == QRect(place.x, place.y, place.width, place.height);
}

TEST_F(MainWindow, TheFieldsFollowTheWindowsSizeDownToItsLeast) {
    AppDriver driver;
    for (QSize size : {QSize(1300, 900), QSize(800, 600), QSize(MAIN_MIN_WIDTH, MAIN_MIN_HEIGHT)}) {
        driver.then("size the window", [size] {
            main_window()->resize(size.width(), size.height() + menu_bar_height());
            return true;
        });
        driver.then("the code editor and Help follow", [size] {
            const MainLayout layout = main_layout(size.width(), size.height(), 0);
            return placed(GADGET_CODE, layout.code) && placed(GADGET_HELP, layout.help);
        });
    }
    driver.then("the window goes no smaller", [] {
        main_window()->resize(300, 200);
        return main_window()->size() == main_window()->minimumSize();
    });
    driver.exit_program().run_application();
}

}  // namespace
