// The viewer control driven as a user would: keys, mouse marking, dropped
// files, zoom and rotation, on fax files written for each test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QUrl>

#include "faximage/fax_errors.h"
#include "gui_test_support.h"
#include "support/temp_dir.h"
#include "viewer/fax_viewer.h"
#include "viewer_fixtures.h"

namespace tlm {
namespace {

using namespace tlm::testing;

class ViewerControl : public ::testing::Test {
 protected:
  ViewerControl() {
    viewer.resize(400, 300);
    viewer.OnPageChange = [this](TKvFaxViewer&) { ++pageChanges; };
    viewer.OnViewerError = [this](TKvFaxViewer&, int code) { errors.push_back(code); };
    viewer.show();
  }

  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(&viewer.Window(), Qt::Key(key), mods);
  }
  QPoint Scroll() { return viewer.Window().ScrollPosition(); }
  QImage Shown() { return viewer.Window().viewport()->grab().toImage(); }

  TempDir dir;
  QApplication& app = App();  // before any widget
  TKvFaxViewer viewer;
  int pageChanges = 0;
  std::vector<int> errors;
};

TEST_F(ViewerControl, StartsAsANewControlDoes) {
  TKvFaxViewer fresh;
  EXPECT_EQ(fresh.size(), QSize(100, 50));
  EXPECT_EQ(fresh.BorderStyle(), TBorderStyle::bsSingle);
  EXPECT_EQ(fresh.AutoScaleMode(), asDoubleHeight);
  EXPECT_EQ(fresh.HorizScroll(), 8);
  EXPECT_TRUE(fresh.AcceptDragged());
  EXPECT_FALSE(fresh.LoadWholeFax());
  EXPECT_TRUE(fresh.focusPolicy() & Qt::TabFocus);
  EXPECT_EQ(fresh.PageCount(), 0);
}

TEST_F(ViewerControl, KeyboardPagesAndScrollsAsItsTableSays) {
  WriteNumberedFax(dir.File("fax.apf"), 3);
  viewer.SetFileName(dir.File("fax.apf"));
  EXPECT_EQ(viewer.PageCount(), 3);
  EXPECT_EQ(viewer.CurrentPage(), 1);
  EXPECT_EQ(viewer.PageDimensions(), QSize(1728, 2000));
  const QPoint max = viewer.Window().ScrollMaximum();
  EXPECT_GT(max.x(), 0);
  EXPECT_GT(max.y(), 0);
  const int changes = pageChanges;

  Key(Qt::Key_PageUp);  // on page 1: nothing
  EXPECT_EQ(viewer.CurrentPage(), 1);
  EXPECT_EQ(pageChanges, changes);
  Key(Qt::Key_Down);
  EXPECT_EQ(Scroll(), QPoint(0, 8));
  Key(Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(Scroll(), QPoint(0, 88));
  Key(Qt::Key_Right);
  Key(Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(Scroll(), QPoint(88, 88));
  Key(Qt::Key_Left);
  Key(Qt::Key_Up);
  EXPECT_EQ(Scroll(), QPoint(80, 80));
  Key(Qt::Key_End);
  EXPECT_EQ(Scroll(), QPoint(max.x(), 80));
  Key(Qt::Key_Home);
  EXPECT_EQ(Scroll(), QPoint(0, 80));
  Key(Qt::Key_PageDown, Qt::ControlModifier);  // bottom of the page
  EXPECT_EQ(Scroll(), QPoint(0, max.y()));
  Key(Qt::Key_PageUp, Qt::ControlModifier);  // top of the page
  EXPECT_EQ(Scroll(), QPoint(0, 0));
  Key(Qt::Key_Left);  // clipped at the edge
  EXPECT_EQ(Scroll(), QPoint(0, 0));

  // Ctrl+Home on page 1: to the top-left corner, no reload.
  Key(Qt::Key_Down, Qt::ControlModifier);
  Key(Qt::Key_Right, Qt::ControlModifier);
  Key(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(Scroll(), QPoint(0, 0));
  EXPECT_EQ(pageChanges, changes);

  Key(Qt::Key_PageDown);
  EXPECT_EQ(viewer.CurrentPage(), 2);
  EXPECT_EQ(pageChanges, changes + 1);
  Key(Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(viewer.CurrentPage(), 3);
  Key(Qt::Key_PageDown);  // on the last page: nothing
  EXPECT_EQ(viewer.CurrentPage(), 3);
  Key(Qt::Key_Down, Qt::ControlModifier);
  Key(Qt::Key_End, Qt::ControlModifier);  // already there: top-left
  EXPECT_EQ(viewer.CurrentPage(), 3);
  EXPECT_EQ(Scroll(), QPoint(0, 0));
  Key(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(viewer.CurrentPage(), 1);
  Key(Qt::Key_PageDown);
  Key(Qt::Key_PageUp);
  EXPECT_EQ(viewer.CurrentPage(), 1);

  EXPECT_THROW(viewer.SetCurrentPage(4), EFaxImageError);
  EXPECT_THROW(viewer.SetCurrentPage(0), EFaxImageError);
  EXPECT_TRUE(errors.empty());
}

TEST_F(ViewerControl, ScaleFactorsAndThinLinesAtSmallZoom) {
  WriteNumberedFax(dir.File("fax.apf"), 1, 1200);
  viewer.SetFileName(dir.File("fax.apf"));
  viewer.SetHorizMult(2);
  viewer.SetHorizDiv(2);
  viewer.SetScaling(true);
  EXPECT_EQ(viewer.Window().HorizMult(), 1);  // 2:2 is kept as 1:1
  EXPECT_EQ(viewer.Window().HorizDiv(), 1);
  viewer.SetHorizMult(0);  // ignored
  EXPECT_EQ(viewer.HorizMult(), 2);

  viewer.BeginUpdate();
  viewer.SetHorizMult(25);
  viewer.SetVertMult(25);
  viewer.SetHorizDiv(100);
  viewer.SetVertDiv(100);
  EXPECT_EQ(viewer.Window().DisplayedSize(), QSize(1728, 1200));  // nothing passed on yet
  viewer.EndUpdate();
  EXPECT_EQ(viewer.Window().DisplayedSize(), QSize(432, 300));
  // The one-pixel line of row 1000 still shows at a quarter of the size.
  const QImage shown = Shown();
  EXPECT_TRUE(Dark(shown, 200, 250));
  EXPECT_FALSE(Dark(shown, 200, 240));
  EXPECT_TRUE(Dark(shown, 40, 40));  // inside the square (150..350, 100..300)

  viewer.SetScaling(false);
  EXPECT_EQ(viewer.Window().DisplayedSize(), QSize(1728, 1200));
  // A new file resets the factors.
  viewer.SetScaling(true);
  viewer.SetFileName(dir.File("fax.apf"));
  EXPECT_EQ(viewer.HorizMult(), 1);
  EXPECT_EQ(viewer.Window().DisplayedSize(), QSize(1728, 1200));
}

TEST_F(ViewerControl, RotationTurnsThePageAndDropsTheMarkedBlock) {
  // A page 200 lines high with a 100 × 50 block at the top left; it is
  // shown as wide as its lines though its ink ends early.
  WriteFax(dir.File("fax.apf"), {PageWithBlocks(1728, 200, {{0, 0, 100, 50}, {0, 199, 112, 1}})});
  viewer.SetFileName(dir.File("fax.apf"));
  EXPECT_EQ(viewer.PageDimensions(), QSize(1728, 200));
  QTest::mousePress(viewer.Window().viewport(), Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseMove(viewer.Window().viewport(), QPoint(60, 40));
  QTest::mouseRelease(viewer.Window().viewport(), Qt::LeftButton, {}, QPoint(60, 40));
  ASSERT_TRUE(viewer.Window().MarkedBlock().has_value());
  EXPECT_EQ(*viewer.Window().MarkedBlock(), QRect(10, 10, 50, 30));
  EXPECT_FALSE(Dark(Shown(), 30, 20));  // marked: drawn inverted

  viewer.SetRotation(1);  // a quarter turn clockwise: the block goes top right
  EXPECT_FALSE(viewer.Window().MarkedBlock().has_value());
  EXPECT_EQ(viewer.PageDimensions(), QSize(200, 1728));
  QImage shown = Shown();
  EXPECT_TRUE(Dark(shown, 175, 50));
  EXPECT_FALSE(Dark(shown, 100, 50));
  const int changes = pageChanges;
  viewer.SetRotation(1);  // the same rotation: nothing
  EXPECT_EQ(pageChanges, changes);
  viewer.SetRotation(3);  // two more quarter turns: the block goes bottom left
  EXPECT_EQ(viewer.PageDimensions(), QSize(200, 1728));
  Key(Qt::Key_PageDown, Qt::ControlModifier);
  shown = Shown();
  const int foot = viewer.Window().viewport()->height();
  EXPECT_TRUE(Dark(shown, 25, foot - 50));
  EXPECT_FALSE(Dark(shown, 25, foot - 110));
  EXPECT_FALSE(Dark(shown, 175, foot - 50));
  viewer.SetRotation(0);
  EXPECT_EQ(viewer.PageDimensions(), QSize(1728, 200));
  EXPECT_TRUE(Dark(Shown(), 50, 25));

  // A click without a drag leaves no block; copying then says so.
  QTest::mouseClick(viewer.Window().viewport(), Qt::LeftButton, {}, QPoint(30, 30));
  EXPECT_FALSE(viewer.Window().MarkedBlock().has_value());
  try {
    viewer.CopyToClipboard();
    ADD_FAILURE() << "copy without a block";
  } catch (const EFaxImageError& e) {
    EXPECT_EQ(e.Code(), ecNoBlockMarked);
  }
  viewer.SelectAll();
  viewer.CopyToClipboard();
  const QImage copied = QApplication::clipboard()->image();
  EXPECT_EQ(copied.size(), QSize(1728, 200));
  EXPECT_TRUE(Dark(copied, 50, 25));
  EXPECT_FALSE(Dark(copied, 50, 100));

  TKvFaxViewer empty;
  try {
    empty.SelectAll();
    ADD_FAILURE() << "select all without a fax";
  } catch (const EFaxImageError& e) {
    EXPECT_EQ(e.Code(), ecNoImageLoaded);
  }
}

TEST_F(ViewerControl, MarkingScrollsWhenThePointerLeaves) {
  WriteNumberedFax(dir.File("fax.apf"), 1);
  viewer.SetFileName(dir.File("fax.apf"));
  QWidget* port = viewer.Window().viewport();
  const QPoint below(150, port->height() + 40);  // far below: two steps a tick
  QTest::mousePress(port, Qt::LeftButton, {}, QPoint(100, 100));
  QMouseEvent move(QEvent::MouseMove, below, port->mapToGlobal(below), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(port, &move);
  ASSERT_TRUE(WaitUntil([&] { return Scroll().y() >= 48; }, 3000));
  QMouseEvent release(QEvent::MouseButtonRelease, below, port->mapToGlobal(below), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(port, &release);
  const int y = Scroll().y();
  Settle(150);
  EXPECT_EQ(Scroll().y(), y);  // the timer stopped with the button
  ASSERT_TRUE(viewer.Window().MarkedBlock().has_value());
  const QRect block = *viewer.Window().MarkedBlock();
  EXPECT_EQ(block, QRect(100, 100, 50, port->height() + y - 100));
}

TEST_F(ViewerControl, DroppedFilesLoadWhenAccepted) {
  WriteNumberedFax(dir.File("a.apf"), 2);
  WriteNumberedFax(dir.File("b.apf"), 3);
  viewer.SetFileName(dir.File("a.apf"));
  std::string dropped;
  viewer.OnDropFile = [&](TKvFaxViewer&, const std::string& name) { dropped = name; };
  auto drop = [&](const std::string& file) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file)), QUrl::fromLocalFile("/tmp/other.apf")});
    QWidget* port = viewer.Window().viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(port, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(port, &drop);
  };
  viewer.SetAcceptDragged(false);
  drop(dir.File("b.apf"));
  EXPECT_EQ(viewer.PageCount(), 2);
  EXPECT_TRUE(dropped.empty());
  viewer.SetAcceptDragged(true);
  drop(dir.File("b.apf"));
  EXPECT_EQ(dropped, dir.File("b.apf"));
  EXPECT_EQ(viewer.FileName(), dir.File("b.apf"));
  EXPECT_EQ(viewer.PageCount(), 3);
  // A dropped file that is not a fax is reported and closes the viewer.
  WriteFile(dir.File("c.apf"), std::string("not a fax at all"));
  drop(dir.File("c.apf"));
  EXPECT_EQ(errors, std::vector<int>({ecFaxBadFormat}));
  EXPECT_EQ(viewer.PageCount(), 0);
}

TEST_F(ViewerControl, LoadWholeFaxKeepsPagesDecoded) {
  WriteNumberedFax(dir.File("fax.apf"), 3, 300);
  viewer.SetFileName(dir.File("fax.apf"));
  TViewer& w = viewer.Window();
  EXPECT_TRUE(w.PageDecoded(1));
  EXPECT_FALSE(w.PageDecoded(2));
  viewer.SetLoadWholeFax(true);
  EXPECT_TRUE(w.PageDecoded(2) && w.PageDecoded(3));
  viewer.SetRotation(2);  // every loaded page turns
  viewer.SetCurrentPage(3);
  EXPECT_TRUE(w.PageDecoded(1));
  EXPECT_EQ(viewer.Rotation(), 2);
  viewer.SetLoadWholeFax(false);
  EXPECT_FALSE(w.PageDecoded(1));
  EXPECT_FALSE(w.PageDecoded(2));
  EXPECT_TRUE(w.PageDecoded(3));
  viewer.SetCurrentPage(1);  // decoded again, in the current rotation
  EXPECT_FALSE(w.PageDecoded(3));
  EXPECT_EQ(viewer.Rotation(), 2);
  EXPECT_EQ(viewer.PageDimensions(), QSize(1728, 300));
}

TEST_F(ViewerControl, BadFilesGiveTheirErrors) {
  auto codeOf = [&](const std::string& file) {
    try {
      viewer.SetFileName(file);
    } catch (const EFaxImageError& e) {
      return e.Code();
    }
    return 0;
  };
  EXPECT_EQ(codeOf(dir.File("missing.apf")), ecFileNotFound);
  WriteFile(dir.File("text.apf"), std::string(100, 'x'));
  EXPECT_EQ(codeOf(dir.File("text.apf")), ecFaxBadFormat);
  WriteFile(dir.File("none.apf"), BuildApf({}));
  EXPECT_EQ(codeOf(dir.File("none.apf")), ecFaxBadFormat);
  EXPECT_TRUE(viewer.FileName().empty());

  // Page 2 ends before its data does: found while paging, reported, closed.
  const Page good = PageWithBlocks(1728, 100, {{0, 0, 50, 50}});
  const auto data = RecordData(EncodePage(good));
  const auto raw = RawStream(EncodePage(good));
  WriteFile(dir.File("cut.apf"), BuildApf({{kApfLengthWords | kApfFine, data, -1},
                                           {kApfFine, raw, std::int64_t(raw.size()) + 5000}}));
  EXPECT_EQ(codeOf(dir.File("cut.apf")), 0);
  Key(Qt::Key_PageDown);
  EXPECT_EQ(errors, std::vector<int>({ecFaxBadFormat}));
  EXPECT_EQ(viewer.PageCount(), 0);
  EXPECT_TRUE(viewer.FileName().empty());
  Key(Qt::Key_PageDown);  // keys on an empty viewer do nothing

  // A page of no lines shows as an empty page.
  WriteFile(dir.File("empty.apf"), BuildApf({{kApfLengthWords | kApfFine, {}, -1}}));
  EXPECT_EQ(codeOf(dir.File("empty.apf")), 0);
  EXPECT_EQ(viewer.PageDimensions(), QSize(0, 0));
  Shown();
}

}  // namespace
}  // namespace tlm
