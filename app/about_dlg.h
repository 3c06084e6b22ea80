#pragma once

#include "res/control_ids.h"

#include <QDialog>

class CLinkStatic;

// The about box "Info über Tolvar": the program's picture, the credits and
// the authors' mail addresses as links. Built anew for every showing, so
// its links always start unvisited.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    using ControlId = res::about_dlg::ControlId;
    using enum ControlId;

    // owner: the window the box is modal over and centred on.
    explicit CAboutDlg(QWidget* owner = nullptr);

    CLinkStatic* FirstMail() const { return FirstMailLink; }
    CLinkStatic* SecondMail() const { return SecondMailLink; }

private:
    void InitLinks();
    void FitPicture();

    CLinkStatic* FirstMailLink = nullptr;
    CLinkStatic* SecondMailLink = nullptr;
};
