#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <climits>

#include "CExtractProgressDlg.h"

namespace {

uint32_t g_total = 0;

int beginAndStepHalfway(ExtractFilesArgs* args) {
  args->progress->begin(g_total);
  args->progress->step(g_total / 2);
  return 7;
}

TEST(CExtractProgressDlgTest, ShowsTheDecompressorsProgressAndGivesItsResult) {
  // The bar's range is an int: totals above it are scaled down, never wrapped.
  const struct {
    uint32_t total;
    int maximum;
  } cases[] = {
      {1000, 1000}, {uint32_t(INT_MAX), INT_MAX}, {uint32_t(INT_MAX) + 1, 1 << 30}, {UINT32_MAX, INT_MAX}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.total);
    g_total = c.total;
    ExtractFilesArgs args{};
    CExtractProgressDlg dialog(beginAndStepHalfway, args, "Setup");
    EXPECT_EQ(dialog.run(), 7);
    EXPECT_EQ(dialog.windowTitle(), "Setup");
    EXPECT_EQ(dialog.findChild<QLabel*>("static1034")->text(), "Extracting files from archive...");
    const auto* bar = dialog.findChild<QProgressBar*>("progress1035");
    EXPECT_EQ(bar->maximum(), c.maximum);
    EXPECT_EQ(bar->value(), c.maximum / 2);
  }
}

}  // namespace
