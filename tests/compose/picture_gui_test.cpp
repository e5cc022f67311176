// Pictures in the fax editor and the cover template editor, put in as a user
// does: "Insert Picture..." with the file dialog, a paste of an image, a drop
// of a picture file, and "Picture Size..." keeping the proportions. The saved
// record is read back by python3-dbf and its RTF by the reader.
#include <QBuffer>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QMenu>
#include <QPainter>
#include <QToolBar>
#include <QToolButton>

#include "compose/cover_editor.h"
#include "compose/fax_editor.h"
#include "compose_gui_support.h"
#include "platform/file_util.h"
#include "richtext/rtf/rtf_reader.h"

namespace tlm {
namespace {

using testing::ActionIn;
using testing::ButtonIn;
using testing::EditIn;
using testing::Retype;
using testing::TypeInto;

std::string Logo() { return std::string(TOLMERA_FIXTURES_DIR) + "/rtf/logo.png"; }

// A small colour photograph-like picture.
QImage Photo() {
  QImage image(90, 60, QImage::Format_RGB32);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 90; ++x) image.setPixel(x, y, qRgb(60 + 2 * x, 40 + 3 * y, 150));
  return image;
}

class PictureEditorTest : public testing::ComposeWindowTest {
 protected:
  // Types a path into the file dialog that comes up and presses Enter.
  void AnswerFileDialog(const std::string& path, const QString& title) {
    driver.Then([=](QWidget* dialog) {
      auto* files = qobject_cast<QFileDialog*>(dialog);
      ASSERT_NE(files, nullptr);
      EXPECT_EQ(files->windowTitle(), title);
      auto* name = files->findChild<QLineEdit*>("fileNameEdit");
      ASSERT_NE(name, nullptr);
      name->setFocus();
      QTest::keyClicks(name, QString::fromStdString(path));
      QTest::keyClick(name, Qt::Key_Return);
    });
  }

  // "Insert Picture..." on the editor's toolbar: a click on the button, or
  // (`fromMenu`) an item of the menu that drops down under it.
  static void ClickTool(RichTextEditor* editor, const char* action) {
    QAction* insert = ActionIn(editor->ToolBar(), "InsertPictureAction");
    ASSERT_NE(insert, nullptr);
    auto* button = qobject_cast<QToolButton*>(editor->ToolBar()->widgetForAction(insert));
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isVisible() && button->isEnabled());
    if (QString(action) == "InsertPictureAction") {
      button->click();
      return;
    }
    ASSERT_NE(button->menu(), nullptr);
    for (QAction* item : button->menu()->actions()) {
      if (item->objectName() == action) {
        item->trigger();
        return;
      }
    }
    ADD_FAILURE() << "no menu item " << action;
  }

  // Drags local files onto the editor's page at a scene point and lets go.
  static void DropFiles(RichTextEditor* editor, const QStringList& paths, QPointF at) {
    QWidget* viewport = editor->View()->viewport();
    QPoint pos = editor->View()->mapFromScene(at);
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    mime.setUrls(urls);
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    EXPECT_TRUE(move.isAccepted());
    QDropEvent drop(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
  }
};

TEST_F(PictureEditorTest, PicturesAreInsertedPastedDroppedResizedAndSaved) {
  testing::TempDir temp;
  QByteArray jpeg;
  {
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    Photo().save(&buffer, "JPEG", 90);
  }
  const std::string jpegPath = temp.File("photo.jpg");
  ASSERT_TRUE(WriteFileAtomically(jpegPath, jpeg.toStdString()));

  auto w = OpenMain();
  driver.Then([&](QWidget* dialog) {
    auto* editor = qobject_cast<TFaxEditor*>(dialog);
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(EditIn(editor, "Subject"), "Logo");
    QTest::keyClicks(EditIn(editor, "Recipient"), "Adams");
    QTest::keyClicks(EditIn(editor, "FaxNumber"), "555-0101");
    ButtonIn(editor, "DocumentButton")->click();
    RichTextEditor* doc = editor->Document();
    TypeInto(doc, "Logo:");

    // "Insert Picture..." from the file dialog; the picture is 400 x 120
    // pixels, 4.17 x 1.25 inches at 96 dpi.
    AnswerFileDialog(Logo(), "Insert Picture");
    ClickTool(editor->Document(), "InsertPictureAction");
    ExpectAllAnswered();
    EXPECT_EQ(doc->Document()->toPlainText(), QString("Logo:") + QChar::ObjectReplacementCharacter);

    // "Picture Size...": 2 inches wide keeps the shape, 0.6 inches high.
    driver.Then([&](QWidget* sizeDialog) {
      EXPECT_EQ(sizeDialog->windowTitle(), "Picture Size");
      EXPECT_EQ(EditIn(sizeDialog, "WidthEdit")->text(), QLocale().toString(4.17, 'f', 2));
      Retype(EditIn(sizeDialog, "WidthEdit"), QLocale().toString(2.0, 'f', 2));
      EXPECT_EQ(EditIn(sizeDialog, "HeightEdit")->text(), QLocale().toString(0.6, 'f', 2));
      EXPECT_EQ(EditIn(sizeDialog, "ScaleEdit")->text(), "48");
      ButtonIn(sizeDialog, "OKButton")->click();
    });
    ClickTool(editor->Document(), "PictureSizeAction");
    ExpectAllAnswered();

    // A pasted image goes in at the caret.
    QGuiApplication::clipboard()->setImage(Photo());
    QTest::keyClick(doc->View()->viewport(), Qt::Key_V, Qt::ControlModifier);
    // A dropped picture file goes in where it is dropped: before "Logo:".
    const QPointF start = doc->View()->mapToScene(doc->View()->mapFromScene(QPointF(36 * 96 / 72.0 + 1, 49)));
    DropFiles(doc, {QString::fromStdString(jpegPath)}, start);
    ButtonIn(editor, "OKButton")->click();
  });
  w->findChild<QPushButton*>("Newbutton")->click();
  ExpectAllAnswered();
  w->close();

  rtf::Document saved;
  ASSERT_TRUE(ReadSavedDocument(saved));
  ASSERT_EQ(saved.pictures.size(), 3u) << saved.PlainText();
  EXPECT_EQ(saved.PlainText(), "\xEF\xBF\xBCLogo:\xEF\xBF\xBC\xEF\xBF\xBC");
  const rtf::Picture& dropped = saved.pictures[0];
  EXPECT_EQ(dropped.kind, rtf::PictureKind::Jpeg);
  EXPECT_EQ(dropped.data, jpeg.toStdString());
  const rtf::Picture& logo = saved.pictures[1];
  std::string logoBytes;
  ASSERT_TRUE(ReadWholeFile(Logo(), logoBytes));
  EXPECT_EQ(logo.kind, rtf::PictureKind::Png);
  EXPECT_EQ(logo.data, logoBytes);
  EXPECT_NEAR(logo.widthTwips, 2880, 2);
  EXPECT_NEAR(logo.heightTwips, 864, 2);
  const rtf::Picture& pasted = saved.pictures[2];
  EXPECT_EQ(pasted.kind, rtf::PictureKind::Png);
  EXPECT_EQ(QImage::fromData(QByteArray::fromStdString(pasted.data)).convertToFormat(QImage::Format_RGB32),
            Photo());
}

TEST_F(PictureEditorTest, CoverEditorInsertsPicturesAndRefusesAFileThatIsNone) {
  testing::TempDir temp;
  const std::string notPicture = temp.File("notes.png");
  ASSERT_TRUE(WriteFileAtomically(notPicture, "these are words, not pixels"));
  auto w = OpenMain();
  driver.Then([&](QWidget* browse) {
    driver.Then([&](QWidget* dialog) {
      auto* editor = qobject_cast<TCoverEditor*>(dialog);
      ASSERT_NE(editor, nullptr);
      Retype(EditIn(editor, "CoverDescription"), "With logo");
      TypeInto(editor->Cover(), "Head");
      AnswerFileDialog(notPicture, "Insert Picture");
      driver.Click(QMessageBox::Ok);
      ClickTool(editor->Cover(), "InsertPictureAction");
      ExpectAllAnswered();
      ASSERT_FALSE(driver.boxes.empty());
      EXPECT_EQ(driver.boxes.back().text,
                QString::fromStdString(notPicture) + " is not a picture that can be inserted.");
      // Without a picture at the caret, "Picture Size..." says how to pick one.
      driver.Click(QMessageBox::Ok);
      ClickTool(editor->Cover(), "PictureSizeAction");
      ExpectAllAnswered();
      EXPECT_EQ(driver.boxes.back().text, "Click on a picture first, then choose Picture Size.");
      AnswerFileDialog(Logo(), "Insert Picture");
      ClickTool(editor->Cover(), "InsertPictureAction");
      ExpectAllAnswered();
      // A double click on the picture opens "Picture Size": half the size.
      driver.Then([&](QWidget* sizeDialog) {
        EXPECT_EQ(sizeDialog->windowTitle(), "Picture Size");
        Retype(EditIn(sizeDialog, "ScaleEdit"), "50");
        EXPECT_EQ(EditIn(sizeDialog, "WidthEdit")->text(), QLocale().toString(2.08, 'f', 2));
        ButtonIn(sizeDialog, "OKButton")->click();
      });
      QGraphicsView* view = editor->Cover()->View();
      QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(QPointF(48 + 250, 48 + 60)));
      ExpectAllAnswered();
      ButtonIn(editor, "OKButton")->click();
    });
    ButtonIn(browse, "NewButton")->click();
    ButtonIn(browse, "CloseButton")->click();
  });
  w->CoverSheets();
  ExpectAllAnswered();
  w->close();
  rtf::Document saved;
  ASSERT_TRUE(ReadSavedDocument(saved, "TLMCOV.DBF", "COVER"));
  ASSERT_EQ(saved.pictures.size(), 1u);
  EXPECT_EQ(saved.PlainText(), "Head\xEF\xBF\xBC");
  EXPECT_EQ(saved.pictures[0].widthTwips, 3000);  // 400 pixels at 96 dpi, halved
  EXPECT_EQ(saved.pictures[0].heightTwips, 900);
}

}  // namespace
}  // namespace tlm
