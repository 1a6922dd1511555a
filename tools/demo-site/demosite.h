#pragma once

#include <QHash>
#include <QList>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTimer>

// The demo task sites of examples/demo: three sites in three page styles (UTF-8 list, GBK table, rows without
// a begin marker), nine task lists (one of them starts failing after two answers), and task pages to open; and a
// fourth site the catalogue does not have, to add in the program (a list with a sidebar, and its RSS feed). New
// tasks appear every few seconds or minutes.
class DemoSite : public QObject
{
    Q_OBJECT

public:
    explicit DemoSite(QObject *parent = nullptr);

    // Listens on 127.0.0.1:port; false when the port is taken.
    bool listen(quint16 port);
    quint16 port() const { return m_server.serverPort(); }
    // Adds one or two tasks to a few lists every intervalMs.
    void startNewTasks(int intervalMs);
    // Adds tasks now; returns how many.
    int addTasks();

    // The body and content type served for path (a 404 page when there is none).
    QByteArray page(const QString &path, QByteArray *contentType = nullptr, int *status = nullptr) const;

signals:
    // A push came to /push (the demo's webhook): its body as posted.
    void pushed(const QByteArray &body);

private:
    struct Task
    {
        int id;
        QString title;
        QString price; // may be empty
    };
    struct List
    {
        QString site;      // eagle, hive, spark or dawn
        QString title;     // shown on the page
        QList<Task> tasks; // newest first
    };

    void answer(QTcpSocket *socket);
    Task makeTask();
    QByteArray eaglePage(const List &list) const;
    QByteArray hivePage(const List &list) const;
    QByteArray sparkPage(const List &list) const;
    QByteArray dawnPage(const List &list) const;
    QByteArray dawnFeed(const List &list) const;

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_requests; // what each connection sent so far
    QTimer m_timer;
    QRandomGenerator m_random{20261206};
    QHash<QString, List> m_lists; // by path
    QHash<int, QString> m_titles; // task pages
    int m_nextId = 1001;
    int m_failingListRequests = 0;
};
