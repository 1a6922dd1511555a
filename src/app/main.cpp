// Kestrow: the tray task monitor's entry point.
#include "app/commandline.h"
#include "app/instance.h"
#include "app/kestrow.h"
#include "app/startup.h"
#include "platform/platform.h"
#include "store/settings.h"

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
    Platform::prepareProcess();
    QApplication app(argc, argv);
    Startup::prepareApplication();
    Startup::loadSettingsAndFont();
    Startup::loadTranslations();
    int exitCode = 0;
    if (Startup::claimSingleInstance(exitCode)) {
        closeSettings();
        return exitCode;
    }

    {
        Kestrow kestrow;
        kestrow.start();
        if (commandLine.openMainWindow)
            kestrow.onOpenMainWindow();
        const InstanceServer laterStarts(Startup::instanceSocket(), [&kestrow] { return kestrow.onLaterStart(); });
        exitCode = QApplication::exec();
    }
    // Every thread has stopped with the controller: the settings' connection closes while what it uses still exists.
    closeSettings();
    return exitCode;
}
