#pragma once

#include "editor/data_page.h"

// The page "Design-Matrix": one row per observation, one column per
// unknown ("Spalte %d").
class CDesignMatrixPage : public CDataPage {
    Q_OBJECT

public:
    explicit CDesignMatrixPage(QWidget* parent = nullptr);

    // Edit mode: the grid shows this matrix (n x u).
    void SetMatrix(Matrix designMatrix);
    // The grid's values as the design matrix; false with every cell that
    // holds no number.
    bool ReadGrid(Matrix& designMatrix, RefusedCells& refused) const;

    // Create mode: the grid's size, every value 0.
    int ObservationCount = 0;
    int UnknownCount = 0;
    Matrix DesignMatrix;

protected:
    void FillGrid() override;
    QString ColumnTitle(int j) const override;
};
