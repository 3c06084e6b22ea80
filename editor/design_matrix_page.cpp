#include "editor/design_matrix_page.h"

#include "platform/string_text.h"
#include "res/dialog_templates.h"

#include <utility>

CDesignMatrixPage::CDesignMatrixPage(QWidget* parent) : CDataPage(res::kDialogDesignPage, parent) {}

void CDesignMatrixPage::SetMatrix(Matrix designMatrix)
{
    DesignMatrix = std::move(designMatrix);
    EditMode = true;
}

void CDesignMatrixPage::FillGrid()
{
    const int rows = EditMode ? DesignMatrix.Rows() : ObservationCount;
    const int columns = EditMode ? DesignMatrix.Columns() : UnknownCount;
    QStringList titles;
    for (int j = 1; j <= columns; ++j)
        titles << ColumnTitle(j);
    if (EditMode)
        FillCells(rows, titles, [this](int i, int j) { return DesignMatrix(i, j); });
    else
        FillCells(rows, titles, [](int, int) { return 0.0; });
}

bool CDesignMatrixPage::ReadGrid(Matrix& designMatrix, RefusedCells& refused) const
{
    return ReadValues(designMatrix, refused);
}

QString CDesignMatrixPage::ColumnTitle(int j) const
{
    return NumberedTitle(platform::LoadText(kStringColumnHeader), j);
}
