// The crawl run: start-up and exit, Download / Continue / Abort, the work-list loop and the
// client's event handlers. Everything runs on one thread; the client's waits pump the message
// loop, so the handlers below run nested inside HttpClient1.Get, and the button states are what
// keeps a second run from starting.
#include "main/MainForm.h"

#include <exception>
#include <new>
#include <optional>
#include <utility>

#include "archive/ArchiveMessages.h"
#include "archive/WaitWhileBusy.h"
#include "main/FileKinds.h"
#include "main/KeptSettingsFile.h"
#include "main/SplitTags.h"
#include "main/TextUtil.h"
#include "main/UrlResolve.h"
#include "main/UrlRules.h"
#include "net/SecureFailure.h"
#include "platform/Clock.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/Leftovers.h"
#include "platform/MessagePump.h"
#include "settings/ESettingsError.h"

namespace toravin {
namespace {

// The failure texts by reply code, appended to the file name as they stand.
const char* FailureText(int code) {
  switch (code) {
    case 400:
      return "不正な要求です。";
    case 401:
      return "認証されていません。";
    case 402:
      return "支払いが必要です。";
    case 403:
      return "禁止されています。";
    case 404:
      return " を見つけられません。";
    case 405:
      return "許可されていない方式です。";
    case 406:
      return "受け付けられません。";
    case 407:
      return "プロキシー認証が必要です。";
    case 408:
      return "要求タイムアウト";
    case 409:
      return "衝突がありました。";
    case 410:
      return " は、なくなりました。";
    case 500:
      return "サーバーは要求を処理できません。";
    case 503:
      return "サーバーは過負荷のため要求を処理できません。";
    default:
      return nullptr;
  }
}

}  // namespace

const char* const TMainForm::kAnchorPattern = "<A([A-Z TAB=\"''0-9]+)?HREF([ TAB]+)?=([ TAB]+)?";
const char* const TMainForm::kImagePattern = "<IMG([A-Z TAB=\"''0-9]+)?SRC([ TAB]+)?=([ TAB]+)?";

TMainForm::TMainForm(TFormModel& form, Dialogs& dialogs, Options options)
    : Archive(options.librarySearch),
      FreeSpaceQuery(&FreeSpaceOfCurrentDrive),
      m_form(form),
      m_dialogs(dialogs),
      m_options(std::move(options)),
      m_saveThrottle(m_options.timings.listSaveIntervalMs) {
  HttpClient1.TimeOut = 5000;  // the layout's value; FormCreate sets the real one
  Archive.DecodedPageBound = static_cast<std::uint64_t>(kMaxPageBytes);
  HttpClient1.OnConnect = [this](TSockClient&) { HttpClient1Connect(); };
  HttpClient1.OnDisconnect = [this](TSockClient&) { HttpClient1Disconnect(); };
  HttpClient1.OnConnectionFailed = [this](TSockClient&) { HttpClient1ConnectionFailed(); };
  HttpClient1.OnPacketRecvd = [this](TSockClient&) { HttpClient1PacketRecvd(); };
  HttpClient1.OnAboutToSend = [this](THttpClient&) { HttpClient1AboutToSend(); };
  HttpClient1.OnSuccess = [this](CmdType cmd) { HttpClient1Success(cmd); };
  HttpClient1.OnFailure = [this](CmdType cmd) { HttpClient1Failure(cmd); };
  HttpClient1.OnBodySink = [this](THttpClient&) { return StreamedBody(); };
  HttpClient1.OnReadyStream = [this](THttpClient&) { return ReadyStream(); };
  HttpClient1.OnWaitPass = [this] {
    PollFetchAhead();
    SaveDuringRun();
  };
}

TMainForm::~TMainForm() { EndDecodeDirectory(); }

ModalResult TMainForm::ShowMessageBox(std::string_view text, MsgDlgType kind, int helpContext,
                                      MsgDlgButtons buttons) {
  m_dialogs.PlayKindSound(kind);
  return m_dialogs.MessageDlg(text, kind, buttons, helpContext);
}

void TMainForm::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::bad_alloc&) {
    ShowMessageBox(Sjis("メモリーが足りません。"), MsgDlgType::mtError, 0, mbOKOnly);
  } catch (const std::exception& e) {
    ShowMessageBox(e.what(), MsgDlgType::mtError, 0, mbOKOnly);
  }
}

bool TMainForm::WaitWhileBusy(const std::function<bool()>& busy, int limitMs) {
  return toravin::WaitWhileBusy(busy, limitMs);
}

void TMainForm::Pause(int ms, bool pumpFirst) {
  if (pumpFirst) ProcessMessages();
  WaitWithoutInput(ms);
}

// ---- start and exit ----

void TMainForm::FormCreate() {
  HttpClient1.TimeOut = m_options.timings.timeOutMs;
  if (!m_options.iniFileName.empty()) {
    IniFileName = m_options.iniFileName;
  } else {
    IniFileName = JoinPath(ExecutableDirectory(), "ToraVin.ini");
  }
  StartDir = CurrentDirectory();
  SetRunOptions(TRunOptions::Load(TRunOptions::FileBeside(IniFileName)));
  m_settings = std::make_unique<TToraVinIniList>(&m_form.BodyMemo);
  m_settings->MemoName = [this](std::string_view url, std::string_view referer) {
    if (m_runOptions.Reader == LinkReader::Html) url = UrlWithoutQuery(url);
    return ReadableName(FileNamePart(url), CharsetOf(referer));
  };
  TToraVinIniList& s = *m_settings;

  if (FileExists(IniFileName)) {
    try {
      s.LoadSettings(IniFileName);
    } catch (const ESettingsError& e) {
      // The rest of start-up is skipped; the file is rewritten at exit from what was read, so
      // what it held is first kept aside under a name of its own.
      std::string text = e.what();
      const std::string kept = KeepBrokenSettingsFile(IniFileName);
      if (!kept.empty()) text += "\r\n" + KeptSettingsFileText(kept);
      ShowMessageBox(text, MsgDlgType::mtError, 0, mbOKOnly);
      return;
    }
    m_form.AddressEdit.Text = s.TargetURL;
    m_form.DirectoryEdit.Text = s.TargetDir;
    if (s.ProxyUse) {
      long long port = 0;
      if (TryStrToInt(s.ProxyPort, port)) {
        HttpClient1.ProxyPort = static_cast<int>(port);
        HttpClient1.Proxy = s.ProxyAddress;
      } else {
        HttpClient1.Proxy.clear();
        HttpClient1.ProxyPort = 0;
        m_dialogs.ShowMessage(Sjis("プロキシーポートが間違っています。"));
      }
    }
    m_form.UseLhaCheckBox.Checked = s.UseLha;
    m_form.Label5.Enabled = s.UseLha;
    m_form.LhaFileEdit.Enabled = s.UseLha;
    m_form.LhaFileEdit.Text = s.LhaName;
  } else {
    s.ApplyFirstRunDefaults();
  }

  const Bounds runButton{424, 96, 99, 193};
  m_form.DownLoadAbortButton.bounds = runButton;
  m_form.DownLoadButton.bounds = runButton;
  m_form.DownLoadAbortButton.Enabled = false;
  m_form.DownLoadAbortButton.Visible = false;
  m_form.DownLoadButton.Enabled = true;
  m_form.DownLoadButton.Visible = true;
  m_form.ContinueButton.Enabled = s.Count() > 0;
  m_form.ContinueButton.Visible = s.Count() > 0;
}

void TMainForm::StoreFormFields() {
  TToraVinIniList& s = *m_settings;
  s.TargetURL = m_form.AddressEdit.Text;
  s.TargetDir = m_form.DirectoryEdit.Text;
  s.UseLha = m_form.UseLhaCheckBox.Checked;
  s.LhaName = m_form.LhaFileEdit.Text;
}

void TMainForm::SaveDuringRun() {
  if (!m_running || !m_settings) return;
  const std::int64_t start = TickCountMs();
  if (!m_saveThrottle.Due(start)) return;
  StoreFormFields();
  try {
    m_settings->SaveSettings(IniFileName);
  } catch (const std::exception&) {
    // Told at exit, when the same save fails again.
  }
  m_saveThrottle.Saved(start, TickCountMs());
}

void TMainForm::FormDestroy() {
  if (!m_settings) return;
  TToraVinIniList& s = *m_settings;
  StoreFormFields();
  const std::string optionsFile = TRunOptions::FileBeside(IniFileName);
  if (m_runOptions != TRunOptions() || FileExists(optionsFile)) {
    m_runOptions.Save(optionsFile);
  }
  try {
    if (s.SaveSettings(IniFileName) == TToraVinIniList::SaveResult::DiskFull) {
      ShowMessageBox(DiskFullSettingsText(), MsgDlgType::mtWarning, 0, mbOKOnly);
    }
  } catch (const ESettingsError& e) {
    ShowMessageBox(e.what(), MsgDlgType::mtError, 0, mbOKOnly);
  }
}

void TMainForm::UseLhaCheckBoxClick() {
  m_form.LhaFileEdit.Enabled = m_form.UseLhaCheckBox.Checked;
  m_form.Label5.Enabled = m_form.UseLhaCheckBox.Checked;
}

void TMainForm::ReferenceButtonClick() {
  std::optional<std::string> path =
      m_dialogs.SaveFileName(Sjis("圧縮ファイル|*.lzh|すべてのファイル|*.*"), "lzh",
                             Sjis("保存する圧縮ファイルの名前"), m_form.DirectoryEdit.Text);
  if (!path) return;
  const size_t cut = FileNameStart(*path);
  std::string dir = path->substr(0, cut);
  // The directory without its separator, except where the separator is all there is (the root).
  if (cut > 1 && dir[cut - 2] != ':') dir.pop_back();
  m_form.LhaFileEdit.Text = path->substr(cut);
  m_form.DirectoryEdit.Text = dir;
}

// ---- the run buttons ----

bool TMainForm::DirectoryCheck() {
  const std::string& dir = m_form.DirectoryEdit.Text;
  if (dir.empty()) {
    // Continue reaches here without the Download button's test for an empty field.
    ShowMessageBox(Sjis("保存するディレクトリーを指定してください。"), MsgDlgType::mtWarning, 0,
                   mbOKOnly);
    return false;
  }
  if (DirectoryExists(dir)) return true;
  std::string question = dir + Sjis(" が見つかりません。") + "\r\n" + Sjis("作成しますか？");
  if (ShowMessageBox(question, MsgDlgType::mtWarning, 0, mbYesNo) == ModalResult::mrYes &&
      ForceDirectories(dir)) {
    return true;
  }
  m_dialogs.ShowMessage(Sjis("保存するフォルダーが存在しないので、中断します。"));
  return false;
}

void TMainForm::RemoveLeftovers() {
  RemoveLeftoverBodyFiles(m_form.DirectoryEdit.Text);
  RemoveLeftoverPrivateDirectories();
}

void TMainForm::PrepareTransfer() {
  HttpClient1.InputFileMode = false;
  HttpClient1.OutputFileMode = false;
  HttpClient1.ReportLevel = 2;
}

void TMainForm::Fetch(const std::string& url, bool startPage) {
  // A transfer starts from an empty reply, so that a Get that raises before any byte arrived
  // never leaves the previous page's body or header behind for link extraction.
  HttpClient1.Body.clear();
  HttpClient1.Header.clear();
  HttpClient1.ReplyCode = 0;
  HttpClient1.BodyLimit = kMaxPageBytes;
  m_parsesBody = startPage;
  // A body file the success handler did not take is removed however the transfer ends.
  struct DropBody {
    std::unique_ptr<TBodyFile>& file;
    ~DropBody() { file.reset(); }
  } drop{m_bodyFile};
  HttpClient1.Get(url);
}

namespace {
// Marks a run button's click as active for as long as it is handled, and puts back an entry
// that a close during the run kept.
class RunScope {
 public:
  RunScope(bool& flag, std::function<void()> atEnd) : m_flag(flag), m_atEnd(std::move(atEnd)) {
    m_flag = true;
  }
  ~RunScope() {
    m_flag = false;
    m_atEnd();
  }
  RunScope(const RunScope&) = delete;
  RunScope& operator=(const RunScope&) = delete;

 private:
  bool& m_flag;
  std::function<void()> m_atEnd;
};
}  // namespace

void TMainForm::AbortForExit() {
  if (!m_running) return;
  if (m_settings->Count() > 0) m_keptForExit = m_settings->Item(0);
  DownLoadAbortButtonClick();
}

void TMainForm::RestoreKeptEntry() {
  if (!m_keptForExit) return;
  const TDownLoadUnit kept = *std::exchange(m_keptForExit, std::nullopt);
  for (int i = 0; i < m_settings->Count(); ++i) {
    if (m_settings->Item(i).Url == kept.Url) return;
  }
  m_settings->AddItem(kept.Url, kept.Referer);
}

void TMainForm::DownLoadButtonClick() {
  // A run never starts inside a run: the nested one would take over the client and the list that
  // the outer one is still working on.
  if (m_running) return;
  RunScope scope(m_running, [this] {
    RestoreKeptEntry();
    EndDecodeDirectory();
  });
  m_saveThrottle.Start(TickCountMs());
  TToraVinIniList& s = *m_settings;
  if (!AnyKindChosen(s, m_runOptions)) {
    ShowMessageBox(Sjis("ダウンロードをするファイルの種類が選択されていません。"),
                   MsgDlgType::mtError, 0, mbOKOnly);
    return;
  }
  if (m_form.AddressEdit.Text.empty()) {
    ShowMessageBox(Sjis("アドレスを指定してください。"), MsgDlgType::mtWarning, 0, mbOKOnly);
    return;
  }
  CurrentUrl = m_form.AddressEdit.Text;
  if (m_form.DirectoryEdit.Text.empty()) {
    ShowMessageBox(Sjis("保存するディレクトリーを指定してください。"), MsgDlgType::mtWarning, 0,
                   mbOKOnly);
    return;
  }
  if (!DirectoryCheck()) return;
  RemoveLeftovers();

  m_form.DownLoadButton.Enabled = false;
  m_form.ContinueButton.Enabled = false;
  m_form.HeaderMemo.Clear();
  s.ClearItems();
  m_pageCharsets.clear();
  m_nameCharset = NameCharset::Unknown;
  Aborted = false;
  PrepareTransfer();
  m_form.SetStatusText(CurrentUrl + Sjis("を探しています。"));

  CurrentReferer.clear();
  try {
    Fetch(CurrentUrl, true);
  } catch (const std::exception&) {
    Aborted = true;
    if (!HttpClient1.LastFailureText.empty()) m_form.SetStatusText(HttpClient1.LastFailureText);
    ShowMessageBox(Sjis("切断しました。"), MsgDlgType::mtError, 0, mbOKOnly);
  }
  if (Aborted) {
    ShowMessageBox(Sjis("ダウンロードを中断しました。"), MsgDlgType::mtWarning, 0, mbOKOnly);
    AbortDownLoad();
    return;
  }
  ParseLinks(HttpClient1.Body, true, m_form.AddressEdit.Text);
  RunWorkList();
}

void TMainForm::ContinueButtonClick() {
  if (m_running) return;
  RunScope scope(m_running, [this] {
    RestoreKeptEntry();
    EndDecodeDirectory();
  });
  m_saveThrottle.Start(TickCountMs());
  if (!DirectoryCheck()) return;
  RemoveLeftovers();
  m_pageCharsets.clear();
  Aborted = false;
  PrepareTransfer();
  CurrentUrl = m_form.AddressEdit.Text;
  m_form.DownLoadButton.Enabled = false;
  m_form.ContinueButton.Enabled = false;
  RunWorkList();
}

void TMainForm::DownLoadAbortButtonClick() {
  Aborted = true;
  // A connection still being made (lookup, connect, TLS handshake) is given up at once instead
  // of at its time-out.
  if (!HttpClient1.Connected) HttpClient1.Abort();
  AbortDownLoad();
}

void TMainForm::AbortDownLoad() {
  Aborted = true;
  m_ahead.Clear();
  m_form.Progress = {};
  if (HttpClient1.Connected) HttpClient1.Disconnect();
  ShowIdleButtons();
  m_form.SetStatusText(Sjis("中断しました。"));
}

void TMainForm::ShowIdleButtons() {
  m_form.DownLoadAbortButton.Enabled = false;
  m_form.DownLoadAbortButton.Visible = false;
  m_form.DownLoadButton.Enabled = true;
  m_form.DownLoadButton.Visible = true;
  m_form.Exit1.Enabled = true;
  m_form.DirectoryEdit.ReadOnly = false;
  if (m_settings->Count() > 0) {
    m_form.ContinueButton.Enabled = true;
    m_form.ContinueButton.Visible = true;
  }
}

void TMainForm::RunWorkList() {
  TToraVinIniList& s = *m_settings;
  TFormModel& f = m_form;
  // Whatever ends the run, also an error that leaves the loop: the fields come back, the LHA
  // library is released and the connection closed.
  auto restore = [&] {
    f.UseLhaCheckBox.Enabled = true;
    f.LhaFileEdit.Enabled = f.UseLhaCheckBox.Checked;
    f.Label5.Enabled = f.UseLhaCheckBox.Checked;
    for (Control* c : {&f.AddressEdit, &f.DirectoryEdit, &f.Button2, &f.ReferenceButton}) {
      c->Enabled = true;
    }
    Archive.EndPacking();
    SetFetchAheadActive(false);
    if (HttpClient1.Connected) HttpClient1.Disconnect();
    f.Progress = {};
  };
  for (Control* c : {&f.UseLhaCheckBox, &f.LhaFileEdit, &f.Label5, &f.AddressEdit, &f.DirectoryEdit,
                     &f.Button2, &f.ReferenceButton}) {
    c->Enabled = false;
  }
  try {
    if (f.UseLhaCheckBox.Checked) {
      if (f.LhaFileEdit.Text.empty()) {
        Compress = false;
        m_dialogs.Beep();
        m_dialogs.ShowMessage(Sjis("圧縮ファイル名が指定されていないので、圧縮できません。"));
      } else {
        Compress = Archive.BeginPacking();
        if (!Compress) {
          m_dialogs.Beep();
          m_dialogs.ShowMessage(LhaPackMissingText());
        }
      }
    } else {
      Compress = false;
    }

    f.DownLoadButton.Enabled = false;
    SetFetchAheadActive(true);
    while (s.Count() > 0 && !Aborted) {
      const TDownLoadUnit& unit = s.Item(0);
      CurrentUrl = IsAbsoluteLink(unit.Url) ? unit.Url : JoinLink(f.AddressEdit.Text, unit.Url);
      CurrentUrl = NormalizeUrl(CurrentUrl);
      m_nameCharset = CharsetOf(unit.Referer);
      if (!CheckFileName(CurrentUrl)) {
        s.DeleteItem(0);
      } else {
        PrepareTransfer();
        CurrentReferer = unit.Referer;
        ConnectionFailed = false;
        SecureFailed = false;
        try {
          Fetch(CurrentUrl);
        } catch (const std::exception&) {
          // A proxy that refused the tunnel drops the entry; the status bar says why.
          if (!HttpClient1.LastFailureText.empty()) f.SetStatusText(HttpClient1.LastFailureText);
          // A proxy that cannot be reached says nothing about the entry: it stays as it is. A TLS
          // failure inside the proxy's tunnel is the server's, as it is without a proxy.
          if (!(ConnectionFailed && !SecureFailed && !HttpClient1.Proxy.empty())) RetryOrDrop();
        }
        if (Contains(CurrentUrl, ".htm")) ParseLinks(HttpClient1.Body, false, CurrentUrl);
      }
      SaveDuringRun();
      ProcessMessages();
    }

    ShowIdleButtons();
    f.SetStatusText("");
    if (Aborted) {
      ShowMessageBox(Sjis("ダウンロードを中断しました。"), MsgDlgType::mtWarning, 0, mbOKOnly);
    } else {
      ShowMessageBox(Sjis("ダウンロード完了"), MsgDlgType::mtInformation, 0, mbOKOnly);
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

void TMainForm::RetryOrDrop() {
  TToraVinIniList& s = *m_settings;
  if (s.Retry) {
    TDownLoadUnit& unit = s.Item(0);  // raises on an empty list, as the retry rule needs an entry
    ++unit.Tries;
    long long n = 0;
    if (!TryStrToInt(s.RetryCount, n)) {
      throw std::invalid_argument("'" + s.RetryCount + "' " + Sjis("は整数ではありません"));
    }
    if (n >= unit.Tries) {
      s.MoveItem(0, s.Count() - 1);
      return;
    }
  }
  s.DeleteItem(0);
}

// ---- the client's events ----

void TMainForm::HttpClient1Connect() {
  m_form.DownLoadButton.Enabled = false;
  m_form.DownLoadButton.Visible = false;
  m_form.DownLoadAbortButton.Enabled = true;
  m_form.DownLoadAbortButton.Visible = true;
  m_form.Exit1.Enabled = false;
  m_form.DirectoryEdit.ReadOnly = true;
  m_form.ContinueButton.Enabled = false;
  m_form.ContinueButton.Visible = false;
  m_form.Progress = {true, 0, 0};
}

void TMainForm::HttpClient1Disconnect() {
  m_form.Exit1.Enabled = true;
  m_form.Progress = {};
}

void TMainForm::HttpClient1ConnectionFailed() {
  // Given up because the user pressed Abort: that is no failure to report.
  const bool byUser = Aborted;
  ConnectionFailed = true;
  SecureFailed = IsSecureFailure(HttpClient1.LastErrorCode);
  AbortDownLoad();
  if (byUser) return;
  // A certificate or handshake failure names the host and what is wrong before the usual text.
  std::string text = Sjis("接続できません。");
  if (!HttpClient1.LastFailureText.empty()) text = HttpClient1.LastFailureText + "\r\n" + text;
  ShowMessageBox(text, MsgDlgType::mtWarning, 0, mbOKOnly);
}

std::string TMainForm::NameOf(std::string_view url) const {
  // The HTML reader names a file by its URL's path: "photo.jpg?w=300" is the JPEG "photo.jpg".
  if (m_runOptions.Reader == LinkReader::Html) url = UrlWithoutQuery(url);
  return ReadableName(FileNamePart(url), m_nameCharset);
}

NameCharset TMainForm::CharsetOf(std::string_view pageUrl) const {
  auto it = m_pageCharsets.find(std::string(pageUrl));
  return it == m_pageCharsets.end() ? NameCharset::Unknown : it->second;
}

void TMainForm::HttpClient1PacketRecvd() {
  m_form.Progress = {true, HttpClient1.BytesReceived, HttpClient1.ContentLength,
                     m_ahead.BusyCount()};
  m_form.SetStatusText(NameOf(CurrentUrl) + "  ( " + std::to_string(HttpClient1.BytesReceived) +
                       " / " + std::to_string(HttpClient1.ContentLength) + " )");
}

void TMainForm::HttpClient1Success(CmdType) {
  TToraVinIniList& s = *m_settings;
  if (HttpClient1.Connected) HttpClient1.Disconnect();
  m_form.HeaderMemo.SetText(NormalizeLineBreaks(HttpClient1.Header));

  bool save = CheckResponse(CurrentUrl);
  if (save && s.FileSizeCheck) {
    long long kb = 0;
    if (TryStrToInt(s.FileSize, kb) && HttpClient1.BytesReceived < kb * 1024) save = false;
  }
  if (save) {
    if (HttpClient1.BytesReceived < HttpClient1.ContentLength) {
      RetryOrDrop();
      return;
    }
    std::string name = NameOf(CurrentUrl);
    m_form.SetStatusText(name + Sjis(" 保存中..."));
    SaveFailed = false;
    NameRefused = false;
    bool packed = false;
    if (Compress) {
      packed = m_bodyFile ? PackStreamed(name) : PackBody(HttpClient1.Body, name);
    } else if (m_bodyFile) {
      SaveStreamed(TargetPath(name));
    } else {
      SaveBody(HttpClient1.Body, TargetPath(name));
    }
    if (SaveFailed) return;  // the entry stays at the head of the list
    if (NameRefused) {
      // As any failed transfer: tried again later, or dropped; the run goes on.
      RetryOrDrop();
      return;
    }
    if (s.Count() > 0) {
      if (packed) Pause(m_options.timings.pauseAfterPackMs, true);
      Pause(m_options.timings.pauseAfterSaveMs, true);
    }
  }
  s.DeleteItem(0);
  m_keptForExit.reset();  // the entry is done: nothing to keep
  SaveDuringRun();
}

void TMainForm::HttpClient1Failure(CmdType cmd) {
  TToraVinIniList& s = *m_settings;
  if (HttpClient1.Connected) HttpClient1.Disconnect();
  int code = HttpClient1.ReplyCode;
  std::string text = NameOf(CurrentUrl);
  if (const char* t = FailureText(code)) {
    text += Sjis(t);
  } else {
    text += Sjis(" ダウンロード中にエラー（エラーコード：") + std::to_string(code) + Sjis("）");
  }
  m_form.SetStatusText(text);
  if (cmd == CmdGet) {
    if (code == 500 || code == 503) {
      RetryOrDrop();
    } else {
      s.DeleteItem(0);
      m_keptForExit.reset();  // the server's final answer: nothing to keep
    }
  }
  if (s.Count() > 0) Pause(m_options.timings.pauseAfterFailureMs, false);
}

void TMainForm::HttpClient1AboutToSend() { EditRequestHeaders(HttpClient1, CurrentReferer); }

void TMainForm::EditRequestHeaders(THttpClient& client, std::string_view referer) {
  TExStringList& h = client.RequestHeaders;
  // The address of an HTTPS page does not leave the encrypted connection for a plain one.
  const bool keepsSecret = IsHttpsUrl(referer) && !client.Secure();
  h.SetKeyValue("Referer", keepsSecret ? "" : std::string(referer));
  h.SetKeyValue("If-Modified-Since", "");
  h.SetKeyValue("If-None-Match", "");
  h.SetKeyValue("Content-Type", "");
  h.SetKeyValue("Accept", "image/jpeg,image/pjpeg,image/gif,application/zip,text/html,*/*");
  // A kept connection is HTTP/1.1's default: the request asks for no close.
  h.SetKeyValue("Connection", client.Pool ? "" : "close");
  h.SetKeyValue("Proxy-Connection", "");
  h.SetKeyValue("User-Agent", "Mozilla/4.0");
  h.SetKeyValue("Accept-Language", "en-us;q=0.5");
  h.SetKeyValue("Accept-Encoding", "gzip");
}

}  // namespace toravin
