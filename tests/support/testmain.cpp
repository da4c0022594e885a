#include "app/application.h"
#include "common/boxkeys.h"
#include <gtest/gtest.h>
#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    // As the program's application does.
    qm::enterPressesFocusedButtons();
    qm::Application::showDataWaits();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
