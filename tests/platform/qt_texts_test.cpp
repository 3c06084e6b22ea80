#include "platform/qt_texts.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTranslator>
#include <gtest/gtest.h>

#include <memory>

// The program installs the translation at start; the test program's main
// does the same through the same function, and a second call keeps one.
TEST(GermanQtTexts, EditFieldContextMenuSpeaksGerman)
{
    ASSERT_TRUE(platform::InstallGermanQtTexts(*qApp));
    ASSERT_TRUE(platform::InstallGermanQtTexts(*qApp));
    EXPECT_EQ(qApp->findChildren<QTranslator*>().size(), 1);

    QLineEdit edit;
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    ASSERT_FALSE(menu->actions().isEmpty());
    // "&Undo\tCtrl+Z" without its shortcut
    EXPECT_EQ(menu->actions().constFirst()->text().section(QLatin1Char('\t'), 0, 0),
              QStringLiteral("&R\u00fcckg\u00e4ngig"));
}
