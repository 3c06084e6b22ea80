#include "app/about_dlg.h"

#include "app/main_dlg.h"
#include "qt_test_support.h"

#include "controls/link_static.h"
#include "platform/dialog_builder.h"
#include "platform/message_box.h"
#include "platform/shell_open.h"
#include "res/dialog_templates.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace {

using test_support::Seams;

// The template text of a control of the about box.
QString TemplateText(int id)
{
    for (const res::ControlTemplate& control : res::FindDialogTemplate(res::kDialogAbout)->controls)
        if (control.id == id)
            return QString::fromUtf8(control.text);
    return {};
}

class AboutDlgTest : public ::testing::Test {
protected:
    test_support::ShellOpenRecorder Desktop;
    test_support::MessageRecorder Recorder;
};

TEST_F(AboutDlgTest, LinksShowPlainAddressesAndTargetMail)
{
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("Info über Tolvar"));
    for (int id : {CAboutDlg::kFirstMailLink, CAboutDlg::kSecondMailLink}) {
        auto* link = platform::FindControlAs<CLinkStatic>(&about, id);
        ASSERT_NE(link, nullptr) << id;
        const QString address = TemplateText(id);
        ASSERT_TRUE(address.contains(QLatin1Char('@'))) << id;
        ASSERT_FALSE(address.startsWith(QStringLiteral("mailto:")));
        EXPECT_EQ(link->text(), address);
        EXPECT_EQ(link->Target(), QStringLiteral("mailto:") + address);
        EXPECT_EQ(link->toolTip(), QStringLiteral("mailto:") + address);
        EXPECT_FALSE(link->IsVisited());
    }
    EXPECT_EQ(about.FirstMail(), platform::FindControl(&about, CAboutDlg::kFirstMailLink));
    EXPECT_NE(about.FirstMail()->Target(), about.SecondMail()->Target());
}

TEST_F(AboutDlgTest, ClickingAnAddressOpensAMailAndReportsAFailure)
{
    CAboutDlg about;
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QTest::mouseClick(about.FirstMail(), Qt::LeftButton, {}, QPoint(2, 2));
    ASSERT_EQ(Desktop.targets.size(), 1u);
    EXPECT_EQ(Desktop.targets[0], QStringLiteral("mailto:") + TemplateText(CAboutDlg::kFirstMailLink));
    EXPECT_TRUE(about.FirstMail()->IsVisited());
    EXPECT_FALSE(about.SecondMail()->IsVisited());

    Desktop.result = platform::kNoAssociation;  // no mail program
    QTest::mouseClick(about.SecondMail(), Qt::LeftButton, {}, QPoint(2, 2));
    ASSERT_EQ(Recorder.messages.size(), 1);
    EXPECT_EQ(Recorder.messages[0], QStringLiteral("Unable to open hyperlink:\n\nThere is no application associated\n"
                                          "with the given filename extension."));
    EXPECT_FALSE(about.SecondMail()->IsVisited());
}

// The main dialog builds a new box for every showing, so its links start
// unvisited each time, whether opened by "Über..." or by the menu entry.
TEST_F(AboutDlgTest, EveryShowingStartsUnvisited)
{
    Seams seams;
    std::vector<CAboutDlg*> shown;
    seams.modal = [&](QDialog& dialog) {
        if (auto* about = dynamic_cast<CAboutDlg*>(&dialog)) {
            shown.push_back(about);
            EXPECT_FALSE(about->FirstMail()->IsVisited()) << "showing " << shown.size();
            EXPECT_FALSE(about->SecondMail()->IsVisited()) << "showing " << shown.size();
            EXPECT_EQ(about->FirstMail()->TextColour(), CLinkStatic::kUnvisitedColour);
            about->FirstMail()->MarkVisited(true);
            about->SecondMail()->MarkVisited(true);
        }
        return int(QDialog::Accepted);
    };
    CMainDlg main;
    auto* button = platform::FindControlAs<QAbstractButton>(&main, CMainDlg::kAboutButton);
    ASSERT_NE(button, nullptr);
    button->click();
    QAction* entry = nullptr;
    for (QAction* action : main.actions())
        if (action->text() == QStringLiteral("Inf&o über Tolvar..."))
            entry = action;
    ASSERT_NE(entry, nullptr);
    entry->trigger();
    ASSERT_EQ(shown.size(), 2u);
}

TEST_F(AboutDlgTest, ShowsItsPictureUnscaledAndClosesWithOk)
{
    CAboutDlg about;
    QLabel* picture = nullptr;
    for (QLabel* label : about.findChildren<QLabel*>())
        if (label->property("imageId").toInt() == res::kPictureAbout)
            picture = label;
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->pixmap().size(), QSize(250, 190));
    EXPECT_EQ(picture->size(), QSize(250, 190));

    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    auto* ok = platform::FindControlAs<QAbstractButton>(&about, CAboutDlg::kOkButton);
    ASSERT_NE(ok, nullptr);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(about.result(), QDialog::Accepted);
    EXPECT_FALSE(about.isVisible());
}

} // namespace
