#include "grid/undo_stack.h"

#include "grid/cell_store.h"

#include <algorithm>

CUndoStack::~CUndoStack() = default;

void CUndoStack::End()
{
    if (depth > 0 && --depth == 0)
        Close();
}

CUndoStack::Part& CUndoStack::PartFor(CCellStore& store, bool forLines)
{
    std::vector<Part>& parts = open.parts;
    if (forLines || parts.empty() || parts.back().store != &store || parts.back().lines)
        parts.push_back(Part{&store, {}, nullptr, 0, false});
    return parts.back();
}

void CUndoStack::RecordText(CCellStore& store, CellPos cell, const CellText& before, const CellText& after)
{
    if (applying)
        return;
    PartFor(store, false).texts.push_back({cell, before, after});
    if (depth == 0)
        Close();
}

void CUndoStack::RecordLines(CCellStore& store, bool inserted, CellLines lines, int count)
{
    if (applying)
        return;
    Part& part = PartFor(store, true);
    part.lineCount = count;
    part.lines = std::make_unique<CellLines>(std::move(lines));
    part.inserted = inserted;
    if (depth == 0)
        Close();
}

// The open step becomes the newest; the undone ones are gone.
void CUndoStack::Close()
{
    if (open.parts.empty())
        return;
    steps.erase(steps.begin() + std::ptrdiff_t(position), steps.end());
    open.id = nextId++;
    steps.push_back(std::move(open));
    open = Step{};
    while (int(steps.size()) > limit) {
        baseId = steps.front().id;
        steps.pop_front();
    }
    position = steps.size();
}

void CUndoStack::Undo()
{
    if (!CanUndo() || depth > 0)
        return;
    --position;
    Apply(steps[position], true);
}

void CUndoStack::Redo()
{
    if (!CanRedo() || depth > 0)
        return;
    Apply(steps[position], false);
    ++position;
}

// Undo goes backwards through the step, redo forwards. A lines part swaps
// the lines it holds with those in the store.
void CUndoStack::Apply(Step& step, bool undo)
{
    applying = true;
    const auto applyPart = [undo](Part& part) {
        if (part.lines) {
            const bool put = part.inserted != undo;
            if (put) {
                part.store->PutLines(std::move(*part.lines));
                part.lines->cells.clear();
            } else {
                *part.lines = part.store->TakeLines(part.lines->orientation, part.lines->at, part.lineCount);
            }
            return;
        }
        if (undo)
            for (auto change = part.texts.rbegin(); change != part.texts.rend(); ++change)
                part.store->RestoreText(change->cell, change->before);
        else
            for (const TextChange& change : part.texts)
                part.store->RestoreText(change.cell, change.after);
    };
    if (undo)
        std::for_each(step.parts.rbegin(), step.parts.rend(), applyPart);
    else
        std::for_each(step.parts.begin(), step.parts.end(), applyPart);
    applying = false;
    if (applied && !step.parts.empty())
        applied(*step.parts.front().store, Where(step.parts.front()));
}

// The changed texts' bounds, or the lines' place (for rows: the rows at
// the first value column, for columns the other way round).
CellBlock CUndoStack::Where(const Part& part)
{
    if (part.lines) {
        const CellLines& lines = *part.lines;
        const int last = lines.at + std::max(1, part.lineCount) - 1;
        const int rows = part.store->GetNumRows() - 1;
        const int columns = part.store->GetNumColumns() - 1;
        const int fixedRows = part.store->GetNumFixedRows();
        const int fixedColumns = part.store->GetNumFixedColumns();
        if (lines.orientation == Qt::Vertical)
            return {std::min(lines.at, rows), fixedColumns, std::min(last, rows), columns};
        return {fixedRows, std::min(lines.at, columns), rows, std::min(last, columns)};
    }
    CellBlock bounds;
    for (const TextChange& change : part.texts)
        bounds.Enclose(change.cell);
    return bounds;
}
