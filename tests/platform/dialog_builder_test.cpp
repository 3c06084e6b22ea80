#include "platform/dialog_builder.h"

#include "res/control_ids.h"
#include "res/dialog_templates.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDialog>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

// Base units straight from their definition: the mean advance of the 52
// Latin letters and the font's line height.
double AverageLetterWidth(const QFont& font)
{
    const QFontMetricsF metrics(font);
    double sum = 0.0;
    for (char c = 'A'; c <= 'Z'; ++c)
        sum += metrics.horizontalAdvance(QString(QChar(c))) + metrics.horizontalAdvance(QString(QChar(c + 32)));
    return sum / 52.0;
}

TEST(DialogTemplates, EveryTemplateHasUniqueControlIdsAndFitsItsWindow)
{
    const std::set<int> expected = {100, 102, 141, 142, 144, 145, 146, 150, 151, 154, 155, 159};
    std::set<int> found;
    for (const res::DialogTemplate& dialog : res::AllDialogTemplates()) {
        found.insert(dialog.id);
        std::set<int> ids;
        for (const res::ControlTemplate& control : dialog.controls) {
            if (control.id != -1) {
                EXPECT_TRUE(ids.insert(control.id).second) << "template " << dialog.id << " id " << control.id;
            }
            EXPECT_LE(control.x + control.width, dialog.width) << "template " << dialog.id << " id " << control.id;
            EXPECT_LE(control.y + control.height, dialog.height) << "template " << dialog.id << " id " << control.id;
        }
    }
    EXPECT_EQ(found, expected);
}

TEST(DialogBuilder, PlacesControlsByTheFontsBaseUnits)
{
    QDialog dialog;
    ASSERT_TRUE(platform::BuildDialog(dialog, res::kDialogMain));
    const platform::BaseUnits units = platform::DialogBaseUnits(dialog.font());
    const double cx = units.charWidth;
    const double cy = units.charHeight;
    // The unit follows the font: the letters' mean width, widened by at most
    // half where the font's proportions need room; the height is the line's.
    const double average = AverageLetterWidth(dialog.font());
    EXPECT_GE(cx, average - 0.01);
    EXPECT_LE(cx, 1.5 * average);
    EXPECT_EQ(cy, std::ceil(QFontMetricsF(dialog.font()).height()));

    // The input edit of the main dialog sits at 61, 19 and is 134 x 12 units.
    const QRect edit = platform::FindControl(&dialog, res::main_dlg::kInputEdit)->geometry();
    EXPECT_NEAR(edit.x(), 61 * cx / 4, 0.51);
    EXPECT_NEAR(edit.y(), 19 * cy / 8, 0.51);
    EXPECT_NEAR(edit.width(), 134 * cx / 4, 1.01);
    EXPECT_NEAR(edit.height(), 12 * cy / 8, 1.01);

    // The dialog's client area is 284 x 167 units and cannot be resized.
    EXPECT_NEAR(dialog.width(), 284 * cx / 4, 0.51);
    EXPECT_NEAR(dialog.height(), 167 * cy / 8, 0.51);
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
}

TEST(DialogBuilder, AdjacentControlsShareTheirEdgeWithoutGapOrOverlap)
{
    // Rounding each edge (not each size) keeps the choose button (197+16) and
    // the edit button (214)
    // apart by exactly one unit's worth, never overlapping.
    QDialog dialog;
    platform::BuildDialog(dialog, res::kDialogMain);
    const QRect choose = platform::FindControl(&dialog, res::main_dlg::kChooseInputButton)->geometry();
    const QRect edit = platform::FindControl(&dialog, res::main_dlg::kEditInputButton)->geometry();
    EXPECT_FALSE(choose.intersects(edit));
    EXPECT_EQ(platform::MapDialogRect(&dialog, QRect(0, 0, 213, 1)).width(), choose.x() + choose.width());
}

TEST(DialogBuilder, SetsCaptionKindsAndDefaultButton)
{
    QDialog dialog;
    platform::BuildDialog(dialog, res::kDialogTuning);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Tuningkonstante"));
    auto* ok = platform::FindControlAs<QPushButton>(&dialog, res::tuning_dlg::kOkButton);
    auto* cancel = platform::FindControlAs<QPushButton>(&dialog, res::tuning_dlg::kCancelButton);
    ASSERT_TRUE(ok && cancel);
    EXPECT_TRUE(ok->isDefault());
    EXPECT_FALSE(cancel->isDefault());
    EXPECT_EQ(cancel->text(), QStringLiteral("Abbrechen"));
    EXPECT_NE(platform::FindControlAs<QLineEdit>(&dialog, res::tuning_dlg::kTuningEdit), nullptr);
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
}

TEST(DialogBuilder, WindowsWithoutSystemMenuHaveNoCloseButtonAndSizingBorderResizes)
{
    QDialog status;
    platform::BuildDialog(status, res::kDialogStatus);
    EXPECT_FALSE(status.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(status.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_EQ(status.windowTitle(), QStringLiteral("Status"));

    QDialog residual;
    platform::BuildDialog(residual, res::kDialogResidual);
    EXPECT_FALSE(residual.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_NE(residual.minimumSize(), residual.maximumSize());

    QDialog splash;
    platform::BuildDialog(splash, res::kDialogSplash);
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
}

TEST(DialogBuilder, RadioGroupsFollowTheGroupStyle)
{
    QWidget panel;
    platform::BuildDialog(panel, res::kDialogMEstimatorPanel);
    auto* andrews = platform::FindControlAs<QRadioButton>(&panel, res::m_estimator_panel::kAndrewsRadio);
    auto* welsch = platform::FindControlAs<QRadioButton>(&panel, res::m_estimator_panel::kWelschRadio);
    ASSERT_TRUE(andrews && welsch);
    ASSERT_NE(andrews->group(), nullptr);
    EXPECT_EQ(andrews->group(), welsch->group());
    EXPECT_EQ(andrews->group()->buttons().size(), 8);
    andrews->setChecked(true);
    welsch->setChecked(true);
    EXPECT_FALSE(andrews->isChecked());

    // In the main dialog each family radio is a group of its own.
    QDialog dialog;
    platform::BuildDialog(dialog, res::kDialogMain);
    auto* lp = platform::FindControlAs<QRadioButton>(&dialog, res::main_dlg::kFamilyLpRadio);
    auto* ea = platform::FindControlAs<QRadioButton>(&dialog, res::main_dlg::kFamilyEaRadio);
    ASSERT_TRUE(lp && ea);
    EXPECT_NE(lp->group(), ea->group());
    lp->setChecked(true);
    ea->setChecked(true);
    EXPECT_TRUE(lp->isChecked());
    ea->click();  // clicking a checked radio never unchecks it
    EXPECT_TRUE(ea->isChecked());
}

TEST(DialogBuilder, FactorySuppliesControlsAndLookupStaysInsideTheDialog)
{
    QDialog dialog;
    QWidget* supplied = nullptr;
    platform::BuildDialog(dialog, res::kDialogMain, [&](const res::ControlTemplate& control, QWidget* parent) {
        if (control.id != res::main_dlg::kPanelPlaceholder)
            return static_cast<QWidget*>(nullptr);
        supplied = new QWidget(parent);
        return supplied;
    });
    ASSERT_NE(supplied, nullptr);
    EXPECT_EQ(platform::FindControl(&dialog, res::main_dlg::kPanelPlaceholder), supplied);
    EXPECT_EQ(platform::ControlId(supplied), res::main_dlg::kPanelPlaceholder);
    EXPECT_EQ(supplied->geometry(), platform::MapDialogRect(&dialog, QRect(86, 64, 124, 90)));

    // A panel inside the placeholder has its own control of the placeholder's
    // id (the radio "Logistic").
    auto* panel = new QWidget(supplied);
    platform::BuildDialog(*panel, res::kDialogMEstimatorPanel);
    EXPECT_EQ(platform::FindControl(&dialog, res::main_dlg::kPanelPlaceholder), supplied);
    EXPECT_NE(platform::FindControlAs<QRadioButton>(panel, res::m_estimator_panel::kLogisticRadio), nullptr);
    EXPECT_EQ(panel->parentWidget(), supplied);
    EXPECT_FALSE(panel->isWindow());
    EXPECT_EQ(platform::FindControl(&dialog, 4711), nullptr);
    EXPECT_FALSE(platform::BuildDialog(dialog, 4711));
}

// A custom control of a registered window class is created by that class
// (the first registration stays); an unknown class gives a plain widget.
TEST(DialogBuilder, CustomControlsComeFromTheirWindowClass)
{
    class Marked : public QLabel {};
    EXPECT_TRUE(platform::RegisterWindowClass(QStringLiteral("TestMarkedCtrl"),
                                              [](QWidget*) -> QWidget* { return new Marked(); }));
    EXPECT_FALSE(platform::RegisterWindowClass(QStringLiteral("TestMarkedCtrl"), [](QWidget*) { return nullptr; }));
    const res::DialogTemplate custom{4712, "", res::kDialogChild, 100, 50, "MS Sans Serif", 8,
                                     {{7, res::ControlKind::Custom, "", 3, 6, 50, 20, res::kStyleTabStop, 0,
                                       "TestMarkedCtrl"},
                                      {8, res::ControlKind::Custom, "", 3, 30, 50, 10, res::kStyleNone, 0,
                                       "NoSuchCtrl"}}};
    QWidget dialog;
    platform::BuildDialog(dialog, custom);
    QWidget* marked = platform::FindControl(&dialog, 7);
    ASSERT_NE(dynamic_cast<Marked*>(marked), nullptr);
    EXPECT_EQ(marked->parentWidget(), &dialog);
    EXPECT_EQ(marked->geometry(), platform::MapDialogRect(&dialog, QRect(3, 6, 50, 20)));
    QWidget* plain = platform::FindControl(&dialog, 8);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(dynamic_cast<Marked*>(plain), nullptr);
}

} // namespace
