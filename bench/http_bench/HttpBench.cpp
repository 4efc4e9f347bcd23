// Throughput and memory of THttpClient::Get against nginx on loopback, next to curl and wget in
// the same run: one 1 GiB body held in memory (time and peak RSS of a child process that does
// only that Get), and 1,000 files of 10 KB fetched one after another. Both rows run over HTTP and
// over HTTPS (a second nginx serving the same files with a certificate made for the run).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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

// Runs `body` in a child process; returns its wall time and peak RSS (bytes).
template <typename F>
std::pair<double, long> InChild(F body) {
  auto start = Clock::now();
  pid_t pid = ::fork();
  if (pid == 0) _exit(body() ? 0 : 1);
  int status = 0;
  rusage ru{};
  ::wait4(pid, &status, 0, &ru);
  double secs = Seconds(start);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::printf("  (child failed)\n");
  return {secs, ru.ru_maxrss * 1024L};
}

double Best(int runs, const std::function<double()>& f) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) best = std::min(best, f());
  return best;
}

// The two rows for one server: `base` is its URL; `curlOptions` and `wgetOptions` carry what the
// peers need for it (the test authority over HTTPS).
void Rows(const char* label, const std::string& base, const std::string& dir, int bigMiB,
          int smallFiles, const std::string& curlOptions, const std::string& wgetOptions) {
  const long bodyBytes = long{bigMiB} << 20;

  // --- one 1 GiB body ---
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
    auto [secs, peak] = InChild([&] {
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
