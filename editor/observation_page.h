#pragma once

#include "editor/data_page.h"

// The page "Beobachtungen": one row per observation with its observed
// value ("Beobachtung") and its weight ("Gewicht").
class CObservationPage : public CDataPage {
    Q_OBJECT

public:
    explicit CObservationPage(QWidget* parent = nullptr);

    // Edit mode: the grid shows these (both n x 1).
    void SetMatrices(Matrix observations, Matrix weightVector);
    // The grid's values as observations and weights (both n x 1); false
    // with every cell that holds no number or a weight not above 0.
    bool ReadGrid(Matrix& observations, Matrix& weightVector, RefusedCells& refused) const;

    // Create mode: the number of rows; every value 0, every weight 1.
    int ObservationCount = 0;
    Matrix Observations;
    Matrix Weights;

protected:
    void FillGrid() override;
    QString ColumnTitle(int j) const override;
    double NewValue(int j) const override;
};
