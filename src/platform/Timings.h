// The crawl's fixed waits in one value. The desktop program always uses these defaults; tests and
// the headless tool's --no-pauses shorten only the pauses.
#pragma once

namespace toravin {

struct Timings {
  int timeOutMs = 60000;           // the HTTP client's time-out for every transfer
  int pauseAfterSaveMs = 1500;     // after a saved file while entries remain
  int pauseAfterPackMs = 500;      // extra, before that pause, when the file went into the archive
  int pauseAfterFailureMs = 1000;  // after a failed transfer while entries remain
  int archiverWaitMs = 30000;      // waiting for a busy archiver library
  int listSaveIntervalMs = 2000;   // during a run, the settings file is saved at most this often

  // The defaults with every pause set to zero (time-outs unchanged).
  static Timings NoPauses() {
    Timings t;
    t.pauseAfterSaveMs = 0;
    t.pauseAfterPackMs = 0;
    t.pauseAfterFailureMs = 0;
    return t;
  }
};

}  // namespace toravin
