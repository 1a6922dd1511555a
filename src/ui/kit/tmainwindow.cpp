#include "ui/kit/tmainwindow.h"

TMainWindow::TMainWindow(QWidget *parent, Qt::WindowFlags flags) : TFramed<QMainWindow>(parent, flags, Qt::Window) {}
