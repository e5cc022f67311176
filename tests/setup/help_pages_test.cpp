// The help pages: every topic number the program opens has a page, every
// link between pages leads to a page (and anchor) that exists, and the help
// window follows the links.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QUrl>
#include <set>

#include "app/help_window.h"
#include "gui_test_support.h"
#include "platform/data_folder.h"

namespace tlm {
namespace {

QString ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString HelpFolder() { return QString::fromStdString(ShareFolder()) + "help/"; }

// Every help topic number in the program's sources: constants whose name
// speaks of help (kHelpContents = 1009, kFaxEditorHelpTopic = 1015), and
// numbers given directly to a help call (ShowHelp(1009),
// ShowHelpTopic(this, 21071)).
std::set<int> TopicsUsedInTheSources() {
  const QRegularExpression constant(R"re(\b\w*[Hh]elp\w*\s*=\s*(\d{3,})\b)re");
  const QRegularExpression call(R"re(\b\w*[Hh]elp\w*\s*\((?:[^,();]*,\s*)*(\d{3,})\s*\))re");
  std::set<int> topics;
  QDirIterator it(QStringLiteral(TOLMERA_SOURCE_DIR "/src"), {"*.cpp", "*.h"}, QDir::Files,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString text = ReadAll(it.next());
    for (const QRegularExpression* re : {&constant, &call}) {
      for (auto m = re->globalMatch(text); m.hasNext();) topics.insert(m.next().captured(1).toInt());
    }
  }
  return topics;
}

TEST(HelpPages, EveryTopicTheProgramOpensHasAPage) {
  std::set<int> topics = TopicsUsedInTheSources();
  EXPECT_TRUE(topics.count(1009) && topics.count(911) && topics.count(1025)) << "the main menu's topics were found";
  // The topics of every window, including those whose windows are built
  // elsewhere: the fax editor, send window, cover templates, phone book,
  // viewer, preferences wizard and log cleanup.
  for (int t : {1009, 911, 1025, 1015, 1016, 1017, 1018, 1019, 1020, 1021, 1022, 3501, 3502, 3503, 21071}) {
    topics.insert(t);
  }
  for (int topic : topics) {
    EXPECT_FALSE(HelpTopicPath(topic).isEmpty()) << "no page for help topic " << topic;
  }
}

TEST(HelpPages, EveryLinkBetweenPagesResolves) {
  const QRegularExpression link(R"re(href\s*=\s*"([^"]*)")re");
  const QRegularExpression anchor(R"re((?:id|name)\s*=\s*"([^"]*)")re");
  int links = 0;
  const QStringList pages = QDir(HelpFolder()).entryList({"*.html"}, QDir::Files);
  EXPECT_GE(pages.size(), 16);
  for (const QString& page : pages) {
    const QString text = ReadAll(HelpFolder() + page);
    EXPECT_TRUE(text.contains("<title>")) << page.toStdString();
    for (auto m = link.globalMatch(text); m.hasNext();) {
      const QUrl url(m.next().captured(1));
      if (!url.scheme().isEmpty()) continue;  // web and mail addresses
      ++links;
      const QString target = url.path().isEmpty() ? page : url.path();
      const QString path = HelpFolder() + target;
      ASSERT_TRUE(QFile::exists(path)) << page.toStdString() << " links to missing " << target.toStdString();
      if (url.hasFragment()) {
        bool found = false;
        for (auto a = anchor.globalMatch(ReadAll(path)); a.hasNext() && !found;) {
          found = a.next().captured(1) == url.fragment();
        }
        EXPECT_TRUE(found) << page.toStdString() << " links to missing anchor " << url.toString().toStdString();
      }
    }
  }
  EXPECT_GT(links, 30);
}

TEST(HelpPages, TheHelpWindowShowsAPageAndFollowsItsLinks) {
  testing::App();
  THelpWindow window;
  ASSERT_TRUE(window.ShowTopic(1022));
  const QString title = window.Browser()->documentTitle();
  EXPECT_TRUE(title.startsWith("Tolmera Help")) << title.toStdString();
  // Follow the link to the page about finding the modem.
  window.Browser()->setSource(window.Browser()->source().resolved(QUrl("3501.html")));
  EXPECT_TRUE(window.Browser()->source().toLocalFile().endsWith("/help/3501.html"));
  EXPECT_NE(window.Browser()->documentTitle(), title);
  EXPECT_TRUE(window.Browser()->toPlainText().contains("dialout"));
  window.Browser()->backward();
  EXPECT_EQ(window.Browser()->documentTitle(), title);
  EXPECT_FALSE(window.ShowTopic(4242));
}

}  // namespace
}  // namespace tlm
