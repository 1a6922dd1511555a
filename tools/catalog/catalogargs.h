#pragma once

#include <QString>
#include <QStringList>

// What a kestrow-catalog command line asks for: a command with its operands, or text to print and an exit code.
struct CatalogArgs
{
    QString command;   // build, dump, check, add, try or infer; empty when only text is to be printed
    QStringList files; // the command's operands, in order
    QString page;      // try and infer: --page FILE
    QString price;     // infer: --price PRICE, the example's price
    QString site;      // infer: --site NAME
    QString node;      // infer: --node NAME
    int exitCode = 0;  // 0: text goes to standard output; 2: a usage error for standard error
    QString text;

    // arguments as in QCoreApplication::arguments(), the program's name first.
    static CatalogArgs parse(const QStringList &arguments);
};
