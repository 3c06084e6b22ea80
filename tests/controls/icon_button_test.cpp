#include "controls/icon_button.h"

#include "platform/string_text.h"
#include "res/dialog_templates.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <optional>

namespace {

bool Same(const QColor& a, const QColor& b)
{
    return a.rgb() == b.rgb();
}

// Bounding box of the pixels that differ from the button's fill colour.
QRect DrawnArea(const QImage& image, const QColor& fill)
{
    QRect area;
    for (int y = 1; y < image.height() - 1; ++y)
        for (int x = 1; x < image.width() - 1; ++x)
            if (!Same(image.pixelColor(x, y), fill))
                area |= QRect(x, y, 1, 1);
    return area;
}

bool Contains(const QImage& image, const std::function<bool(const QColor&)>& test)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (test(image.pixelColor(x, y)))
                return true;
    return false;
}

// The folder icon's yellow, which only an enabled button shows.
bool Yellowish(const QColor& c)
{
    return c.red() > 180 && c.green() > 130 && c.blue() < 120;
}

class IconButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A window that appears under the cursor gets an enter event, which
        // would light the button before the test begins: earlier tests may
        // have left the cursor anywhere, so put it away from the window.
        window.setGeometry(300, 300, 200, 100);
        QCursor::setPos(QPoint(20, 20));
        button = new CIconButton(&window);
        button->setGeometry(10, 10, 30, 26);
        button->LoadIcons(res::kIconChooseFile, 0);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ASSERT_FALSE(button->IsHover());
        fill = QApplication::palette().color(QPalette::Active, QPalette::Button);
    }

    void Activate(QWidget* active)
    {
        QApplication::setActiveWindow(active);
    }

    void MoveInside(Qt::MouseButtons buttons = Qt::NoButton)
    {
        QMouseEvent move(QEvent::MouseMove, QPointF(15, 13), button->mapToGlobal(QPointF(15, 13)), Qt::NoButton,
                         buttons, Qt::NoModifier);
        QApplication::sendEvent(button, &move);
    }

    QImage Grab() { return button->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    QWidget window;
    CIconButton* button = nullptr;
    QColor fill;
};

TEST_F(IconButtonTest, IconSizeIsTheResourcesOwn)
{
    EXPECT_EQ(button->IconSize(), QSize(16, 16));
    CIconButton program;
    program.LoadIcons(res::kIconProgram, 0);
    EXPECT_EQ(program.IconSize(), QSize(32, 32));
}

TEST_F(IconButtonTest, IconCentredWithoutCaptionAndThreePixelsInWithCaption)
{
    const QRect icon = DrawnArea(Grab(), fill);
    ASSERT_TRUE(icon.isValid());
    // The 16 x 16 icon starts at (30 - 16) / 2 = 7 and (26 - 16) / 2 = 5.
    EXPECT_GE(icon.left(), 7);
    EXPECT_LE(icon.right(), 7 + 15);
    EXPECT_GE(icon.top(), 5);
    EXPECT_LE(icon.bottom(), 5 + 15);
    EXPECT_NEAR(icon.center().x(), 15, 1);

    button->setText(QStringLiteral("Rechnen"));
    button->setGeometry(10, 10, 110, 34);
    const QRect drawn = DrawnArea(Grab(), fill);
    EXPECT_GE(drawn.left(), 3);
    EXPECT_LE(drawn.left(), 3 + 2);  // the folder's outline starts within the icon's first pixels
}

TEST_F(IconButtonTest, RisesOnHoverOnlyInAnActiveProgram)
{
    const QImage rest = Grab();
    EXPECT_TRUE(Same(rest.pixelColor(0, 0), fill));  // flat: no border at rest

    Activate(nullptr);
    MoveInside();
    EXPECT_FALSE(button->IsHover());

    Activate(&window);
    MoveInside();
    ASSERT_TRUE(button->IsHover());
    const QImage raised = Grab();
    EXPECT_TRUE(Same(raised.pixelColor(0, 0), button->palette().color(QPalette::Active, QPalette::Light)));
    EXPECT_TRUE(Same(raised.pixelColor(raised.width() - 1, raised.height() - 1), button->palette().color(QPalette::Active, QPalette::Dark)));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    EXPECT_FALSE(button->IsHover());
    EXPECT_TRUE(Same(Grab().pixelColor(0, 0), fill));
}

TEST_F(IconButtonTest, EnteringWithTheLeftButtonHeldDoesNotHighlight)
{
    Activate(&window);
    MoveInside(Qt::LeftButton);
    EXPECT_FALSE(button->IsHover());
    MoveInside();
    EXPECT_TRUE(button->IsHover());
}

TEST_F(IconButtonTest, PressedSinksAndShiftsTheIconByOnePixel)
{
    Activate(&window);
    MoveInside();
    const QRect before = DrawnArea(Grab(), fill);
    QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(15, 13));
    ASSERT_TRUE(button->isDown());
    const QImage pressed = Grab();
    EXPECT_TRUE(Same(pressed.pixelColor(0, 0), button->palette().color(QPalette::Active, QPalette::Dark)));
    EXPECT_TRUE(Same(pressed.pixelColor(pressed.width() - 1, pressed.height() - 1), button->palette().color(QPalette::Active, QPalette::Light)));
    const QRect after = DrawnArea(pressed, fill);
    EXPECT_EQ(after.topLeft(), before.topLeft() + QPoint(1, 1));
    QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, QPoint(15, 13));
}

TEST_F(IconButtonTest, DisabledDrawsIconAndCaptionEmbossed)
{
    button->setText(QStringLiteral("Rechnen"));
    button->setGeometry(10, 10, 110, 34);
    EXPECT_TRUE(Contains(Grab(), Yellowish));
    const QColor dark = button->palette().color(QPalette::Active, QPalette::Dark);
    const QColor light = button->palette().color(QPalette::Active, QPalette::Light);
    const QColor text = QApplication::palette().color(QPalette::Active, QPalette::ButtonText);
    EXPECT_TRUE(Contains(Grab(), [&](const QColor& c) { return Same(c, text); }));

    button->setEnabled(false);
    const QImage disabled = Grab();
    EXPECT_FALSE(Contains(disabled, Yellowish));
    EXPECT_FALSE(Contains(disabled, [&](const QColor& c) { return Same(c, text); }));
    EXPECT_TRUE(Contains(disabled, [&](const QColor& c) { return Same(c, dark); }));
    if (!Same(light, fill)) {
        EXPECT_TRUE(Contains(disabled, [&](const QColor& c) { return Same(c, light); }));
    }
}

TEST_F(IconButtonTest, DoubleClickActsAsTwoClicks)
{
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    // What the window system delivers: press, release, double click, release.
    const QPoint at(15, 13);
    QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(button, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(clicks.count(), 2);
}

TEST_F(IconButtonTest, ColoursAreThoseOfConstructionTime)
{
    const QPalette original = QApplication::palette();
    QPalette changed = original;
    changed.setColor(QPalette::Button, QColor(200, 0, 0));
    QApplication::setPalette(changed);
    const QColor corner = Grab().pixelColor(0, 0);
    CIconButton later(&window);
    later.setGeometry(50, 10, 30, 26);
    later.show();
    const QColor laterCorner = later.grab().toImage().pixelColor(0, 0);
    QApplication::setPalette(original);
    EXPECT_TRUE(Same(corner, fill));
    EXPECT_TRUE(Same(laterCorner, QColor(200, 0, 0)));
}

TEST_F(IconButtonTest, TooltipFromTheStringTableAndOnlyWhenActive)
{
    button->SetTip(kStringTipChooseFile, true);
    EXPECT_EQ(button->toolTip(), platform::LoadText(kStringTipChooseFile));
    button->SetTip(QString(), true);  // no text: nothing changes
    EXPECT_EQ(button->toolTip(), QString::fromUtf8("Datei wählen"));
    button->SetTip(4711, true);  // id without text: nothing changes
    EXPECT_EQ(button->toolTip(), QString::fromUtf8("Datei wählen"));
    button->SetTip(QStringLiteral("Ende"), false);
    EXPECT_TRUE(button->toolTip().isEmpty());
}

} // namespace

namespace {

// Qt sends enter events to disabled widgets too; the button must stay flat.
TEST_F(IconButtonTest, DisabledButtonDoesNotRiseAndDisablingFlattensIt)
{
    Activate(&window);
    button->setEnabled(false);
    QTest::mouseMove(&window, QPoint(150, 80));
    QTest::mouseMove(&window, QPoint(25, 23));
    MoveInside();
    EXPECT_FALSE(button->IsHover());
    EXPECT_TRUE(Same(Grab().pixelColor(0, 0), fill));

    button->setEnabled(true);
    MoveInside();
    ASSERT_TRUE(button->IsHover());
    button->setEnabled(false);
    EXPECT_FALSE(button->IsHover());
    EXPECT_TRUE(Same(Grab().pixelColor(0, 0), fill));
}

} // namespace
