// The adapter selection asks every target ID from 0 to 7, both ends
// included.
#include "ui_fixture.h"

namespace {

using namespace uitest;

class TargetRange : public WindowsOnBus {};

TEST_F(TargetRange, SelectionFindsTargetsZeroAndSeven) {
  StartShownOn("first-and-last-targets.json");
  const struct {
    int adapter;
    QStringList entries;
  } cases[] = {{0, {"0", "7"}}, {1, {"7"}}, {2, {"0"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.adapter);
    ChooseAdapterEntry(c.adapter);
    QStringList entries;
    for (int i = 0; i < Form1->ComboBox1->count(); ++i) entries << Form1->ComboBox1->itemText(i);
    EXPECT_EQ(entries, c.entries);
    EXPECT_EQ(Form1->ComboBox1->currentText(), c.entries.first());
  }
}

}  // namespace
