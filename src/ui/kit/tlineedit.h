#pragma once

#include <QLineEdit>

// A line edit with the kit's thin blue border on a transparent background.
class TLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit TLineEdit(QWidget *parent = nullptr);
};
