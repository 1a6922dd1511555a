#pragma once

#include "ui/kit/twindowframe.h"

#include <QDialog>

// A frameless dialog with the kit's painted title strip, border and glyph buttons; dragged by its strip.
class TDialog : public TFramed<QDialog>
{
    Q_OBJECT

public:
    explicit TDialog(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

    // Sets the window title and repaints the title strip at once.
    void setTitle(const QString &title);
};
