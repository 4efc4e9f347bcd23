// Memo lines and the changes a listener hears.
#include "platform/LineList.h"

#include <gtest/gtest.h>

namespace toravin {
namespace {

std::vector<std::string> Lines(const LineList& l) { return {l.lines().begin(), l.lines().end()}; }

TEST(LineList, OperationsAndEvents) {
  LineList list;
  std::vector<std::string> events;
  list.SetListener([&](LineList::Change c, int a, int b) {
    events.push_back(std::to_string(static_cast<int>(c)) + ":" + std::to_string(a) + ":" +
                     std::to_string(b));
  });
  list.Add("a");
  list.Add("b");
  list.Add("c");
  list.Move(0, 2);
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"b", "c", "a"}));
  list.Move(2, 0);
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"a", "b", "c"}));
  list.Delete(1);
  list.Delete(5);   // out of range: nothing
  list.Move(0, 9);  // out of range: nothing
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(list.Text(), "a\r\nc\r\n");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(events, (std::vector<std::string>{"0:0:-1", "0:1:-1", "0:2:-1", "2:0:2", "2:2:0",
                                              "1:1:-1", "3:0:-1"}));
}

TEST(LineList, SetTextSplitsEveryLineBreak) {
  LineList list;
  list.SetText("one\r\ntwo\nthree\rfour");
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"one", "two", "three", "four"}));
  list.SetText("x\r\n\r\n");
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"x", ""}));
}

}  // namespace
}  // namespace toravin
