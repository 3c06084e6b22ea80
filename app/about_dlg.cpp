#include "app/about_dlg.h"

#include "controls/link_static.h"
#include "platform/dialog_builder.h"

#include <QAbstractButton>
#include <QLabel>

CAboutDlg::CAboutDlg(QWidget* owner)
    : QDialog(owner)
{
    platform::BuildDialog(*this, res::kDialogAbout,
                          [](const res::ControlTemplate& control, QWidget* dialog) -> QWidget* {
                              if (control.id != kFirstMailLink && control.id != kSecondMailLink)
                                  return nullptr;
                              return new CLinkStatic(QString::fromUtf8(control.text), control.style, dialog);
                          });
    if (auto* ok = platform::FindControlAs<QAbstractButton>(this, kOkButton))
        connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
    FitPicture();
    InitLinks();
}

// A picture static takes the size of its bitmap, whatever its template says.
void CAboutDlg::FitPicture()
{
    for (QLabel* picture : findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (picture->property("imageId").toInt() != res::kPictureAbout)
            continue;
        picture->setScaledContents(false);
        picture->resize(kPictureWidth, kPictureHeight);
    }
}

// Each address is the visible text of its link; the link opens a new mail.
void CAboutDlg::InitLinks()
{
    FirstMailLink = platform::FindControlAs<CLinkStatic>(this, kFirstMailLink);
    SecondMailLink = platform::FindControlAs<CLinkStatic>(this, kSecondMailLink);
    for (CLinkStatic* link : {SecondMailLink, FirstMailLink}) {
        if (!link)
            continue;
        link->Attach();
        link->SetTarget(QStringLiteral("mailto:") + link->text());
    }
}
