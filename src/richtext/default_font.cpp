#include "richtext/default_font.h"

#include <QFontDialog>
#include <QMessageBox>
#include <exception>

#include "platform/data_folder.h"
#include "richtext/rich_text_editor.h"

namespace tlm {

void ApplyDefaultFont(RichTextEditor& editor, const Settings& s) {
  editor.ApplyFont(FontChoice{QString::fromStdString(s.fontName), s.fontSize, s.fontBold, s.fontItalic,
                              s.fontUnderline});
}

bool ChooseDefaultFont(QWidget* parent, Settings& settings, const std::string& iniPath, const FontPicker& picker) {
  QFont initial(QString::fromStdString(settings.fontName));
  initial.setPointSize(std::max(1, settings.fontSize));
  initial.setBold(settings.fontBold);
  initial.setItalic(settings.fontItalic);
  initial.setUnderline(settings.fontUnderline);
  std::optional<QFont> chosen;
  if (picker) {
    chosen = picker(initial, parent);
  } else {
    bool ok = false;
    QFont font = QFontDialog::getFont(&ok, initial, parent);
    if (ok) chosen = font;
  }
  if (!chosen) return false;
  settings.fontName = chosen->family().toStdString();
  settings.fontSize = chosen->pointSize() > 0 ? chosen->pointSize() : settings.fontSize;
  settings.fontBold = chosen->bold();
  settings.fontItalic = chosen->italic();
  settings.fontUnderline = chosen->underline();
  try {
    SaveSettingsFile(iniPath, settings);
  } catch (const std::exception& e) {
    QMessageBox::information(parent, "Information", QString::fromLocal8Bit(e.what()));
  }
  return true;
}

bool ChooseDefaultFont(QWidget* parent, Settings& settings) {
  return ChooseDefaultFont(parent, settings, DataFolder() + kSettingsFileName);
}

}  // namespace tlm
