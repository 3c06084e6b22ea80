#pragma once

#include "core/matrix.h"
#include "res/control_ids.h"

#include <QDialog>
#include <QString>

#include <functional>

class CDataEditDlg;
class CMEstimatorPanel;
class CNormPanel;

namespace platform {
class DataExchange;
}

// "Tolvar": the program's one dialog. It holds the working state (file
// names, method family, iteration limit, stop criterion, the problem of
// the last input file read) and runs every command: choosing files,
// opening them in the text editor, creating and editing input data in the
// data editor (editor/), choosing the method, computing
// (app/compute_command.h), help and the about box. Enter and "Ende" close it once every field is
// accepted; Escape and the close box close it at once.
class CMainDlg : public QDialog {
    Q_OBJECT

public:
    using ControlId = res::main_dlg::ControlId;
    using enum ControlId;

    explicit CMainDlg(QWidget* parent = nullptr);
    ~CMainDlg() override;

    // Re-reads (true) or writes back (false) every field in the dialog's
    // exchange order. False when a field was not accepted.
    bool UpdateData(bool saveAndValidate);

    // Commands, one per button.
    void OnChooseInputFile();
    void OnChooseOutputFile();
    void OnEditInputFile();
    void OnEditOutputFile();
    void OnFamilyLp();
    void OnFamilyEa();
    void OnCompute();
    void OnAbout();
    void OnCreateData();
    void OnEditData();
    void OnHelp();
    void OnEnd();

    CMEstimatorPanel* MEstimatorPanel() const { return EaPanel; }
    CNormPanel* NormPanel() const { return LpPanel; }

    // Working state.
    int FamilyLp = 0;   // 0 checked, -1 not checked
    int FamilyEa = -1;
    QString InputFileName;
    QString OutputFileName;
    int MaxIterations = 0;
    double StopCriterion = 0.0;
    Matrix DesignMatrix;
    Matrix Observations;
    Matrix Weights;  // n x 1: the weights of the observations

private:
    void InitDialog();
    void ConnectCommands();
    void Exchange(platform::DataExchange& dx);
    void ExchangeFamilies(bool saveAndValidate);
    void OnFileNameChanged();
    void ApplyEnablingRule();
    void ChooseFileInto(QString& fileName, const QString& title, const QString& initialName, const QString& filter);
    void OpenInTextEditor(const QString& fileName);
    void SelectFamily(bool estimators);
    // The data commands end with the out-of-memory message when the grids
    // do not fit.
    void RunDataCommand(const std::function<void()>& command);
    QString AskForDataFileName();
    bool SaveEditedData(CDataEditDlg& editor, QString fileName);

    CMEstimatorPanel* EaPanel = nullptr;
    CNormPanel* LpPanel = nullptr;
};
