#pragma once

// What the program does before the controller starts, once the application object exists.
namespace Startup {

// Puts plug-ins shipped beside the program first, sets the window icon and keeps the program running without
// windows.
void prepareApplication();
// Qt's own Chinese texts (standard buttons, edit menus); a failed load only leaves them in English.
void loadTranslations();
// Opens the settings store and applies the chosen interface font.
void loadSettingsAndFont();
// Claims the single instance; true when this start must end with exitCode, the user told why: another instance runs
// (0), or no lock could be made anywhere (1).
bool claimSingleInstance(int &exitCode);

} // namespace Startup
