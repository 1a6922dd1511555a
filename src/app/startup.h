#pragma once

#include <QString>

// What the program does before the controller starts, once the application object exists.
namespace Startup {

// Puts plug-ins shipped beside the program first, sets the window icon and keeps the program running without
// windows.
void prepareApplication();
// Qt's own Chinese texts (standard buttons, edit menus); a failed load only leaves them in English.
void loadTranslations();
// Opens the settings store and applies the chosen interface font.
void loadSettingsAndFont();
// Claims the single instance of this data folder; true when this start must end with exitCode: another instance runs
// (0; it opened its window, having no tray icon, or the user is told it runs), or no lock could be made anywhere (1,
// the user told why).
bool claimSingleInstance(int &exitCode);
// Where the claimed instance listens for later starts.
QString instanceSocket();

} // namespace Startup
