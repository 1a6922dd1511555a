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
// True when another instance runs; then it has told the user so and this one should end.
bool anotherInstanceRuns();

} // namespace Startup
