#pragma once

#include <QString>
#include <QStringList>

// What a kestrow-demo-site command line asks for: serving the demo sites (and a webhook that prints the pushes it
// receives), following every demo node in a user database, or text to print and an exit code.
struct DemoArgs
{
    enum Mode { Serve, Follow, Print };
    Mode mode = Serve;
    quint16 port = 8731; // the port examples/demo/catalog.json names
    int newEverySeconds = 60;
    QString catalog; // Follow: the catalogue whose nodes are followed
    int scanSeconds = 30;
    QString dataHome; // Follow: the data home whose Kestrow folder holds the user database
    QString pushUrl;  // Follow: a webhook that also receives the batches; empty: none
    int exitCode = 0; // Print: 0 for standard output, 2 (a usage error) for standard error
    QString text;

    // arguments as in QCoreApplication::arguments(), the program's name first; xdgDataHome is $XDG_DATA_HOME.
    static DemoArgs parse(const QStringList &arguments, const QString &xdgDataHome);
};
