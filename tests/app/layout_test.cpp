#include "app/about_dlg.h"
#include "app/main_dlg.h"
#include "app/m_estimator_panel.h"
#include "app/norm_panel.h"
#include "app/tuning_dlg.h"
#include "editor/data_edit_dlg.h"
#include "editor/dimensions_dlg.h"
#include "platform/dialog_builder.h"
#include "plot/residual_dlg.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <gtest/gtest.h>

namespace {

// The text of every label and button must fit the rectangle the template
// gives it in the dialog font: nothing is cut off.
void ExpectTextsFit(const QWidget* dialog)
{
    for (QObject* child : dialog->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget)
            continue;
        const QString name = widget->metaObject()->className();
        if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
            EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
            EXPECT_LE(label->fontMetrics().height(), label->height() + 3) << label->text().toStdString();
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget); button && !button->text().isEmpty()) {
            const int textWidth = button->fontMetrics().horizontalAdvance(button->text().remove(QLatin1Char('&')));
            EXPECT_LE(textWidth, button->width()) << button->text().toStdString();
            if (name == QLatin1String("QRadioButton")) {
                EXPECT_LE(button->sizeHint().width(), button->width()) << button->text().toStdString();
            }
        }
    }
}

TEST(DialogLayout, MainDialogTextsFitTheirControls)
{
    CMainDlg dialog;
    ExpectTextsFit(&dialog);
    ExpectTextsFit(dialog.NormPanel());
    ExpectTextsFit(dialog.MEstimatorPanel());

    CTuningDlg tuning;
    ExpectTextsFit(&tuning);
}

TEST(DialogLayout, ResidualDialogAndAboutBoxTextsFitTheirControls)
{
    CResidualDlg residuals;
    Matrix v(21, 1, 0.0);
    for (int i = 0; i < 21; ++i)
        v(i, 0) = (i % 2 == 0 ? 1.0 : -1.0) * (0.5 + i * 0.37);
    residuals.SetResiduals(v);
    ExpectTextsFit(&residuals);
    CAboutDlg about;
    ExpectTextsFit(&about);
}

TEST(DialogLayout, DataEditorTextsFitTheirControls)
{
    CDimensionsDlg dimensions;
    ExpectTextsFit(&dimensions);
    CDataEditDlg editor;
    ExpectTextsFit(&editor);
}

TEST(DialogLayout, MainDialogControlsDoNotOverlapExceptFramesAroundThem)
{
    CMainDlg dialog;
    std::vector<QWidget*> solid;
    for (QObject* child : dialog.children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        // Group boxes and etched lines are drawn around and between controls.
        if (!widget || qobject_cast<QGroupBox*>(widget) ||
            (qobject_cast<QFrame*>(widget) && !qobject_cast<QLabel*>(widget)))
            continue;
        solid.push_back(widget);
    }
    for (std::size_t i = 0; i < solid.size(); ++i)
        for (std::size_t j = i + 1; j < solid.size(); ++j)
            EXPECT_FALSE(solid[i]->geometry().intersects(solid[j]->geometry()))
                << platform::ControlId(solid[i]) << " and " << platform::ControlId(solid[j]);
}

} // namespace
