// What both windows rely on when they look their controls up in the
// layouts: a well-formed table, lookups by name, and filled-in messages.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "ui/layout/form_layouts.h"
#include "ui/layout/window_texts.h"

namespace {

struct TableCase {
  const char* name;
  std::vector<ControlLayout> layout;
  bool wellFormed;
};

ControlLayout Record(const char* name, const char* parent) {
  return {name, parent, {0, 0, 1, 1}, nullptr, nullptr};
}

TEST(FormLayouts, ParentsComeFirstAndNamesOnce) {
  const TableCase cases[] = {
      {"window, panel, button", {Record("W", nullptr), Record("P", "W"), Record("B", "P")}, true},
      {"empty", {}, false},
      {"window not first", {Record("P", "W"), Record("W", nullptr)}, false},
      {"two windows", {Record("W", nullptr), Record("V", nullptr)}, false},
      {"child before parent", {Record("W", nullptr), Record("B", "P"), Record("P", "W")}, false},
      {"unknown parent", {Record("W", nullptr), Record("B", "X")}, false},
      {"name twice", {Record("W", nullptr), Record("P", "W"), Record("P", "W")}, false},
  };
  for (const TableCase& c : cases) {
    EXPECT_EQ(IsWellFormed(c.layout), c.wellFormed) << c.name;
  }
}

TEST(FormLayouts, LookupByNameFindsTheRecordOrThrows) {
  // Each window's own Label1; names are unique only within a window.
  EXPECT_EQ(LayoutOf(Form1Layout, "Label1").rect.left, 8);
  EXPECT_EQ(LayoutOf(AboutBoxLayout, "Label1").rect.left, 70);
  EXPECT_STREQ(LayoutOf(Form1Layout, "ComboBox2").hint, "詳細表示のホストアダプタ");
  EXPECT_THROW(LayoutOf(Form1Layout, "ProgramIcon"), std::logic_error);
}

TEST(WindowTexts, FilledInReplacesThePlaceholder) {
  EXPECT_EQ(FilledIn(NotAnIntegerText, "3a"), "'3a' は整数ではありません");
  EXPECT_EQ(FilledIn(NotAnIntegerText, ""), "'' は整数ではありません");
}

}  // namespace
