#pragma once

#include <QWidget>

class QTabBar;

namespace platform {

// The tab control of the dialog templates: a row of tabs over a framed
// area. The pages are child widgets that the owner places in that area and
// shows or hides itself; the control tells when the user has chosen
// another tab (SelectionChanged, the platform's TCN_SELCHANGE), also by
// holding dragged data over it. Choosing a tab from the program
// (SetCurSel) tells nothing, as on the platform.
class TabControl : public QWidget {
    Q_OBJECT

public:
    explicit TabControl(QWidget* parent);

    // Inserts a text-only tab; returns its index.
    int InsertItem(int index, const QString& text);
    // No tab gets narrower than this many pixels (TCM_SETMINTABWIDTH).
    void SetMinTabWidth(int pixels);
    int GetCurSel() const;
    void SetCurSel(int index);
    // Height of the row of tabs: the framed area starts below it.
    int TabRowHeight() const;
    QTabBar* TabBar() const;

signals:
    void SelectionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class MinimumWidthTabBar;
    void PlaceTabBar();

    MinimumWidthTabBar* bar;
    bool selectingFromProgram = false;
};

} // namespace platform
