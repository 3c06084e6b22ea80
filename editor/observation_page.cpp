#include "editor/observation_page.h"

#include "platform/string_text.h"
#include "res/dialog_templates.h"
#include "res/string_table.h"

#include <new>
#include <utility>

namespace {

enum ValueColumn : int { kObservedValue = 0, kWeight = 1 };

// A weight of 0 makes the file unreadable; 1 is the neutral weight.
constexpr double kNewWeight = 1.0;

} // namespace

CObservationPage::CObservationPage(QWidget* parent) : CDataPage(res::kDialogObservationPage, parent) {}

void CObservationPage::SetMatrices(Matrix observations, Matrix weightVector)
{
    Observations = std::move(observations);
    Weights = std::move(weightVector);
    EditMode = true;
}

void CObservationPage::FillGrid()
{
    const QStringList titles = {ColumnTitle(kObservedValue + 1), ColumnTitle(kWeight + 1)};
    if (EditMode)
        FillCells(Observations.Rows(), titles,
                  [this](int i, int j) { return j == kWeight ? Weights(i, 0) : Observations(i, 0); });
    else
        FillCells(ObservationCount, titles, [this](int, int j) { return NewValue(j + 1); });
}

QString CObservationPage::ColumnTitle(int j) const
{
    return platform::LoadText(j == kWeight + 1 ? kStringWeightHeader : kStringObservedValueHeader);
}

double CObservationPage::NewValue(int j) const
{
    return j == kWeight + 1 ? kNewWeight : 0.0;
}

bool CObservationPage::ReadGrid(Matrix& observations, Matrix& weightVector, RefusedCells& refused) const
{
    Matrix values;
    const auto positiveWeight = [](int j, double value) {
        return j == kWeight + 1 && !(value > 0.0) ? kStringWeightNotPositive : 0;
    };
    if (!ReadValues(values, refused, positiveWeight))
        return false;
    const int n = values.Rows();
    Matrix readObservations(n, 1, 0.0);
    Matrix readWeights(n, 1, 0.0);
    if (!readObservations.IsValid() || !readWeights.IsValid())
        throw std::bad_alloc();
    for (int i = 0; i < n; ++i) {
        readObservations(i, 0) = values(i, kObservedValue);
        readWeights(i, 0) = values(i, kWeight);
    }
    observations = std::move(readObservations);
    weightVector = std::move(readWeights);
    return true;
}
