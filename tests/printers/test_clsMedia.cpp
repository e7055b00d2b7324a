#include <gtest/gtest.h>

#include "MlStringModule.h"
#include "clsMedia.h"

namespace {

clsMedia film() {
  clsMedia m;
  m.name = QStringLiteral("Film");
  m.frenchName = QStringLiteral("Film FR");
  m.spainishName = QStringLiteral("Film ES");
  m.italianName = QStringLiteral("Film IT");
  m.germanName = QStringLiteral("Film DE");
  m.portugueseName = QStringLiteral("Film PT");
  return m;
}

struct LanguageScope {
  int saved = gLanguageID;
  explicit LanguageScope(int id) { gLanguageID = id; }
  ~LanguageScope() { gLanguageID = saved; }
};

}  // namespace

TEST(clsMediaLocalName, EachLanguagePicksItsName) {
  const clsMedia m = film();
  const std::pair<int, const char*> cases[] = {{1036, "Film FR"}, {1034, "Film ES"}, {1040, "Film IT"},
                                               {1031, "Film DE"}, {2070, "Film PT"}, {9, "Film"},
                                               {1043, "Film"}};
  for (const auto& [language, expected] : cases) {
    LanguageScope scope(language);
    EXPECT_EQ(m.localName(), QString::fromLatin1(expected)) << language;
  }
}

TEST(clsMediaLocalName, AnEmptyTranslationFallsBackToTheName) {
  clsMedia m = film();
  m.frenchName.clear();
  LanguageScope scope(1036);
  EXPECT_EQ(m.localName(), QStringLiteral("Film"));
}

TEST(clsMediaLocalName, StartsWithNoIndex) { EXPECT_EQ(clsMedia().index, 0); }
