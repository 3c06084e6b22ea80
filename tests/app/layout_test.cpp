#include "app/about_dlg.h"
#include "app/main_dlg.h"
#include "app/m_estimator_panel.h"
#include "app/norm_panel.h"
#include "app/status_dlg.h"
#include "app/tuning_dlg.h"
#include "platform/dialog_builder.h"
#include "platform/modal.h"
#include "plot/residual_dlg.h"

#include <QAbstractButton>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
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

    // Saved for a look by eye when asked for (scripts/screenshot.sh).
    const QString directory = qEnvironmentVariable("TOLVAR_SCREENSHOT_DIR");
    if (!directory.isEmpty()) {
        dialog.show();
        QTest::qWait(100);
        dialog.grab().save(QDir(directory).filePath(QStringLiteral("main_dialog.png")));
        dialog.OnFamilyEa();
        QTest::qWait(50);
        dialog.grab().save(QDir(directory).filePath(QStringLiteral("main_dialog_ea.png")));
        tuning.show();
        QTest::qWait(50);
        tuning.grab().save(QDir(directory).filePath(QStringLiteral("tuning_dialog.png")));
        CStatusDlg status(&dialog);
        status.Show();
        status.SetText("Berechnung l\xc3\xa4uft...\nIteration: 12");
        status.grab().save(QDir(directory).filePath(QStringLiteral("status_window.png")));
    }
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

    const QString directory = qEnvironmentVariable("TOLVAR_SCREENSHOT_DIR");
    if (!directory.isEmpty()) {
        {
            platform::ScopedHandler grab(platform::ModalSeam(), [&](QDialog& shown) {
                shown.show();
                QTest::qWait(100);
                shown.grab().save(QDir(directory).filePath(QStringLiteral("residual_dialog.png")));
                return int(QDialog::Accepted);
            });
            residuals.ShowModal();
        }
        about.show();
        QTest::qWait(100);
        about.grab().save(QDir(directory).filePath(QStringLiteral("about_box.png")));
    }
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
