// The debugger's font: fixed pitch whatever the system offers as its fixed
// font, so that the listing's columns line up.
#include "host/listing_font.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>

#include "tests/host/known_fonts.h"

namespace pellux {
namespace {

TEST(ListingFont, KeepsTheOfferedFontOnlyWhenItIsFixedPitch) {
  const test::KnownFonts& fonts = test::LoadKnownFonts();
  if (!fonts.found()) GTEST_SKIP() << test::kNoKnownFonts;
  struct Case {
    const char* what;
    QFont offered;
    bool kept;
  };
  const Case cases[] = {
      {"a fixed-pitch font, at another size", QFont(fonts.fixed, 13), true},
      {"a font that is not fixed pitch (as Noto Sans Mono on some font sets)", QFont(fonts.proportional, 10),
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(QFontInfo(c.offered).fixedPitch(), c.kept) << "the font offered is what the case says";
    const QFont chosen = ChooseListingFont(c.offered);
    const QFontInfo info(chosen);
    EXPECT_TRUE(info.fixedPitch()) << info.family().toStdString();
    EXPECT_EQ(info.family() == QFontInfo(c.offered).family(), c.kept) << info.family().toStdString();
    EXPECT_EQ(chosen.pointSize(), 10);
    // What fixed pitch is for: narrow and wide letters take the same room.
    const QFontMetrics metrics(chosen);
    EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("iiiiiiii")),
              metrics.horizontalAdvance(QStringLiteral("WWWWWWWW")));
    EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("1.l:")),
              metrics.horizontalAdvance(QStringLiteral("m0W@")));
  }
}

}  // namespace
}  // namespace pellux
