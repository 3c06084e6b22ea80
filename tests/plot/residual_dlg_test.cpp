#include "plot/residual_dlg.h"

#include "core/matrix.h"
#include "platform/dialog_builder.h"
#include "platform/modal.h"
#include "plot/residual_painter.h"
#include "plot/residual_plot.h"
#include "res/dialog_templates.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <vector>

namespace {

using Id = CResidualDlg::ControlId;

Matrix Vector(const std::vector<double>& values)
{
    Matrix v(static_cast<int>(values.size()), 1, 0.0);
    for (int i = 0; i < v.Rows(); ++i)
        v(i, 0) = values[static_cast<std::size_t>(i)];
    return v;
}

struct Fields {
    QString minimum;
    QString maximum;
};

// The texts of the two fields as the dialog shows them when it opens.
Fields FieldsShownFor(const Matrix& residuals)
{
    Fields fields;
    CResidualDlg dialog;
    dialog.SetResiduals(residuals);
    platform::ScopedHandler scope(platform::ModalSeam(), [&](QDialog& shown) {
        fields.minimum = platform::FindControlAs<QLineEdit>(&shown, Id::kMinimumEdit)->text();
        fields.maximum = platform::FindControlAs<QLineEdit>(&shown, Id::kMaximumEdit)->text();
        return int(QDialog::Accepted);
    });
    dialog.ShowModal();
    return fields;
}

QRect TemplateRect(const QWidget& dialog, int id)
{
    for (const res::ControlTemplate& control : res::FindDialogTemplate(res::kDialogResidual)->controls) {
        if (control.id == id)
            return platform::MapDialogRect(&dialog, QRect(control.x, control.y, control.width, control.height));
    }
    return {};
}

std::map<int, QRect> ControlGeometries(const QWidget& dialog)
{
    std::map<int, QRect> geometries;
    for (const int id : {Id::kOkButton, Id::kPlotWindow, Id::kMinimumEdit, Id::kMaximumEdit, Id::kMinimumLabel,
                         Id::kMaximumLabel})
        geometries[id] = platform::FindControl(&dialog, id)->geometry();
    return geometries;
}

} // namespace

TEST(ResidualDlg, BuiltFromItsTemplate)
{
    CResidualDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Residuen der Lösung"));
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(dialog.isSizeGripEnabled());
    EXPECT_EQ(platform::FindControl(&dialog, Id::kPlotWindow), dialog.Plot());
    ASSERT_NE(dialog.Plot(), nullptr);
    EXPECT_EQ(platform::FindControlAs<QLabel>(&dialog, Id::kMinimumLabel)->text(), "Minimales Residuum:");
    EXPECT_EQ(platform::FindControlAs<QLabel>(&dialog, Id::kMaximumLabel)->text(), "Maximales Residuum:");
    auto* ok = platform::FindControlAs<QPushButton>(&dialog, Id::kOkButton);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    for (const int id : {Id::kMinimumEdit, Id::kMaximumEdit})
        EXPECT_TRUE(platform::FindControlAs<QLineEdit>(&dialog, id)->isReadOnly());
    for (const auto& [id, geometry] : ControlGeometries(dialog))
        EXPECT_EQ(geometry, TemplateRect(dialog, id)) << id;
}

TEST(ResidualDlg, StoresACopyOfTheResiduals)
{
    CResidualDlg dialog;
    const Matrix initial = dialog.GetResiduals();
    EXPECT_EQ(initial.Rows(), 1);
    EXPECT_EQ(initial.Columns(), 1);
    EXPECT_EQ(initial(0, 0), 0.0);

    Matrix residuals = Vector({1.0, -2.0, 3.0});
    dialog.SetResiduals(residuals);
    residuals(1, 0) = 99.0;
    Matrix copy = dialog.GetResiduals();
    copy(0, 0) = 77.0;
    const Matrix stored = dialog.GetResiduals();
    ASSERT_EQ(stored.Rows(), 3);
    EXPECT_EQ(stored(0, 0), 1.0);
    EXPECT_EQ(stored(1, 0), -2.0);
    EXPECT_EQ(stored(2, 0), 3.0);
}

TEST(ResidualDlg, FieldsShowTheSmallestAndLargestMagnitude)
{
    const Fields mixed = FieldsShownFor(Vector({-3.0, 2.0}));
    EXPECT_EQ(mixed.minimum, "     2.000");
    EXPECT_EQ(mixed.maximum, "     3.000");

    const Fields zeros = FieldsShownFor(Matrix(4, 1, 0.0));
    EXPECT_EQ(zeros.minimum, "     0.000");
    EXPECT_EQ(zeros.maximum, "     0.000");

    const Fields one = FieldsShownFor(Vector({-0.0125}));
    EXPECT_EQ(one.minimum, "     0.013"); // 0.0125 is stored just above the tie
    EXPECT_EQ(one.maximum, "     0.013");

    // Wider than ten characters: the field is not cut.
    const Fields wide = FieldsShownFor(Vector({1.5, -123456789.25}));
    EXPECT_EQ(wide.minimum, "     1.500");
    EXPECT_EQ(wide.maximum, "123456789.250");
}

// Plain comparisons: a NaN never replaces a number, and one in the first
// place is never replaced.
TEST(ResidualDlg, FieldsFollowPlainComparisonsForNonFiniteResiduals)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Fields later = FieldsShownFor(Vector({1.0, nan, -3.0}));
    EXPECT_EQ(later.minimum, "     1.000");
    EXPECT_EQ(later.maximum, "     3.000");
    const Fields first = FieldsShownFor(Vector({-nan, 2.0}));
    EXPECT_EQ(first.minimum, "       nan");
    EXPECT_EQ(first.maximum, "       nan");
    const Fields infinite = FieldsShownFor(Vector({2.0, -inf}));
    EXPECT_EQ(infinite.minimum, "     2.000");
    EXPECT_EQ(infinite.maximum, "       inf");
}

TEST(ResidualDlg, EmptyOrInvalidVectorLeavesTheFieldsEmpty)
{
    for (const Matrix& residuals : {Matrix(0, 1, 0.0), Matrix(-1, 1, 0.0), Matrix(2, 0, 0.0)}) {
        const Fields fields = FieldsShownFor(residuals);
        EXPECT_TRUE(fields.minimum.isEmpty());
        EXPECT_TRUE(fields.maximum.isEmpty());
    }
}

// OK, Enter and Esc close the dialog; Enter presses OK (the default
// button) also from the read-only fields.
TEST(ResidualDlg, OkEnterAndEscapeCloseTheDialog)
{
    for (const int key : {0, int(Qt::Key_Return), int(Qt::Key_Enter), int(Qt::Key_Escape)}) {
        CResidualDlg dialog;
        dialog.SetResiduals(Vector({1.0, -1.0}));
        bool wasVisible = false;
        platform::ScopedHandler scope(platform::ModalSeam(), [&](QDialog& shown) {
            shown.show();
            wasVisible = shown.isVisible();
            if (key == 0) {
                QTest::mouseClick(platform::FindControlAs<QPushButton>(&shown, Id::kOkButton), Qt::LeftButton);
            } else {
                platform::FindControl(&shown, Id::kMinimumEdit)->setFocus();
                QTest::keyClick(&shown, Qt::Key(key));
            }
            return shown.result();
        });
        dialog.ShowModal();
        EXPECT_TRUE(wasVisible);
        EXPECT_FALSE(dialog.isVisible()) << key;
        EXPECT_EQ(dialog.result(), key == Qt::Key_Escape ? QDialog::Rejected : QDialog::Accepted) << key;
    }
}

TEST(ResidualDlg, GrowingMovesAndGrowsTheControls)
{
    CResidualDlg dialog;
    const QSize initial = dialog.size();
    dialog.show(); // the first size event only records the size
    const std::map<int, QRect> before = ControlGeometries(dialog);
    for (const auto& [id, geometry] : before)
        EXPECT_EQ(geometry, TemplateRect(dialog, id)) << id;

    const int dx = 37;
    const int dy = 23;
    dialog.resize(initial + QSize(dx, dy));
    ASSERT_EQ(dialog.size(), initial + QSize(dx, dy));
    const std::map<int, QRect> after = ControlGeometries(dialog);
    EXPECT_EQ(after.at(Id::kPlotWindow), before.at(Id::kPlotWindow).adjusted(0, 0, dx, dy));
    EXPECT_EQ(after.at(Id::kOkButton), before.at(Id::kOkButton).translated(dx, dy));
    for (const int id : {Id::kMinimumLabel, Id::kMaximumLabel, Id::kMinimumEdit, Id::kMaximumEdit})
        EXPECT_EQ(after.at(id), before.at(id).translated(0, dy)) << id;

    // Back to the initial size: everything returns to the template places.
    dialog.resize(initial);
    EXPECT_EQ(ControlGeometries(dialog), before);
}

TEST(ResidualDlg, CannotShrinkBelowTheInitialSize)
{
    CResidualDlg dialog;
    const QSize initial = dialog.size();
    EXPECT_EQ(dialog.minimumSize(), initial);
    dialog.show();
    const std::map<int, QRect> before = ControlGeometries(dialog);
    dialog.resize(initial - QSize(40, 30));
    EXPECT_EQ(dialog.size(), initial);
    EXPECT_EQ(ControlGeometries(dialog), before);
    // Wider but lower than the initial size: only the width changes.
    dialog.resize(initial.width() + 10, initial.height() - 30);
    EXPECT_EQ(dialog.size(), QSize(initial.width() + 10, initial.height()));
    EXPECT_EQ(ControlGeometries(dialog).at(Id::kOkButton), before.at(Id::kOkButton).translated(10, 0));
}

TEST(ResidualDlg, ResizedBeforeItIsShownMovesNothing)
{
    CResidualDlg dialog;
    const std::map<int, QRect> built = ControlGeometries(dialog);
    dialog.resize(dialog.size() + QSize(50, 50));
    dialog.show(); // one size event with the new size: recorded only
    EXPECT_EQ(ControlGeometries(dialog), built);
    dialog.resize(dialog.size() + QSize(5, 0));
    EXPECT_EQ(ControlGeometries(dialog).at(Id::kOkButton), built.at(Id::kOkButton).translated(5, 0));
}

// The plot reads the dialog's vector at every paint.
TEST(ResidualDlg, PlotPaintsTheDialogsResiduals)
{
    CResidualDlg dialog;
    dialog.SetResiduals(Vector({2.0, -1.0, 0.5}));
    dialog.show();
    const QSize size = dialog.Plot()->size();
    const ResidualPlotLayout layout = LayOutResidualPlot(dialog.GetResiduals(), size);
    const QImage image = dialog.Plot()->grab().toImage();
    ASSERT_EQ(image.size(), size);
    const ResidualStem& up = layout.stems[0];
    const ResidualStem& down = layout.stems[1];
    EXPECT_EQ(image.pixelColor(up.x, up.yFrom), kPlotStemColour);
    EXPECT_EQ(image.pixelColor(up.x, up.yFrom - 1), kPlotBackgroundColour);
    EXPECT_EQ(image.pixelColor(down.x, down.yFrom - 1), kPlotStemColour);
    EXPECT_EQ(image.pixelColor(layout.margin, layout.margin), kPlotFrameColour);

    dialog.SetResiduals(Vector({-2.0}));
    const ResidualPlotLayout changed = LayOutResidualPlot(dialog.GetResiduals(), size);
    const QImage repainted = dialog.Plot()->grab().toImage();
    EXPECT_EQ(repainted.pixelColor(changed.stems[0].x, changed.stems[0].yFrom - 1), kPlotStemColour);
    EXPECT_EQ(repainted.pixelColor(up.x, up.yFrom), kPlotBackgroundColour);

    // Grown with the dialog, the plot fills its new size.
    dialog.resize(dialog.size() + QSize(100, 60));
    EXPECT_EQ(dialog.Plot()->size(), size + QSize(100, 60));
    const QImage grown = dialog.Plot()->grab().toImage();
    const ResidualPlotLayout big = LayOutResidualPlot(dialog.GetResiduals(), grown.size());
    EXPECT_EQ(grown.pixelColor(big.width - big.margin, big.height - big.margin), kPlotFrameColour);
}

TEST(ResidualPlot, WithoutAResidualDialogDrawsTheEmptyPlot)
{
    CResidualPlot plot;
    plot.resize(200, 100);
    const QImage image = plot.grab().toImage();
    EXPECT_EQ(image.pixelColor(100, 50), kPlotFrameColour);
    EXPECT_EQ(image.pixelColor(100, 30), kPlotBackgroundColour);
}

// Built without a parent (as the engine does), the dialog opens centred over
// the window that is active, the program's main window.
TEST(ResidualDlg, OpensCentredOverTheActiveWindow)
{
    QWidget owner;
    owner.setGeometry(150, 120, 900, 700);
    owner.show();
    owner.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&owner));
    CResidualDlg dialog;
    QPoint centre;
    platform::ScopedHandler scope(platform::ModalSeam(), [&](QDialog& shown) {
        shown.show();
        centre = shown.frameGeometry().center();
        return int(QDialog::Accepted);
    });
    dialog.ShowModal();
    // Odd widths and heights round each axis by up to one pixel either way.
    EXPECT_LE((centre - owner.frameGeometry().center()).manhattanLength(), 4);
}
