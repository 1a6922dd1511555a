#include "ui/kit/ttabwidget.h"

TTabWidget::TTabWidget(QWidget *parent) : QTabWidget(parent)
{
    setStyleSheet(QStringLiteral(
        "QTabWidget::pane { background-color: transparent; border:1px solid; border-color:rgba(56, 162, 219, 255); }"));
}
