// Compile cost of hostile patterns: each pattern is compiled in a child process of its own, which
// reports the wall time and the peak resident memory it reached, and whether the pattern compiled
// or was refused (with the refusal's text). Prints one line per pattern.
//   regex_budget_bench            the built-in hostile set
//   regex_budget_bench FILE...    the patterns in the given files (one pattern per file)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/Cp932.h"
#include "regex/ERegExpParser.h"
#include "regex/TextMatcher.h"

namespace {

struct Named {
  std::string name;
  std::string pattern;
};

std::string NestedPlus(int k) {
  return std::string(static_cast<std::size_t>(k), '(') + "a" + [&] {
    std::string s;
    for (int i = 0; i < k; ++i) s += ")+";
    return s;
  }();
}

std::vector<Named> BuiltIn() {
  std::vector<Named> out;
  for (int k : {10, 16, 20, 21, 24, 26, 30, 100, 300}) {
    out.push_back({"nested-plus k=" + std::to_string(k), NestedPlus(k)});
  }
  for (int k : {13, 14, 15}) {
    std::string p = std::string(static_cast<std::size_t>(k), '(') + "[a-z]|.";
    for (int i = 0; i < k; ++i) p += ")+";
    p += "(a|b)*a(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)";
    out.push_back({"nested-plus+dfa k=" + std::to_string(k), p});
  }
  std::string wide;
  while (wide.size() < 1000) wide += "((.|[^x]|a)+)+";
  out.push_back({"((.|[^x]|a)+)+ to 1 KB", wide});
  std::string x = "(a|b)*a";
  for (int i = 0; i < 16; ++i) x += "(a|b)";
  out.push_back({"(a|b)*a(a|b)x16", x});
  std::string counted;
  while (counted.size() < 1000) counted += "(.+)+";
  out.push_back({"(.+)+ to 1 KB", counted});
  std::string classes;
  while (classes.size() < 1000) classes += "[^a]+[a-z]*";
  out.push_back({"classes to 1 KB", classes});
  std::string dots;
  while (dots.size() < 1000) dots += ".*a";
  out.push_back({".*a to 1 KB", dots});
  std::mt19937 rng(7);
  const std::string alphabet = "ab.()|*+?[]^$-\\";
  for (int i = 0; i < 5; ++i) {
    std::string p;
    for (int j = 0; j < 1024; ++j) p += alphabet[rng() % alphabet.size()];
    out.push_back({"random 1 KB #" + std::to_string(i), p});
  }
  return out;
}

void RunOne(const Named& n) {
  int fds[2];
  if (pipe(fds) != 0) return;
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::string result;
    auto t0 = std::chrono::steady_clock::now();
    try {
      toravin::TTextMatcher m;
      m.SetRegExp(n.pattern);
      result = "compiled";
    } catch (const toravin::ERegExpParser& e) {
      result = "refused: " + toravin::Cp932ToUtf8(e.what());
    } catch (const std::bad_alloc&) {
      result = "out of memory";
    }
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    char line[512];
    std::snprintf(line, sizeof line, "%.1f ms  %s", ms, result.c_str());
    if (write(fds[1], line, std::char_traits<char>::length(line)) < 0) _exit(2);
    _exit(0);
  }
  close(fds[1]);
  std::string text;
  char buf[512];
  for (ssize_t r; (r = read(fds[0], buf, sizeof buf)) > 0;)
    text.append(buf, static_cast<size_t>(r));
  close(fds[0]);
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  std::printf("%-24s %6zu B  %7.1f MB peak  %s%s\n", n.name.c_str(), n.pattern.size(),
              static_cast<double>(ru.ru_maxrss) / 1024.0, text.c_str(),
              WIFSIGNALED(status) ? "  (killed by a signal)" : "");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<Named> patterns;
  if (argc > 1) {
    for (int i = 1; i < argc; ++i) {
      std::ifstream f(argv[i], std::ios::binary);
      patterns.push_back({argv[i], std::string(std::istreambuf_iterator<char>(f), {})});
    }
  } else {
    patterns = BuiltIn();
  }
  // A memory ceiling well above the budget, so that a runaway compile ends instead of swapping.
  struct rlimit lim;
  lim.rlim_cur = lim.rlim_max = rlim_t{2} << 30;
  setrlimit(RLIMIT_AS, &lim);
  std::printf("target: every pattern compiled or refused within 100 ms and 64 MB peak\n");
  for (const Named& n : patterns) RunOne(n);
  return 0;
}
