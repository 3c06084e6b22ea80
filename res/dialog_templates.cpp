#include "res/dialog_templates.h"

#include "res/control_ids.h"

namespace res {

namespace {

using K = ControlKind;

constexpr unsigned kEditStyle = kStyleBorder | kStyleTabStop | kStyleAutoHScroll;
constexpr unsigned kButtonStyle = kStyleTabStop;
constexpr unsigned kFirstRadio = kStyleGroup | kStyleTabStop;
constexpr unsigned kSpinStyle = UDS_SETBUDDYINT | UDS_AUTOBUDDY | UDS_ARROWKEYS;
// Every template's font, which the dialog units are measured in.
constexpr char kFontName[] = "MS Sans Serif";
constexpr int kFontSize = 8;
// A fixed-size dialog with caption and close box; a sizable one without them.
constexpr unsigned kModalDialog = kDialogPopup | kDialogCaption | kDialogSysMenu | kDialogModalFrame;
constexpr unsigned kResizableDialog = kDialogPopup | kDialogCaption | kDialogThickFrame;

std::vector<DialogTemplate> BuildTemplates()
{
    std::vector<DialogTemplate> all;

    all.push_back({kDialogAbout, "Info über Tolvar", kModalDialog, 294, 130, kFontName, kFontSize,
                   {
                       {-1, K::Picture, "", 7, 7, 200, 117, kStyleNone, kPictureAbout},
                       {-1, K::EtchedFrame, "", 175, 7, 112, 97, kStyleNone},
                       {-1, K::Label, "Tolvar 2.0\nRobuste Ausgleichung\nvon Beobachtungen", 181, 13, 103, 24,
                        kStyleCenter | kStyleNoPrefix},
                       {-1, K::Label, "Informationen:", 187, 44, 90, 8, kStyleCenter},
                       {-1, K::Label, "Anna Berger", 187, 55, 90, 10, kStyleCenter},
                       {about_dlg::kFirstMailLink, K::Label, "a.berger@tolvar.example", 187, 64, 90, 9, kStyleCenter},
                       {-1, K::Label, "Jonas Keller", 187, 77, 90, 10, kStyleCenter},
                       {about_dlg::kSecondMailLink, K::Label, "j.keller@tolvar.example", 187, 87, 90, 9, kStyleCenter},
                       {about_dlg::kOkButton, K::DefPushButton, "OK", 237, 110, 50, 14, kButtonStyle | kStyleGroup},
                   }});

    all.push_back({kDialogMain, "Tolvar", kModalDialog, 284, 167, kFontName, kFontSize,
                   {
                       {-1, K::GroupBox, "Daten", 7, 7, 270, 50, kStyleNone},
                       {-1, K::Label, "Eingabedatei:", 14, 21, 44, 8, kStyleNone},
                       {main_dlg::kInputEdit, K::Edit, "", 61, 19, 134, 12, kEditStyle},
                       {main_dlg::kChooseInputButton, K::PushButton, "", 197, 18, 16, 14, kButtonStyle},
                       {main_dlg::kEditInputButton, K::PushButton, "", 214, 18, 16, 14, kButtonStyle},
                       {main_dlg::kCreateDataButton, K::PushButton, "", 231, 18, 16, 14, kButtonStyle},
                       {main_dlg::kEditDataButton, K::PushButton, "", 248, 18, 16, 14, kButtonStyle},
                       {-1, K::Label, "Ausgabedatei:", 13, 39, 46, 8, kStyleNone},
                       {main_dlg::kOutputEdit, K::Edit, "", 61, 38, 134, 12, kEditStyle},
                       {main_dlg::kChooseOutputButton, K::PushButton, "", 197, 37, 15, 14, kButtonStyle},
                       {main_dlg::kEditOutputButton, K::PushButton, "", 214, 37, 16, 14, kButtonStyle},
                       {-1, K::GroupBox, "Einstellungen", 7, 59, 205, 99, kStyleNone},
                       {-1, K::Label, "Methode:", 13, 68, 31, 8, kStyleNone},
                       {main_dlg::kFamilyLpRadio, K::RadioButton, "Lp-Norm", 17, 79, 43, 10, kFirstRadio},
                       {main_dlg::kFamilyEaRadio, K::RadioButton, "Ea-Schätzer", 17, 90, 54, 9, kFirstRadio},
                       {-1, K::EtchedHorz, "", 7, 102, 75, 1, kStyleGroup},
                       {-1, K::Label, "Iterationen:", 13, 107, 36, 8, kStyleNone},
                       {main_dlg::kIterationsEdit, K::Edit, "", 17, 116, 39, 12, kEditStyle},
                       {-1, K::Label, "Abbruchkriterium:", 14, 132, 56, 8, kStyleNone},
                       {main_dlg::kStopCriterionEdit, K::Edit, "", 17, 142, 39, 12, kEditStyle},
                       {-1, K::EtchedVert, "", 81, 64, 1, 95, kStyleNone},
                       {main_dlg::kPanelPlaceholder, K::Label, "Static", 86, 64, 124, 90, kStyleNone},
                       {main_dlg::kComputeButton, K::PushButton, "Rechnen", 217, 62, 60, 18, kButtonStyle | kStyleGroup},
                       {main_dlg::kAboutButton, K::PushButton, "Über...", 217, 83, 60, 18, kButtonStyle},
                       {main_dlg::kEndButton, K::DefPushButton, "Ende", 217, 140, 60, 18, kButtonStyle},
                   }});

    all.push_back({kDialogMEstimatorPanel, "", kDialogChild, 124, 90, kFontName, kFontSize,
                   {
                       {-1, K::Label, "Methode:", 7, 7, 31, 8, kStyleNone},
                       {m_estimator_panel::kAndrewsRadio, K::RadioButton, "Andrews", 13, 23, 43, 10, kFirstRadio},
                       {m_estimator_panel::kBiweightRadio, K::RadioButton, "Biweight", 13, 36, 43, 10, kStyleNone},
                       {m_estimator_panel::kCauchyRadio, K::RadioButton, "Cauchy", 13, 49, 40, 10, kStyleNone},
                       {m_estimator_panel::kFairRadio, K::RadioButton, "Fair", 13, 62, 27, 10, kStyleNone},
                       {m_estimator_panel::kHuberRadio, K::RadioButton, "Huber", 67, 23, 35, 10, kStyleNone},
                       {m_estimator_panel::kLogisticRadio, K::RadioButton, "Logistic", 67, 36, 40, 10, kStyleNone},
                       {m_estimator_panel::kTalwarRadio, K::RadioButton, "Talwar", 67, 49, 37, 10, kStyleNone},
                       {m_estimator_panel::kWelschRadio, K::RadioButton, "Welsch", 67, 62, 40, 10, kStyleNone},
                   }});

    all.push_back({kDialogNormPanel, "", kDialogChild, 124, 90, kFontName, kFontSize,
                   {
                       {-1, K::Label, "Normfaktor:", 7, 7, 38, 8, kStyleNone},
                       {norm_panel::kL1Radio, K::RadioButton, "L1-Norm (Normfaktor 1)", 13, 21, 89, 10, kFirstRadio},
                       {norm_panel::kL2Radio, K::RadioButton, "L2-Norm (Normfaktor 2)", 13, 36, 89, 10, kStyleNone},
                       {norm_panel::kChebyshevRadio, K::RadioButton, "Loo-Norm (Tschebycheff)", 13, 51, 101, 10, kStyleNone},
                       {norm_panel::kAnyFactorRadio, K::RadioButton, "Beliebig; Normfaktor:", 13, 66, 79, 10, kStyleNone},
                       {norm_panel::kNormFactorEdit, K::Edit, "", 93, 65, 24, 12, kEditStyle | kStyleGroup},
                   }});

    all.push_back({kDialogTuning, "Tuningkonstante", kModalDialog, 184, 50, kFontName, kFontSize,
                   {
                       {-1, K::GroupBox, "Tuningkonstante", 7, 7, 113, 37, kStyleNone},
                       {-1, K::Label, "Tuningkonstante:", 13, 22, 56, 8, kStyleNone},
                       {tuning_dlg::kTuningEdit, K::Edit, "", 70, 20, 40, 12, kEditStyle},
                       {tuning_dlg::kOkButton, K::DefPushButton, "OK", 127, 12, 50, 14, kButtonStyle | kStyleGroup},
                       {tuning_dlg::kCancelButton, K::PushButton, "Abbrechen", 127, 29, 50, 14, kButtonStyle},
                   }});

    // No system menu, so no close box: the engine closes it.
    all.push_back({kDialogStatus, "Status", kDialogPopup | kDialogCaption | kDialogModalFrame, 158, 47, kFontName,
                   kFontSize,
                   {
                       {status_dlg::kStatusText, K::Label, "", 7, 7, 144, 33, kStyleCenter | kStyleVCenter | kStyleNoPrefix},
                   }});

    all.push_back({kDialogResidual, "Residuen der Lösung", kResizableDialog, 284, 177, kFontName, kFontSize,
                   {
                       {residual_dlg::kOkButton, K::DefPushButton, "OK", 231, 156, 50, 14, kButtonStyle | kStyleGroup},
                       {residual_dlg::kPlotWindow, K::Label, "Static", 4, 3, 277, 140, kStyleBorder},
                       {residual_dlg::kMinimumLabel, K::Label, "Minimales Residuum:", 11, 149, 67, 8, kStyleNone},
                       {residual_dlg::kMaximumLabel, K::Label, "Maximales Residuum:", 11, 163, 69, 8, kStyleNone},
                       {residual_dlg::kMinimumEdit, K::Edit, "", 81, 147, 40, 12, kEditStyle | kStyleReadOnly},
                       {residual_dlg::kMaximumEdit, K::Edit, "", 81, 162, 40, 12, kEditStyle | kStyleReadOnly},
                   }});

    // The pages lie in the tab control.
    all.push_back({kDialogDataEdit, "Daten bearbeiten", kResizableDialog, 268, 180, kFontName, kFontSize,
                   {
                       {data_edit_dlg::kTabControl, K::TabControl, "", 4, 1, 259, 158, kStyleTabStop},
                       {data_edit_dlg::kOkButton, K::DefPushButton, "OK", 156, 161, 50, 15, kButtonStyle | kStyleGroup},
                       {data_edit_dlg::kCancelButton, K::PushButton, "Abbrechen", 213, 161, 50, 14, kButtonStyle},
                   }});

    for (const int page : {kDialogDesignPage, kDialogObservationPage})
        all.push_back({page, "", kDialogChild, 260, 119, kFontName, kFontSize,
                       {
                           {data_page::kGrid, K::Custom, "", 3, 6, 253, 110, kStyleTabStop, 0, kGridWindowClass},
                       }});

    all.push_back({kDialogDimensions, "Dimensionen", kModalDialog, 205, 61, kFontName, kFontSize,
                   {
                       {-1, K::GroupBox, "Dimensionen", 7, 7, 138, 47, kStyleNone},
                       {-1, K::Label, "Anzahl Beobachtungen:", 13, 20, 84, 8, kStyleNone},
                       {dimensions_dlg::kObservationCountEdit, K::Edit, "", 98, 18, 30, 12, kEditStyle},
                       {dimensions_dlg::kObservationCountSpin, K::UpDown, "", 129, 18, 10, 12, kSpinStyle},
                       {-1, K::Label, "Anzahl Unbekannte:", 13, 38, 84, 8, kStyleNone},
                       {dimensions_dlg::kUnknownCountEdit, K::Edit, "", 98, 35, 30, 12, kEditStyle},
                       {dimensions_dlg::kUnknownCountSpin, K::UpDown, "", 128, 35, 11, 12, kSpinStyle},
                       {dimensions_dlg::kOkButton, K::DefPushButton, "OK", 148, 24, 50, 14, kButtonStyle | kStyleGroup},
                       {dimensions_dlg::kCancelButton, K::PushButton, "Abbrechen", 148, 40, 50, 14, kButtonStyle},
                   }});

    // Captionless and borderless; its picture fills it.
    all.push_back({kDialogSplash, "", kDialogPopup | kDialogVisible, 266, 187, kFontName, kFontSize,
                   {
                       {-1, K::Picture, "", 0, 0, 266, 187, kStyleNone, kPictureSplash},
                   }});

    return all;
}

} // namespace

const std::vector<DialogTemplate>& AllDialogTemplates()
{
    static const std::vector<DialogTemplate> templates = BuildTemplates();
    return templates;
}

const DialogTemplate* FindDialogTemplate(int id)
{
    for (const DialogTemplate& dialog : AllDialogTemplates())
        if (dialog.id == id)
            return &dialog;
    return nullptr;
}

} // namespace res
