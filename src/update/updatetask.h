#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// The usage reports a check sends first. Each returns false with a non-zero code when the check must stop and be
// tried again in a minute.
struct UsageReports
{
    std::function<bool(int &code)> install;
    std::function<bool(int &code)> daily;
};

// The housekeeping engine of the update thread: checks at start and then hourly. A check sends the usage reports,
// purges the history, fetches the vendor's version file and About message; on request it downloads the signed
// update package. Without a vendor server a check only purges.
class UpdateTask : public QObject
{
    Q_OBJECT

public:
    explicit UpdateTask(const UsageReports &reports = {}, QObject *parent = nullptr);

    // The body of a GET for url, or empty when it failed, stalled, was cut short or is larger than maxBytes.
    static QByteArray fetchUrl(const QString &url, qint64 maxBytes);
    // The version file's text: its first line (up to a NUL), trimmed; empty unless it is plain UTF-8 text.
    static QString versionText(const QByteArray &body);
    // Refreshes the data file "aboutmsg" from the vendor's message, rewriting it only when its bytes changed.
    static void updateAboutMessage();
    // Fetches the package at url and its signature (url + ".sig") and writes the package to path, but only when
    // the signature verifies against the built-in key; false (with no file at path) otherwise.
    static bool downloadFile(const QString &url, const QString &path);

signals:
    void checkNewVersionFinished(const QString &var_str);
    void downloadNewVersionFinished(const QString &file_name);

public slots:
    void onCheckNewVersion();
    // Downloads the update package and its signature; reports the package's path, or empty when the download or the
    // signature check failed.
    void onDownloadNewVersion();

private:
    UsageReports reports;
    QTimer checkTimer;
    QString downloadFolder; // where the last verified package waits for the installer
};
