// Throughput and memory of THttpClient::Get against nginx on loopback, next to curl and wget in
// the same run: one 1 GiB body held in memory (time and peak RSS of a child process that does
// only that Get), and 1,000 files of 10 KB fetched one after another, with a connection per file
// and with kept connections (processor time and peak RSS of each side). The rows run over HTTP and
// over HTTPS (a second nginx serving the same files with a certificate made for the run).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "net/HttpClient.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string SourceDir() {
  const char* s = std::getenv("TORAVIN_SOURCE_DIR");
  return s ? s : TORAVIN_SOURCE_DIR_FALLBACK;
}

std::string Shell(const std::string& cmd) {
  std::string out;
  if (FILE* p = ::popen(cmd.c_str(), "r")) {
    char buf[256];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

struct ChildRun {
  double secs = 0;  // wall time
  long rss = 0;     // peak RSS, bytes (of the child or of what it waited for, the larger)
  double cpu = 0;   // processor time, user and system, the child's and what it waited for
};

// Runs `body` in a child process.
template <typename F>
ChildRun InChild(F body) {
  auto start = Clock::now();
  pid_t pid = ::fork();
  if (pid == 0) _exit(body() ? 0 : 1);
  int status = 0;
  rusage ru{};
  ::wait4(pid, &status, 0, &ru);
  double secs = Seconds(start);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::printf("  (child failed)\n");
  const auto time = [](const timeval& tv) { return tv.tv_sec + tv.tv_usec / 1e6; };
  return {secs, ru.ru_maxrss * 1024L, time(ru.ru_utime) + time(ru.ru_stime)};
}

double Best(int runs, const std::function<double()>& f) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) best = std::min(best, f());
  return best;
}

// The two rows for one server: `base` is its URL; `curlOptions` and `wgetOptions` carry what the
// peers need for it (the test authority over HTTPS).
void BigRows(const char* label, const std::string& base, int bigMiB,
             const std::string& curlOptions);
void SmallRows(const char* label, const std::string& base, const std::string& dir, int smallFiles,
               const std::string& wgetOptions);

void Rows(const char* label, const std::string& base, const std::string& dir, int bigMiB,
          int smallFiles, const std::string& curlOptions, const std::string& wgetOptions) {
  // --- one 1 GiB body (TORAVIN_BENCH_SMALL_ONLY: the small files alone) ---
  if (std::getenv("TORAVIN_BENCH_SMALL_ONLY") == nullptr) BigRows(label, base, bigMiB, curlOptions);
  SmallRows(label, base, dir, smallFiles, wgetOptions);
}

void BigRows(const char* label, const std::string& base, int bigMiB,
             const std::string& curlOptions) {
  const long bodyBytes = long{bigMiB} << 20;
  double curlBig = Best(3, [&] {
    auto t = Clock::now();
    std::system(("curl -s " + curlOptions + " -o /dev/null " + base + "/big.zip").c_str());
    return Seconds(t);
  });
  long rss = 0;
  // The Get is timed inside the child: the wall time of the child would also hold the kernel's
  // teardown of the 1 GiB heap at exit, which is not part of receiving the body.
  double oursBig = Best(3, [&] {
    int fds[2];
    if (::pipe(fds) != 0) return 1e9;
    auto [secs, peak, cpu] = InChild([&] {
      toravin::THttpClient http;
      http.TimeOut = 60000;
      auto t = Clock::now();
      http.Get(base + "/big.zip");
      double getSecs = Seconds(t);
      bool ok = ::write(fds[1], &getSecs, sizeof getSecs) == sizeof getSecs;
      return ok && http.Body.size() == static_cast<std::size_t>(bodyBytes);
    });
    double getSecs = secs;
    if (::read(fds[0], &getSecs, sizeof getSecs) != sizeof getSecs) getSecs = secs;
    ::close(fds[0]);
    ::close(fds[1]);
    rss = std::max(rss, peak);
    return getSecs;
  });
  std::printf(
      "%s 1 GiB body: curl %.3f s (%.0f MB/s), Get %.3f s (%.0f MB/s), ratio %.2f (>= 0.80)\n",
      label, curlBig, bodyBytes / curlBig / 1e6, oursBig, bodyBytes / oursBig / 1e6,
      curlBig / oursBig);
  std::printf("%s 1 GiB body: peak RSS of the Get process %.1f MiB = %.3f x body (<= 1.25)\n",
              label, rss / 1048576.0, static_cast<double>(rss) / bodyBytes);
}

void SmallRows(const char* label, const std::string& base, const std::string& dir, int smallFiles,
               const std::string& wgetOptions) {
  // --- 1,000 files of 10 KB ---
  std::string list = dir + "/list-" + label + ".txt";
  {
    std::ofstream out(list);
    for (int i = 0; i < smallFiles; ++i) out << base << "/s/f" << i << ".jpg\n";
  }
  double wgetSmall = Best(3, [&] {
    auto t = Clock::now();
    std::system(("wget -q " + wgetOptions + " -i " + list + " -O /dev/null").c_str());
    return Seconds(t);
  });
  double oursSmall = Best(3, [&] {
    toravin::THttpClient http;
    http.TimeOut = 60000;
    auto t = Clock::now();
    for (int i = 0; i < smallFiles; ++i) {
      http.Get(base + "/s/f" + std::to_string(i) + ".jpg");
      if (http.Body.size() != 10240) std::printf("  short body for file %d\n", i);
    }
    return Seconds(t);
  });
  std::printf("%s 1000 x 10 KB: wget %.3f s, Get %.3f s, ratio %.2f (<= 1.00)\n", label, wgetSmall,
              oursSmall, oursSmall / wgetSmall);
  // wget keeps one connection open for all files; the client makes one per file, as HTTP/1.0
  // does. For comparison: wget with a connection per file too.
  double wgetFresh = Best(3, [&] {
    auto t = Clock::now();
    std::system(
        ("wget -q --no-http-keep-alive " + wgetOptions + " -i " + list + " -O /dev/null").c_str());
    return Seconds(t);
  });
  std::printf("%s 1000 x 10 KB: wget with a connection per file %.3f s, Get/that %.2f\n", label,
              wgetFresh, oursSmall / wgetFresh);

  // Kept connections: the client's pool against wget's one kept connection, each in a process of
  // its own for its processor time and peak RSS; best wall time of three.
  ChildRun wgetKept{1e9}, oursKept{1e9};
  for (int round = 0; round < 3; ++round) {
    ChildRun w = InChild([&] {
      return std::system(("wget -q " + wgetOptions + " -i " + list + " -O /dev/null").c_str()) == 0;
    });
    if (w.secs < wgetKept.secs) wgetKept = w;
    ChildRun o = InChild([&] {
      toravin::THttpClient http;
      http.TimeOut = 60000;
      http.Pool = std::make_shared<toravin::TConnectionPool>();
      bool whole = true;
      for (int i = 0; i < smallFiles; ++i) {
        http.Get(base + "/s/f" + std::to_string(i) + ".jpg");
        whole = whole && http.Body.size() == 10240;
      }
      return whole;
    });
    if (o.secs < oursKept.secs) oursKept = o;
  }
  std::printf(
      "%s 1000 x 10 KB, kept connections: wget %.3f s (cpu %.2f s, peak RSS %.1f MiB), "
      "Get %.3f s (cpu %.2f s, peak RSS %.1f MiB), ratio %.2f (<= 1.00)\n",
      label, wgetKept.secs, wgetKept.cpu, wgetKept.rss / 1048576.0, oursKept.secs, oursKept.cpu,
      oursKept.rss / 1048576.0, oursKept.secs / wgetKept.secs);
}

}  // namespace

int main() {
  constexpr int kBigMiB = 1024;
  constexpr int kSmallFiles = 1000;
  std::string dir = Shell("mktemp -d /tmp/toravin-bench-XXXXXX");
  std::string scripts = SourceDir() + "/scripts/e2e";
  std::string port = Shell(scripts + "/start_nginx.sh " + dir + " " + std::to_string(kBigMiB) +
                           " " + std::to_string(kSmallFiles));
  if (port.empty()) {
    std::printf("http_bench: nginx could not be started\n");
    return 1;
  }
  const bool onlyHttps = std::getenv("TORAVIN_BENCH_HTTPS_ONLY") != nullptr;
  if (!onlyHttps) Rows("HTTP", "http://127.0.0.1:" + port, dir, kBigMiB, kSmallFiles, "", "");

  // The TLS server's ports: good certificate first.
  std::string tlsPorts = Shell(scripts + "/start_nginx_tls.sh " + dir);
  std::string tlsPort = tlsPorts.substr(0, tlsPorts.find(' '));
  if (tlsPort.empty()) {
    std::printf("http_bench: nginx over TLS could not be started\n");
  } else {
    std::string ca = dir + "/certs/ca.pem";
    ::setenv("SSL_CERT_FILE", ca.c_str(), 1);
    Rows("HTTPS", "https://127.0.0.1:" + tlsPort, dir, kBigMiB, kSmallFiles, "--cacert " + ca,
         "--ca-certificate=" + ca);
  }

  Shell(scripts + "/stop_peers.sh " + dir);
  Shell("rm -rf " + dir);
  return 0;
}
