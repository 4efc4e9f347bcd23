// Settings store figures: saving and loading a store of 100,000 work-list entries, and 100,000
// removals from the front and moves to the end with the memo mirror attached. Prints seconds
// per operation batch next to the targets (save/load under 0.5 s, list operations under 0.2 s),
// and the share of a run's time that saving the settings file during the run takes (under 2 %).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "main/SaveThrottle.h"

#include "platform/LineList.h"
#include "settings/ToraVinIniList.h"

using namespace toravin;

namespace {

constexpr int kEntries = 100000;

template <typename F>
double Seconds(F&& f) {
  auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void Fill(TToraVinIniList& store) {
  store.ApplyFirstRunDefaults();
  store.TargetURL = "http://www.example.test/gallery/index.html";
  for (int i = 0; i < kEntries; ++i) {
    store.AddItem(
        "http://www.example.test/gallery/photos/2024/picture_" + std::to_string(i) + ".jpg",
        "http://www.example.test/gallery/page_" + std::to_string(i / 50) + ".html");
  }
}

void Report(const char* what, double seconds, double target) {
  std::printf("%-44s %8.4f s   (target < %.1f s) %s\n", what, seconds, target,
              seconds < target ? "ok" : "SLOW");
}

}  // namespace

int main() {
  char dir[] = "/tmp/toravin-bench-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  std::string path = std::string(dir) + "/ToraVin.ini";

  LineList memo;
  TToraVinIniList store(&memo);
  Fill(store);

  double save = Seconds([&] { store.SaveSettings(path); });
  LineList memo2;
  TToraVinIniList loaded(&memo2);
  double load = Seconds([&] { loaded.LoadSettings(path); });
  if (loaded.Count() != kEntries || memo2.Count() != kEntries) return 1;

  double move = Seconds([&] {
    for (int i = 0; i < kEntries; ++i) loaded.MoveItem(0, loaded.Count() - 1);
  });
  double del = Seconds([&] {
    for (int i = 0; i < kEntries; ++i) loaded.DeleteItem(0);
  });
  if (loaded.Count() != 0 || memo2.Count() != 0) return 1;

  std::printf("settings_bench: %d entries, file %ld bytes\n", kEntries,
              static_cast<long>(store.SaveToBytes().size()));
  Report("SaveSettings (serialise + fsync + rename)", save, 0.5);
  Report("LoadSettings (read + parse + memo)", load, 0.5);
  Report("100,000 x MoveItem(0, Count-1) with memo", move, 0.2);
  Report("100,000 x DeleteItem(0) with memo", del, 0.2);

  // Saving during a run: five saves of the full list, then an hour of run time with a save
  // whenever the throttle allows one (checked every 10 ms, as the run's waits do).
  std::vector<double> saves;
  for (int i = 0; i < 5; ++i) saves.push_back(Seconds([&] { store.SaveSettings(path); }));
  std::sort(saves.begin(), saves.end());
  const auto costMs = static_cast<std::int64_t>(saves[2] * 1000 + 0.5);
  TSaveThrottle throttle(2000);
  throttle.Start(0);
  std::int64_t spent = 0;
  int count = 0;
  constexpr std::int64_t kRunMs = 3600 * 1000;
  for (std::int64_t now = 0; now < kRunMs; now += 10) {
    if (!throttle.Due(now)) continue;
    throttle.Saved(now, now + costMs);
    spent += costMs;
    now += costMs;
    ++count;
  }
  const double share = 100.0 * static_cast<double>(spent) / static_cast<double>(kRunMs);
  std::printf(
      "saving during a run: %lld ms per save (median of 5), %d saves in an hour, "
      "one every %.1f s: %.2f %% of the run (target < 2 %%) %s\n",
      static_cast<long long>(costMs), count, 3600.0 / count, share, share < 2.0 ? "ok" : "SLOW");
  unlink(path.c_str());
  rmdir(dir);
  return 0;
}
