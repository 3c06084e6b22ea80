#include "app/compute_command.h"

#include "app/m_estimator_panel.h"
#include "app/main_dlg.h"
#include "app/norm_panel.h"
#include "app/status_dlg.h"
#include "app/tuning_dlg.h"
#include "core/estimator.h"
#include "core/file_path.h"
#include "core/output_file.h"
#include "core/solution_check.h"
#include "io/input_file.h"
#include "normex/command_text.h"
#include "normex/normex.h"
#include "platform/local_file_name.h"
#include "platform/lp_library.h"
#include "platform/message_box.h"
#include "platform/string_text.h"
#include "plot/residual_dlg.h"

#include <array>
#include <new>

namespace {

// Index of the norm panel's radio button -> norm factor (3: the entered one).
constexpr std::array<double, 3> kNormFactors = {1.0, 2.0, kChebyshevNormFactor};

void Tell(CMainDlg& dialog, int stringId)
{
    platform::ShowMessage(platform::LoadText(stringId), &dialog);
}

// 116, with the check's warning (few correct digits) as informative text.
void TellSuccess(CMainDlg& dialog, const SolutionCheck& check = {})
{
    platform::ShowMessage(platform::LoadText(kStringComputeSuccess), &dialog, platform::MessageIcon::Information,
                          check.Warns() ? QString::fromStdString(CheckCauseText(check)) : QString());
}

using platform::LocalFileName;

// 117 with the output file's name and, when known, why it cannot be written
// and the first value of the input that is not finite.
void TellComputeError(CMainDlg& dialog, int errorNumber, const InputPlace& notFinite = {})
{
    const std::string where = PlaceText(notFinite);
    platform::ShowMessage(platform::LoadText(kStringComputeError), &dialog, platform::MessageIcon::Warning,
                          platform::FileFaultText(kStringOutputFileLabel, dialog.OutputFileName, errorNumber) +
                              (where.empty() ? QString()
                                             : "\n" + platform::FormatText(kStringInputFileLabel, {dialog.InputFileName}) +
                                                   ", " + QString::fromStdString(where)));
}

// 117 with why the solution failed its check.
void TellCheckFailed(CMainDlg& dialog, const SolutionCheck& check)
{
    platform::ShowMessage(platform::LoadText(kStringComputeError), &dialog, platform::MessageIcon::Warning,
                          QString::fromStdString(CheckCauseText(check)));
}

// Asked before the tuning dialog and the library call, so that nobody
// confirms a constant only to learn that the report cannot be written.
bool OutputWritable(CMainDlg& dialog)
{
    const int error = OutputAccessError(LocalFileName(dialog.OutputFileName));
    if (error != 0)
        TellComputeError(dialog, error);
    return error == 0;
}

// The problem goes into the run, and its memory is given back after it.
void FreeProblem(CMainDlg& dialog)
{
    dialog.DesignMatrix = Matrix();
    dialog.Observations = Matrix();
    dialog.Weights = Matrix();
}

constexpr std::size_t kPieceShown = 40;

// Values the reader cut short: how many, and where the first one is.
class CutValues {
public:
    DesignPieceReport Report()
    {
        return [this](const DesignPieceNotANumber& piece) {
            if (count++ == 0)
                first = PlaceText({piece.line, piece.position}) +
                        ": \"" + std::string(piece.piece.substr(0, kPieceShown)) +
                        (piece.piece.size() > kPieceShown ? "...\"" : "\"");
        };
    }

    // Once, after reading: the data stay as read, the user may look at the file.
    void Tell(CMainDlg& dialog) const
    {
        if (count == 0)
            return;
        platform::ShowMessage(platform::FormatText(kStringValuesCutShort, {QString::number(count)}), &dialog,
                              platform::MessageIcon::Warning,
                              platform::FormatText(kStringInputFileLabel, {dialog.InputFileName}) + "\n" +
                                  QString::fromStdString(first));
    }

private:
    long long count = 0;
    std::string first;
};

} // namespace

// Reads into temporaries first, so that a failed read leaves the last
// problem loaded.
bool ReadProblem(CMainDlg& dialog, InputPlace* notFinite)
{
    Matrix design;
    Matrix observations;
    Matrix weights;
    int systemError = 0;
    CutValues cut;
    InputPlace place;
    const int error = ReadInputFileWeightVector(LocalFileName(dialog.InputFileName), design, observations, weights,
                                                &systemError, cut.Report(), &place);
    if (error != 0) {
        const QString message = platform::LoadText(error);
        const std::string where = PlaceText(place);
        platform::ShowMessage(message.isEmpty() ? platform::LoadText(kStringInputFileError) : message, &dialog,
                              platform::MessageIcon::Warning,
                              platform::FileFaultText(kStringInputFileLabel, dialog.InputFileName, systemError) +
                                  (where.empty() ? QString() : "\n" + QString::fromStdString(where)));
        return false;
    }
    dialog.DesignMatrix = std::move(design);
    dialog.Observations = std::move(observations);
    dialog.Weights = std::move(weights);
    if (notFinite != nullptr)
        *notFinite = place;
    cut.Tell(dialog);
    return true;
}

namespace {

void ComputeNorm(CMainDlg& dialog, const InputPlace& notFinite)
{
    CNormPanel& panel = *dialog.NormPanel();
    const int selection = panel.GetSelection();
    if (selection < 0 || selection > 3) {
        Tell(dialog, kStringChooseMethod);
        return;
    }
    const double factor = selection < 3 ? kNormFactors[selection] : panel.NormFactor;
    if (factor < NORMEX_MIN_NORM_FACTOR) { // the field starts at 0; the library would refuse it
        Tell(dialog, kStringNormFactorBelowOne);
        panel.FocusNormFactor();
        return;
    }
    const std::string command =
        BuildLpCommand(LocalFileName(dialog.InputFileName), LocalFileName(dialog.OutputFileName),
                       dialog.DesignMatrix.Rows(), dialog.DesignMatrix.Columns(), factor, dialog.MaxIterations);
    std::vector<char> buffer = LpCommandBuffer(command);
    const int result = platform::CallLp(buffer.data(), static_cast<int>(buffer.size()));
    if (result == platform::kLpLibraryMissing)
        platform::ShowMessage(platform::FormatText(kStringNoLpLibrary, {platform::LpLibraryPath()}), &dialog);
    else if (result == 0)
        TellSuccess(dialog);
    else // the library gives no cause; the output file may tell one
        TellComputeError(dialog, OutputAccessError(LocalFileName(dialog.OutputFileName)), notFinite);
}

void ComputeMEstimator(CMainDlg& dialog, const InputPlace& notFinite)
{
    const int selection = dialog.MEstimatorPanel()->GetSelection();
    if (selection < 0 || selection >= kEstimatorCount) {
        Tell(dialog, kStringChooseMethod);
        return;
    }
    const int code = kFirstEstimator + selection;
    // A new dialog every run: it always offers the method's default.
    CTuningDlg tuning(&dialog);
    tuning.TuningConstant = kMethods[code].defaultTuningConstant;
    if (tuning.DoModal() != QDialog::Accepted)
        return;

    CStatusDlg status(&dialog);
    CResidualDlg residuals(&dialog);
    CEstimator estimator(&status, &residuals);
    estimator.SetOutputFile(LocalFileName(dialog.OutputFileName));
    estimator.TuningConstant = tuning.TuningConstant;
    // The status window shows before the engine starts on the problem.
    const int result = estimator.RunWithWeightVector(std::move(dialog.DesignMatrix), std::move(dialog.Observations),
                                                     std::move(dialog.Weights), code, 0.0, dialog.MaxIterations,
                                                     dialog.StopCriterion);
    const SolutionCheck& check = estimator.Results().check;
    if (result == kRunSuccess)
        TellSuccess(dialog, check);
    else if (result == kRunTooFewObservations)
        Tell(dialog, kStringTooFewObservations);
    else if (result == kRunNotFinite && check.causeId != 0 && notFinite.line == 0)
        TellCheckFailed(dialog, check); // no value of the file explains it
    else
        TellComputeError(dialog, estimator.ReportError().number, notFinite);
}

void Compute(CMainDlg& dialog)
{
    dialog.UpdateData(true); // a field not accepted keeps its value; the command goes on
    if (dialog.InputFileName.isEmpty() || dialog.OutputFileName.isEmpty()) {
        Tell(dialog, kStringChooseFiles);
        return;
    }
    if (IsSameFile(LocalFileName(dialog.InputFileName), LocalFileName(dialog.OutputFileName))) {
        Tell(dialog, kStringSameFile); // the report would replace its own input
        return;
    }
    InputPlace notFinite;
    if (!ReadProblem(dialog, &notFinite))
        return;
    if (TooFewObservations(dialog.DesignMatrix.Rows(), dialog.DesignMatrix.Columns())) {
        Tell(dialog, kStringTooFewObservations); // before the tuning dialog and the library
        FreeProblem(dialog);
        return;
    }
    if (OutputWritable(dialog)) {
        if (dialog.FamilyLp == 0)
            ComputeNorm(dialog, notFinite);
        else
            ComputeMEstimator(dialog, notFinite);
    }
    FreeProblem(dialog);
}

} // namespace

void RunComputeCommand(CMainDlg& dialog)
{
    try {
        Compute(dialog);
    } catch (const std::bad_alloc&) {
        FreeProblem(dialog);  // a run cut short may have taken it
        Tell(dialog, kStringOutOfMemory);
    }
}
