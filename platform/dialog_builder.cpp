#include "platform/dialog_builder.h"

#include "platform/resources.h"
#include "platform/tab_control.h"
#include "platform/text_format.h"
#include "platform/up_down_control.h"
#include "res/control_ids.h"

#include <QAbstractButton>
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
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <map>

namespace platform {

namespace {

QString PicturePath(int image)
{
    RegisterResources();
    for (const char* suffix : {".png", ".svg", ".jpg"}) {
        const QString path = QStringLiteral(":/pictures/%1%2").arg(image).arg(QLatin1String(suffix));
        if (QFile::exists(path))
            return path;
    }
    return {};
}

QPixmap LoadPicture(int image)
{
    const QString path = PicturePath(image);
    return path.isEmpty() ? QPixmap() : QPixmap(path);
}

// A group box drawn the classic way: an etched frame whose top edge runs
// through the middle of the title, so the controls inside keep the room the
// template gives them.
class EtchedGroupBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QFontMetrics metrics(font());
        const int top = metrics.height() / 2;
        const QRect frame(0, top, width() - 2, height() - top - 2);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawRect(frame);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawRect(frame.translated(1, 1));
        if (title().isEmpty())
            return;
        const int indent = metrics.averageCharWidth();
        const QRect text(indent, 0, metrics.horizontalAdvance(title()) + 4, metrics.height());
        painter.fillRect(text, palette().color(QPalette::Window));
        painter.setPen(palette().color(isEnabled() ? QPalette::WindowText : QPalette::Dark));
        painter.drawText(text, Qt::AlignCenter | Qt::TextShowMnemonic, title());
    }
};

std::map<QString, WindowClassFactory>& WindowClasses()
{
    static std::map<QString, WindowClassFactory> classes;
    return classes;
}

QWidget* CreateCustomControl(const res::ControlTemplate& control, QWidget* dialog)
{
    const auto found = WindowClasses().find(QString::fromUtf8(control.windowClass));
    if (found != WindowClasses().end())
        if (QWidget* widget = found->second(dialog))
            return widget;
    return new QWidget(dialog);
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
        return new EtchedGroupBox(text, dialog);
    case res::ControlKind::Label: {
        auto* label = new QLabel(text, dialog);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(StaticAlignment(style));
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
        edit->setAlignment(StaticAlignment(style) & Qt::AlignHorizontal_Mask);
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
    case res::ControlKind::UpDown:
        return new UpDownControl(style, dialog);
    case res::ControlKind::TabControl:
        return new TabControl(dialog);
    case res::ControlKind::Custom:
        return CreateCustomControl(control, dialog);
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

bool RegisterWindowClass(const QString& name, WindowClassFactory factory)
{
    return WindowClasses().emplace(name, std::move(factory)).second;
}

bool IsWindowClassRegistered(const QString& name)
{
    return WindowClasses().count(name) != 0;
}

QFont DialogFont(const res::DialogTemplate& dialog)
{
    const QString name = QString::fromUtf8(dialog.fontName);
    if (name.isEmpty() || name == QLatin1String("MS Sans Serif") || name == QLatin1String("MS Shell Dlg"))
        return QApplication::font();
    return QFont(name, dialog.fontPointSize);
}

// Width in pixels that the text of a control needs in this font, or 0
// for controls whose width does not depend on their text.
double NeededWidth(const res::ControlTemplate& control, const QFontMetricsF& metrics, const QStyle* style)
{
    const QString text = QString::fromUtf8(control.text).remove(QLatin1Char('&'));
    if (text.isEmpty())
        return 0.0;
    double widest = 0.0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    switch (control.kind) {
    case res::ControlKind::Label:
        return (control.style & res::kStyleWordBreak) ? 0.0 : widest + 1.0;
    case res::ControlKind::RadioButton:
        return widest + style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
               style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing) + 2.0;
    case res::ControlKind::CheckBox:
        return widest + style->pixelMetric(QStyle::PM_IndicatorWidth) +
               style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing) + 2.0;
    default:
        return 0.0;
    }
}

// How much wider than the alphabet's average a character unit must be so
// that every text of every template fits its control in this font. Fonts
// differ from the one the templates were drawn for in their proportions;
// widening the unit keeps all positions in proportion.
double WidthFitFactor(const QFont& font, double averageWidth)
{
    const QFontMetricsF metrics(font);
    const QStyle* style = QApplication::style();
    double factor = 1.0;
    for (const res::DialogTemplate& dialog : res::AllDialogTemplates())
        for (const res::ControlTemplate& control : dialog.controls) {
            const double needed = NeededWidth(control, metrics, style);
            if (needed > 0.0 && control.width > 0)
                factor = std::max(factor, needed / (control.width * averageWidth / 4.0));
        }
    return std::min(factor, 1.5);
}

BaseUnits DialogBaseUnits(const QFont& font)
{
    static std::map<QString, BaseUnits> known;
    const QString key = font.key();
    if (const auto found = known.find(key); found != known.end())
        return found->second;
    const QFontMetricsF metrics(font);
    static const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double average = metrics.horizontalAdvance(alphabet) / 52.0;
    const BaseUnits units{average * WidthFitFactor(font, average), std::ceil(metrics.height())};
    known.emplace(key, units);
    return units;
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

QPixmap RenderPicture(int image, QSize size, qreal devicePixelRatio)
{
    const QString path = PicturePath(image);
    if (path.isEmpty() || size.isEmpty())
        return {};
    const QSize pixels = (QSizeF(size) * devicePixelRatio).toSize();
    QPixmap picture;
    if (path.endsWith(QLatin1String(".svg"))) {
        picture = QPixmap(pixels);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        QSvgRenderer(path).render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    } else {
        picture = QPixmap(path).scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    picture.setDevicePixelRatio(devicePixelRatio);
    return picture;
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
    QWidget* previous = nullptr;
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
        if (auto* upDown = dynamic_cast<UpDownControl*>(widget); upDown && (upDown->Style() & res::UDS_AUTOBUDDY))
            upDown->SetBuddy(dynamic_cast<QLineEdit*>(previous));
        previous = widget;
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

void ConnectOkCancel(QDialog& dialog)
{
    if (auto* ok = FindControlAs<QAbstractButton>(&dialog, res::kIdOk))
        QObject::connect(ok, &QAbstractButton::clicked, &dialog, &QDialog::accept);
    if (auto* cancel = FindControlAs<QAbstractButton>(&dialog, res::kIdCancel))
        QObject::connect(cancel, &QAbstractButton::clicked, &dialog, &QDialog::reject);
}

} // namespace platform
