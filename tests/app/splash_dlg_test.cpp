#include "app/splash_dlg.h"

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QWindow>
#include <gtest/gtest.h>

#include <vector>

namespace {

// Restores the real wait after each test.
class SplashDlgTest : public ::testing::Test {
protected:
    void TearDown() override { CSplashDlg::SetWait({}); }
};

TEST_F(SplashDlgTest, IsItsPictureWithoutCaption)
{
    CSplashDlg splash;
    EXPECT_EQ(splash.size(), QSize(399, 304));
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    const QList<QLabel*> pictures = splash.findChildren<QLabel*>();
    ASSERT_EQ(pictures.size(), 1);
    EXPECT_EQ(pictures[0]->property("imageId").toInt(), kPictureSplash);
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
    CSplashDlg::SetWait([&](int milliseconds) {
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

} // namespace
