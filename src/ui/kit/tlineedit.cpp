#include "ui/kit/tlineedit.h"

TLineEdit::TLineEdit(QWidget *parent) : QLineEdit(parent)
{
    setStyleSheet(QStringLiteral(
        "QLineEdit { background-color: transparent; border:1px solid; border-color:rgba(56, 162, 219, 255); }"));
}
