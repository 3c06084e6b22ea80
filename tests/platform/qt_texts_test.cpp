#include "platform/qt_texts.h"

#include "platform/file_dialog.h"
#include "platform/modal.h"

#include "qt_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTranslator>
#include <memory>
#include <gtest/gtest.h>

namespace {

// The entries of a menu without their shortcuts ("&Undo\tCtrl+Z").
QStringList ActionTexts(const QMenu& menu)
{
    QStringList texts;
    for (const QAction* action : menu.actions())
        if (!action->isSeparator())
            texts << action->text().section(QLatin1Char('\t'), 0, 0);
    return texts;
}

// The texts of the buttons and labels of Qt's own file dialog, as the
// program shows it.
QStringList FileDialogTexts()
{
    QStringList texts;
    platform::ScopedHandler look(platform::ModalSeam(), [&](QDialog& shown) {
        for (const QAbstractButton* button : shown.findChildren<QAbstractButton*>())
            texts << button->text();
        for (const QLabel* label : shown.findChildren<QLabel*>())
            texts << label->text();
        return int(QDialog::Rejected);
    });
    platform::ChooseFile(nullptr, platform::FileDialogMode::Open, QStringLiteral("Eingabedatei w\u00e4hlen ..."),
                         QStringLiteral("*.EIN"), QStringLiteral("Eingabedatei (*.EIN) |*.ein||"));
    return texts;
}

} // namespace

// The program installs the translation at start (the test program's main
// does the same through the same function); a second call keeps one.
TEST(GermanQtTexts, EditMenuAndFileDialogSpeakGerman)
{
    ASSERT_TRUE(platform::InstallGermanQtTexts(*qApp));
    ASSERT_TRUE(platform::InstallGermanQtTexts(*qApp));
    EXPECT_EQ(qApp->findChildren<QTranslator*>().size(), 1);

    QLineEdit edit;
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    const QStringList menuTexts = ActionTexts(*menu);
    EXPECT_TRUE(menuTexts.contains(QStringLiteral("&R\u00fcckg\u00e4ngig"))) << menuTexts.join(", ").toStdString();
    EXPECT_FALSE(menuTexts.contains(QStringLiteral("&Undo")));

    const QStringList dialogTexts = FileDialogTexts();
    EXPECT_TRUE(dialogTexts.contains(QStringLiteral("Abbrechen"))) << dialogTexts.join(", ").toStdString();
    EXPECT_FALSE(dialogTexts.contains(QStringLiteral("Cancel")));
    EXPECT_FALSE(dialogTexts.contains(QStringLiteral("Look in:")));
}
