#include "platform/message_box.h"

#include "platform/modal.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QStyle>

#include <algorithm>

namespace platform {

namespace {

// A file name reads best on one line. A message box is as wide as its main
// text, so one with a longer informative line gets a spacer as wide as that
// line; the box itself keeps its width within the screen and wraps the rest.
void FitInformativeLines(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr || box.informativeText().isEmpty())
        return;
    int widest = 0;
    for (const QString& line : box.informativeText().split(QLatin1Char('\n')))
        widest = std::max(widest, box.fontMetrics().horizontalAdvance(line));
    const QStyle* style = box.style();
    const int icon = style->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
    const int spacing = style->pixelMetric(QStyle::PM_LayoutHorizontalSpacing, nullptr, &box);
    grid->addItem(new QSpacerItem(icon + 2 * spacing + widest, 0), grid->rowCount(), 0, 1, grid->columnCount());
}

} // namespace

Seam<void(const QString& text, MessageIcon icon, const QString& informativeText)>& MessageSeam()
{
    static Seam<void(const QString& text, MessageIcon icon, const QString& informativeText)> seam;
    return seam;
}

void ShowMessage(const QString& text, QWidget* parent, MessageIcon icon, const QString& informativeText)
{
    if (const auto& handler = MessageSeam().Handler()) {
        handler(text, icon, informativeText);
        return;
    }
    if (!parent)
        parent = QApplication::activeWindow();
    QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::Information,
                    QStringLiteral("Tolvar"), text, QMessageBox::Ok, parent);
    box.setInformativeText(informativeText);
    FitInformativeLines(box);
    ExecModal(box);
}

Seam<bool(const QString& text)>& QuestionSeam()
{
    static Seam<bool(const QString& text)> seam;
    return seam;
}

bool AskYesNo(const QString& text, QWidget* parent)
{
    if (const auto& handler = QuestionSeam().Handler())
        return handler(text);
    if (!parent)
        parent = QApplication::activeWindow();
    QMessageBox box(QMessageBox::Question, QStringLiteral("Tolvar"), text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::No);
    return ExecModal(box) == QMessageBox::Yes;
}

} // namespace platform
