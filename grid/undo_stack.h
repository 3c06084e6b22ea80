#pragma once

#include "grid/cell.h"
#include "grid/grid_item.h"

#include <Qt>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class CCellStore;

// Whole rows (Qt::Vertical) or columns (Qt::Horizontal) of cells, taken out
// of a store or to be put into one before line at: cells[k] is line at + k
// (a row's cells left to right, a column's top to bottom), sizes[k] its
// height or width, userSized[k] whether the user gave a column its width.
struct CellLines {
    Qt::Orientation orientation = Qt::Vertical;
    int at = 0;
    std::vector<std::vector<CCell>> cells;
    std::vector<int> sizes;
    std::vector<char> userSized;

    int Count() const { return int(cells.size()); }
};

// The user's changes to the cells of one or more grids, as steps that can
// be undone and redone. A step holds what changed and nothing else: for a
// text the text before and after, for inserted or removed lines the cells
// of those lines. Memory grows with the cells changed, never with the
// grid. Changes made between Begin and End (which nest) form one step; a
// change recorded outside them is a step of its own. A new step drops the
// steps that were undone; beyond the limit the oldest step goes.
class CUndoStack {
public:
    static constexpr int kDefaultLimit = 1000;

    explicit CUndoStack(int limit = kDefaultLimit) : limit(limit) {}
    CUndoStack(const CUndoStack&) = delete;
    CUndoStack& operator=(const CUndoStack&) = delete;
    ~CUndoStack();

    void Begin() { ++depth; }
    void End();

    // The store changed (it records while it is not being undone).
    void RecordText(CCellStore& store, CellPos cell, const CellText& before, const CellText& after);
    // count lines were put into (inserted) or taken out of the store; lines
    // holds their place, and the cells when they were taken out.
    void RecordLines(CCellStore& store, bool inserted, CellLines lines, int count);

    bool CanUndo() const { return position > 0; }
    bool CanRedo() const { return position < steps.size(); }
    void Undo();
    void Redo();
    int StepCount() const { return int(steps.size()); }

    // Whether the cells are as they were when SetClean was last called
    // (at the start, or after saving).
    bool IsClean() const { return StateId() == cleanId; }
    void SetClean() { cleanId = StateId(); }

    // After an undo or redo: the store and the cells it changed first, so
    // that the owner can show them.
    std::function<void(CCellStore& store, const CellBlock& cells)> applied;

private:
    struct TextChange {
        CellPos cell;
        CellText before;
        CellText after;
    };
    // Texts changed in one store one after the other, or one lines change;
    // lines holds the lines that are not in the store now.
    struct Part {
        CCellStore* store = nullptr;
        std::vector<TextChange> texts;
        std::unique_ptr<CellLines> lines;
        int lineCount = 0;
        bool inserted = false;
    };
    struct Step {
        std::vector<Part> parts;
        std::uint64_t id = 0;
    };

    Part& PartFor(CCellStore& store, bool forLines);
    void Close();
    void Apply(Step& step, bool undo);
    static CellBlock Where(const Part& part);
    std::uint64_t StateId() const { return position > 0 ? steps[position - 1].id : baseId; }

    int limit;
    int depth = 0;
    bool applying = false;
    std::deque<Step> steps;
    std::size_t position = 0;  // steps before it are done, from it on undone
    Step open;                 // being recorded
    std::uint64_t nextId = 1;
    std::uint64_t baseId = 0;  // the state below the oldest step kept
    std::uint64_t cleanId = 0;
};

// One user action as one step, for the scope of this object; nothing
// without a stack.
class UndoScope {
public:
    explicit UndoScope(CUndoStack* stack) : stack(stack)
    {
        if (stack)
            stack->Begin();
    }
    ~UndoScope()
    {
        if (stack)
            stack->End();
    }
    UndoScope(const UndoScope&) = delete;
    UndoScope& operator=(const UndoScope&) = delete;

private:
    CUndoStack* stack;
};
