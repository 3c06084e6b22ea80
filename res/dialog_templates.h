#pragma once

#include "res/text_styles.h"

#include <vector>

// The program's dialog templates as data: every window's size, caption and
// controls in dialog units, built into widgets by platform/dialog_builder.h.
// Texts are UTF-8. A control's position is x, y, width, height in dialog
// units (one unit is a quarter of the dialog font's average character width
// horizontally, an eighth of its height vertically).
namespace res {

// Dialog template ids.
enum DialogId : int {
    kDialogAbout = 100,        // "Info über Tolvar"
    kDialogMain = 102,         // the main dialog "Tolvar"
    kDialogMEstimatorPanel = 141,
    kDialogNormPanel = 142,
    kDialogDataEdit = 144,     // "Daten bearbeiten"
    kDialogDesignPage = 145,
    kDialogObservationPage = 146,
    kDialogDimensions = 150,   // "Dimensionen"
    kDialogTuning = 151,       // "Tuningkonstante"
    kDialogStatus = 154,       // "Status"
    kDialogResidual = 155,     // "Residuen der Lösung"
    kDialogSplash = 159,
};

// Picture resource ids (res/pictures.qrc).
enum PictureId : int {
    kPictureSplash = 172, // 399 x 304
    kPictureAbout = 173,  // 250 x 190
};

// Icon resource ids (res/icons.qrc): the program's icon and the main
// dialog's buttons.
enum IconId : int {
    kIconProgram = 128,
    kIconChooseFile = 131,
    kIconEditFile = 133,
    kIconEditData = 139,
    kIconCompute = 147,
    kIconCreateData = 149,
    kIconAbout = 164,
    kIconExit = 166,
};

enum class ControlKind {
    PushButton,
    DefPushButton,  // the dialog's default button (Enter presses it)
    RadioButton,    // grouped with its neighbours until the next kStyleGroup
    CheckBox,
    GroupBox,       // frame with a title; does not contain the controls drawn in it
    Label,          // static text
    Edit,           // single-line edit field
    EtchedHorz,     // horizontal etched line
    EtchedVert,     // vertical etched line
    EtchedFrame,    // etched rectangle
    Picture,        // static showing the picture res/pictures "<image>"
    UpDown,         // two arrow buttons stepping a number in an edit (platform/up_down_control.h)
    TabControl,     // a row of tabs over a framed area for pages (platform/tab_control.h)
    Custom,         // a control of a registered window class, or one the dialog class supplies
};

// Control style bits. The alignment bits are the static controls' own
// numbers (SS_*), so that one translator reads them (platform/text_format.h).
enum ControlStyle : unsigned {
    kStyleNone = 0,
    kStyleCenter = SS_CENTER,       // text centred (statics, edits)
    kStyleRight = SS_RIGHT,         // text right-aligned
    kStyleVCenter = SS_CENTERIMAGE, // text centred vertically
    kStyleGroup = 1u << 16,         // starts a new group (radio buttons, tab order)
    kStyleTabStop = 1u << 17,
    kStyleNoPrefix = 1u << 18,      // '&' is shown as it is, no mnemonic
    kStyleBorder = 1u << 19,
    kStyleReadOnly = 1u << 20,
    kStyleAutoHScroll = 1u << 21,
    kStyleWordBreak = 1u << 22,     // static text wraps at word boundaries
    kStyleDisabled = 1u << 23,
};

// Up-down control styles, under the platform's names and numbers. As on the
// platform, the low style bits mean something of their own for each kind.
enum UpDownStyle : unsigned {
    UDS_SETBUDDYINT = 0x02,  // steps show the position in the buddy edit
    UDS_AUTOBUDDY = 0x10,    // the control created just before is the buddy
    UDS_ARROWKEYS = 0x20,    // Up and Down in the buddy step too
};

// Dialog style bits.
enum DialogStyle : unsigned {
    kDialogStyleNone = 0,
    kDialogCaption = 1u << 0,     // title bar
    kDialogSysMenu = 1u << 1,     // system menu and close box (needs kDialogCaption)
    kDialogModalFrame = 1u << 2,  // fixed size frame
    kDialogThickFrame = 1u << 3,  // sizing border: the user can resize
    kDialogChild = 1u << 4,       // child window inside another dialog
    kDialogPopup = 1u << 5,       // top-level window
    kDialogVisible = 1u << 6,     // shown at creation
};

// The window class of the grid control (grid/grid_ctrl.h registers it).
inline constexpr char kGridWindowClass[] = "TolvarGridCtrl";

struct ControlTemplate {
    int id;             // -1 for controls that no code addresses
    ControlKind kind;
    const char* text;   // caption or initial text; "" for none
    int x, y, width, height;
    unsigned style;     // ControlStyle bits
    int image = 0;      // Picture: picture resource id
    const char* windowClass = "";  // Custom: the window class that creates it ("TolvarGridCtrl")
};

struct DialogTemplate {
    int id;
    const char* caption;
    unsigned style;     // DialogStyle bits
    int width, height;  // client size in dialog units
    const char* fontName;
    int fontPointSize;
    std::vector<ControlTemplate> controls;  // in creation (and tab) order
};

// The template with this id, or nullptr.
const DialogTemplate* FindDialogTemplate(int id);

// Every template, for tests that check all of them.
const std::vector<DialogTemplate>& AllDialogTemplates();

} // namespace res
