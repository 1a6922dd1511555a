#pragma once

#include <QString>
#include <QStringList>

// What the program's command line asks for. It knows one word, "show" (exactly that, alone), which opens the
// attention window at start; --help and --version answer without starting, and anything else is a usage error.
struct CommandLine
{
    bool start = true;           // run the program; otherwise print text and end with exitCode
    bool openMainWindow = false; // "show"
    int exitCode = 0;            // 0: text goes to standard output; 2: a usage error for standard error
    QString text;

    // arguments as in QCoreApplication::arguments(), the program's name first.
    static CommandLine parse(const QStringList &arguments);
    // The arguments of main, before any application object exists.
    static QStringList fromMain(int argc, char **argv);
};
