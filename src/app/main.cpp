// Kestrow: the tray task monitor's entry point.
#include "app/commandline.h"
#include "app/kestrow.h"
#include "app/startup.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    // Answered before the application object exists: --help and --version need no display.
    const CommandLine commandLine = CommandLine::parse(CommandLine::fromMain(argc, argv));
    if (!commandLine.start) {
        std::fputs(qUtf8Printable(commandLine.text), commandLine.exitCode == 0 ? stdout : stderr);
        return commandLine.exitCode;
    }
    QApplication app(argc, argv);
    Startup::prepareApplication();
    Startup::loadTranslations();
    Startup::loadSettingsAndFont();
    if (Startup::anotherInstanceRuns())
        return 0;

    Kestrow kestrow;
    kestrow.start();
    if (commandLine.openMainWindow)
        kestrow.onOpenMainWindow();
    return QApplication::exec();
}
