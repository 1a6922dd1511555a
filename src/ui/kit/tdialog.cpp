#include "ui/kit/tdialog.h"

TDialog::TDialog(QWidget *parent, Qt::WindowFlags flags) : TFramed<QDialog>(parent, flags, Qt::Dialog) {}

void TDialog::setTitle(const QString &title)
{
    setWindowTitle(title);
    repaint(0, 0, width(), titleHeight);
}
