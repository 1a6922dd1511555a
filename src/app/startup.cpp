#include "app/startup.h"

#include "app/applog.h"
#include "app/instance.h"

#include "core/appversion.h"
#include "core/paths.h"
#include "store/settings.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include <cstdio>

namespace Startup {

void prepareApplication()
{
    // The system's plug-in paths stay: TLS and image formats live there.
    const QString plugins = appFilePath(QStringLiteral("plugins"));
    if (QDir(plugins).exists())
        QCoreApplication::addLibraryPath(plugins);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/MainWindow/Resources/kestrow.png")));
    QApplication::setQuitOnLastWindowClosed(false);
    // Lets Wayland compositors and notification services match the windows to the installed desktop entry.
    QGuiApplication::setDesktopFileName(appId());
}

QString interfaceLanguage(const QString &chosen, const QStringList &uiLanguages)
{
    if (!chosen.isEmpty())
        return chosen;
    return uiLanguages.value(0).startsWith(QLatin1String("zh")) ? QStringLiteral("zh") : QStringLiteral("en");
}

QString loadTranslations(const QStringList &uiLanguages)
{
    static QTranslator own, qt;
    for (QTranslator *translator : {&own, &qt})
        QCoreApplication::removeTranslator(translator);
    const QString language = interfaceLanguage(Key::Language.value(), uiLanguages);
    // A failed load leaves the texts in their own language.
    if (language == QLatin1String("en") && own.load(QStringLiteral(":/i18n/kestrow_en.qm")))
        QCoreApplication::installTranslator(&own);
    // Qt's texts are English in the library itself.
    if (language == QLatin1String("zh") &&
        qt.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qt);
    qCDebug(lcApp).noquote() << "interface language:" << language;
    return language;
}

void loadSettingsAndFont()
{
    loadSettings(QApplication::font().family());
    const QString currentFont = Key::CurrentFont.value();
    if (!currentFont.isEmpty()) {
        QFont font = QApplication::font();
        font.setFamily(currentFont);
        QApplication::setFont(font);
    }
}

QString instanceSocket()
{
    return Instance::socketPath(Instance::name(dataFolder()));
}

bool claimSingleInstance(int &exitCode)
{
    const QString name = Instance::name(dataFolder());
    const Platform::Claim claim = claimInstance(name);
    if (claim == Platform::Claim::Held)
        return false;
    // A running instance without a tray icon opens its window instead: otherwise nothing would show it.
    exitCode = 0;
    if (claim == Platform::Claim::Taken && Instance::askToShow(Instance::socketPath(name)) == Instance::Answer::Shown)
        return true;
    const QString title = QCoreApplication::translate("main", "注意");
    // Without any lock every start would run, each scanning and storing beside the others: refused instead.
    const QString text =
        claim == Platform::Claim::Taken
            ? QCoreApplication::translate("main", "Kestrow已运行")
            : QCoreApplication::translate("main", "无法确认Kestrow是否已在运行 (无法创建锁文件), 程序不会启动");
    exitCode = claim == Platform::Claim::Taken ? 0 : 1;
    // Without a screen nobody could close the box: say it on the terminal instead.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(title), qUtf8Printable(text));
        return true;
    }
    QMessageBox box(claim == Platform::Claim::Taken ? QMessageBox::Information : QMessageBox::Warning, title, text,
                    QMessageBox::Ok);
    box.exec();
    return true;
}

} // namespace Startup
