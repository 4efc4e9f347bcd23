// The work-list memo follows its line list through every kind of change, one at a time and in
// bursts, and ends up showing exactly the list's lines.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <functional>
#include <vector>

#include "ui/MemoMirror.h"
#include "ui/QtText.h"

namespace toravin::test {
namespace {

QString Expected(const LineList& lines) {
  QStringList out;
  for (const std::string& l : lines.lines()) out << FromSjis(l);
  return out.join(QLatin1Char('\n'));
}

TEST(MemoMirror, FollowsEveryChange) {
  using Step = std::function<void(LineList&)>;
  const auto add = [](const char* s) { return Step([s](LineList& l) { l.Add(s); }); };
  const auto del = [](int i) { return Step([i](LineList& l) { l.Delete(i); }); };
  const auto mov = [](int a, int b) { return Step([a, b](LineList& l) { l.Move(a, b); }); };
  const Step clear = [](LineList& l) { l.Clear(); };
  const Step burst = [](LineList& l) {
    for (int i = 0; i < 2000; ++i) l.Add("b" + std::to_string(i));
  };
  const std::vector<std::vector<Step>> cases = {
      {add("a"), add("b"), add("c"), del(0)},
      {add("a"), del(0), add("b")},
      {add("a"), add("b"), del(1), add("c")},
      {add("a"), add("b"), add("c"), mov(0, 2), mov(0, 2), del(2)},
      {add("a"), add("b"), add("c"), mov(2, 0), mov(1, 2)},
      {add(""), add(""), del(0), add("x")},
      {add("\x95\x5C"), add("\x83\x5C.jpg"), clear, add("z")},
      {burst, del(0), mov(0, 1998)},
      {add("only"), mov(0, 0), del(5), del(0), del(0)},
  };
  for (size_t c = 0; c < cases.size(); ++c) {
    QPlainTextEdit memo;
    LineList lines;
    MemoMirror mirror(&memo, lines);
    mirror.apply();
    for (const Step& step : cases[c]) {
      step(lines);
      mirror.apply();  // after every change, as the window does between events
      EXPECT_EQ(memo.toPlainText(), Expected(lines)) << "case " << c;
    }
    // The same steps with nothing shown in between.
    QPlainTextEdit memo2;
    LineList lines2;
    MemoMirror mirror2(&memo2, lines2);
    mirror2.apply();
    for (const Step& step : cases[c]) step(lines2);
    mirror2.apply();
    EXPECT_EQ(memo2.toPlainText(), Expected(lines2)) << "case " << c;
    EXPECT_EQ(memo2.document()->blockCount(), std::max(1, lines2.Count())) << "case " << c;
  }
}

}  // namespace
}  // namespace toravin::test
