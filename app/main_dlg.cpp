#include "app/main_dlg.h"

#include "app/about_dlg.h"
#include "app/lp_command.h"
#include "app/m_estimator_panel.h"
#include "app/norm_panel.h"
#include "app/status_dlg.h"
#include "app/tuning_dlg.h"
#include "controls/icon_button.h"
#include "core/estimator.h"
#include "io/input_file.h"
#include "normex/normex.h"
#include "platform/data_exchange.h"
#include "platform/dialog_builder.h"
#include "platform/file_dialog.h"
#include "platform/help.h"
#include "platform/icons.h"
#include "platform/lp_library.h"
#include "platform/modal.h"
#include "platform/message_box.h"
#include "platform/text_editor.h"
#include "plot/residual_dlg.h"
#include "res/string_table.h"


#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QShortcut>

#include <array>
#include <new>

namespace {

constexpr int kProgramIcon = 128;

struct ButtonLook {
    int id;
    int icon;
    int tip;
};

constexpr std::array<ButtonLook, 9> kButtonLooks = {{
    {CMainDlg::kChooseInputButton, 131, kStringTipChooseFile},
    {CMainDlg::kEditInputButton, 133, kStringTipEditFile},
    {CMainDlg::kCreateDataButton, 149, kStringTipCreateData},
    {CMainDlg::kEditDataButton, 139, kStringTipEditData},
    {CMainDlg::kChooseOutputButton, 131, kStringTipChooseFile},
    {CMainDlg::kEditOutputButton, 133, kStringTipEditFile},
    {CMainDlg::kComputeButton, 147, kStringTipCompute},
    {CMainDlg::kAboutButton, 164, kStringTipAbout},
    {CMainDlg::kEndButton, 166, kStringTipExit},
}};

// Index of the M-estimator panel's radio button -> method code 2 + index and
// the tuning constant the tuning dialog offers first.
constexpr std::array<double, 8> kDefaultTuningConstants = {0.5, 4.685, 2.385, 1.4, 1.5, 1.205, 2.795, 2.985};

// Index of the norm panel's radio button -> norm factor (3: the entered one).
constexpr std::array<double, 3> kNormFactors = {1.0, 2.0, 25.0};

QString Text(int stringId)
{
    return QString::fromUtf8(LoadString(stringId));
}

QString TextWith(int stringId, const QString& argument)
{
    return QString::fromStdString(FormatString(stringId, argument.toStdString()));
}

// A copy for the engine. Matrix copies report exhausted storage by coming
// out invalid; here that ends the command with the out-of-memory message.
Matrix CopyForRun(const Matrix& matrix)
{
    Matrix copy(matrix);
    if (!copy.IsValid())
        throw std::bad_alloc();
    return copy;
}

std::string LocalFileName(const QString& fileName)
{
    return QFile::encodeName(fileName).toStdString();
}

QWidget* CreateIconButton(const res::ControlTemplate& control, QWidget* dialog)
{
    auto* button = new CIconButton(dialog);
    button->setText(QString::fromUtf8(control.text));
    return button;
}

} // namespace

CMainDlg::CMainDlg(QWidget* parent) : QDialog(parent)
{
    // The panels are built with their placeholder, so that their radio
    // buttons take its place in the tab order.
    platform::BuildDialog(*this, res::kDialogMain, [this](const res::ControlTemplate& control, QWidget* dialog) {
        if (control.kind == res::ControlKind::PushButton || control.kind == res::ControlKind::DefPushButton)
            return CreateIconButton(control, dialog);
        if (control.id != kPanelPlaceholder)
            return static_cast<QWidget*>(nullptr);
        auto* placeholder = new QWidget(dialog);
        mEstimatorPanel = new CMEstimatorPanel(placeholder);
        normPanel = new CNormPanel(placeholder);
        return placeholder;
    });
    InitDialog();
    ConnectCommands();
}

CMainDlg::~CMainDlg()
{
    platform::CloseHelp();
}

void CMainDlg::InitDialog()
{
    // The system menu's "Inf&o über Tolvar..." lives in the dialog's context menu.
    const QString aboutEntry = Text(kStringAboutMenu);
    if (!aboutEntry.isEmpty()) {
        auto* separator = new QAction(this);
        separator->setSeparator(true);
        auto* about = new QAction(aboutEntry, this);
        connect(about, &QAction::triggered, this, &CMainDlg::OnAbout);
        addActions({separator, about});
        setContextMenuPolicy(Qt::ActionsContextMenu);
    }
    setWindowIcon(platform::LoadIcon(kProgramIcon));

    for (const ButtonLook& look : kButtonLooks)
        if (auto* button = platform::FindControlAs<CIconButton>(this, look.id)) {
            button->LoadIcons(look.icon, 0);
            button->SetTip(look.tip, true);
        }

    // Both panels lie at the top-left corner of the placeholder 1019.
    mEstimatorPanel->move(0, 0);
    normPanel->move(0, 0);

    for (int id : {kEditInputButton, kEditOutputButton, kEditDataButton, kComputeButton})
        if (QWidget* button = platform::FindControl(this, id))
            button->setEnabled(false);
    mEstimatorPanel->hide();
    normPanel->show();

    MaxIterations = 1000;
    StopCriterion = 1e-5;
    UpdateData(false);
    if (QWidget* first = platform::FindControl(this, kInputEdit))
        first->setFocus();
}

void CMainDlg::ConnectCommands()
{
    auto onClick = [this](int id, void (CMainDlg::*command)()) {
        if (auto* button = platform::FindControlAs<QAbstractButton>(this, id))
            connect(button, &QAbstractButton::clicked, this, command);
    };
    onClick(kChooseInputButton, &CMainDlg::OnChooseInputFile);
    onClick(kChooseOutputButton, &CMainDlg::OnChooseOutputFile);
    onClick(kEditInputButton, &CMainDlg::OnEditInputFile);
    onClick(kEditOutputButton, &CMainDlg::OnEditOutputFile);
    onClick(kCreateDataButton, &CMainDlg::OnCreateData);
    onClick(kEditDataButton, &CMainDlg::OnEditData);
    onClick(kFamilyLpRadio, &CMainDlg::OnFamilyLp);
    onClick(kFamilyEaRadio, &CMainDlg::OnFamilyEa);
    onClick(kComputeButton, &CMainDlg::OnCompute);
    onClick(kAboutButton, &CMainDlg::OnAbout);
    onClick(kEndButton, &CMainDlg::OnEnd);
    for (int id : {kInputEdit, kOutputEdit})
        if (auto* edit = platform::FindControlAs<QLineEdit>(this, id))
            connect(edit, &QLineEdit::textChanged, this, &CMainDlg::OnFileNameChanged);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, &CMainDlg::OnHelp);
}

void CMainDlg::Exchange(platform::DataExchange& dx)
{
    dx.RadioGroup(kFamilyLpRadio, FamilyLp);
    dx.RadioGroup(kFamilyEaRadio, FamilyEa);
    dx.Text(kInputEdit, InputFileName);
    dx.Text(kOutputEdit, OutputFileName);
    dx.Int(kIterationsEdit, MaxIterations);
    dx.Double(kStopCriterionEdit, StopCriterion);
}

bool CMainDlg::UpdateData(bool saveAndValidate)
{
    return platform::UpdateData(this, saveAndValidate, [this](platform::DataExchange& dx) { Exchange(dx); });
}

// Only the two file names decide the enabling rule, so a keystroke in them
// reads just those two fields: re-reading the number fields here would put
// up their validation message, and take the focus away, at every keystroke.
void CMainDlg::OnFileNameChanged()
{
    platform::UpdateData(this, true, [this](platform::DataExchange& dx) {
        dx.Text(kInputEdit, InputFileName);
        dx.Text(kOutputEdit, OutputFileName);
    });
    ApplyEnablingRule();
}

void CMainDlg::ApplyEnablingRule()
{
    const bool haveInput = !InputFileName.isEmpty();
    const bool haveOutput = !OutputFileName.isEmpty();
    auto enable = [this](int id, bool on) {
        if (QWidget* control = platform::FindControl(this, id))
            control->setEnabled(on);
    };
    enable(kEditInputButton, haveInput);
    enable(kEditDataButton, haveInput);
    enable(kEditOutputButton, haveOutput);
    enable(kComputeButton, haveInput && haveOutput);
}

void CMainDlg::OnChooseInputFile()
{
    ChooseFileInto(InputFileName, QStringLiteral("Eingabedatei wählen ..."), QStringLiteral("*.EIN"),
                   QStringLiteral("Eingabedatei (*.EIN) |*.ein|Alle Dateien (*.*) |*.*||"));
}

void CMainDlg::OnChooseOutputFile()
{
    ChooseFileInto(OutputFileName, QStringLiteral("Ausgabedatei wählen ..."), QStringLiteral("*.AUS"),
                   QStringLiteral("Ausgabedatei (*.AUS) |*.aus|Alle Dateien (*.*) |*.*||"));
}

// The file need not exist, so that a new output file can be named; Cancel
// keeps the name as it was.
void CMainDlg::ChooseFileInto(QString& fileName, const QString& title, const QString& initialName,
                              const QString& filter)
{
    UpdateData(true);
    const QString chosen = platform::ChooseFile(this, platform::FileDialogMode::Open, title, initialName, filter);
    if (!chosen.isEmpty())
        fileName = chosen;
    ApplyEnablingRule();
    UpdateData(false);
}

void CMainDlg::OnEditInputFile()
{
    OpenInTextEditor(InputFileName);
}

void CMainDlg::OnEditOutputFile()
{
    OpenInTextEditor(OutputFileName);
}

// The editor starts only for a file that can be read; the dialog waits for it.
void CMainDlg::OpenInTextEditor(const QString& fileName)
{
    QFile file(fileName);
    if (fileName.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        platform::ShowMessage(TextWith(kStringFileOpenError, fileName), this);
        return;
    }
    file.close();
    if (!platform::RunTextEditor(fileName))
        platform::ShowMessage(Text(kStringNoTextEditor), this);
}

void CMainDlg::OnFamilyLp()
{
    SelectFamily(false);
}

void CMainDlg::OnFamilyEa()
{
    SelectFamily(true);
}

// Each family radio is alone in its group, so the other one is unchecked
// here; the typed text of every other field stays as it is.
void CMainDlg::SelectFamily(bool estimators)
{
    const bool already = estimators ? FamilyEa == 0 : FamilyLp == 0;
    if (!already) {
        FamilyEa = estimators ? 0 : -1;
        FamilyLp = estimators ? -1 : 0;
        mEstimatorPanel->setVisible(estimators);
        normPanel->setVisible(!estimators);
    }
    ExchangeFamilies(false);
}

void CMainDlg::ExchangeFamilies(bool saveAndValidate)
{
    platform::UpdateData(this, saveAndValidate, [this](platform::DataExchange& dx) {
        dx.RadioGroup(kFamilyLpRadio, FamilyLp);
        dx.RadioGroup(kFamilyEaRadio, FamilyEa);
    });
}

void CMainDlg::OnAbout()
{
    ShowAboutBox();
}

void CMainDlg::ShowAboutBox()
{
    CAboutDlg about(this);
    platform::ExecModal(about);
}

// The data editor (dimensions dialog, grid pages) is not built yet: the
// create and edit commands keep their buttons and enabling rule, and show
// nothing until it joins here.
// The data editor is not part of this version yet: say so instead of
// ignoring the click.
void CMainDlg::OnCreateData()
{
    platform::ShowMessage(Text(kStringNoDataEditor), this, platform::MessageIcon::Information);
}

void CMainDlg::OnEditData()
{
    platform::ShowMessage(Text(kStringNoDataEditor), this, platform::MessageIcon::Information);
}

void CMainDlg::OnHelp()
{
    platform::ShowHelp(this);
}

void CMainDlg::OnEnd()
{
    if (UpdateData(true))
        accept();
}

void CMainDlg::OnCompute()
{
    try {
        Compute();
    } catch (const std::bad_alloc&) {
        platform::ShowMessage(Text(kStringOutOfMemory), this);
    }
}

void CMainDlg::Compute()
{
    UpdateData(true);  // a field not accepted keeps its value; the command goes on
    if (InputFileName.isEmpty() || OutputFileName.isEmpty()) {
        platform::ShowMessage(Text(kStringChooseFiles), this);
        return;
    }
    if (!ReadProblem())
        return;
    if (FamilyLp == 0)
        ComputeNorm();
    else
        ComputeMEstimator();
}

// Reads into temporaries first, so that a failed read leaves the last
// problem loaded.
bool CMainDlg::ReadProblem()
{
    Matrix design;
    Matrix observations;
    Matrix weights;
    const int error = ReadInputFile(LocalFileName(InputFileName), design, observations, weights);
    if (error != 0) {
        const QString message = Text(error);
        platform::ShowMessage(message.isEmpty() ? Text(kStringInputFileError) : message, this);
        return false;
    }
    DesignMatrix = std::move(design);
    Observations = std::move(observations);
    Weights = std::move(weights);
    return true;
}

void CMainDlg::ComputeNorm()
{
    const int selection = normPanel->GetSelection();
    if (selection < 0 || selection > 3) {
        platform::ShowMessage(Text(kStringChooseMethod), this);
        return;
    }
    const double factor = selection < 3 ? kNormFactors[selection] : normPanel->NormFactor();
    if (factor < NORMEX_MIN_NORM_FACTOR) { // the field starts at 0; the library would refuse it
        platform::ShowMessage(Text(kStringNormFactorBelowOne), this);
        normPanel->FocusNormFactor();
        return;
    }
    const std::string command = BuildLpCommand(LocalFileName(InputFileName), LocalFileName(OutputFileName),
                                               DesignMatrix.Rows(), DesignMatrix.Columns(), factor, MaxIterations);
    std::vector<char> buffer = LpCommandBuffer(command);
    const int result = platform::CallLp(buffer.data(), static_cast<int>(buffer.size()));
    if (result == platform::kLpLibraryMissing)
        platform::ShowMessage(TextWith(kStringNoLpLibrary, platform::LpLibraryPath()), this);
    else if (result == 0)
        platform::ShowMessage(Text(kStringComputeSuccess), this, platform::MessageIcon::Information);
    else
        platform::ShowMessage(Text(kStringComputeError), this);
}

void CMainDlg::ComputeMEstimator()
{
    const int selection = mEstimatorPanel->GetSelection();
    if (selection < 0 || selection >= static_cast<int>(kDefaultTuningConstants.size())) {
        platform::ShowMessage(Text(kStringChooseMethod), this);
        return;
    }
    // A new dialog every run: it always offers the method's default.
    CTuningDlg tuning(this);
    tuning.TuningConstant = kDefaultTuningConstants[selection];
    if (tuning.DoModal() != QDialog::Accepted)
        return;

    CStatusDlg status(this);
    CResidualDlg residuals(this);
    CEstimator estimator(&status, &residuals);
    estimator.SetOutputFile(LocalFileName(OutputFileName));
    estimator.TuningConstant = tuning.TuningConstant;
    const int result = estimator.Run(CopyForRun(DesignMatrix), CopyForRun(Observations), CopyForRun(Weights),
                                     kMethodAndrews + selection, 0.0, MaxIterations, StopCriterion);
    if (result == kRunSuccess)
        platform::ShowMessage(Text(kStringComputeSuccess), this, platform::MessageIcon::Information);
    else
        platform::ShowMessage(Text(kStringComputeError), this);
}
