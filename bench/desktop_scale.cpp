// The desktop program at the command line's scale, run as a user runs it
// (offscreen), the modal dialogs answered with OK:
//
//   tolvar_desktop_scale compute IN.EIN OUT.AUS
//       "Rechnen" with Huber (c = 1.5): the tuning dialog, the status
//       window, the report, the residual plot painted once.
//   tolvar_desktop_scale edit IN.EIN
//       "Eingabe-Daten bearbeiten": the time until the editor's first page
//       is painted, then OK and saving; whether the file came back byte
//       for byte.
//
// Prints the times and the process's peak resident memory;
// bench/desktop_scale.sh compares the compute command with tolvar-cli.

#include "app/m_estimator_panel.h"
#include "app/main_dlg.h"
#include "app/tuning_dlg.h"
#include "editor/data_edit_dlg.h"
#include "platform/dialog_builder.h"
#include "platform/message_box.h"
#include "platform/modal.h"
#include "plot/residual_dlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>

#include <sys/resource.h>

#include <clocale>
#include <cstdio>

namespace {

long PeakResidentMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

QByteArray Contents(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every message box is printed instead of shown.
platform::ScopedHandler<void(const QString&, platform::MessageIcon, const QString&)> PrintMessages()
{
    return {platform::MessageSeam(), [](const QString& text, platform::MessageIcon, const QString& informative) {
                std::printf("message: %s %s\n", text.toUtf8().constData(), informative.toUtf8().constData());
            }};
}

void SetFileNames(CMainDlg& dialog, const QString& input, const QString& output)
{
    platform::FindControlAs<QLineEdit>(&dialog, CMainDlg::kInputEdit)->setText(input);
    platform::FindControlAs<QLineEdit>(&dialog, CMainDlg::kOutputEdit)->setText(output);
}

int Compute(const QString& input, const QString& output)
{
    CMainDlg dialog;
    dialog.show();
    SetFileNames(dialog, input, output);
    dialog.OnFamilyEa();
    platform::FindControlAs<QRadioButton>(dialog.MEstimatorPanel(), CMEstimatorPanel::kHuberRadio)->click();
    const auto messages = PrintMessages();
    const platform::ScopedHandler<int(QDialog&)> modal(platform::ModalSeam(), [](QDialog& shown) {
        if (auto* plot = dynamic_cast<CResidualDlg*>(&shown)) {
            plot->show();
            plot->grab();  // paints the plot of every residual
        }
        shown.accept();
        return shown.result();
    });
    QElapsedTimer timer;
    timer.start();
    dialog.OnCompute();
    std::printf("compute command: %.2f s, peak resident memory %ld MB\n", timer.elapsed() / 1000.0,
                PeakResidentMegabytes());
    return 0;
}

int Edit(const QString& input)
{
    const QByteArray original = Contents(input);
    CMainDlg dialog;
    dialog.show();
    SetFileNames(dialog, input, QString());
    const auto messages = PrintMessages();
    QElapsedTimer timer;
    qint64 opened = 0;
    const platform::ScopedHandler<int(QDialog&)> modal(platform::ModalSeam(), [&](QDialog& shown) {
        shown.show();
        shown.grab();  // the first page painted
        opened = timer.elapsed();
        shown.accept();
        return shown.result();
    });
    timer.start();
    dialog.OnEditData();
    const qint64 total = timer.elapsed();
    const bool same = Contents(input) == original;
    std::printf("editor open and painted: %.2f s, OK and saving: %.2f s, peak resident memory %ld MB, file %s\n",
                opened / 1000.0, (total - opened) / 1000.0, PeakResidentMegabytes(),
                same ? "byte for byte the same" : "CHANGED");
    return same ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QStringList arguments = application.arguments();
    if (arguments.size() == 4 && arguments[1] == QLatin1String("compute"))
        return Compute(arguments[2], arguments[3]);
    if (arguments.size() == 3 && arguments[1] == QLatin1String("edit"))
        return Edit(arguments[2]);
    std::fprintf(stderr, "usage: tolvar_desktop_scale compute IN.EIN OUT.AUS | edit IN.EIN\n");
    return 2;
}
