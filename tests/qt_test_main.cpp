#include "platform/qt_texts.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <clocale>

// Widget tests run headless (the offscreen platform unless one is set) and,
// as the program does, with Qt's own texts in German.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    platform::InstallGermanQtTexts(application);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
