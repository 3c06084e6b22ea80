#include "platform/file_dialog.h"

#include "platform/modal.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QHeaderView>
#include <QListView>
#include <QTreeView>

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
// Qt's file list writes sizes and dates in the desktop's regional format
// whatever the program's language ("672 bytes", "7 Dec 2026"); they are
// written here in the program's (default) locale, German.
class FileDetailsInProgramLocale : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        if (index.column() == kSizeColumn && !files->isDir(source))
            return QLocale().formattedDataSize(files->size(source));
        if (index.column() == kDateColumn)
            return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
        return QIdentityProxyModel::data(index, role);
    }

private:
    static constexpr int kSizeColumn = 1;
    static constexpr int kDateColumn = 3;
};

// Qt's dialog opens too small for its detail columns ("672...tes"): it is
// made wide enough for them, and every column but the name keeps the width
// of its widest entry as the folder's contents come in.
void FitColumns(QFileDialog& dialog)
{
    const QFontMetrics metrics(dialog.font());
    dialog.resize(metrics.averageCharWidth() * 110, metrics.lineSpacing() * 28);
    if (auto* view = dialog.findChild<QTreeView*>()) {
        QHeaderView* header = view->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    if (auto* sidebar = dialog.findChild<QListView*>(QStringLiteral("sidebar")))
        sidebar->setMinimumWidth(sidebar->sizeHintForColumn(0) + 2 * sidebar->frameWidth() + metrics.averageCharWidth());
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
    dialog.setProxyModel(new FileDetailsInProgramLocale(&dialog));
    FitColumns(dialog);
    // A wildcard name only selects the filter; there is no default name.
    if (!initialName.contains(QLatin1Char('*')))
        dialog.selectFile(initialName);
    if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace platform
