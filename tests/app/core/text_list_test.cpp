// TextList with long lists: the list operations keep order and the duplicate
// rule on 200,000 items, and a settings file with that many hiddenMaps items
// loads with every item once, in file order. Speed is measured in
// bench/settings_bench.cpp, not here.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/core/SettingsStore.h"
#include "app/core/TextCodec.h"
#include "tests/support/LoggedFolder.h"
#include "tests/support/TempRegistry.h"

namespace rovana {
namespace {

constexpr int kItems = 200'000;
constexpr int kRepeatEvery = 7;  // every 7th item comes a second time

std::string Item(int i) { return "map-" + std::to_string(i) + ".jpg"; }

class TextListTest : public testing_support::LoggedFolderTest {
 protected:
  testing_support::TempRegistry registry_;
};

// Regression: TextList::Add searched the whole list for duplicates, so
// loading 200,000 hiddenMaps items took half a minute; the faster list must
// keep the same results.
TEST_F(TextListTest, LongListKeepsOrderAndTheDuplicateRule) {
  TextList list;
  std::vector<std::string> expected;
  for (int i = 0; i < kItems; ++i) {
    list.Add(Item(i));
    expected.push_back(Item(i));
    if (i % kRepeatEvery == 0) list.Add(Item(i / 2));  // already present: not added
  }
  struct Check {
    const char* what;
    bool ok;
  };
  const std::vector<Check> first = {
      {"every item once, in order", list.items() == expected},
      {"contains the first", list.Contains(Item(0))},
      {"contains the last", list.Contains(Item(kItems - 1))},
      {"not one past the last", !list.Contains(Item(kItems))},
      {"letter case counts", !list.Contains("MAP-1.JPG")},
  };
  for (const Check& c : first) {
    SCOPED_TRACE(c.what);
    EXPECT_TRUE(c.ok);
  }

  list.Add(Item(5), true);  // a forced duplicate is appended
  list.Add(Item(5), true);
  const std::size_t withDuplicates = list.size();
  list.Remove(Item(5));  // removes every copy
  list.Remove(Item(kItems - 1));
  list.Remove(list.items().front());  // a view into the list itself
  list.Add(Item(5));                   // back, now at the end
  std::vector<std::string> after;
  for (int i = 1; i < kItems - 1; ++i)
    if (i != 5) after.push_back(Item(i));
  after.push_back(Item(5));
  const std::vector<Check> second = {
      {"forced duplicates appended", withDuplicates == static_cast<std::size_t>(kItems) + 2},
      {"remove takes every copy, add appends again", list.items() == after},
      {"removed item is gone", !list.Contains(Item(0)) && !list.Contains(Item(kItems - 1))},
      {"re-added item is there", list.Contains(Item(5))},
  };
  for (const Check& c : second) {
    SCOPED_TRACE(c.what);
    EXPECT_TRUE(c.ok);
  }
  list.Clear();
  EXPECT_TRUE(list.empty() && !list.Contains(Item(1)));
}

// The same list through the settings file: written by hand with repeats,
// loaded, saved and loaded again.
TEST_F(TextListTest, SettingsFileWith200000HiddenMaps) {
  std::u16string text = u"\xFEFF<?xml version=\"1.0\"?>\n<settings>\n <horizon>9</horizon>\n <hiddenMaps>\n";
  std::vector<std::string> expected;
  for (int i = 0; i < kItems; ++i) {
    text += Utf8ToUtf16(" <s><![CDATA[" + Item(i) + "]]></s>\n");
    expected.push_back(Item(i));
    if (i % kRepeatEvery == 0) text += Utf8ToUtf16(" <s><![CDATA[" + Item(i / 3) + "]]></s>\n");
  }
  text += u" </hiddenMaps>\n <horizon2>1</horizon2>\n <trackerInterval>33</trackerInterval>\n</settings>\n";
  {
    std::ofstream out(folder_ / "settings.xml", std::ios::binary);
    for (const char16_t u : text) out << static_cast<char>(u & 0xFF) << static_cast<char>(u >> 8);
  }
  SettingsStore store(folder_);
  EXPECT_TRUE(store.hiddenMaps.items() == expected) << store.hiddenMaps.size() << " items";
  EXPECT_EQ(store.horizon, 9);
  EXPECT_EQ(store.trackerInterval, 33) << "a key after the list is read";
  EXPECT_EQ(store.LoadProblem(), "");

  ASSERT_TRUE(store.Save());
  const SettingsStore again(folder_);
  EXPECT_TRUE(again.hiddenMaps == store.hiddenMaps);
  EXPECT_EQ(again.trackerInterval, 33);
}

}  // namespace
}  // namespace rovana
