#include "core/estimator.h"
// Estimation engine: being written.
CEstimator::CEstimator(IStatusWindow* statusWindow, IResidualView* view) : status(statusWindow), residualView(view) {}
