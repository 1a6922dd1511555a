// Kestrow: the tray task monitor's entry point.
#include "kestrow.h"
#include "paths.h"
#include "settings.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include <cstdio>

namespace {

const char instanceKey[] = "{AB561922-AD01-4738-A88A-035787B2E719}";

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // Plug-ins shipped beside the program come first; the system's stay (TLS and image formats live there).
    const QString plugins = appFilePath(QStringLiteral("plugins"));
    if (QDir(plugins).exists())
        QCoreApplication::addLibraryPath(plugins);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/MainWindow/Resources/kestrow.png")));
    QApplication::setQuitOnLastWindowClosed(false);

    // Qt's own Chinese texts (standard buttons, edit menus); a failed load only leaves them in English.
    QTranslator translator;
    if (translator.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);

    loadSettings();

    if (isAlreadyRunning(QString::fromLatin1(instanceKey))) {
        const QString title = QCoreApplication::translate("main", "注意");
        const QString text = QCoreApplication::translate("main", "Kestrow已运行");
        // Without a screen nobody could close the box: say it on the terminal instead.
        if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
            std::fprintf(stderr, "%s: %s\n", qUtf8Printable(title), qUtf8Printable(text));
            return 0;
        }
        QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok);
        box.exec();
        return 0;
    }

    Kestrow kestrow;
    kestrow.start();
    if (argc == 2 && qstrcmp(argv[1], "show") == 0)
        kestrow.onOpenMainWindow();
    return QApplication::exec();
}
