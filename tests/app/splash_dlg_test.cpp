#include "app/splash_dlg.h"

#include "app/main_app.h"
#include "app/main_dlg.h"
#include "qt_test_support.h"
#include "res/dialog_templates.h"

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QApplication>
#include <QWindow>
#include <gtest/gtest.h>

#include <vector>

namespace {

using test_support::Seams;

// Restores the real wait after each test.
class SplashDlgTest : public ::testing::Test {
protected:
    void TearDown() override { CSplashDlg::WaitSeam().Install({}); }
};

TEST_F(SplashDlgTest, IsItsPictureWithoutCaption)
{
    CSplashDlg splash;
    EXPECT_EQ(splash.size(), QSize(399, 304));
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    const QList<QLabel*> pictures = splash.findChildren<QLabel*>();
    ASSERT_EQ(pictures.size(), 1);
    EXPECT_EQ(pictures[0]->property("imageId").toInt(), res::kPictureSplash);
    EXPECT_EQ(pictures[0]->pixmap().size(), QSize(399, 304));
    EXPECT_EQ(pictures[0]->geometry(), QRect(0, 0, 399, 304));
}

TEST_F(SplashDlgTest, StartShowsPaintedCentredThenHides)
{
    CSplashDlg splash;
    std::vector<int> waits;
    bool visibleDuringWait = false;
    bool exposedDuringWait = false;
    QImage shown;
    CSplashDlg::WaitSeam().Install([&](int milliseconds) {
        waits.push_back(milliseconds);
        visibleDuringWait = splash.isVisible();
        exposedDuringWait = splash.windowHandle() && splash.windowHandle()->isExposed();
        shown = splash.grab().toImage();
    });
    splash.ShowForStart();

    EXPECT_EQ(waits, std::vector<int>{2000});
    EXPECT_TRUE(visibleDuringWait);
    EXPECT_TRUE(exposedDuringWait);
    EXPECT_FALSE(splash.isVisible());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LE(std::abs(splash.geometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(splash.geometry().center().y() - screen.center().y()), 1);
    // The picture, not an empty window: its corner is the dark top of the sky.
    ASSERT_FALSE(shown.isNull());
    const QColor corner = shown.pixelColor(1, 1);
    EXPECT_LT(corner.lightness(), 100);
}

template <class T>
std::vector<T*> TopLevel()
{
    std::vector<T*> found;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* typed = dynamic_cast<T*>(widget))
            found.push_back(typed);
    return found;
}

// The start-up: the picture shows (and no main dialog exists) during the
// wait; the main dialog runs after it is hidden; at the end both are gone.
TEST_F(SplashDlgTest, StartUpShowsThePictureBeforeTheMainDialog)
{
    Seams seams;
    std::vector<int> waits;
    bool splashShownAlone = false;
    CSplashDlg::WaitSeam().Install([&](int milliseconds) {
        waits.push_back(milliseconds);
        const std::vector<CSplashDlg*> splashes = TopLevel<CSplashDlg>();
        splashShownAlone = splashes.size() == 1 && splashes[0]->isVisible() && TopLevel<CMainDlg>().empty();
    });
    bool mainDialogAfterSplash = false;
    seams.modal = [&](QDialog& dialog) {
        const std::vector<CSplashDlg*> splashes = TopLevel<CSplashDlg>();
        mainDialogAfterSplash = dynamic_cast<CMainDlg*>(&dialog) != nullptr && splashes.size() == 1 &&
                                !splashes[0]->isVisible();
        return int(QDialog::Rejected);
    };

    EXPECT_FALSE(CMainApp::InitInstance());
    EXPECT_EQ(waits, std::vector<int>{CSplashDlg::kShowMs});
    EXPECT_EQ(CSplashDlg::kShowMs, 2000);
    EXPECT_TRUE(splashShownAlone);
    EXPECT_TRUE(mainDialogAfterSplash);
    EXPECT_EQ(seams.modalCount, 1);
    EXPECT_TRUE(TopLevel<CSplashDlg>().empty());
    EXPECT_TRUE(TopLevel<CMainDlg>().empty());
}

} // namespace
