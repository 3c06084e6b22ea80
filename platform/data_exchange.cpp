#include "platform/data_exchange.h"

#include "core/number_text.h"
#include "platform/dialog_builder.h"
#include "platform/message_box.h"
#include "platform/string_text.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLineEdit>
#include <QWidget>

namespace platform {

namespace {

QString ControlText(QWidget* control)
{
    if (auto* edit = dynamic_cast<QLineEdit*>(control))
        return edit->text();
    if (auto* button = dynamic_cast<QAbstractButton*>(control))
        return button->text();
    return control ? control->property("text").toString() : QString();
}

void SetControlText(QWidget* control, const QString& text)
{
    if (auto* edit = dynamic_cast<QLineEdit*>(control)) {
        if (edit->text() != text)
            edit->setText(text);
    } else if (control) {
        control->setProperty("text", text);
    }
}

QString FormatNumber(int value)
{
    return QString::number(value);
}

QString FormatNumber(double value)
{
    return QString::fromStdString(FormatGeneral(value));
}

bool ReadNumber(const QString& text, int& value)
{
    return ReadWholeInteger(text.toStdString(), value) == NumberText::kValid;
}

bool ReadNumber(const QString& text, double& value)
{
    return ReadWholeNumber(text.toStdString(), value) == NumberText::kValid;
}

} // namespace

QString IntegerMessage()
{
    return LoadText(kStringNotAnInteger);
}

QString NumberMessage()
{
    return LoadText(kStringNotANumber);
}

QString RangeMessage(double low, double high)
{
    return FormatText(kStringNumberRange, {FormatNumber(low), FormatNumber(high)});
}

DataExchange::DataExchange(QWidget* dialog, bool saveAndValidate) : dialog(dialog), saving(saveAndValidate) {}

void DataExchange::Fail(QWidget* control, const QString& message)
{
    failed = true;
    ShowMessage(message, dialog);
    if (!control)
        return;
    control->setFocus(Qt::OtherFocusReason);
    if (auto* edit = dynamic_cast<QLineEdit*>(control))
        edit->selectAll();
}

void DataExchange::Text(int id, QString& member)
{
    if (failed)
        return;
    QWidget* control = FindControl(dialog, id);
    if (saving)
        member = ControlText(control);
    else
        SetControlText(control, member);
}

template <class Number>
void DataExchange::NumberField(int id, Number& member, const QString& message)
{
    if (failed)
        return;
    QWidget* control = FindControl(dialog, id);
    if (!saving)
        SetControlText(control, FormatNumber(member));
    else if (!ReadNumber(ControlText(control), member))
        Fail(control, message);
}

void DataExchange::Int(int id, int& member)
{
    NumberField(id, member, IntegerMessage());
}

void DataExchange::Double(int id, double& member)
{
    NumberField(id, member, NumberMessage());
}

void DataExchange::DoubleInRange(int id, double& member, double low, double high)
{
    if (failed)
        return;
    double value = member;
    Double(id, value);
    if (failed || !saving)
        return;
    if (value < low || value > high)
        Fail(FindControl(dialog, id), RangeMessage(low, high));
    else
        member = value;
}

void DataExchange::UnsignedInRange(int id, unsigned& member, unsigned low, unsigned high)
{
    if (failed)
        return;
    QWidget* control = FindControl(dialog, id);
    if (!saving) {
        SetControlText(control, QString::number(member));
        return;
    }
    const std::string text = ControlText(control).toStdString();
    int value = 0;
    const NumberText read = ReadWholeInteger(text, value);
    if (read == NumberText::kMalformed || text.find('-') != std::string::npos)
        Fail(control, LoadText(kStringNotAPositiveInteger));
    else if (read == NumberText::kOutOfRange || static_cast<unsigned>(value) < low || static_cast<unsigned>(value) > high)
        Fail(control, RangeMessage(low, high));
    else
        member = static_cast<unsigned>(value);
}

void DataExchange::RadioGroup(int firstId, int& index)
{
    if (failed)
        return;
    auto* first = dynamic_cast<QAbstractButton*>(FindControl(dialog, firstId));
    if (!first)
        return;
    QButtonGroup* group = first->group();
    const QList<QAbstractButton*> buttons = group ? group->buttons() : QList<QAbstractButton*>{first};
    if (saving) {
        index = -1;
        for (int i = 0; i < buttons.size(); ++i)
            if (buttons[i]->isChecked()) {
                index = i;
                break;
            }
        return;
    }
    const bool exclusive = group && group->exclusive();
    if (exclusive)
        group->setExclusive(false);  // lets index -1 uncheck every button
    for (int i = 0; i < buttons.size(); ++i)
        buttons[i]->setChecked(i == index);
    if (exclusive)
        group->setExclusive(true);
}

bool UpdateData(QWidget* dialog, bool saveAndValidate, const std::function<void(DataExchange&)>& exchange)
{
    DataExchange dx(dialog, saveAndValidate);
    exchange(dx);
    return !dx.Failed();
}

} // namespace platform
