// TMainForm: the behaviour of the main window without any toolkit. It owns the settings store,
// the HTTP client HttpClient1, the text matcher TextMatcher1 and the two archiver libraries, and
// runs a crawl on the form model: start-up and exit, the three run buttons, the work-list loop
// with its retry rule and status texts, the client's event handlers, link extraction, the
// download filter and saving, the request headers, and the work-list memo's menu. The window
// (Qt, or the headless tool) binds its widgets to the model and calls the handlers; everything
// the user is told goes through the Dialogs interface.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/Archive.h"
#include "main/BodyFile.h"
#include "main/FetchAhead.h"
#include "main/FormModel.h"
#include "main/FreeSpaceGauge.h"
#include "main/ReadableName.h"
#include "main/RunOptions.h"
#include "main/SaveThrottle.h"
#include "main/TagLines.h"
#include "net/HttpClient.h"
#include "platform/Dialogs.h"
#include "platform/Timings.h"
#include "regex/TextMatcher.h"
#include "settings/ToraVinIniList.h"

namespace toravin {

class TMainForm {
 public:
  // What differs between the desktop program, the headless tool and the tests.
  struct Options {
    Timings timings;
    // The settings file; empty: "ToraVin.ini" in the executable's directory.
    std::string iniFileName;
    // Where the archiver libraries are looked for.
    LibrarySearch librarySearch = LibrarySearch::Default();
  };

  TMainForm(TFormModel& form, Dialogs& dialogs, Options options);
  TMainForm(TFormModel& form, Dialogs& dialogs) : TMainForm(form, dialogs, Options()) {}
  ~TMainForm();
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  // The two link patterns, as link extraction uses them.
  static const char* const kAnchorPattern;
  static const char* const kImagePattern;

  // Window handlers.
  void FormCreate();
  void FormDestroy();
  void DownLoadButtonClick();
  void ContinueButtonClick();
  void DownLoadAbortButtonClick();
  // The program is closing during a run: the run is aborted as by the Abort button, but the
  // entry in flight stays in the work list whatever the retry rule would do with it, so that
  // nothing queued is lost when the pending list is saved.
  void AbortForExit();
  void UseLhaCheckBoxClick();
  // "参照": asks for the archive's name; the chosen file's name goes into LhaFileEdit and its
  // directory into DirectoryEdit.
  void ReferenceButtonClick();
  // The work-list memo's pop-up menu.
  void UrlPasteClick();
  void ClearMemoClick();
  void SaveURLClick();

  // HttpClient1's event handlers.
  void HttpClient1Connect();
  void HttpClient1Disconnect();
  void HttpClient1ConnectionFailed();
  void HttpClient1PacketRecvd();
  void HttpClient1Success(CmdType cmd);
  void HttpClient1Failure(CmdType cmd);
  void HttpClient1AboutToSend();

  // Crawl-run operations.
  void RunWorkList();
  void AbortDownLoad();
  void RetryOrDrop();
  ModalResult ShowMessageBox(std::string_view text, MsgDlgType kind, int helpContext,
                             MsgDlgButtons buttons);
  bool WaitWhileBusy(const std::function<bool()>& busy, int limitMs);

  // Link extraction.
  void ParseLinks(std::string_view page, bool startPage, std::string_view pageUrl);
  // 1-based position and length of the leftmost-longest match of `pattern` in `upperLine`
  // (0 and 0 when there is none).
  void FindPattern(const std::string& upperLine, const std::string& pattern, int& pos, int& len);
  bool AcceptLink(std::string& link, bool startPage, std::string_view pageUrl);

  // Download filter and saving.
  bool CheckFileName(std::string_view url);
  bool MatchMask(std::string_view base, std::string_view namePart);
  bool CheckResponse(std::string_view url);
  // The path written, or empty when nothing was written: the disk is full (the run is aborted
  // and the entry removed) or the file cannot be created or written (the run is aborted, the
  // entry kept, SaveFailed set). Either is told in a box; no partial file is left. A name the
  // file system refuses is told in the status bar and sets NameRefused: the entry then goes
  // through the retry rule and the run goes on.
  std::string SaveBody(std::string_view body, std::string_view path);
  // Saves the body that arrived into a temporary file under the first free name of `path`, with
  // the same outcomes as SaveBody.
  std::string SaveStreamed(std::string_view path);
  // A page (a body that is parsed) is held in memory up to this many bytes; the rest is not read.
  // Files that are saved go to the disk as they arrive and are not bounded.
  static constexpr std::int64_t kMaxPageBytes = std::int64_t{64} << 20;
  // Packs the body into the run's archive as `name` (numbered when the archive holds that name)
  // once the library is free; when it stays busy or refuses the body, saves it unpacked instead,
  // so that no fetched file is lost. Returns whether it went into the archive.
  bool PackBody(std::string_view body, std::string_view name);
  // The same for a body that went to a temporary file.
  bool PackStreamed(std::string_view name);
  // The archive step alone: whether `body` went into the archive.
  bool PackIntoArchive(std::string_view body, std::string_view name);

  // The name a user reads for `url`'s file-name part: decoded, in the charset of the page that
  // linked the entry being handled (when that page was fetched in this run).
  std::string NameOf(std::string_view url) const;
  // The charset a page fetched in this run declared (Unknown for any other URL).
  NameCharset CharsetOf(std::string_view pageUrl) const;

  // Runs a handler as the application does: an exception that leaves it is shown in the error box
  // and the program goes on.
  void Guarded(const std::function<void()>& handler);

  // Transfers at once (1-32): the run's own and those fetched ahead of it. Kept in the options
  // file beside the settings file, or the connection use's default; 1 is one file after the other.
  int ParallelTransfers() const { return m_runOptions.TransfersAtOnce(); }
  void SetParallelTransfers(int n);
  // The options kept beside the settings file: transfers at once, the link reader, the kinds of
  // file beyond the settings file's four.
  const TRunOptions& RunOptions() const { return m_runOptions; }
  void SetRunOptions(const TRunOptions& options);
  // The request edits of every crawl request (Referer, Accept, ...), for `client` fetching on
  // behalf of an entry linked from `referer`.
  static void EditRequestHeaders(THttpClient& client, std::string_view referer);

  // Transfers fetched ahead so far, and how many of them were discarded.
  const TFetchAhead& FetchAheadFigures() const { return m_ahead; }

  // A Download or Continue click is being handled: a run is active, and every way into another
  // run is closed until it returns.
  bool Running() const { return m_running; }

  // Crawl-run state.
  std::string CurrentUrl;
  std::string CurrentReferer;
  bool Aborted = false;
  bool Compress = false;
  bool SaveFailed = false;        // the last save could not write its file
  bool NameRefused = false;       // the file system refused the last save's name
  bool ConnectionFailed = false;  // the last transfer got no connection
  bool SecureFailed = false;      // ... because TLS failed (certificate, handshake)
  std::string IniFileName;
  std::string StartDir;

  THttpClient HttpClient1;
  TTextMatcher TextMatcher1;
  TArchive Archive;  // the LHA and gzip libraries

  TToraVinIniList& Settings() { return *m_settings; }
  TFormModel& Form() { return m_form; }
  Dialogs& Dlg() { return m_dialogs; }
  const Timings& timings() const { return m_options.timings; }

  // Free space of the current drive, in bytes, or nothing when it is unknown; replaceable for
  // tests.
  std::function<std::optional<std::uint64_t>()> FreeSpaceQuery;

 private:
  void DirectoryCheckThenRun(bool download);
  bool DirectoryCheck();
  // What killed runs of ours left in the save directory and under $TMPDIR.
  void RemoveLeftovers();
  void PrepareTransfer();
  // The idle state of the run buttons after a run or an abort.
  void ShowIdleButtons();
  // Fetches `url` with a clean reply state; exceptions out of the client pass on. The start page
  // is always parsed, so its body stays in memory.
  void Fetch(const std::string& url, bool startPage = false);
  // The sink for the body of the reply that just arrived: a temporary file when the body is a file
  // to be saved, null when it stays in memory.
  TBodySink* StreamedBody();
  // Fetch-ahead: starts transfers for the entries after the one in hand and advances them; called
  // from the client's waits. ReadyStream gives the client an entry's transfer at its turn.
  void PollFetchAhead();
  void AdvanceFetchAhead();
  // One choice and pass; true when the pass freed a connection (the choice may take it).
  bool StepFetchAhead();
  std::unique_ptr<TByteStream> ReadyStream();
  // Where a transfer ahead connects: its connection key, and whether it offers HTTP/2. Not
  // `valid` when the URL cannot be requested.
  struct TAheadTarget {
    std::string key;
    bool offersHttp2 = false;
    bool valid = false;
    int server = -1;  // the key's number for the run (AheadServer)
  };
  // What fetch-ahead has worked out about a work-list URL, once for the run: the URL as the run
  // requests it (joined to the start page and normalized), its target, and the file-name test
  // by the charset its referrer names it in (-1: not made yet).
  struct TAheadEntry {
    std::string url;
    std::optional<TAheadTarget> target;
    std::array<signed char, 4> passes{-1, -1, -1, -1};
    const std::string* listed = nullptr;  // the work-list URL it is kept under
    TAheadEntry* canon = nullptr;  // the first entry with this URL: it carries the marks below
    std::uint64_t lookedAtIn = 0;  // the last choice that looked at this URL
    const TAheadTransfer* transfer = nullptr;  // the URL's transfer ahead as of transferIn
    std::uint64_t transferIn = 0;
    std::uint64_t placedIn = 0;  // the last choice that looked at it, and its place there
    std::size_t place = 0;
  };
  // A number for the connection key `key`, the same for the run.
  int AheadServer(const std::string& key);
  TAheadEntry& AheadEntry(const std::string& listed, const std::string& start);
  bool PassesNameTestAhead(TAheadEntry& entry, NameCharset charset);
  const TAheadTarget& AheadTarget(TAheadEntry& entry);
  // Transfers a server may have at once: HTTP/2 streams share its one connection; otherwise
  // each is a connection of its own.
  int TransfersAllowed(const TAheadTarget& target) const;
  // A client for `url` set up as the run's client is, with its request parsed.
  void AheadProbe(THttpClient& probe, const std::string& url) const;
  void SetFetchAheadActive(bool active);
  std::string TargetPath(std::string_view name) const;
  // Decodes an encoded page into its line list; false when no link may be taken from it.
  bool DecodePage(std::string_view page, std::string& text);
  // Removes the directory the run's page decodes use, if there is one.
  void EndDecodeDirectory();
  void SearchLine(std::string_view line, bool startPage, std::string_view pageUrl);
  // The HTML reader: every link of the page, queued as the link test allows.
  void ReadHtmlLinks(std::string_view page, NameCharset charset, bool startPage,
                     const std::string& pageUrl);
  bool AcceptHtmlLink(const std::string& url, bool pageAllowed, bool startPage);
  void Pause(int ms, bool pumpFirst);
  // The settings file as the exit writes it: the form's fields put back into the store.
  void StoreFormFields();
  // During a run: saves the settings file (work list included) when the throttle says it is due,
  // so that a crash repeats little. A failure here is silent; the exit's save reports.
  void SaveDuringRun();

  TFormModel& m_form;
  Dialogs& m_dialogs;
  Options m_options;
  std::unique_ptr<TToraVinIniList> m_settings;
  bool m_running = false;
  // Charsets declared by the pages parsed in this run, by page URL; and the one that names the
  // entry being handled (its referrer's).
  std::unordered_map<std::string, NameCharset> m_pageCharsets;
  NameCharset m_nameCharset = NameCharset::Unknown;
  // The entry that was in flight when AbortForExit was called.
  std::optional<TDownLoadUnit> m_keptForExit;
  // The body of the transfer under way, when it goes to the disk; the free space seen before it.
  std::unique_ptr<TBodyFile> m_bodyFile;
  std::unique_ptr<TTempFileSupply> m_tempFiles;  // during a run with transfers ahead
  TFreeSpaceGauge m_freeSpace;
  std::optional<std::uint64_t> m_freeBeforeBody;  // unknown when the query fails
  bool m_parsesBody = false;
  // Transfers fetched ahead of the run, and their bound.
  TFetchAhead m_ahead;
  // Connections kept open between files (Connection=keep), shared by the client and the
  // transfers fetched ahead; emptied when a run ends.
  std::shared_ptr<TConnectionPool> m_pool = std::make_shared<TConnectionPool>();
  TRunOptions m_runOptions;
  bool m_aheadActive = false;
  bool m_inAheadPoll = false;
  // What the transfers ahead were last chosen from; while it stays the same they are only
  // advanced, not chosen again.
  struct TAheadPlan {
    int entries = -1;
    bool inHand = false;
    bool inHandHolds = false;  // the entry in hand reads from a connection of its own
    std::string current, cookieHost;
    int busy = 0, count = 0;
    std::size_t learned = 0;
    std::int64_t at = 0;
    bool operator==(const TAheadPlan& o) const {
      return entries == o.entries && inHand == o.inHand && inHandHolds == o.inHandHolds &&
             current == o.current && cookieHost == o.cookieHost && busy == o.busy &&
             count == o.count && learned == o.learned;
    }
  } m_aheadPlan;
  TSaveThrottle m_saveThrottle{0};
  // By the work-list URL as listed.
  std::unordered_map<std::string, TAheadEntry> m_aheadEntries;
  std::unordered_map<std::string, TAheadEntry*> m_aheadByUrl;  // the first entry of each URL
  std::unordered_map<std::string, int> m_aheadServers;
  std::uint64_t m_aheadChoices = 0;
  std::string m_decodeDir;  // where the run's encoded pages are decoded; empty: not made yet
  std::vector<TAheadEntry*> m_aheadLooked;  // the entries the last choice looked at, in order
  std::int64_t m_http2HoldSince = -1;       // when new HTTP/2 streams began to wait for company
  void RestoreKeptEntry();
};

}  // namespace toravin
