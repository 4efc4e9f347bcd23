// The download filter and saving: the file-name test before a request, the response test on the
// reply header, and writing a body under a name that never overwrites an existing file, or
// packing it into the run's LHA archive.
#include <exception>
#include <stdexcept>

#include "main/FileKinds.h"
#include "main/FittedName.h"
#include "main/MainForm.h"
#include "main/TextUtil.h"
#include "platform/Clock.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/UnfitChar.h"
#include "regex/ERegExpParser.h"

namespace toravin {
bool TMainForm::CheckFileName(std::string_view url) {
  const TToraVinIniList& s = *m_settings;
  UrlName n = SplitName(NameOf(url));
  bool result = !s.DoFileChoice;
  std::optional<FileKind> kind = KindOfExtension(LowerCase(n.ext));
  if (kind && KindSwitch(s, m_runOptions, *kind)) {
    result = MatchMask(n.base, MaskNamePart(KindMask(s, m_runOptions, *kind)));
  }
  return result;
}

bool TMainForm::MatchMask(std::string_view base, std::string_view namePart) {
  TextMatcher1.SetRegExp("\\*");
  std::string mask = TextMatcher1.ProcessEscapes(std::string(namePart));
  TextMatcher1.Sub("\\.*", mask);
  TextMatcher1.SetRegExp("\\?");
  TextMatcher1.GSub("\\.", mask);
  TextMatcher1.SetRegExp(mask);
  std::string name;
  try {
    name = TextMatcher1.ProcessEscapes(std::string(base));
  } catch (const ERegExpParser&) {
    name.assign(base);  // a name ending in a lone lead byte is matched as it stands
  }
  int pos = 0, len = 0;
  TextMatcher1.Match(name, pos, len);
  return pos == 1 && static_cast<size_t>(len) == name.size();
}

bool TMainForm::CheckResponse(std::string_view url) {
  const TToraVinIniList& s = *m_settings;
  std::optional<FileKind> kind = KindOfExtension(LowerCase(SplitName(NameOf(url)).ext));
  std::string contentType;
  long long length = 0;
  for (const std::string& line : m_form.HeaderMemo.lines()) {
    if (ContainsFolded(line, "content-type")) contentType = LowerCase(Trim(line));
    if (ContainsFolded(line, "content-length")) {
      size_t colon = line.find(':');
      long long value = 0;
      std::string_view text = colon == std::string::npos
                                  ? std::string_view()
                                  : Trim(std::string_view(line).substr(colon + 1));
      length = TryStrToInt(text, value) ? value : 0;
    }
  }
  if (!kind || *kind == FileKind::Html) return false;
  if (*kind == FileKind::Zip) return Contains(contentType, "application/zip");
  // Every picture kind: an image type and the size test.
  if (!Contains(contentType, "image/")) return false;
  long long kb = 0;
  if (s.FileSizeCheck && length > 0 && TryStrToInt(s.FileSize, kb)) return length >= kb * 1024;
  return true;
}

std::string TMainForm::TargetPath(std::string_view name) const {
  // A name longer than the file system holds is shortened before the numbering rule.
  return JoinPath(m_form.DirectoryEdit.Text, FitName(m_form.DirectoryEdit.Text, name));
}

std::string TMainForm::SaveBody(std::string_view body, std::string_view path) {
  // An unknown free space is no reason to refuse; a write that then fails is reported as such.
  std::optional<std::uint64_t> free =
      m_freeSpace.For(FreeSpaceQuery, HttpClient1.ContentLength, TickCountMs());
  auto diskFull = [this] {
    Aborted = true;
    ShowMessageBox(Sjis("ディスクがいっぱいで書き込めません。"), MsgDlgType::mtWarning, 0,
                   mbOKOnly);
    return std::string();
  };
  if (free && HttpClient1.ContentLength > 0 &&
      static_cast<std::uint64_t>(HttpClient1.ContentLength) > *free) {
    return diskFull();
  }
  // The first free name of path, path(1), path(2), ...; created exclusively, so an existing file
  // is never overwritten even when one appears between the test and the write.
  std::string candidate(path);
  for (int n = 1;; ++n) {
    switch (WriteNewFile(candidate, body)) {
      case NewFileResult::Written:
        return candidate;
      case NewFileResult::Exists:
        candidate = NumberedName(path, n);
        continue;
      case NewFileResult::DiskFull:
        // The space ran out while writing (or the length was not announced): as when the
        // announced length does not fit, with nothing left on disk.
        return diskFull();
      case NewFileResult::NameRefused:
        NameRefused = true;
        m_form.SetStatusText(Sjis("ファイル ") + candidate + Sjis(" を作成できません"));
        return std::string();
      case NewFileResult::Failed:
        // The disk refuses the file: the run stops and the entry stays in the list for
        // Continue, rather than being retried into the same fault or dropped unseen.
        Aborted = true;
        SaveFailed = true;
        ShowMessageBox(Sjis("ファイル ") + candidate + Sjis(" を作成できません"),
                       MsgDlgType::mtError, 0, mbOKOnly);
        return std::string();
    }
  }
}

TBodySink* TMainForm::StreamedBody() {
  m_bodyFile.reset();
  // Only a picture or an archive is ever saved; any other body is a page, held in memory.
  const std::optional<FileKind> kind =
      KindOfExtension(LowerCase(SplitName(NameOf(CurrentUrl)).ext));
  if (!kind || *kind == FileKind::Html) return nullptr;
  // An unknown free space is no reason to refuse, as for bodies held in memory.
  m_freeBeforeBody = m_freeSpace.For(FreeSpaceQuery, HttpClient1.ContentLength, TickCountMs());
  const std::int64_t length = HttpClient1.ContentLength;
  const bool room =
      length <= 0 || !m_freeBeforeBody || static_cast<std::uint64_t>(length) <= *m_freeBeforeBody;
  m_bodyFile = std::make_unique<TBodyFile>(m_form.DirectoryEdit.Text, room, m_tempFiles.get());
  // Once the save directory has taken a file, the next ones are made ahead while the run goes on
  // with its transfers (one at a time, there is nothing for it to go on with).
  if (!m_tempFiles && m_aheadActive && ParallelTransfers() > 1 && m_bodyFile->Ok()) {
    try {
      m_tempFiles = std::make_unique<TTempFileSupply>(m_form.DirectoryEdit.Text);
    } catch (const std::exception&) {
      // No thread to be had: the run makes its own files, as one at a time.
    }
  }
  // A file that is parsed as well (the start page, a name with ".htm" in it) keeps its first
  // part in memory for that.
  if (m_parsesBody || Contains(CurrentUrl, ".htm")) {
    m_bodyFile->CopyTo(&HttpClient1.Body, static_cast<std::size_t>(kMaxPageBytes));
  }
  if (room && !m_bodyFile->Made()) {
    // No file can be made in the save directory: the body is held whole, and the save step
    // reports the failure as it always has.
    m_bodyFile.reset();
    HttpClient1.BodyLimit = -1;
    return nullptr;
  }
  return m_bodyFile.get();
}

std::string TMainForm::SaveStreamed(std::string_view path) {
  TBodyFile& file = *m_bodyFile;
  // The free space is the one seen before the body took its share of it.
  if ((HttpClient1.ContentLength > 0 && m_freeBeforeBody &&
       static_cast<std::uint64_t>(HttpClient1.ContentLength) > *m_freeBeforeBody) ||
      file.DiskFull()) {
    Aborted = true;
    ShowMessageBox(Sjis("ディスクがいっぱいで書き込めません。"), MsgDlgType::mtWarning, 0,
                   mbOKOnly);
    return std::string();
  }
  std::string written = file.Commit(path);
  if (written.empty() && file.NameRefused()) {
    NameRefused = true;
    m_form.SetStatusText(Sjis("ファイル ") + std::string(path) + Sjis(" を作成できません"));
  } else if (written.empty()) {
    // The disk refused the file: as for a body held in memory, the run stops and the entry stays
    // in the list for Continue.
    Aborted = true;
    SaveFailed = true;
    ShowMessageBox(Sjis("ファイル ") + std::string(path) + Sjis(" を作成できません"),
                   MsgDlgType::mtError, 0, mbOKOnly);
  }
  return written;
}

bool TMainForm::PackIntoArchive(std::string_view body, std::string_view name) {
  // An archive's entry names are CP932: a character it cannot hold becomes "_".
  TArchive::PackResult r =
      Archive.PackBody(m_form.DirectoryEdit.Text, m_form.LhaFileEdit.Text,
                       ReplaceUnfitChars(name, '_'), body, m_options.timings.archiverWaitMs);
  return r.status == TArchive::PackStatus::kPacked;
}

bool TMainForm::PackStreamed(std::string_view name) {
  // The library reads the temporary file through a mapping, so the body is never held in memory.
  if (m_bodyFile->Ok()) {
    const TMappedFile body = m_bodyFile->Map();
    if (body.Ok() && PackIntoArchive(body.View(), name)) return true;
  }
  // Not packed: the file is saved unpacked under its own name.
  SaveStreamed(TargetPath(name));
  return false;
}

bool TMainForm::PackBody(std::string_view body, std::string_view name) {
  if (PackIntoArchive(body, name)) return true;
  // Still busy, or the library refused the body: the file is saved unpacked under its own name.
  SaveBody(body, TargetPath(name));
  return false;
}

}  // namespace toravin
