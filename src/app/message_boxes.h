#pragma once
// The program's three kinds of message box. A CR in a text breaks the line
// (a CR LF pair counts as one break).
#include <QString>

class QWidget;

namespace tlm {

// "Information" with an OK button.
void ShowInformation(QWidget* parent, const QString& text);

// A question with its own caption; Yes is the default. True for Yes.
bool AskYesNo(QWidget* parent, const QString& text, const QString& caption);

// A question with the question icon and No as the default, asked before
// something is deleted. True for Yes.
bool AskYesNoDefaultNo(QWidget* parent, const QString& text, const QString& caption);

// `text` with CR LF, CR and LF all turned into line breaks.
QString WithLineBreaks(const QString& text);

}  // namespace tlm
