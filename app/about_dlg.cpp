#include "app/about_dlg.h"

#include "app/splash_dlg.h"
#include "controls/link_static.h"
#include "platform/dialog_builder.h"

#include <QAbstractButton>
#include <QLabel>

namespace {

unsigned LinkStyle(unsigned templateStyle)
{
    unsigned style = 0;
    if (templateStyle & res::kStyleCenter)
        style |= CLinkStatic::SS_CENTER;
    if (templateStyle & res::kStyleRight)
        style |= CLinkStatic::SS_RIGHT;
    if (templateStyle & res::kStyleVCenter)
        style |= CLinkStatic::SS_CENTERIMAGE;
    return style;
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* owner)
    : QDialog(owner)
{
    RegisterPictureResource();
    platform::BuildDialog(*this, res::kDialogAbout,
                          [](const res::ControlTemplate& control, QWidget* dialog) -> QWidget* {
                              if (control.id != kFirstMailId && control.id != kSecondMailId)
                                  return nullptr;
                              return new CLinkStatic(QString::fromUtf8(control.text), LinkStyle(control.style), dialog);
                          });
    if (auto* ok = platform::FindControlAs<QAbstractButton>(this, 1))
        connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
    FitPicture();
    InitLinks();
}

// A picture static takes the size of its bitmap, whatever its template says.
void CAboutDlg::FitPicture()
{
    for (QLabel* picture : findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (picture->property("imageId").toInt() != kPictureAbout)
            continue;
        picture->setScaledContents(false);
        picture->resize(kPictureWidth, kPictureHeight);
    }
}

// Each address is the visible text of its link; the link opens a new mail.
void CAboutDlg::InitLinks()
{
    FirstMailLink = platform::FindControlAs<CLinkStatic>(this, kFirstMailId);
    SecondMailLink = platform::FindControlAs<CLinkStatic>(this, kSecondMailId);
    for (CLinkStatic* link : {SecondMailLink, FirstMailLink}) {
        if (!link)
            continue;
        link->Attach();
        link->SetTarget(QStringLiteral("mailto:") + link->text());
    }
}
