#include "app/about_dlg.h"
#include "app/m_estimator_panel.h"
#include "app/main_dlg.h"
#include "app/status_dlg.h"
#include "app/tuning_dlg.h"
#include "core/matrix.h"
#include "editor/data_edit_dlg.h"
#include "editor/data_page.h"
#include "editor/dimensions_dlg.h"
#include "grid/grid_ctrl.h"
#include "io/input_file.h"
#include "platform/dialog_builder.h"
#include "platform/tab_control.h"
#include "platform/file_dialog.h"
#include "platform/modal.h"
#include "plot/residual_dlg.h"
#include "qt_test_support.h"

#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

// Pictures of the program's windows as a window manager frames them, for a
// look by eye: scripts/screenshot.sh runs these under Xvfb with a window
// manager. Each window is checked for its frame too: a title bar, a close
// box exactly where the window has a system menu, resizing only where it
// has a sizing border, and never below its first size. Skipped unless
// TOLVAR_SCREENSHOT_DIR names the folder for the pictures.
namespace {

// What the window manager is to give a window: a close box, a sizing
// border (never below the first size) or a fixed size.
struct Frame {
    bool closeBox;
    bool resizable;
};
constexpr Frame kDialogFrame{true, false};
constexpr Frame kStatusFrame{false, false};
constexpr Frame kResidualFrame{false, true};
constexpr Frame kEditorFrame{false, true};

class Screenshots : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory = qEnvironmentVariable("TOLVAR_SCREENSHOT_DIR");
        if (directory.isEmpty() || QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "no TOLVAR_SCREENSHOT_DIR or no X server";
    }

    // Shows window, waits until the window manager has framed it, checks
    // the frame and saves the picture with title bar and border.
    void Take(QWidget& window, const QString& name, std::optional<Frame> frame = {})
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window)) << name.toStdString();
        // The platform window learns of the frame from the window manager.
        QWindow* handle = window.windowHandle();
        EXPECT_TRUE(QTest::qWaitFor([&] { return handle->frameMargins().top() > handle->frameMargins().bottom(); }))
            << name.toStdString() << ": no title bar";
        QTest::qWait(200);
        if (frame)
            ExpectFrame(window, *frame, name);
        const QRect area = QRect(test_support::XClientOrigin(window), window.size()).marginsAdded(handle->frameMargins());
        window.screen()
            ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
            .save(QDir(directory).filePath(name + QStringLiteral(".png")));
    }

    QString directory;

private:
    static QString WindowManagerProperties(const QWidget& window) { return test_support::AskX("xprop", window); }

    // The close box as the window manager allows it; the sizes as the
    // program asks the window manager for them (WM_NORMAL_HINTS).
    static void ExpectFrame(const QWidget& window, Frame frame, const QString& name)
    {
        const QString properties = WindowManagerProperties(window);
        const std::string context = name.toStdString() + "\n" + properties.toStdString();
        EXPECT_EQ(properties.contains(QLatin1String("_NET_WM_ACTION_CLOSE")), frame.closeBox) << context;
        // A window may open larger than its template (the data editor does
        // for its data), never smaller.
        const QString size = QStringLiteral("%1 by %2").arg(window.width()).arg(window.height());
        const QSize least = window.minimumSize();
        EXPECT_TRUE(least.width() <= window.width() && least.height() <= window.height()) << context;
        EXPECT_TRUE(properties.contains(QStringLiteral("program specified minimum size: %1 by %2")
                                            .arg(least.width())
                                            .arg(least.height())))
            << context;
        EXPECT_EQ(properties.contains(QStringLiteral("program specified maximum size: ") + size), !frame.resizable)
            << context;
    }
};

TEST_F(Screenshots, MainDialogTuningAndStatus)
{
    CMainDlg dialog;
    Take(dialog, QStringLiteral("main_dialog"), kDialogFrame);
    dialog.OnFamilyEa();
    Take(dialog, QStringLiteral("main_dialog_ea"));
    CTuningDlg tuning(&dialog);
    Take(tuning, QStringLiteral("tuning_dialog"), kDialogFrame);
    CStatusDlg status(&dialog);
    status.Show();
    status.SetText("Berechnung l\xc3\xa4uft...\nIteration: 12");
    Take(status, QStringLiteral("status_window"), kStatusFrame);
}

TEST_F(Screenshots, AboutBox)
{
    CAboutDlg about;
    Take(about, QStringLiteral("about_box"), kDialogFrame);
}

// 20 000 observations: more than the plot has pixel columns.
TEST_F(Screenshots, ResidualDialogOfALargeProblem)
{
    const int n = 20000;
    Matrix residuals(n, 1, 0.0);
    for (int i = 0; i < n; ++i)
        residuals(i, 0) = 0.3 * std::sin(0.7 * i) + (i % 997 == 0 ? 4.0 - i / 2500.0 : 0.0);
    CResidualDlg dialog;
    dialog.SetResiduals(residuals);
    platform::ScopedHandler shown(platform::ModalSeam(), [&](QDialog& modal) {
        Take(modal, QStringLiteral("residual_dialog_20000"), kResidualFrame);
        return int(QDialog::Accepted);
    });
    dialog.ShowModal();
}

TEST_F(Screenshots, DimensionsDialog)
{
    CDimensionsDlg dimensions;
    platform::ScopedHandler shown(platform::ModalSeam(), [&](QDialog& modal) {
        Take(modal, QStringLiteral("dimensions_dialog"), kDialogFrame);
        return int(QDialog::Rejected);
    });
    dimensions.DoModal();
}

// The editor with the stack loss data, on both pages, the second one with
// a cell being edited; then enlarged.
TEST_F(Screenshots, DataEditorOnBothPages)
{
    Matrix design, observations, weights;
    ASSERT_EQ(ReadInputFileWeightVector(TOLVAR_SOURCE_DIR "/examples/stackloss.EIN", design, observations, weights), 0);
    weights(3, 0) = 1e-07;  // shown whole, not as 0.000000
    CDataEditDlg editor;
    editor.SetData(design, observations, weights);
    platform::ScopedHandler shown(platform::ModalSeam(), [&](QDialog& modal) {
        Take(modal, QStringLiteral("data_editor_design"), kEditorFrame);
        editor.Tabs()->SetCurSel(CDataEditDlg::kObservationPage);
        editor.OnSelChange();
        CGridCtrl& grid = *editor.CurrentPage()->Grid();
        grid.SetCurrentCell({3, 1});
        QTest::keyClicks(&grid, QStringLiteral("4"));
        Take(modal, QStringLiteral("data_editor_observations"));
        modal.resize(modal.size() + QSize(120, 80));
        Take(modal, QStringLiteral("data_editor_enlarged"));
        return int(QDialog::Rejected);
    });
    editor.DoModal();
}

// Qt's own file dialog as the program sets it up, in the folder of the
// examples so that its columns have something to show.
TEST_F(Screenshots, FileDialog)
{
    platform::ScopedHandler shown(platform::ModalSeam(), [&](QDialog& modal) {
        if (auto* files = dynamic_cast<QFileDialog*>(&modal))
            files->setDirectory(QStringLiteral(TOLVAR_SOURCE_DIR "/examples"));
        Take(modal, QStringLiteral("file_dialog"));
        return int(QDialog::Rejected);
    });
    platform::ChooseFile(nullptr, platform::FileDialogMode::Open, QStringLiteral("Eingabedatei w\u00e4hlen ..."),
                         QStringLiteral("*.EIN"), QStringLiteral("Eingabedatei (*.EIN) |*.ein|Alle Dateien (*.*) |*.*||"));
}

// "Rechnen" with an output folder that does not exist: the message box
// names the output file and the reason below its message.
TEST_F(Screenshots, MessageBoxWithItsReason)
{
    QTemporaryDir dir;
    CMainDlg dialog;
    dialog.show();
    platform::FindControlAs<QLineEdit>(&dialog, CMainDlg::kInputEdit)
        ->setText(QStringLiteral(TOLVAR_SOURCE_DIR "/examples/stackloss.EIN"));
    platform::FindControlAs<QLineEdit>(&dialog, CMainDlg::kOutputEdit)
        ->setText(dir.filePath(QStringLiteral("fehlt/ergebnis.AUS")));
    dialog.OnFamilyEa();
    platform::FindControlAs<QRadioButton>(dialog.MEstimatorPanel(), CMEstimatorPanel::kHuberRadio)->click();
    int boxes = 0;
    platform::ScopedHandler shown(platform::ModalSeam(), [&](QDialog& modal) {
        EXPECT_NE(dynamic_cast<QMessageBox*>(&modal), nullptr) << "only the message box may show";
        Take(modal, QStringLiteral("message_box_reason"));
        ++boxes;
        return int(QMessageBox::Ok);
    });
    dialog.OnCompute();
    EXPECT_EQ(boxes, 1);
}

} // namespace
