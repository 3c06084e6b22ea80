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
    const QStringList titles = {platform::LoadText(kStringObservedValueHeader),
                                platform::LoadText(kStringWeightHeader)};
    if (EditMode)
        FillCells(Observations.Rows(), titles,
                  [this](int i, int j) { return j == kWeight ? Weights(i, 0) : Observations(i, 0); });
    else
        FillCells(ObservationCount, titles, [](int, int j) { return j == kWeight ? kNewWeight : 0.0; });
}

bool CObservationPage::ReadGrid(Matrix& observations, Matrix& weightVector, RefusedCell& refused) const
{
    Matrix values;
    if (!ReadValues(values, refused))
        return false;
    const int n = values.Rows();
    Matrix readObservations(n, 1, 0.0);
    Matrix readWeights(n, 1, 0.0);
    if (!readObservations.IsValid() || !readWeights.IsValid())
        throw std::bad_alloc();
    for (int i = 0; i < n; ++i) {
        readObservations(i, 0) = values(i, kObservedValue);
        readWeights(i, 0) = values(i, kWeight);
        if (!(readWeights(i, 0) > 0.0)) {
            refused = {{i + 1, kWeight + 1}, kStringWeightNotPositive};
            return false;
        }
    }
    observations = std::move(readObservations);
    weightVector = std::move(readWeights);
    return true;
}
