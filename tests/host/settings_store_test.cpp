// The remembered settings come back as they were saved, and a damaged store
// gives the defaults rather than values the window cannot use.
#include "host/settings_store.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

namespace pellux {
namespace {

TEST(SettingsStore, WhatIsSavedComesBack) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("pellux.ini"));
  WindowSettings saved;
  saved.zoom = 5;
  saved.speed = Speed::Unlimited;
  saved.calculatorSpeed = true;
  saved.screenshotAtZoom = true;
  saved.keypad = false;
  saved.lastRom = QStringLiteral("/roms/ti 92p.rom");
  saved.position = QPoint(-40, 300);  // a screen left of the main one
  {
    SettingsStore store(file);
    store.Save(saved);
    store.SetLastFolder(FileKind::State, QStringLiteral("/states"));
    store.SetLastFolder(FileKind::Screenshot, QStringLiteral("/pictures"));
  }
  SettingsStore store(file);
  const WindowSettings loaded = store.Load();
  EXPECT_EQ(loaded.zoom, 5);
  EXPECT_EQ(loaded.speed, Speed::Unlimited);
  EXPECT_TRUE(loaded.calculatorSpeed);
  EXPECT_TRUE(loaded.screenshotAtZoom);
  EXPECT_FALSE(loaded.keypad);
  EXPECT_EQ(loaded.lastRom, saved.lastRom);
  EXPECT_EQ(loaded.position, saved.position);
  EXPECT_EQ(store.LastFolder(FileKind::State), QStringLiteral("/states"));
  EXPECT_EQ(store.LastFolder(FileKind::Screenshot), QStringLiteral("/pictures"));
  EXPECT_EQ(store.LastFolder(FileKind::Rom), QString());
}

TEST(SettingsStore, DamagedOrEmptyStoreGivesTheDefaults) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("pellux.ini"));
  EXPECT_EQ(SettingsStore(file).Load().zoom, 3);
  EXPECT_TRUE(SettingsStore(file).Load().keypad) << "the keypad shows until hidden";
  for (const char* zoom : {"0", "6", "-3", "three", ""}) {
    {
      QSettings raw(file, QSettings::IniFormat);
      raw.setValue(QStringLiteral("window/zoom"), QString::fromLatin1(zoom));
      raw.setValue(QStringLiteral("emulation/speed"), QStringLiteral("8x"));
      raw.setValue(QStringLiteral("window/position"), QStringLiteral("left"));
    }
    const WindowSettings loaded = SettingsStore(file).Load();
    EXPECT_EQ(loaded.zoom, 3) << zoom;
    EXPECT_EQ(loaded.speed, Speed::Real);
    EXPECT_FALSE(loaded.position.has_value());
  }
}

}  // namespace
}  // namespace pellux
