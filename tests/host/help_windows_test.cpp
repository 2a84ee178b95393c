// Help > Keys lists the window's own key table by the names on the keys;
// About names the version and the licence.
#include "host/help_windows.h"

#include <gtest/gtest.h>

#include <QTableWidget>
#include <set>
#include <string>

#include "host/host_key_names.h"
#include "host/host_keys.h"
#include "pellux_version.h"

namespace pellux {
namespace {

TEST(KeysWindow, ListsEveryPairOfTheKeyTableUnderItsKeyName) {
  KeysWindow window(nullptr);
  const QTableWidget& table = *window.table();
  ASSERT_EQ(table.rowCount(), static_cast<int>(kHostKeyTable.size()));
  std::set<std::string> names;
  for (int row = 0; row < table.rowCount(); ++row) {
    const HostKey& key = kHostKeyTable[static_cast<std::size_t>(row)];
    const std::string name = table.item(row, 0)->text().toStdString();
    // A name the user can find on the keyboard, one per PC key: two keys
    // under one name would leave the user guessing which is meant.
    EXPECT_FALSE(name.empty()) << "virtual key " << unsigned{key.virtualKey};
    EXPECT_TRUE(names.insert(name).second) << name << " names two keys";
    EXPECT_EQ(name, VirtualKeyName(key.virtualKey));
    EXPECT_TRUE(table.item(row, 1)->text().contains(QString::number(key.code))) << name;
  }
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
