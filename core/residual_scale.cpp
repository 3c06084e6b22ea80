#include "core/residual_scale.h"

#include "core/irls_pass.h"
#include "core/weighted_system.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <utility>

namespace {

// The median of values (reordered); values is not empty.
double Median(std::vector<double>& values)
{
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
    const double upper = values[middle];
    if (values.size() % 2 == 1)
        return upper;
    const double lower = *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle));
    return 0.5 * lower + 0.5 * upper;
}

} // namespace

double MadScale(std::vector<double> v)
{
    if (v.empty() || !std::all_of(v.begin(), v.end(), [](double value) { return std::isfinite(value); }))
        return std::numeric_limits<double>::quiet_NaN();
    const double centre = Median(v);
    for (double& value : v)
        value = std::fabs(value - centre);
    return Median(v) / kMadNormalisation;
}

double MadAboutZero(std::span<const double> v, std::vector<double>& scratch)
{
    scratch.resize(v.size());
    bool finite = true;
    for (std::size_t i = 0; i < v.size(); ++i) {
        scratch[i] = std::fabs(v[i]);
        finite = finite && std::isfinite(v[i]);
    }
    if (v.empty() || !finite)
        return std::numeric_limits<double>::quiet_NaN();
    return Median(scratch) / kNormalQuartile;
}

double LeastSquaresMadScale(const Matrix& A, const Matrix& l, const Matrix& p)
{
    const WeightedSystem weighted = FormWeightedSystem(A, l, p);
    const int n = weighted.Abar.Rows();
    const std::vector<double> unit(static_cast<std::size_t>(n), 1.0);
    const std::span<const double> lbar(weighted.lbar.Data(), static_cast<std::size_t>(n));
    const int u = weighted.Abar.Columns();
    const Matrix x = SolveNormalEquations(FormNormalEquations(weighted.Abar, unit, lbar), u);
    std::vector<double> v(static_cast<std::size_t>(n));
    ComputeResiduals(weighted.Abar.Data(), x.Data(), lbar.data(), v.data(), n, u);
    return MadScale(std::move(v));
}
