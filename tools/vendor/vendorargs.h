#pragma once

#include <QString>
#include <QStringList>

// What a kestrow-vendor command line asks for: a command with its operands and ports, or text to print and an exit
// code.
struct VendorArgs
{
    QString command;   // serve, keygen, sign or reports; empty when only text is to be printed
    QStringList files; // the command's operands, in order
    quint16 httpPort = 8733;
    quint16 reportPort = 8734;
    QString db;       // serve: the report database (DIR/reports.db unless --db names one)
    int exitCode = 0; // 0: text goes to standard output; 2: a usage error for standard error
    QString text;

    // arguments as in QCoreApplication::arguments(), the program's name first.
    static VendorArgs parse(const QStringList &arguments);
};
