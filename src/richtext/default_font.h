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

// Lets the user pick a font preset with the default font of `settings` (the
// process's one settings record) and, on OK, stores name, size, bold, italic
// and underline in it and saves the settings to `iniPath`. Returns true when
// a font was chosen; a refused write is shown to the user (the choice stays
// in `settings`, so it is written with the next save). `picker` defaults to
// Qt's font dialog.
bool ChooseDefaultFont(QWidget* parent, Settings& settings, const std::string& iniPath,
                       const FontPicker& picker = {});
// The same with the program's TLM.INI.
bool ChooseDefaultFont(QWidget* parent, Settings& settings);

}  // namespace tlm
