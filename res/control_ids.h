#pragma once

// The control ids of every dialog template, one enumeration per dialog. The
// templates (res/dialog_templates.cpp) are written with these names, and
// each dialog class exports its own in its header with `using enum`, so
// that code and tests say CMainDlg::kInputEdit, never 1000.
namespace res {

// The standard buttons keep the same ids in every template that has them.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

namespace about_dlg {
enum ControlId : int {
    kOkButton = kIdOk,
    kFirstMailLink = 1032,
    kSecondMailLink = 1033,
};
}

namespace main_dlg {
enum ControlId : int {
    kEndButton = kIdOk,
    kInputEdit = 1000,
    kOutputEdit = 1001,
    kChooseInputButton = 1002,
    kChooseOutputButton = 1003,
    kEditInputButton = 1004,
    kEditOutputButton = 1005,
    kEditDataButton = 1006,
    kComputeButton = 1007,
    kAboutButton = 1008,
    kCreateDataButton = 1009,
    kFamilyLpRadio = 1011,
    kFamilyEaRadio = 1012,
    kPanelPlaceholder = 1019,
    kIterationsEdit = 1040,
    kStopCriterionEdit = 1041,
};
}

// Radios in method order: Andrews, Biweight, Cauchy, Fair, Huber, Logistic,
// Talwar, Welsch.
namespace m_estimator_panel {
enum ControlId : int {
    kAndrewsRadio = 1014,
    kBiweightRadio = 1015,
    kCauchyRadio = 1016,
    kFairRadio = 1017,
    kHuberRadio = 1018,
    kLogisticRadio = 1019,
    kTalwarRadio = 1020,
    kWelschRadio = 1021,
};
}

namespace norm_panel {
enum ControlId : int {
    kL1Radio = 1014,
    kL2Radio = 1015,
    kChebyshevRadio = 1016,
    kAnyFactorRadio = 1017,
    kNormFactorEdit = 1018,
};
}

namespace tuning_dlg {
enum ControlId : int {
    kOkButton = kIdOk,
    kCancelButton = kIdCancel,
    kTuningEdit = 1029,
};
}

namespace status_dlg {
enum ControlId : int {
    kStatusText = 1030,
};
}

namespace residual_dlg {
enum ControlId : int {
    kOkButton = kIdOk,
    kPlotWindow = 1034,
    kMinimumEdit = 1036,
    kMaximumEdit = 1037,
    kMinimumLabel = 1038,
    kMaximumLabel = 1039,
};
}

namespace data_edit_dlg {
enum ControlId : int {
    kOkButton = kIdOk,
    kCancelButton = kIdCancel,
    kTabControl = 1021,
};
}

// Both pages of the data editor.
namespace data_page {
enum ControlId : int {
    kGrid = 1024,
};
}

namespace dimensions_dlg {
enum ControlId : int {
    kOkButton = kIdOk,
    kCancelButton = kIdCancel,
    kObservationCountEdit = 1025,
    kUnknownCountEdit = 1026,
    kObservationCountSpin = 1027,
    kUnknownCountSpin = 1028,
};
}

} // namespace res
