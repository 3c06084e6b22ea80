#pragma once

#include "res/dialog_templates.h"

#include <QFont>
#include <QPixmap>
#include <QRect>

#include <functional>

class QDialog;
class QWidget;

// Builds the widgets of a dialog template (res/dialog_templates.h) into a
// widget, at pixel positions computed from the dialog font's base units:
//   x px = x du * average character width / 4
//   y px = y du * character height / 8
// The template font "MS Sans Serif" 8 is the application's default UI font.
//
// Every control keeps its id in the property kControlIdProperty; FindControl
// looks it up. Controls are direct children of the dialog widget (a group
// box does not contain the controls drawn inside it), created in template
// order, which is also their tab order and stacking order.
//
// Control kinds become: PushButton/DefPushButton QPushButton (Def: the
// dialog's default button), RadioButton QRadioButton (the radios of one
// group share an exclusive QButtonGroup, radio->group(), with ids 0, 1, ...
// in template order; a radio alone in its group gets a group of its own), CheckBox QCheckBox, GroupBox QGroupBox, Label QLabel
// (plain text), Edit QLineEdit, Etched* QFrame, Picture QLabel showing
// ":/pictures/<image>.png" (or .svg) scaled to the control, UpDown
// platform::UpDownControl (with UDS_AUTOBUDDY the edit created just before
// it is its buddy), TabControl platform::TabControl, Custom the
// widget of its registered window class (RegisterWindowClass), else a plain
// QWidget.
namespace platform {

inline constexpr char kControlIdProperty[] = "controlId";

// Lets a dialog class supply its own widget for a control (an icon button,
// the residual plot, a link). Return nullptr to get the standard widget.
// The builder sets parent, geometry and id of what is returned.
using ControlFactory = std::function<QWidget*(const res::ControlTemplate& control, QWidget* dialog)>;

// A window class that templates name for their custom controls: its factory
// creates the widget as a child of dialog. Registering a name again keeps
// the first registration. True when the name was newly registered.
using WindowClassFactory = std::function<QWidget*(QWidget* dialog)>;
bool RegisterWindowClass(const QString& name, WindowClassFactory factory);
bool IsWindowClassRegistered(const QString& name);

// Dialog base units in pixels: average character width (of "A".."Z",
// "a".."z") and character height of the font. The width is widened when
// some text of a template would not fit its control in this font (a font
// with other proportions than the templates were drawn for), by the
// smallest factor that makes all of them fit, at most 1.5.
struct BaseUnits {
    // pixels per 4 horizontal / 8 vertical dialog units
    double charWidth;
    double charHeight;
};

QFont DialogFont(const res::DialogTemplate& dialog);
BaseUnits DialogBaseUnits(const QFont& font);
// A rectangle in dialog units to pixels.
QRect MapDialogRect(const BaseUnits& units, const QRect& dialogUnits);
// The same with the base units of the widget's font.
QRect MapDialogRect(const QWidget* dialog, const QRect& dialogUnits);

// Picture resource image drawn at size logical pixels for a screen of the
// given pixel ratio: SVG drawn afresh at that size, others scaled; a null
// pixmap for an unknown image or an empty size.
QPixmap RenderPicture(int image, QSize size, qreal devicePixelRatio = 1.0);

// Builds the template into dialog: caption, window flags (top-level
// templates: title bar, close box only with a system menu, fixed size
// unless the template has a sizing border; child templates: a plain child
// widget that fills its background), client size and all controls.
// Does not show the dialog. Returns false for an unknown id.
bool BuildDialog(QWidget& dialog, int templateId, const ControlFactory& factory = {});
void BuildDialog(QWidget& dialog, const res::DialogTemplate& dialogTemplate, const ControlFactory& factory = {});

// The control with this id among the dialog's own controls (not those of
// nested panels), or nullptr.
QWidget* FindControl(const QWidget* dialog, int id);

template <class T>
T* FindControlAs(const QWidget* dialog, int id)
{
    return dynamic_cast<T*>(FindControl(dialog, id));
}

// The id a control was built with, or -1.
int ControlId(const QWidget* control);

// The template's standard buttons, where it has them: OK (res::kIdOk)
// accepts the dialog, Cancel (res::kIdCancel) rejects it.
void ConnectOkCancel(QDialog& dialog);

} // namespace platform
