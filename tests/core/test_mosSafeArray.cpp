#include <gtest/gtest.h>

#include "modPJL.h"
#include "mosSafeArray.h"

namespace {

struct LineEnd {
  qint32 offset;
  qint32 termLen;
};

LineEnd lineEndOf(const QByteArray& bytes, qint32 start = 0) {
  qint32 termLen = -7;
  const qint32 offset = FindLineEnd(bytes, termLen, start);
  return {offset, termLen};
}

}  // namespace

TEST(FindLineEnd, CrLfIsOneLineEndOfTwoBytes) {
  const LineEnd e = lineEndOf("AB\r\nCD");
  EXPECT_EQ(e.offset, 2);
  EXPECT_EQ(e.termLen, 2);
}

TEST(FindLineEnd, LfCrEndsAtTheLfAndTheCrStartsTheNextLineEnd) {
  const QByteArray bytes("AB\n\rCD");
  LineEnd e = lineEndOf(bytes);
  EXPECT_EQ(e.offset, 2);
  EXPECT_EQ(e.termLen, 1);
  e = lineEndOf(bytes, 3);
  EXPECT_EQ(e.offset, 3);
  EXPECT_EQ(e.termLen, 1);
}

TEST(FindLineEnd, NulRunsBelongToTheLineEnd) {
  LineEnd e = lineEndOf(QByteArray("\0\0\r\n", 4));
  EXPECT_EQ(e.offset, 0);
  EXPECT_EQ(e.termLen, 4);
  e = lineEndOf(QByteArray("A\0\r\n", 4));
  EXPECT_EQ(e.offset, 1);
  EXPECT_EQ(e.termLen, 3);
}

TEST(FindLineEnd, EscAtTheStartIsNoBoundaryButALaterOneIs) {
  modPJL::Init();
  LineEnd e = lineEndOf(gUELBytes + "@PJL\r\n");
  EXPECT_EQ(e.offset, 13);
  EXPECT_EQ(e.termLen, 2);
  e = lineEndOf(
      "AB\x1b"
      "C");
  EXPECT_EQ(e.offset, 2);
  EXPECT_EQ(e.termLen, 0);
}

TEST(FindLineEnd, NothingFound) {
  LineEnd e = lineEndOf("ABC");
  EXPECT_EQ(e.offset, -1);
  EXPECT_EQ(e.termLen, 0);
  e = lineEndOf("AB\r\n", 4);
  EXPECT_EQ(e.offset, -1);
  EXPECT_EQ(e.termLen, 0);
}

TEST(FindLineEnd, LastByteIsCountedOnce) {
  LineEnd e = lineEndOf(QByteArray("AB\0", 3));
  EXPECT_EQ(e.offset, 2);
  EXPECT_EQ(e.termLen, 1);
  e = lineEndOf("AB\r");
  EXPECT_EQ(e.offset, 2);
  EXPECT_EQ(e.termLen, 1);
}

TEST(FindLineEnd, SearchesFromTheGivenStart) {
  const LineEnd e = lineEndOf("A\r\nB\r\nC", 3);
  EXPECT_EQ(e.offset, 4);
  EXPECT_EQ(e.termLen, 2);
}

TEST(FindBytes, FindsTheWholeNeedle) {
  EXPECT_EQ(FindBytes("xyAPPLDATA", "APPLDATA"), 2);
  EXPECT_EQ(FindBytes("APPLAPPLDATA", "APPLDATA"), 4);
  EXPECT_EQ(FindBytes("abcabc", "c"), 2);
}

TEST(FindBytes, NoMatchMayRunPastTheEnd) {
  EXPECT_EQ(FindBytes("xyAPPLDATA", "APPLDATAX"), -1);
  EXPECT_EQ(FindBytes("APPLDATA", "APPLDATA"), 0);
  EXPECT_EQ(FindBytes("APPLDATB", "APPLDATA"), -1);
  EXPECT_EQ(FindBytes("AB", "ABC"), -1);
}

TEST(FindBytes, AnEmptyNeedleIsNeverFound) {
  EXPECT_EQ(FindBytes("AB", QByteArrayView()), -1);
  EXPECT_EQ(FindBytes(QByteArrayView(), QByteArrayView()), -1);
}

TEST(ArrayLength, CountsEveryByte) {
  EXPECT_EQ(ArrayLength(QByteArray("a\0b", 3)), 3);
  EXPECT_EQ(ArrayLength(QByteArray()), 0);
}

TEST(ByteView, RePointsWithoutCopyingAndGoesHome) {
  const QByteArray buffer("0123456789");
  ByteView view;
  EXPECT_TRUE(view.atHome());
  view.pointInto(buffer, 3, 4);
  EXPECT_EQ(view.data(), buffer.constData() + 3);
  EXPECT_EQ(view.view(), QByteArrayView("3456"));
  view.pointInto(buffer, 8, 2);
  EXPECT_EQ(view.view(), QByteArrayView("89"));
  EXPECT_FALSE(view.atHome());
  view.goHome();
  EXPECT_TRUE(view.atHome());
  EXPECT_EQ(buffer, QByteArray("0123456789"));
}

TEST(ByteView, ReleasingAViewLeavesItsBufferIntact) {
  QByteArray buffer(100, 'z');
  {
    ByteView view;
    view.pointInto(buffer, 10, 50);
  }
  buffer.append('!');
  EXPECT_EQ(buffer.size(), 101);
  EXPECT_EQ(buffer.count('z'), 100);
}

TEST(modPJL, PatternsAreBuiltOnce) {
  modPJL::Init();
  const char* before = gPJLBytes.constData();
  modPJL::Init();
  EXPECT_EQ(gPJLBytes.constData(), before);
  EXPECT_EQ(gUEL, QString(QChar(27)) + "%-12345X");
  EXPECT_EQ(gUELBytes, QByteArray("\x1b%-12345X"));
  EXPECT_EQ(gPJLBytes, QByteArray("@PJL"));
  EXPECT_EQ(gSpacePJLBytes.size(), 5);
  EXPECT_EQ(gSpacePJLBytes.at(0), 32);
  EXPECT_EQ(gSpacePJLBytes, QByteArray(" @PJL"));
  EXPECT_EQ(gCRBytes, QByteArray("\r"));
  EXPECT_EQ(gLFBytes, QByteArray("\n"));
  EXPECT_EQ(gNULBytes, QByteArray(1, '\0'));
  EXPECT_EQ(gESCBytes, QByteArray("\x1b"));
  EXPECT_EQ(gBEGMFBytes, QByteArray("BEGMF"));
  EXPECT_EQ(gENDMFBytes, QByteArray("ENDMF;"));
  EXPECT_EQ(gAPPLDATABytes, QByteArray("APPLDATA"));
}

// Nothing below 0x20 nor 0x7F may reach a PJL line; a character the code page
// lacks used to go out as SUB (0x1A).
TEST(modPJL, LineBytesHoldNoControlByteButTheirLineEnd) {
  const struct {
    QString text;
    QByteArray bytes;
  } cases[] = {
      {QStringLiteral("@PJL SET PAPER=A0"), "@PJL SET PAPER=A0\r\n"},
      {QStringLiteral("@PJL SET PAPER=A0\r\n"), "@PJL SET PAPER=A0\r\n"},
      {QString::fromUtf8("abc\u2028d\u2029ef"), "abc?d?ef\r\n"},
      {QString::fromUtf8("a\xef\xbf\xbd"
                         "b"),
       "a?b\r\n"},
      {QString::fromUcs4(U"a\U0001F600b"), "a?b\r\n"},
      {QString(QChar(0xD800)) + "x", "?x\r\n"},
      {QStringLiteral("a\tb\x7f"
                      "c\x1a"
                      "d\x1b"
                      "e\x1f"
                      "f"),
       "abcdef\r\n"},
      {QString(QChar(0)) + QStringLiteral("x\ny"), "xy\r\n"},
      {QString::fromUtf8("caf\u00e9 \u20ac \u0081"), "caf\xe9 \x80 \x81\r\n"},
      {QStringLiteral(" ~"), " ~\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(modPJL::lineBytes(c.text), c.bytes) << c.text.toStdString();
}
