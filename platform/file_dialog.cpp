#include "platform/file_dialog.h"

#include "platform/modal.h"

#include <QFileDialog>

namespace platform {

Seam<QString(const FileDialogRequest& request)>& FileDialogSeam()
{
    static Seam<QString(const FileDialogRequest& request)> seam;
    return seam;
}

namespace {
QString ConvertPatterns(const QString& patterns)
{
    QStringList converted;
    for (QString pattern : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        pattern = pattern.trimmed();
        converted << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
    }
    return converted.join(QLatin1Char(' '));
}
} // namespace

QStringList ConvertFileFilter(const QString& filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        if (description.isEmpty())
            break;  // the closing "||"
        result << QStringLiteral("%1 (%2)").arg(description, ConvertPatterns(parts[i + 1]));
    }
    return result;
}

QString ChooseFile(QWidget* parent, FileDialogMode mode, const QString& title, const QString& initialName,
                   const QString& filter)
{
    const FileDialogRequest request{mode, title, initialName, ConvertFileFilter(filter)};
    if (const auto& handler = FileDialogSeam().Handler())
        return handler(request);

    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(mode == FileDialogMode::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    // A desktop's own open dialog (GTK, portal) offers existing files only,
    // whatever the file mode says; Qt's dialog also takes a new name.
    if (mode == FileDialogMode::Open)
        dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(request.nameFilters);
    // A wildcard name only selects the filter; there is no default name.
    if (!initialName.contains(QLatin1Char('*')))
        dialog.selectFile(initialName);
    if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace platform
