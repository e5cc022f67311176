// The init string helper: the preset read from the current string, the
// composed strings, and the window's three ways out.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "modal_driver.h"
#include "setup/init_string_helper.h"

namespace tlm {
namespace {

using namespace testing;

TEST(InitStringHelper, PresetFromTheCurrentString) {
  struct Case {
    std::string current;
    int type;
    bool longWait;
  };
  const std::vector<Case> cases = {
      {"AT&H3&I2&R2S7=120S36=8", 3, true},
      {"S7=90", 0, true},
      {"s7=70", 0, true},
      {"ATS7=65", 0, false},
      {"ATS7=", 0, false},
      {"ATS7=1A2", 0, false},
      {"AT&H3S36=8S33=34", 4, false},  // S33=34 is tested before S36=8
      {"ATS36=0S33=34", 2, false},
      {"AT&F&C1&D2\\Q3S7=65", 5, false},
      {"at&r2", 1, false},
      {"", 0, false},
      {std::string(200, 'X') + "S7=999", 0, true},
      {"AT\x01\x1bS7=80\r\n", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.current);
    const InitStringPreset preset = PresetFromInitString(c.current);
    EXPECT_EQ(preset.modemType, c.type);
    EXPECT_EQ(preset.longCarrierWait, c.longWait);
  }
}

TEST(InitStringHelper, ComposedStrings) {
  EXPECT_EQ(ComposeInitString(3, true, true), "AT&H3&I2&R2S7=120S36=8");
  EXPECT_EQ(ComposeInitString(3, true, false), "AT&H3&I2&R2S7=90S36=8");
  EXPECT_EQ(ComposeInitString(0, true, true), "AT&F&C1&D2&K3S7=120");
  EXPECT_EQ(ComposeInitString(0, true, false), "AT&F&C1&D2&K3S7=65");
  EXPECT_EQ(ComposeInitString(5, false, true), "AT&F&C1&D2\\Q3S7=65");
  EXPECT_EQ(ComposeInitString(2, false, false), "AT&H3&I2&R2S7=65S36=0");
  EXPECT_EQ(ComposeInitString(4, true, false), "AT&H3&I2&R2S7=90S36=8S33=34");
  EXPECT_EQ(ComposeInitString(1, true, false), "AT&H3&I2&R2S7=90");
}

class InitStringWindowTest : public ::testing::Test {
 protected:
  InitStringWindowTest() { App(); }
  // Opens the helper on `current`, lets `act` work the window, and returns
  // the result.
  std::string Run(const std::string& current, bool forSending, std::function<void(QWidget*)> act) {
    driver.Then(std::move(act));
    const std::string result = BuildInitString(nullptr, current, forSending);
    EXPECT_TRUE(driver.unexpected.empty());
    return result;
  }
  static void Click(QWidget* w, const char* name) {
    QTest::mouseClick(w->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
  }
  ModalDriver driver;
};

TEST_F(InitStringWindowTest, OkCancelAndLeaveItBlank) {
  bool checkedAtOpen = false;
  int typeAtOpen = -1;
  EXPECT_EQ(Run("AT&H3&I2&R2S7=120S36=8", true,
                [&](QWidget* w) {
                  auto* form = static_cast<TModemInitStringHelperForm*>(w);
                  EXPECT_EQ(form->windowTitle(), "Modem Initialization String Helper");
                  checkedAtOpen = form->findChild<QCheckBox*>(QStringLiteral("CheckAT7"))->isChecked();
                  typeAtOpen = form->ModemTypeIndex();
                  Click(w, "OkButton");
                }),
            "AT&H3&I2&R2S7=120S36=8");
  EXPECT_TRUE(checkedAtOpen);
  EXPECT_EQ(typeAtOpen, 3);

  // The label toggles the box; the Cirrus entry shows a single ampersand.
  EXPECT_EQ(Run("", true,
                [&](QWidget* w) {
                  auto* label = w->findChild<QLabel*>(QStringLiteral("CheckAT7Label"));
                  EXPECT_TRUE(label->isVisible());
                  QTest::mouseClick(label, Qt::LeftButton);
                  auto* cirrus = w->findChild<QRadioButton*>(QStringLiteral("ModemType5"));
                  EXPECT_EQ(cirrus->text(), "Cirrus Logic or AT&&T modem");
                  QTest::mouseClick(cirrus, Qt::LeftButton, {}, QPoint(5, cirrus->height() / 2));
                  Click(w, "OkButton");
                }),
            "AT&F&C1&D2\\Q3S7=120");

  // Receiving: no check box, always S7=65.
  EXPECT_EQ(Run("S7=120", false,
                [&](QWidget* w) {
                  EXPECT_FALSE(w->findChild<QCheckBox*>(QStringLiteral("CheckAT7"))->isVisible());
                  EXPECT_FALSE(w->findChild<QLabel*>(QStringLiteral("CheckAT7Label"))->isVisible());
                  static_cast<TModemInitStringHelperForm*>(w)->SetModemTypeIndex(5);
                  Click(w, "OkButton");
                }),
            "AT&F&C1&D2\\Q3S7=65");

  EXPECT_EQ(Run("", true, [&](QWidget* w) { Click(w, "CancelButton"); }), "");
  const std::string odd = std::string(200, 'A') + "\x07";
  EXPECT_EQ(Run(odd, true, [&](QWidget* w) { Click(w, "CancelButton"); }), odd);
  EXPECT_EQ(Run("ATZ", true, [&](QWidget* w) { Click(w, "BlankButton"); }), "");
}

}  // namespace
}  // namespace tlm
