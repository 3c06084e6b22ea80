#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace platform {

// The up-down control of the dialog templates: two arrow buttons that step
// a position within a range, beside an edit, its buddy. The styles are
// those of res/dialog_templates.h: with UDS_SETBUDDYINT a step starts from
// the number the buddy holds and writes the new position into it as a
// decimal number; with UDS_ARROWKEYS the Up and Down keys in the buddy step
// too; with UDS_AUTOBUDDY the dialog builder makes the edit created just
// before it the buddy. The buddy's text stays the field that the dialog's
// data exchange reads; the control never wraps around.
class UpDownControl : public QWidget {
    Q_OBJECT

public:
    UpDownControl(unsigned style, QWidget* parent);

    unsigned Style() const { return style; }
    void SetBuddy(QLineEdit* edit);
    QLineEdit* Buddy() const { return buddy; }

    // The Up arrow steps towards high, the Down arrow towards low.
    void SetRange(int low, int high);
    // Kept within the range; shown in the buddy with UDS_SETBUDDYINT.
    void SetPos(int position);
    // One click on the Up (+1) or the Down (-1) arrow.
    void Step(int delta);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int Clamped(int value) const;

    unsigned style;
    QLineEdit* buddy = nullptr;
    QToolButton* up;
    QToolButton* down;
    int low = 0;
    int high = 100;
    int position = 0;
};

} // namespace platform
