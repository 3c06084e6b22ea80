#include "platform/data_exchange.h"

#include "platform/dialog_builder.h"
#include "platform/message_box.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLineEdit>
#include <QWidget>

#include <cctype>
#include <charconv>
#include <cmath>

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

// The accepted number text without its surrounding blanks, or nothing when
// other characters than a plain decimal number remain.
std::optional<std::string> NumberText(const QString& text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    if (bytes.isEmpty() || text.trimmed().size() != bytes.size())
        return std::nullopt;
    std::string plain = bytes.toStdString();
    if (plain[0] == '+')
        plain.erase(0, 1);
    if (plain.empty() || plain[0] == '+' || (bytes[0] == '+' && plain[0] == '-'))
        return std::nullopt;
    return plain;
}

} // namespace

std::optional<int> ParseInt(const QString& text)
{
    const std::optional<std::string> plain = NumberText(text);
    if (!plain)
        return std::nullopt;
    int value = 0;
    const char* end = plain->data() + plain->size();
    const auto [stop, error] = std::from_chars(plain->data(), end, value, 10);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

std::optional<double> ParseDouble(const QString& text)
{
    const std::optional<std::string> plain = NumberText(text);
    if (!plain)
        return std::nullopt;
    // Only digits, one point, sign and exponent: no "inf", "nan" or hex.
    for (char c : *plain)
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return std::nullopt;
    double value = 0.0;
    const char* end = plain->data() + plain->size();
    const auto [stop, error] = std::from_chars(plain->data(), end, value, std::chars_format::general);
    if (error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString FormatInt(int value)
{
    return QString::number(value);
}

QString FormatDouble(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return QString::fromLatin1(buffer, static_cast<int>(result.ptr - buffer));
}

QString IntegerMessage()
{
    return QStringLiteral("Geben Sie bitte eine ganze Zahl ein.");
}

QString NumberMessage()
{
    return QStringLiteral("Geben Sie bitte eine Zahl ein.");
}

QString RangeMessage(double low, double high)
{
    return QStringLiteral("Geben Sie bitte eine Zahl zwischen %1 und %2 ein.")
        .arg(FormatDouble(low), FormatDouble(high));
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

void DataExchange::Int(int id, int& member)
{
    if (failed)
        return;
    QWidget* control = FindControl(dialog, id);
    if (!saving) {
        SetControlText(control, FormatInt(member));
        return;
    }
    if (const std::optional<int> value = ParseInt(ControlText(control)))
        member = *value;
    else
        Fail(control, IntegerMessage());
}

void DataExchange::Double(int id, double& member)
{
    if (failed)
        return;
    QWidget* control = FindControl(dialog, id);
    if (!saving) {
        SetControlText(control, FormatDouble(member));
        return;
    }
    if (const std::optional<double> value = ParseDouble(ControlText(control)))
        member = *value;
    else
        Fail(control, NumberMessage());
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
