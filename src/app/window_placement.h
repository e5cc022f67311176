#pragma once
// Window placement for Qt windows: where the main window, the fax editor, the
// cover editor and the fax viewer were last (kept in TLM.INI), and the
// centring of every dialog over the main window.
#include <QString>

class QWidget;

namespace tlm {

// The program's main window, over which dialogs are centred. Set by the main
// window when it is created.
void SetMainWindow(QWidget* window);
QWidget* MainWindow();

// TLM.INI of the data folder.
QString SettingsFilePath();

// Takes the stored rectangle of `windowClass` (pulled back on screen) or
// centres the window; maximises it when so stored; then saves the placement
// at once (a settings file that cannot be written is reported in a message
// box, and the window goes on).
void RestorePlacement(QWidget* window, const QString& windowClass);

// Writes the window's normal rectangle and whether it is maximised.
void SavePlacement(QWidget* window, const QString& windowClass);

// The main window is centred on the screen; any other window over the main
// window, or on the screen when the main window is maximised.
void CenterWindow(QWidget* window);

}  // namespace tlm
