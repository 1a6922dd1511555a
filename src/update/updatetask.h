#pragma once

#include <QObject>
#include <QTimer>

// The housekeeping engine of the update thread: checks at start and then hourly. This build knows no vendor
// server, so a check purges and compacts the history and re-arms; there is no version to report or download.
class UpdateTask : public QObject
{
    Q_OBJECT

public:
    explicit UpdateTask(QObject *parent = nullptr);

signals:
    void checkNewVersionFinished(const QString &var_str);
    void downloadNewVersionFinished(const QString &file_name);

public slots:
    void onCheckNewVersion();
    // With no vendor server there is nothing to download: reports a failed download (an empty path).
    void onDownloadNewVersion();

private:
    QTimer checkTimer;
};
