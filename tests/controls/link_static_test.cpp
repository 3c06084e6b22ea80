#include "controls/link_static.h"

#include "platform/message_box.h"
#include "platform/shell_open.h"
#include "qt_test_support.h"

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <ostream>
#include <vector>

namespace {

// Replaces the desktop and the message box for one test.
class LinkStaticTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dialog = std::make_unique<QWidget>();
        Dialog->resize(400, 200);
    }
    void TearDown() override
    {
        // Leave no window under the cursor for the tests that follow.
        QCursor::setPos(Dialog->mapToGlobal(QPoint(-1000, -1000)));
        QApplication::processEvents();
        Dialog.reset();
    }

    CLinkStatic* MakeLink(const QString& text, unsigned style = 0, QRect geometry = QRect(10, 20, 200, 30))
    {
        auto* link = new CLinkStatic(text, style, Dialog.get());
        link->setGeometry(geometry);
        return link;
    }

    void ShowDialog()
    {
        Dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Dialog.get()));
    }

    static bool ShowsColour(QWidget* widget, const QColor& colour)
    {
        const QImage image = widget->grab().toImage();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y).rgb() == colour.rgb())
                    return true;
        return false;
    }

    // The cursor goes to pos (where the hover check looks) and the control
    // gets the move, whatever earlier tests left the cursor at.
    static void Hover(CLinkStatic* link, QPoint pos)
    {
        const QPoint global = link->mapToGlobal(pos);
        QCursor::setPos(global);
        QMouseEvent move(QEvent::MouseMove, QPointF(pos), QPointF(global), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(link, &move);
    }

    void Click(CLinkStatic* link) { QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(2, 2)); }

    test_support::ShellOpenRecorder Desktop;
    test_support::MessageRecorder Recorder;
    std::unique_ptr<QWidget> Dialog;
};

TEST_F(LinkStaticTest, ColoursFollowHoverAndVisitedState)
{
    CLinkStatic* link = MakeLink(QStringLiteral("a.link@example.org"));
    ShowDialog();
    EXPECT_EQ(link->TextColour(), QColor(0, 0, 238));
    EXPECT_EQ(link->palette().color(link->foregroundRole()), QColor(0, 0, 238));
    EXPECT_TRUE(ShowsColour(link, QColor(0, 0, 238)));
    EXPECT_FALSE(link->font().underline());

    Hover(link, QPoint(3, 3));
    ASSERT_TRUE(link->IsOver());
    EXPECT_EQ(link->palette().color(link->foregroundRole()), QColor(255, 0, 0));
    EXPECT_TRUE(ShowsColour(link, QColor(255, 0, 0)));
    EXPECT_FALSE(ShowsColour(link, QColor(0, 0, 238)));
    EXPECT_TRUE(link->font().underline());

    Click(link);  // a successful open: visited, and the click ends the hover
    EXPECT_TRUE(link->IsVisited());
    EXPECT_FALSE(link->IsOver());
    EXPECT_EQ(link->palette().color(link->foregroundRole()), QColor(85, 26, 139));
    EXPECT_TRUE(ShowsColour(link, QColor(85, 26, 139)));

    Hover(link, QPoint(4, 4));  // over it again: hover wins over visited
    EXPECT_EQ(link->palette().color(link->foregroundRole()), QColor(255, 0, 0));

    // The periodic check finds the cursor outside: visited colour, no underline.
    QCursor::setPos(link->mapToGlobal(QPoint(link->width() + 50, link->height() + 50)));
    EXPECT_TRUE(QTest::qWaitFor([link] { return !link->IsOver(); }, 2000));
    EXPECT_EQ(link->palette().color(link->foregroundRole()), QColor(85, 26, 139));
    EXPECT_FALSE(link->font().underline());
    EXPECT_TRUE(Recorder.messages.isEmpty());
}

TEST_F(LinkStaticTest, HoverStaysWhileTheCursorIsInside)
{
    CLinkStatic* link = MakeLink(QStringLiteral("inside"));
    ShowDialog();
    Hover(link, QPoint(3, 3));
    QTest::qWait(3 * CLinkStatic::kHoverCheckMs);
    EXPECT_TRUE(link->IsOver());
    EXPECT_TRUE(link->font().underline());
}

TEST_F(LinkStaticTest, TargetAndTextDefaultToEachOther)
{
    CLinkStatic* textOnly = MakeLink(QStringLiteral("https://example.org/"));
    CLinkStatic* targetOnly = MakeLink(QString());
    targetOnly->SetTarget(QStringLiteral("mailto:someone@example.org"));
    CLinkStatic* both = MakeLink(QStringLiteral("someone@example.org"));
    ShowDialog();

    EXPECT_EQ(textOnly->Target(), QStringLiteral("https://example.org/"));
    EXPECT_EQ(textOnly->toolTip(), QStringLiteral("https://example.org/"));
    EXPECT_EQ(targetOnly->text(), QStringLiteral("mailto:someone@example.org"));

    both->SetTarget(QStringLiteral("mailto:someone@example.org"));
    EXPECT_EQ(both->text(), QStringLiteral("someone@example.org"));
    EXPECT_EQ(both->toolTip(), QStringLiteral("mailto:someone@example.org"));
    EXPECT_EQ(both->cursor().shape(), Qt::PointingHandCursor);

    Click(both);
    ASSERT_EQ(Desktop.targets.size(), 1u);
    EXPECT_EQ(Desktop.targets[0], QStringLiteral("mailto:someone@example.org"));
}

// Expected sizes come from the font metrics of the underlined font and the
// label's own margins; the centring moves each edge by half the difference
// truncated toward zero.
class FitToTextTest : public LinkStaticTest {
protected:
    struct Expected {
        int textWidth;
        int textHeight;
    };
    Expected Measure(const CLinkStatic* link) const
    {
        QFont underlined = link->font();
        underlined.setUnderline(true);
        const QFontMetricsF metrics(underlined);
        return {static_cast<int>(std::ceil(metrics.horizontalAdvance(link->text()))),
                QFontMetrics(underlined).height()};
    }
    static int HalfTowardZero(int difference) { return static_cast<int>(std::trunc(difference / 2.0)); }

    CLinkStatic* MakeFramed(unsigned style, QRect geometry)
    {
        CLinkStatic* link = MakeLink(QStringLiteral("fit.me@example.org"), style, geometry);
        link->setContentsMargins(3, 4, 5, 6);  // insets: 8 across, 10 down
        link->Attach();
        return link;
    }
};

TEST_F(FitToTextTest, LeftAlignedKeepsTopLeft)
{
    CLinkStatic* link = MakeFramed(0, QRect(10, 20, 201, 31));
    const Expected text = Measure(link);
    EXPECT_EQ(link->geometry(), QRect(10, 20, text.textWidth + 8, text.textHeight + 10));
}

TEST_F(FitToTextTest, CentredKeepsTheCentre)
{
    for (int width : {201, 200, 5}) {  // odd and even differences, shrinking and growing
        CLinkStatic* link = MakeFramed(res::SS_CENTER, QRect(10, 20, width, 31));
        const Expected text = Measure(link);
        const int half = HalfTowardZero(width - (text.textWidth + 8));
        EXPECT_EQ(link->geometry(), QRect(10 + half, 20, width - 2 * half, text.textHeight + 10)) << width;
    }
}

TEST_F(FitToTextTest, RightAlignedKeepsTheRightEdge)
{
    CLinkStatic* link = MakeFramed(res::SS_RIGHT, QRect(10, 20, 201, 31));
    const Expected text = Measure(link);
    EXPECT_EQ(link->geometry().left() + link->geometry().width(), 211);
    EXPECT_EQ(link->geometry().width(), text.textWidth + 8);
}

TEST_F(FitToTextTest, CentreImageKeepsTheVerticalCentre)
{
    for (int height : {61, 4}) {
        CLinkStatic* link = MakeFramed(res::SS_CENTERIMAGE, QRect(10, 20, 201, height));
        const Expected text = Measure(link);
        const int half = HalfTowardZero(height - (text.textHeight + 10));
        EXPECT_EQ(link->geometry(), QRect(10, 20 + half, text.textWidth + 8, height - 2 * half)) << height;
    }
}

TEST_F(LinkStaticTest, FailedOpenShowsTheMessageOfItsCode)
{
    struct Case {
        int code;
        const char* text;
    };
    const Case cases[] = {
        {0, "The operating system is out\nof memory or resources."},
        {2, "The specified file was not found."},
        {26, "A sharing violation occurred. "},
        {31, "There is no application associated\nwith the given filename extension."},
        {32, "The specified dynamic-link library was not found."},
        {-1, "Unknown Error (-1) occurred."},
        {1, "Unknown Error (1) occurred."},
    };
    CLinkStatic* link = MakeLink(QStringLiteral("mailto:nobody@example.org"));
    ShowDialog();
    for (const Case& c : cases) {
        Recorder.messages.clear();
        Recorder.icons.clear();
        Desktop.result = c.code;
        Click(link);
        ASSERT_EQ(Recorder.messages.size(), 1) << c.code;
        EXPECT_EQ(Recorder.messages[0], QStringLiteral("Unable to open hyperlink:\n\n") + QString::fromUtf8(c.text));
        EXPECT_EQ(Recorder.icons[0], platform::MessageIcon::Warning);
        EXPECT_FALSE(link->IsVisited()) << "code " << c.code << " is a failure";
    }
    EXPECT_EQ(platform::OpenErrorText(33), QStringLiteral("Unknown Error (33) occurred."));
}

TEST_F(LinkStaticTest, ThirtyThreeIsTheFirstSuccess)
{
    CLinkStatic* link = MakeLink(QStringLiteral("mailto:somebody@example.org"));
    ShowDialog();
    Desktop.result = 32;
    Click(link);
    EXPECT_FALSE(link->IsVisited());
    Desktop.result = 33;
    Click(link);
    EXPECT_TRUE(link->IsVisited());
    EXPECT_EQ(Recorder.messages.size(), 1);
}

// A double click opens the target once, like a single click: its second
// press is the double click, not a new click. Only the left button clicks.
TEST_F(LinkStaticTest, DoubleClickOpensOnce)
{
    CLinkStatic* link = MakeLink(QStringLiteral("mailto:twice@example.org"));
    ShowDialog();
    // What a double click delivers: press, release, press with double click, release.
    const QPoint at(2, 2);
    QTest::mouseClick(link, Qt::LeftButton, {}, at);
    QTest::mouseDClick(link, Qt::LeftButton, {}, at);
    QTest::mouseRelease(link, Qt::LeftButton, {}, at);
    EXPECT_EQ(Desktop.targets.size(), 1u);
    QTest::mouseClick(link, Qt::RightButton, {}, QPoint(2, 2));
    EXPECT_EQ(Desktop.targets.size(), 1u);
    Click(link);
    EXPECT_EQ(Desktop.targets.size(), 2u);
}

} // namespace
