#pragma once

#include <QTabWidget>

// A tab widget with the kit's thin blue border on a transparent background.
class TTabWidget : public QTabWidget
{
    Q_OBJECT

public:
    explicit TTabWidget(QWidget *parent = nullptr);
};
