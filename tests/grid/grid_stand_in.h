#pragma once

// A stand-in for the grid in the editor and tip tests: opens editors as the
// grid does and records every end-of-edit notification and every input
// that reaches it.

#include "grid/cell_editor.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <functional>
#include <vector>

struct ReceivedInput {
    QEvent::Type type;
    Qt::MouseButton button = Qt::NoButton;
    QPoint global;
};

class GridStandIn : public QWidget {
public:
    explicit GridStandIn(QWidget* parent) : QWidget(parent) { setMouseTracking(true); }

    std::vector<GridItem> Ended;
    std::vector<ReceivedInput> Received;
    std::function<void(const GridItem&, CCellEditor*)> OnEnded;  // runs inside the notification

    CCellEditor* Edit(const QRect& cell, const QString& text, unsigned firstKey, int column = 3)
    {
        auto* editor = new CCellEditor(this, cell, CCellEditor::ES_LEFT, 8, 2, column, text);
        connect(editor, &CCellEditor::EditEnded, this, [this, editor](const GridItem& item) {
            Ended.push_back(item);
            if (OnEnded)
                OnEnded(item, editor);
        });
        editor->Begin(firstKey);
        return editor;
    }

    bool Got(QEvent::Type type) const
    {
        return std::any_of(Received.begin(), Received.end(), [type](const ReceivedInput& i) { return i.type == type; });
    }

protected:
    void mousePressEvent(QMouseEvent* e) override { Record(*e); }
    void mouseReleaseEvent(QMouseEvent* e) override { Record(*e); }
    void mouseMoveEvent(QMouseEvent* e) override { Record(*e); }
    void keyPressEvent(QKeyEvent* e) override { Received.push_back({e->type(), {}, {}}); }
    void wheelEvent(QWheelEvent* e) override { Received.push_back({e->type(), {}, e->globalPosition().toPoint()}); }
    void contextMenuEvent(QContextMenuEvent* e) override { Received.push_back({e->type(), {}, e->globalPos()}); }

private:
    void Record(const QMouseEvent& e) { Received.push_back({e.type(), e.button(), e.globalPosition().toPoint()}); }
};
