#pragma once

#include "core/estimator.h"

#include "res/control_ids.h"

#include <QDialog>
#include <QString>

// "Status": the small window that shows the pass count while the engine
// computes. It has a title bar but no close box. Its window is built on
// the first Show; SetText writes the text and repaints at once, because no
// event loop runs while the engine computes.
class CStatusDlg : public QDialog, public IStatusWindow {
    Q_OBJECT

public:
    using ControlId = res::status_dlg::ControlId;
    using enum ControlId;

    explicit CStatusDlg(QWidget* parent = nullptr);

    void Show() override;
    void SetText(const std::string& text) override;
    void Hide() override;

    const QString& Text() const { return StatusText; }
    bool IsBuilt() const { return Built; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString StatusText;
    bool Built = false;
};
