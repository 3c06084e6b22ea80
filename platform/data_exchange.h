#pragma once

#include <QString>

#include <functional>
#include <string>

class QWidget;

// Exchange between a dialog's controls and its members, in the fixed order
// in which a dialog lists its bindings. Numbers follow the whole-text rule
// of core/number_text.h and are shown in the general format ("%.15g"). Each binding works in one direction
// per run: writing (members to controls) or re-reading (controls to
// members, with validation). On the first text that is not accepted the
// re-reading shows the validation message, gives that field the focus,
// selects its text and stops: that member and all later ones keep their
// previous values, earlier ones are already updated.
//
//   void CTuningDlg::Exchange(platform::DataExchange& dx)
//   {
//       dx.DoubleInRange(kTuningEdit, TuningConstant, 0.0, 100000000.0);
//   }
//   bool accepted = platform::UpdateData(this, true, [this](auto& dx) { Exchange(dx); });
namespace platform {

class DataExchange {
public:
    DataExchange(QWidget* dialog, bool saveAndValidate);

    bool Failed() const { return failed; }

    // Edit text as it is.
    void Text(int id, QString& member);
    // Decimal integer; blanks around it are allowed.
    void Int(int id, int& member);
    // Double in the general format with up to 15 significant digits.
    void Double(int id, double& member);
    // The same, and low <= value <= high.
    void DoubleInRange(int id, double& member, double low, double high);
    // Unsigned decimal number from low to high: a text that is no such
    // number gets "Geben Sie bitte eine positive ganze Zahl ein.", a number
    // outside the range the range message.
    void UnsignedInRange(int id, unsigned& member, unsigned low, unsigned high);
    // Radio group whose first button has firstId: index of the checked
    // button (0-based), -1 when none is checked. A radio alone in its group
    // gives 0 for checked and -1 for not checked.
    void RadioGroup(int firstId, int& index);

private:
    template <class Number>
    void NumberField(int id, Number& member, const QString& message);
    void Fail(QWidget* control, const QString& message);
    QWidget* dialog;
    bool saving;
    bool failed = false;
};

// Runs exchange in one direction; true when every binding was accepted.
bool UpdateData(QWidget* dialog, bool saveAndValidate, const std::function<void(DataExchange&)>& exchange);

// The German validation messages of the exchange (string table 124 to 127),
// the limits in the general format.
QString IntegerMessage();                         // "Geben Sie bitte eine ganze Zahl ein."
QString NumberMessage();                          // "Geben Sie bitte eine Zahl ein."
QString RangeMessage(double low, double high);    // "... zwischen 0 und 100000000 ein."

} // namespace platform
