#include "grid/cell_tip.h"
#include "grid_stand_in.h"
#include "qt_test_support.h"

#include <QApplication>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <memory>

namespace {

const QRect kTextRect(50, 40, 60, 20);  // grid client coordinates
const QRect kCell(48, 39, 64, 22);      // the hover rectangle around it

// A modal dialog (as the data editor is) holding the stand-in grid and its tip.
class CellTipTest : public ::testing::Test {
public:
    void SetUp() override
    {
        Dialog = std::make_unique<QWidget>();
        Dialog->setWindowModality(Qt::ApplicationModal);
        Dialog->resize(400, 300);
        Grid = new GridStandIn(Dialog.get());
        Grid->setGeometry(10, 10, 300, 200);
        Dialog->show();
        QApplication::setActiveWindow(Dialog.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(Dialog.get()));
        Grid->setFocus();
        ASSERT_TRUE(Tip.CreateTipWindow(Grid));
    }
    void TearDown() override { Tip.HideTip(); }

    int DisplayWidth(const QString& text) const { return Grid->fontMetrics().horizontalAdvance(' ' + text + ' '); }

    void ShowClipped()  // by 20 pixels
    {
        const QString text = QStringLiteral("123456.789012");
        Tip.ShowTip(QRect(kTextRect.topLeft(), QSize(DisplayWidth(text) - 20, 20)), text, 0, &kCell);
        ASSERT_TRUE(Tip.isVisible());
        ASSERT_EQ(QWidget::mouseGrabber(), &Tip);
    }
    bool Gone() const { return !Tip.isVisible() && !QWidget::mouseGrabber(); }

    std::unique_ptr<QWidget> Dialog;
    GridStandIn* Grid = nullptr;
    CCellTip Tip;
};

TEST_F(CellTipTest, ShowsOnlyWhenTextWithBlanksDoesNotFit)
{
    struct Case {
        QString text;
        int xOffset, spare;  // spare: rectangle width minus the display text's width
        bool shows;
    };
    const Case cases[] = {
        {"12.5", 0, 0, false}, {"12.5", 0, -1, true}, {"", 0, 0, false},
        {"abc", 3, 9, false}, {"abc", 3, 8, true},  // the offset counts three times
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString() + " " + std::to_string(c.spare));
        const QRect rect(kTextRect.topLeft(), QSize(DisplayWidth(c.text) + c.spare, 20));
        Tip.ShowTip(rect, c.text, c.xOffset);
        ASSERT_EQ(Tip.isVisible(), c.shows);
        if (c.shows) {
            const QPoint corner = Grid->mapToGlobal(rect.topLeft()) + QPoint(c.xOffset, 0);
            EXPECT_EQ(Tip.geometry(), QRect(corner, QSize(DisplayWidth(c.text) + c.xOffset, 20)));
            EXPECT_EQ(QWidget::mouseGrabber(), &Tip);
            EXPECT_EQ(QApplication::activeWindow(), Dialog.get());  // shown without activation
            EXPECT_TRUE(Grid->hasFocus());
        }
        Tip.HideTip();
        EXPECT_TRUE(Gone());
    }
}

TEST_F(CellTipTest, NeverWhileAnotherProgramIsActive)
{
    QApplication::setActiveWindow(nullptr);
    Tip.ShowTip(kTextRect, QStringLiteral("a text far too long for sixty pixels"));
    EXPECT_FALSE(Tip.isVisible());
    QApplication::setActiveWindow(Dialog.get());
    ShowClipped();
    QApplication::setActiveWindow(nullptr);  // the user switches away while it shows
    EXPECT_TRUE(Gone());
}

TEST_F(CellTipTest, StaysInsideTheHoverRectangleAndPassesTheLeavingMoveOn)
{
    ShowClipped();
    QTest::mouseMove(Grid, kCell.topLeft());  // outside the text, inside the cell
    QTest::mouseMove(Grid, kCell.bottomRight());
    EXPECT_TRUE(Tip.isVisible());
    EXPECT_FALSE(Grid->Got(QEvent::MouseMove));  // the tip holds the mouse
    const QPoint outside = kCell.bottomRight() + QPoint(1, 1);
    QTest::mouseMove(Grid, outside);
    EXPECT_TRUE(Gone());
    QApplication::processEvents();
    ASSERT_TRUE(Grid->Got(QEvent::MouseMove));
    EXPECT_EQ(Grid->Received.back().global, Grid->mapToGlobal(outside));
}

// Buttons, the wheel and a key hide the tip and reach the grid, mouse input
// at the same screen point. A press arrives at the tip's window, or through
// the grab at the dialog's; its release follows it to the grid.
TEST_F(CellTipTest, InputOnTheTipHidesItAndReachesTheGrid)
{
    enum Way { AtTheTip, ThroughTheGrab, Wheel, Key };
    const std::pair<Way, Qt::MouseButton> cases[] = {
        {AtTheTip, Qt::LeftButton}, {AtTheTip, Qt::RightButton}, {AtTheTip, Qt::MiddleButton},
        {ThroughTheGrab, Qt::LeftButton}, {ThroughTheGrab, Qt::RightButton}, {Wheel, Qt::NoButton},
        {Key, Qt::NoButton},
    };
    for (const auto& [way, button] : cases) {
        SCOPED_TRACE(int(way) * 10 + int(button));
        ShowClipped();
        const QPoint global = Tip.mapToGlobal(QPoint(5, 4));  // over the cell, inside the hover rectangle
        QWindow* window = way == ThroughTheGrab ? Dialog->windowHandle() : Tip.windowHandle();
        const QPoint local = window->mapFromGlobal(global);
        QTest::mouseMove(window, local);
        Grid->Received.clear();
        if (way == Wheel) {
            QWheelEvent wheel(local, global, {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(&Tip, &wheel);
        } else if (way == Key) {
            QTest::keyPress(Grid, Qt::Key_Down);
        } else {
            QTest::mousePress(window, button, {}, local);
        }
        EXPECT_TRUE(Gone());
        QApplication::processEvents();
        ASSERT_FALSE(Grid->Received.empty());
        const ReceivedInput& first = Grid->Received.front();
        const QEvent::Type expected = way == Wheel ? QEvent::Wheel : way == Key ? QEvent::KeyPress : QEvent::MouseButtonPress;
        EXPECT_EQ(first.type, expected);
        EXPECT_EQ(first.button, button);
        EXPECT_EQ(first.global, way == Key ? QPoint() : global);
        EXPECT_EQ(Grid->Got(QEvent::ContextMenu), button == Qt::RightButton);
        if (button != Qt::NoButton) {
            QTest::mouseRelease(window, button, {}, local);
            EXPECT_EQ(Grid->Received.back().type, QEvent::MouseButtonRelease);
        }
    }
}

} // namespace
