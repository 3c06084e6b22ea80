#include "platform/dialog_builder.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>

namespace platform {

namespace {

Qt::Alignment TextAlignment(unsigned style)
{
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (style & res::kStyleCenter)
        horizontal = Qt::AlignHCenter;
    else if (style & res::kStyleRight)
        horizontal = Qt::AlignRight;
    return horizontal | ((style & res::kStyleVCenter) ? Qt::AlignVCenter : Qt::AlignTop);
}

QPixmap LoadPicture(int image)
{
    for (const char* suffix : {".png", ".svg", ".jpg"}) {
        const QString path = QStringLiteral(":/pictures/%1%2").arg(image).arg(QLatin1String(suffix));
        if (QFile::exists(path))
            return QPixmap(path);
    }
    return {};
}

QWidget* CreateStandardControl(const res::ControlTemplate& control, QWidget* dialog)
{
    const QString text = QString::fromUtf8(control.text);
    const unsigned style = control.style;
    switch (control.kind) {
    case res::ControlKind::PushButton:
    case res::ControlKind::DefPushButton:
        return new QPushButton(text, dialog);
    case res::ControlKind::RadioButton:
        return new QRadioButton(text, dialog);
    case res::ControlKind::CheckBox:
        return new QCheckBox(text, dialog);
    case res::ControlKind::GroupBox:
        return new QGroupBox(text, dialog);
    case res::ControlKind::Label: {
        auto* label = new QLabel(text, dialog);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(TextAlignment(style));
        label->setWordWrap((style & res::kStyleWordBreak) != 0);
        if (style & res::kStyleBorder) {
            label->setFrameShape(QFrame::Box);
            label->setFrameShadow(QFrame::Plain);
        }
        return label;
    }
    case res::ControlKind::Edit: {
        auto* edit = new QLineEdit(text, dialog);
        edit->setReadOnly((style & res::kStyleReadOnly) != 0);
        edit->setFrame((style & res::kStyleBorder) != 0);
        edit->setAlignment(TextAlignment(style) & Qt::AlignHorizontal_Mask);
        return edit;
    }
    case res::ControlKind::EtchedHorz:
    case res::ControlKind::EtchedVert:
    case res::ControlKind::EtchedFrame: {
        auto* frame = new QFrame(dialog);
        frame->setFrameShape(control.kind == res::ControlKind::EtchedHorz   ? QFrame::HLine
                             : control.kind == res::ControlKind::EtchedVert ? QFrame::VLine
                                                                            : QFrame::Box);
        frame->setFrameShadow(QFrame::Sunken);
        return frame;
    }
    case res::ControlKind::Picture: {
        auto* picture = new QLabel(dialog);
        picture->setPixmap(LoadPicture(control.image));
        picture->setScaledContents(true);
        picture->setProperty("imageId", control.image);
        return picture;
    }
    case res::ControlKind::Custom:
        break;
    }
    return new QWidget(dialog);
}

// Windows-style grouping: a group starts at a control with the group style
// and runs to the next one. The radios of one group share an exclusive
// QButtonGroup, also a radio alone in its group: clicking it checks it and
// never unchecks it, and it leaves every other radio alone.
class RadioGrouper {
public:
    explicit RadioGrouper(QWidget& dialog) : dialog(dialog) {}

    void Add(const res::ControlTemplate& control, QWidget* widget)
    {
        auto* radio = dynamic_cast<QRadioButton*>(widget);
        if (!radio || (control.style & res::kStyleGroup) || control.kind != res::ControlKind::RadioButton)
            Close();
        if (!radio)
            return;
        radio->setAutoExclusive(false);
        members.push_back(radio);
    }

    void Close()
    {
        if (!members.empty()) {
            auto* group = new QButtonGroup(&dialog);
            group->setExclusive(true);
            for (int index = 0; index < static_cast<int>(members.size()); ++index)
                group->addButton(members[index], index);
        }
        members.clear();
    }

private:
    QWidget& dialog;
    std::vector<QRadioButton*> members;
};

void ApplyWindowStyle(QWidget& dialog, unsigned style)
{
    if (style & res::kDialogChild) {
        dialog.setWindowFlags(Qt::Widget);
        dialog.setAutoFillBackground(true);
        return;
    }
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    if (style & res::kDialogCaption) {
        flags |= Qt::WindowTitleHint;
        if (style & res::kDialogSysMenu)
            flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    } else {
        flags |= Qt::FramelessWindowHint;
    }
    dialog.setWindowFlags(flags);
    if (auto* qdialog = dynamic_cast<QDialog*>(&dialog))
        qdialog->setSizeGripEnabled(false);
}

} // namespace

QFont DialogFont(const res::DialogTemplate& dialog)
{
    const QString name = QString::fromUtf8(dialog.fontName);
    if (name.isEmpty() || name == QLatin1String("MS Sans Serif") || name == QLatin1String("MS Shell Dlg"))
        return QApplication::font();
    return QFont(name, dialog.fontPointSize);
}

BaseUnits DialogBaseUnits(const QFont& font)
{
    const QFontMetricsF metrics(font);
    static const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return {metrics.horizontalAdvance(alphabet) / 52.0, std::ceil(metrics.height())};
}

QRect MapDialogRect(const BaseUnits& units, const QRect& dialogUnits)
{
    auto horizontal = [&](int value) { return static_cast<int>(std::lround(value * units.charWidth / 4.0)); };
    auto vertical = [&](int value) { return static_cast<int>(std::lround(value * units.charHeight / 8.0)); };
    const int left = horizontal(dialogUnits.x());
    const int top = vertical(dialogUnits.y());
    const int right = horizontal(dialogUnits.x() + dialogUnits.width());
    const int bottom = vertical(dialogUnits.y() + dialogUnits.height());
    return QRect(left, top, right - left, bottom - top);
}

QRect MapDialogRect(const QWidget* dialog, const QRect& dialogUnits)
{
    return MapDialogRect(DialogBaseUnits(dialog->font()), dialogUnits);
}

bool BuildDialog(QWidget& dialog, int templateId, const ControlFactory& factory)
{
    const res::DialogTemplate* found = res::FindDialogTemplate(templateId);
    if (!found)
        return false;
    BuildDialog(dialog, *found, factory);
    return true;
}

void BuildDialog(QWidget& dialog, const res::DialogTemplate& dialogTemplate, const ControlFactory& factory)
{
    ApplyWindowStyle(dialog, dialogTemplate.style);
    dialog.setFont(DialogFont(dialogTemplate));
    dialog.setWindowTitle(QString::fromUtf8(dialogTemplate.caption));
    dialog.setProperty("templateId", dialogTemplate.id);

    const BaseUnits units = DialogBaseUnits(dialog.font());
    const QSize size = MapDialogRect(units, QRect(0, 0, dialogTemplate.width, dialogTemplate.height)).size();
    if (dialogTemplate.style & res::kDialogThickFrame)
        dialog.resize(size);
    else
        dialog.setFixedSize(size);

    RadioGrouper grouper(dialog);
    for (const res::ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = factory ? factory(control, &dialog) : nullptr;
        if (!widget)
            widget = CreateStandardControl(control, &dialog);
        if (widget->parentWidget() != &dialog)
            widget->setParent(&dialog);
        if (auto* button = dynamic_cast<QPushButton*>(widget); button && dynamic_cast<QDialog*>(&dialog))
            button->setDefault(control.kind == res::ControlKind::DefPushButton);
        widget->setGeometry(MapDialogRect(units, QRect(control.x, control.y, control.width, control.height)));
        widget->setProperty(kControlIdProperty, control.id);
        if (control.style & res::kStyleDisabled)
            widget->setEnabled(false);
        grouper.Add(control, widget);
    }
    grouper.Close();
}

QWidget* FindControl(const QWidget* dialog, int id)
{
    if (!dialog)
        return nullptr;
    for (QObject* child : dialog->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && ControlId(widget) == id)
            return widget;
    }
    return nullptr;
}

int ControlId(const QWidget* control)
{
    const QVariant id = control->property(kControlIdProperty);
    return id.isValid() ? id.toInt() : -1;
}

} // namespace platform
