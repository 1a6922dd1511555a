#include "ui/kit/ttableview.h"

TTableView::TTableView(QWidget *parent) : QTableView(parent)
{
    setStyleSheet(QStringLiteral(
        "QTableView { background-color: transparent; border:1px solid; border-color:rgba(56, 162, 219, 255); }"));
}
