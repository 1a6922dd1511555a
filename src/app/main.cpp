// Kestrow: the tray task monitor's entry point.
#include "app/kestrow.h"
#include "app/startup.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Startup::prepareApplication();
    Startup::loadTranslations();
    Startup::loadSettingsAndFont();
    if (Startup::anotherInstanceRuns())
        return 0;

    Kestrow kestrow;
    kestrow.start();
    if (argc == 2 && qstrcmp(argv[1], "show") == 0)
        kestrow.onOpenMainWindow();
    return QApplication::exec();
}
