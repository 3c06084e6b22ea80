#include "editor/data_edit_dlg.h"

#include "editor/design_matrix_page.h"
#include "editor/observation_page.h"
#include "platform/dialog_builder.h"
#include "platform/message_box.h"
#include "platform/modal.h"
#include "platform/string_text.h"
#include "platform/tab_control.h"

#include <QResizeEvent>

#include <new>
#include <utility>

namespace {

constexpr int kMinimumTabWidth = 125;  // pixels

constexpr int kPageTitles[] = {kStringDesignPage, kStringObservationPage};

QString PageTitle(int index)
{
    return platform::LoadText(kPageTitles[index]);
}

// Where a page lies in the tab control: below the row of tabs, inside the
// frame (pixels).
constexpr int kPageLeft = 7;
constexpr int kPageRightMargin = 3;
constexpr int kPageGapBelowTabs = 3;
constexpr int kPageBottomMargin = 2;

} // namespace

CDataEditDlg::CDataEditDlg(QWidget* parent) : QDialog(parent)
{
    platform::BuildDialog(*this, res::kDialogDataEdit);
    TabCtrl = platform::FindControlAs<platform::TabControl>(this, kTabControl);
    platform::ConnectOkCancel(*this);
    connect(TabCtrl, &platform::TabControl::SelectionChanged, this, &CDataEditDlg::OnSelChange);
    // It may grow freely but never get smaller than it was built.
    setMinimumSize(size());
    setSizeGripEnabled(true);
}

void CDataEditDlg::SetData(Matrix designMatrix, Matrix observations, Matrix weightVector)
{
    DesignMatrix = std::move(designMatrix);
    Observations = std::move(observations);
    Weights = std::move(weightVector);
    EditMode = true;
}

int CDataEditDlg::DoModal()
{
    InitDialog();
    return platform::ExecModal(*this);
}

void CDataEditDlg::InitDialog()
{
    Design = new CDesignMatrixPage(TabCtrl);
    Observation = new CObservationPage(TabCtrl);
    if (EditMode) {
        Design->SetMatrix(DesignMatrix);
        Observation->SetMatrices(Observations, Weights);
    } else {
        Design->ObservationCount = ObservationCount;
        Design->UnknownCount = UnknownCount;
        Observation->ObservationCount = ObservationCount;
    }
    TabCtrl->SetMinTabWidth(kMinimumTabWidth);
    for (int index : {kDesignPage, kObservationPage})
        TabCtrl->InsertItem(index, PageTitle(index));
    TabCtrl->SetCurSel(kDesignPage);

    Pages = {Design, Observation};
    for (CDataPage* page : Pages) {
        page->InitPage();
        PlacePage(*page);
    }
    Observation->hide();
    Design->show();
    Current = Design;
    Design->Activate();
}

void CDataEditDlg::PlacePage(CDataPage& page)
{
    const int top = TabCtrl->TabRowHeight() + kPageGapBelowTabs;
    page.setGeometry(kPageLeft, top, TabCtrl->width() - kPageLeft - kPageRightMargin,
                     TabCtrl->height() - top - kPageBottomMargin);
}

void CDataEditDlg::OnSelChange()
{
    ShowPage(TabCtrl->GetCurSel());
}

// The hidden page keeps everything typed into it.
void CDataEditDlg::ShowPage(int index)
{
    if (index < 0 || index >= int(Pages.size()))
        return;
    TabCtrl->SetCurSel(index);
    CDataPage* page = Pages[index];
    if (page != Current) {
        Current->hide();
        page->show();
        page->repaint();
        Current = page;
    }
    page->Activate();
}

// Out of memory while the values are gathered: the editor says so and stays
// open with everything typed.
void CDataEditDlg::accept()
{
    if (!Design || !Observation)
        return;  // not run yet: no pages to read
    try {
        AcceptValues();
    } catch (const std::bad_alloc&) {
        platform::ShowMessage(platform::LoadText(kStringOutOfMemory), this);
    }
}

void CDataEditDlg::AcceptValues()
{
    RefusedCell refused;
    Matrix designMatrix;
    Matrix observations;
    Matrix weights;
    if (!Design->ReadGrid(designMatrix, refused)) {
        ShowRefusedCell(kDesignPage, refused);
        return;
    }
    if (!Observation->ReadGrid(observations, weights, refused)) {
        ShowRefusedCell(kObservationPage, refused);
        return;
    }
    DesignMatrix = std::move(designMatrix);
    Observations = std::move(observations);
    Weights = std::move(weights);
    QDialog::accept();
}

void CDataEditDlg::ShowRefusedCell(int index, const RefusedCell& refused)
{
    ShowPage(index);
    Pages[index]->FocusCell(refused.cell);
    platform::ShowMessage(Pages[index]->RefusalText(refused, PageTitle(index)), this);
}

// The first size (while the window is being shown) is only recorded; later
// ones move the buttons and grow the tab control and both pages by the
// change.
void CDataEditDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (isMinimized())
        return;
    if (const std::optional<QSize> change = ClientSize.Follow(event->size()))
        FollowSize(change->width(), change->height());
}

void CDataEditDlg::FollowSize(int dx, int dy)
{
    for (int id : {kOkButton, kCancelButton})
        if (QWidget* button = platform::FindControl(this, id))
            button->move(button->pos() + QPoint(dx, dy));
    TabCtrl->resize(TabCtrl->width() + dx, TabCtrl->height() + dy);
    for (CDataPage* page : Pages)
        if (page) {
            page->resize(page->width() + dx, page->height() + dy);
            page->update();
        }
}
