#include "app/about_dlg.h"

#include "app/main_dlg.h"
#include "app_test_util.h"

#include "app/splash_dlg.h"
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
    int OpenResult = platform::kOpenSucceeded;
    std::vector<QString> Opened;
    test_support::MessageRecorder Recorder;
    platform::ScopedHandler<int(const QString&)> opener{platform::ShellOpenSeam(), [this](const QString& target) {
                                                            Opened.push_back(target);
                                                            return OpenResult;
                                                        }};
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
    ASSERT_EQ(Opened.size(), 1u);
    EXPECT_EQ(Opened[0], QStringLiteral("mailto:") + TemplateText(CAboutDlg::kFirstMailLink));
    EXPECT_TRUE(about.FirstMail()->IsVisited());
    EXPECT_FALSE(about.SecondMail()->IsVisited());

    OpenResult = platform::kNoAssociation;  // no mail program
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

// The picture fills its control's rectangle up to the text column's frame,
// drawn at that size: its sky reaches every corner, nothing is transparent.
TEST_F(AboutDlgTest, DrawsItsPictureIntoItsRectangleAndClosesWithOk)
{
    CAboutDlg about;
    QLabel* picture = nullptr;
    QRect frame;
    for (const res::ControlTemplate& control : res::FindDialogTemplate(res::kDialogAbout)->controls)
        if (control.kind == res::ControlKind::EtchedFrame)
            frame = platform::MapDialogRect(&about, QRect(control.x, control.y, control.width, control.height));
    for (QLabel* label : about.findChildren<QLabel*>())
        if (label->property("imageId").toInt() == kPictureAbout)
            picture = label;
    ASSERT_NE(picture, nullptr);
    const QRect room = platform::MapDialogRect(&about, QRect(7, 7, 200, 117));
    EXPECT_EQ(picture->geometry().topLeft(), room.topLeft());
    EXPECT_EQ(picture->height(), room.height());
    EXPECT_EQ(frame.left() - picture->geometry().right() - 1, room.left());
    const QImage image = picture->pixmap().toImage();
    EXPECT_EQ(picture->pixmap().deviceIndependentSize().toSize(), picture->size());
    for (const QPoint corner : {QPoint(0, 0), QPoint(image.width() - 1, 0), QPoint(0, image.height() - 1),
                                QPoint(image.width() - 1, image.height() - 1)})
        EXPECT_EQ(image.pixelColor(corner).alpha(), 255) << corner.x() << "," << corner.y();

    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    auto* ok = platform::FindControlAs<QAbstractButton>(&about, 1);
    ASSERT_NE(ok, nullptr);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(about.result(), QDialog::Accepted);
    EXPECT_FALSE(about.isVisible());
}

} // namespace
