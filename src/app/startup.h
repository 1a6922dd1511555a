#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

// What the program does before the controller starts, once the application object exists.
namespace Startup {

// Puts plug-ins shipped beside the program first, sets the window icon and keeps the program running without
// windows.
void prepareApplication();
// The interface's language: chosen ("zh", "en") or, when empty, Chinese for a desktop whose first language is Chinese
// and English for any other.
QString interfaceLanguage(const QString &chosen, const QStringList &uiLanguages);
// Installs the interface's texts and Qt's own (standard buttons, edit menus) in the language the settings choose, or
// the desktop's (uiLanguages, first first); replaces what an earlier call installed. Chinese is the texts' own
// language. Returns the language installed.
QString loadTranslations(const QStringList &uiLanguages = QLocale::system().uiLanguages());
// Opens the settings store and applies the chosen interface font.
void loadSettingsAndFont();
// Claims the single instance of this data folder; true when this start must end with exitCode: another instance runs
// (0; it opened its window, having no tray icon, or the user is told it runs), or no lock could be made anywhere (1,
// the user told why).
bool claimSingleInstance(int &exitCode);
// Where the claimed instance listens for later starts.
QString instanceSocket();

} // namespace Startup
