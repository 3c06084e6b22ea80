#include "app/about_dlg.h"

#include "controls/link_static.h"
#include "platform/dialog_builder.h"
#include "res/dialog_templates.h"

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
    platform::ConnectOkCancel(*this);
    FitPicture();
    InitLinks();
}

// The picture is drawn afresh into its control's rectangle, which reaches
// into the text column's frame in the template: it ends before the frame,
// as far from it as the picture is from the dialog's left edge.
void CAboutDlg::FitPicture()
{
    QRect frame;
    for (const res::ControlTemplate& control : res::FindDialogTemplate(res::kDialogAbout)->controls)
        if (control.kind == res::ControlKind::EtchedFrame)
            frame = platform::MapDialogRect(this, QRect(control.x, control.y, control.width, control.height));
    for (QLabel* picture : findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (picture->property("imageId").toInt() != res::kPictureAbout)
            continue;
        QRect room = picture->geometry();
        if (frame.isValid() && frame.left() < room.right())
            room.setRight(frame.left() - room.left() - 1);
        picture->setScaledContents(false);
        picture->setGeometry(room);
        picture->setPixmap(platform::RenderPicture(res::kPictureAbout, room.size(), devicePixelRatioF()));
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
