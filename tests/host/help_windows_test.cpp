// Help > Keys lists the window's own key table by the names on the keys;
// About names the version and the licence.
#include "host/help_windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "host/host_key_names.h"
#include "host/host_keys.h"
#include "host/keypad_view.h"
#include "pellux_version.h"

namespace pellux {
namespace {

TEST(KeysWindow, WritesEveryPcKeyOfTheKeyTableOnTheKeyItPresses) {
  std::set<std::string> names;
  for (const HostKey& key : kHostKeyTable) {
    const std::string name = VirtualKeyName(key.virtualKey);
    // A name the user can find on the keyboard, one per PC key: two keys
    // under one name would leave the user guessing which is meant.
    EXPECT_FALSE(name.empty()) << "virtual key " << unsigned{key.virtualKey};
    EXPECT_TRUE(names.insert(name).second) << name << " names two keys";
    ASSERT_NE(KeypadKeyOf(key.code), nullptr)
        << name << ": code " << unsigned{key.code} << " is on the keypad";
    const std::vector<std::string> written = PcKeyNamesOf(key.code);
    EXPECT_NE(std::find(written.begin(), written.end(), name), written.end()) << name;
  }
  KeysWindow window(nullptr);
  EXPECT_TRUE(window.keypad()->isVisibleTo(&window));
}

TEST(KeysWindow, NamesTheKeysAsPrintedOnAKeyboard) {
  const struct {
    unsigned virtualKey;
    const char* name;
  } cases[] = {{vk::kEnd, "End"},           {vk::kA + 16, "Q"},      {vk::k0 + 7, "7"},
               {vk::kNumpad0 + 7, "Num 7"}, {vk::kF1 + 11, "F12"},   {vk::kPageDown, "Page Down"},
               {vk::kBackslash, "\\"},      {vk::kDecimal, "Num ."}, {vk::kF11 + 13, "F24"}};
  for (const auto& c : cases) EXPECT_EQ(VirtualKeyName(c.virtualKey), c.name) << c.virtualKey;
  EXPECT_EQ(VirtualKeyName(0), "");
  EXPECT_EQ(VirtualKeyName(vk::kF1 + 24), "");
}

TEST(AboutWindow, SaysTheVersionAndTheLicence) {
  AboutWindow window(nullptr);
  const QString text = window.Text();
  const QString version =
      QString::fromUtf8(PelluxVersion().data(), static_cast<qsizetype>(PelluxVersion().size()));
  EXPECT_FALSE(version.isEmpty());
  EXPECT_TRUE(text.contains(QStringLiteral("Pellux ") + version)) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("MIT License"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("2026 The Pellux developers"))) << text.toStdString();
}

}  // namespace
}  // namespace pellux
