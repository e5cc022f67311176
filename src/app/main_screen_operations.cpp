// The main window's operations, as its buttons and menu items run them.
#include "app/main_screen.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTableView>
#include <QUrl>

#include "app/date_text.h"
#include "app/help_window.h"
#include "app/log_table_model.h"
#include "app/maintenance/rebuild_indexes.h"
#include "app/maintenance/receive_notes.h"
#include "app/message_boxes.h"
#include "app/received_fax_file.h"
#include "app/splash_form.h"
#include "app/window_placement.h"
#include "platform/profile_file.h"

namespace tlm {

QString TMainScreen::ReceivedFaxPath() const {
  return ReceivedFaxFilePath(destinationDir_, TrimmedField(recTable_->Field("FAXFILE")));
}

void TMainScreen::NewFax() {
  const bool clone = cloneRequest_;
  cloneRequest_ = false;
  if (RefusedInReceiveMode()) return;
  if (!hooks_.newFax) {
    ShowInformation(this, tr("The fax editor is not available in this build of Tolmera."));
    return;
  }
  hooks_.newFax(*this, clone);
  SetButtons();
}

void TMainScreen::CloneFax() {
  if (!HasCurrent(faxTable_.get())) {
    QApplication::beep();
    return;
  }
  cloneRequest_ = true;
  NewFax();
}

void TMainScreen::EditFax() {
  if (RefusedInReceiveMode()) return;
  if (OutgoingTabShown()) {
    if (!HasCurrent(faxTable_.get())) {
      QApplication::beep();
      return;
    }
    RunHook(hooks_.editFax, tr("The fax editor"));
  } else {
    if (!HasCurrent(recTable_.get())) {
      QApplication::beep();
      return;
    }
    TEditReceiveNotes notes(*recTable_, this);
    CenterWindow(&notes);
    if (notes.exec() == QDialog::Accepted) recModel_->Refresh();
  }
  SetButtons();
}

void TMainScreen::DeleteFax() {
  if (OutgoingTabShown()) {
    if (!HasCurrent(faxTable_.get())) {
      QApplication::beep();
      return;
    }
    const QString question = QStringLiteral("Delete the current fax?\r\n(subject: \"") +
                             TrimmedField(faxTable_->Field("SUBJECT")) + QStringLiteral("\")");
    if (!AskYesNoDefaultNo(this, question, QStringLiteral("Delete"))) return;
    faxTable_->DeleteRecord();
    faxModel_->Refresh();
  } else {
    if (RefusedInReceiveMode()) return;
    if (!HasCurrent(recTable_.get())) {
      QApplication::beep();
      return;
    }
    const QString question = QStringLiteral("Delete the current fax?\r\n(from: \"") +
                             TrimmedField(recTable_->Field("FROM")) + QStringLiteral("\")");
    if (!AskYesNoDefaultNo(this, question, QStringLiteral("Delete"))) return;
    const QString file = TrimmedField(recTable_->Field("FAXFILE"));
    recTable_->DeleteRecord();
    RemoveReceivedFaxFile(destinationDir_, file);  // a file that cannot go does not keep the record
    recModel_->Refresh();
  }
  SetButtons();
}

void TMainScreen::SendFax() {
  if (!HasCurrent(faxTable_.get())) {
    QApplication::beep();
    return;
  }
  RunHook(hooks_.sendFax, tr("Sending"));
  SetButtons();
}

void TMainScreen::ViewFax() {
  if (RefusedInReceiveMode()) return;
  const bool outgoing = OutgoingTabShown();
  TableAccess* table = outgoing ? faxTable_.get() : recTable_.get();
  if (!HasCurrent(table)) {
    QApplication::beep();
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  SetStatus(QStringLiteral("Preparing files for viewing..."));
  QString file;
  QString description;
  if (outgoing) {
    if (hooks_.renderFax) file = QString::fromStdString(hooks_.renderFax(*this));
    if (file.isEmpty()) {
      QApplication::restoreOverrideCursor();
      SetStatus({});
      ShowInformation(this, QStringLiteral("Error creating fax file"));
      return;
    }
    description = QStringLiteral("To: ") + TrimmedField(table->Field("RECIPIENT")) + QStringLiteral("             Subject: ") +
                  TrimmedField(table->Field("SUBJECT")) + QStringLiteral("             Sent: ") + SentDateText(*table);
  } else {
    file = ReceivedFaxPath();
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
      QApplication::restoreOverrideCursor();
      SetStatus({});
      ShowInformation(this, QStringLiteral("Fax file is missing"));
      return;
    }
    description = QStringLiteral("From: ") + TrimmedField(table->Field("FROM")) + QStringLiteral("             Received: ") +
                  ReceivedDateText(*table) + QStringLiteral("             Fax File: ") + file.toLower();
  }
  SetStatus(QStringLiteral("Loading viewer..."));
  QApplication::restoreOverrideCursor();
  if (hooks_.viewFax) {
    hooks_.viewFax(*this, file, description);
  } else {
    ShowInformation(this, tr("The fax viewer is not available in this build of Tolmera."));
  }
  SetStatus({});
  ButtonBar->setEnabled(true);
  if (outgoing) QFile::remove(file);
}

void TMainScreen::ReceiveFaxes() {
  if (!hooks_.receiveButton) {
    ShowInformation(this, tr("Receiving is not available in this build of Tolmera."));
    return;
  }
  hooks_.receiveButton(*this);
  SetButtons();
}

void TMainScreen::Preferences() {
  if (RefusedInReceiveMode()) return;
  RunHook(hooks_.preferences, tr("The preferences window"));
}

void TMainScreen::PhoneBook() {
  if (RefusedInReceiveMode()) return;
  RunHook(hooks_.phoneBook, tr("The phone book"));
}

void TMainScreen::CoverSheets() {
  if (RefusedInReceiveMode()) return;
  RunHook(hooks_.coverSheets, tr("The cover sheet editor"));
}

void TMainScreen::FaxLogCleanup() {
  if (RefusedInReceiveMode()) return;
  if (RunHook(hooks_.faxLogCleanup, tr("The fax log cleanup"))) RefreshLists();
}

void TMainScreen::RebuildIndexes() {
  if (RefusedInReceiveMode()) return;
  if (!faxTable_ || !recTable_) return;
  FaxGrid->setUpdatesEnabled(false);
  RecFaxGrid->setUpdatesEnabled(false);
  {
    TRebuildInd rebuild(*faxTable_, *recTable_, tables_, this);
    CenterWindow(&rebuild);
    rebuild.exec();
  }
  faxModel_->Refresh();
  recModel_->Refresh();
  FaxGrid->setUpdatesEnabled(true);
  RecFaxGrid->setUpdatesEnabled(true);
  SetButtons();
}

void TMainScreen::ShowHintsClick() {
  settings_.hintsOn = ShowHintsItem->isChecked();
  try {
    SaveSettingsFile(SettingsFilePath().toStdString(), settings_);
  } catch (const ProfileWriteError& e) {
    ShowInformation(this, QString::fromLocal8Bit(e.what()));
  }
  ApplyHints(settings_.hintsOn);
}

void TMainScreen::About() {
  TSplashform about(this);
  CenterWindow(&about);
  about.exec();
}

void TMainScreen::ProblemSolver() { RunHook(hooks_.problemSolver, tr("The problem solver")); }

void TMainScreen::ConfigurationInformation() {
  RunHook(hooks_.configurationInformation, tr("The configuration report"));
}

void TMainScreen::VisitWebsite() {
  if (RefusedInReceiveMode()) return;
  QDesktopServices::openUrl(QUrl(QString::fromLatin1(kWebsiteAddress)));
}

void TMainScreen::ShowHelp(int topic) { ShowHelpTopic(this, topic); }

}  // namespace tlm
