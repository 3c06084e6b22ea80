#include "app/main_dlg.h"

#include "app/about_dlg.h"
#include "app/compute_command.h"
#include "app/m_estimator_panel.h"
#include "app/norm_panel.h"
#include "controls/icon_button.h"
#include "core/methods.h"
#include "editor/data_edit_dlg.h"
#include "editor/dimensions_dlg.h"
#include "io/input_file.h"
#include "platform/data_exchange.h"
#include "platform/dialog_builder.h"
#include "platform/file_access.h"
#include "platform/file_dialog.h"
#include "platform/help.h"
#include "platform/icons.h"
#include "platform/local_file_name.h"
#include "platform/modal.h"
#include "platform/string_text.h"
#include "platform/message_box.h"
#include "platform/text_editor.h"

#include <QAction>
#include <QLineEdit>
#include <QShortcut>

#include <array>
#include <new>
#include <utility>

namespace {

// The file dialogs for input files: choosing one, and saving new data.
const QString kInputFileName = QStringLiteral("*.EIN");
const QString kInputFileFilter = QStringLiteral("Eingabedatei (*.EIN) |*.ein|Alle Dateien (*.*) |*.*||");

struct ButtonLook {
    int id;
    int icon;
    int tip;
};

constexpr std::array<ButtonLook, 9> kButtonLooks = {{
    {CMainDlg::kChooseInputButton, res::kIconChooseFile, kStringTipChooseFile},
    {CMainDlg::kEditInputButton, res::kIconEditFile, kStringTipEditFile},
    {CMainDlg::kCreateDataButton, res::kIconCreateData, kStringTipCreateData},
    {CMainDlg::kEditDataButton, res::kIconEditData, kStringTipEditData},
    {CMainDlg::kChooseOutputButton, res::kIconChooseFile, kStringTipChooseFile},
    {CMainDlg::kEditOutputButton, res::kIconEditFile, kStringTipEditFile},
    {CMainDlg::kComputeButton, res::kIconCompute, kStringTipCompute},
    {CMainDlg::kAboutButton, res::kIconAbout, kStringTipAbout},
    {CMainDlg::kEndButton, res::kIconExit, kStringTipExit},
}};

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
        EaPanel = new CMEstimatorPanel(placeholder);
        LpPanel = new CNormPanel(placeholder);
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
    const QString aboutEntry = platform::LoadText(kStringAboutMenu);
    if (!aboutEntry.isEmpty()) {
        auto* separator = new QAction(this);
        separator->setSeparator(true);
        auto* about = new QAction(aboutEntry, this);
        connect(about, &QAction::triggered, this, &CMainDlg::OnAbout);
        addActions({separator, about});
        setContextMenuPolicy(Qt::ActionsContextMenu);
    }
    setWindowIcon(platform::LoadIcon(res::kIconProgram));

    for (const ButtonLook& look : kButtonLooks)
        if (auto* button = platform::FindControlAs<CIconButton>(this, look.id)) {
            button->LoadIcons(look.icon, 0);
            button->SetTip(look.tip, true);
        }

    // Both panels lie at the top-left corner of the placeholder.
    EaPanel->move(0, 0);
    LpPanel->move(0, 0);

    for (int id : {kEditInputButton, kEditOutputButton, kEditDataButton, kComputeButton})
        if (QWidget* button = platform::FindControl(this, id))
            button->setEnabled(false);
    EaPanel->hide();
    LpPanel->show();

    MaxIterations = kDefaultMaxPasses;
    StopCriterion = kDefaultStopCriterion;
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
    ChooseFileInto(InputFileName, QStringLiteral("Eingabedatei wählen ..."), kInputFileName, kInputFileFilter);
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
    if (const int error = platform::ReadAccessError(fileName)) {
        platform::ShowMessage(platform::FormatText(kStringFileOpenError, {fileName}), this,
                              platform::MessageIcon::Warning, platform::ReasonText(error));
        return;
    }
    if (!platform::RunTextEditor(fileName))
        platform::ShowMessage(platform::LoadText(kStringNoTextEditor), this);
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
        EaPanel->setVisible(estimators);
        LpPanel->setVisible(!estimators);
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
    CAboutDlg about(this);
    platform::ExecModal(about);
}

// A new problem: its dimensions, the editor with zeros (weights 1), then a
// file name; the new file becomes the input file.
void CMainDlg::OnCreateData()
{
    RunDataCommand([this] {
        CDimensionsDlg dimensions(this);
        if (dimensions.DoModal() != QDialog::Accepted)
            return;
        CDataEditDlg editor(this);
        editor.ObservationCount = int(dimensions.ObservationCount);
        editor.UnknownCount = int(dimensions.UnknownCount);
        editor.Save = [this](CDataEditDlg& edited) { return SaveEditedData(edited, AskForDataFileName()); };
        editor.DoModal();
    });
}

// The input file's problem in the editor, written back to the same file.
void CMainDlg::OnEditData()
{
    RunDataCommand([this] {
        if (!ReadProblem(*this))
            return;
        CDataEditDlg editor(this);
        editor.SetData(DesignMatrix, Observations, Weights);
        editor.Save = [this](CDataEditDlg& edited) { return SaveEditedData(edited, InputFileName); };
        editor.DoModal();
    });
}

void CMainDlg::RunDataCommand(const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::bad_alloc&) {
        platform::ShowMessage(platform::LoadText(kStringOutOfMemory), this);
    }
}

QString CMainDlg::AskForDataFileName()
{
    return platform::ChooseFile(nullptr, platform::FileDialogMode::Save, QStringLiteral("Speichern unter..."),
                                kInputFileName, kInputFileFilter);
}

// The old file stays whole when writing fails; then a message names the
// file and the system's reason, and the save dialog is offered again,
// until a file is written (true) or the user cancels (false: back to the
// editor). The file written becomes the input file and its problem the
// dialog's.
bool CMainDlg::SaveEditedData(CDataEditDlg& editor, QString fileName)
{
    while (!fileName.isEmpty()) {
        OutputError reason;
        const int error = WriteInputFile(platform::LocalFileName(fileName), editor.DesignMatrix, editor.Observations,
                                         editor.Weights, &reason);
        if (error == 0) {
            InputFileName = fileName;
            DesignMatrix = std::move(editor.DesignMatrix);
            Observations = std::move(editor.Observations);
            Weights = std::move(editor.Weights);
            ApplyEnablingRule();
            UpdateData(false);
            return true;
        }
        platform::ShowMessage(platform::FormatText(error, {fileName}), this, platform::MessageIcon::Warning,
                              platform::FileFaultText(kStringInputFileLabel, fileName, reason.number));
        fileName = AskForDataFileName();
    }
    return false;
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
    RunComputeCommand(*this);
}
