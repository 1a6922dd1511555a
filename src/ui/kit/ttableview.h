#pragma once

#include <QTableView>

// A table view with the kit's thin blue border on a transparent background.
class TTableView : public QTableView
{
    Q_OBJECT

public:
    explicit TTableView(QWidget *parent = nullptr);
};
