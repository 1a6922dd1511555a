#pragma once

#include "ui/kit/twindowframe.h"

#include <QMainWindow>

// A frameless main window with the kit's painted title strip, border and glyph buttons; dragged by its strip.
class TMainWindow : public TFramed<QMainWindow>
{
    Q_OBJECT

public:
    explicit TMainWindow(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
};
