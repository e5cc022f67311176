#pragma once
// The default font of new documents and cover templates ("Default Font"
// section of the settings).
#include <QFont>
#include <functional>
#include <optional>
#include <string>

#include "app/core/settings.h"

class QWidget;

namespace tlm {

class RichTextEditor;

// Sets the editor's current writing attributes to the default font.
void ApplyDefaultFont(RichTextEditor& editor, const Settings& settings);

// The font dialog; returns no value when the user cancels.
using FontPicker = std::function<std::optional<QFont>(const QFont& initial, QWidget* parent)>;

// Reloads the settings from `iniPath`, lets the user pick a font preset with
// the default font and, on OK, stores name, size, bold, italic and underline
// and saves the settings. Returns true when a font was chosen and saved; a
// refused write is shown to the user. `picker` defaults to Qt's font dialog.
bool ChooseDefaultFont(QWidget* parent, const std::string& iniPath, const FontPicker& picker = {});
// The same on the program's TLM.INI.
bool ChooseDefaultFont(QWidget* parent);

}  // namespace tlm
