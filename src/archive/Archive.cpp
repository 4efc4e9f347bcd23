// Each step follows the order the program has always used: the entry test opens and closes the
// archive for every name it tries, and the gzip library is loaded for one decode only. A pack
// that the library refuses is reported (kFailed) instead of being ignored, so that the caller can
// save the body unpacked and no downloaded file is lost.
#include "archive/Archive.h"

#include "archive/ArchiveLock.h"
#include "archive/ArchiveMessages.h"
#include "archive/ArchiverCommandLine.h"
#include "archive/WaitWhileBusy.h"
#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"

namespace toravin {
namespace {

// The switches of the packing command line.
constexpr const char kPackSwitches[] = "-d -gd -jm3";
// The decoding command's letters.
constexpr const char kDecodeCommand[] = "xvfG";
// Suffix of the file the gzip library leaves the decoded page in.
constexpr const char kExtractedSuffix[] = "_extracted";
// Most numbered names tried for one entry before packing gives up on the archive.
constexpr int kMaxEntryNumber = 1000000;

// Position of the extension's dot in a bare file name, or npos.
std::size_t ExtensionDot(std::string_view name) {
  std::size_t dot = std::string_view::npos;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (IsLeadByte(name[i]) && i + 1 < name.size()) {
      ++i;
    } else if (name[i] == '.') {
      dot = i;
    } else if (name[i] == '\\' || name[i] == ':') {
      dot = std::string_view::npos;
    }
  }
  return dot;
}

}  // namespace

TArchive::TArchive(LibrarySearch search) : m_lha(search), m_gz(std::move(search)) {}

void TArchive::SetMainWindow(void* window) {
  m_lha.SetWindow(window);
  m_gz.SetWindow(window);
}

bool TArchive::BeginPacking() { return m_lha.Load(); }

void TArchive::EndPacking() { m_lha.Release(); }

void TArchive::ReleaseAll() {
  m_lha.Release();
  m_gz.Release();
}

std::string TArchive::ArchivePath(std::string_view dir, std::string_view lhaName) {
  std::string path = JoinPath(dir, lhaName.substr(0, ExtensionDot(lhaName)));
  path += ".lzh";
  return path;
}

std::string TArchive::ArchiveFolder(std::string_view lhaName) {
  return std::string(lhaName.substr(0, ExtensionDot(lhaName)));
}

std::string TArchive::PackCommandLine(std::string_view archivePath, std::string_view folder,
                                      std::string_view entryName) {
  std::string entry(folder);
  entry += '\\';
  entry += entryName;
  return std::string(kPackSwitches) + " " + ArchiverCommandLine::Quote(archivePath) + " " +
         ArchiverCommandLine::Quote(entry);
}

bool TArchive::ArchiveHolds(std::string_view archivePath, std::string_view name) {
  abi::ArcHandle h = m_lha.OpenArchive(archivePath);
  int found = m_lha.FindFirst(h, name);
  m_lha.CloseArchive(h);
  return found == 0;
}

std::string TArchive::UniqueEntryName(std::string_view archivePath, std::string_view name) {
  std::string candidate(name);
  if (!FileExists(archivePath)) return candidate;
  std::size_t dot = ExtensionDot(name);
  std::string_view base = name.substr(0, dot);
  std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot);
  for (int n = 1; n <= kMaxEntryNumber && ArchiveHolds(archivePath, candidate); ++n) {
    candidate = std::string(base) + "(" + std::to_string(n) + ")" + std::string(ext);
  }
  return candidate;
}

TArchive::PackResult TArchive::PackBody(std::string_view dir, std::string_view lhaName,
                                        std::string_view fileName, std::string_view body,
                                        int waitLimitMs) {
  PackResult r;
  r.archivePath = ArchivePath(dir, lhaName);
  // Another run packing into the same archive is waited for as a busy library is: the name is
  // chosen and the entry written while no other process can append.
  TArchiveLock lock(r.archivePath);
  if (!lock.Acquire(waitLimitMs)) {
    r.status = PackStatus::kBusy;
    return r;
  }
  r.entryName = UniqueEntryName(r.archivePath, fileName);
  if (!WaitWhileBusy([this] { return m_lha.GetRunning(); }, waitLimitMs)) {
    r.status = PackStatus::kBusy;
    return r;
  }
  r.code =
      m_lha.CompressMem(PackCommandLine(r.archivePath, ArchiveFolder(lhaName), r.entryName), body);
  r.status = r.code == 0 ? PackStatus::kPacked : PackStatus::kFailed;
  return r;
}

TArchive::DecodeResult TArchive::DecodeFile(std::string_view path, int waitLimitMs) {
  DecodeResult r;
  if (!m_gz.Load()) {
    r.status = DecodeStatus::kMissing;
    return r;
  }
  if (!WaitWhileBusy([this] { return m_gz.GetRunning(); }, waitLimitMs)) {
    m_gz.Release();
    r.status = DecodeStatus::kBusy;
    return r;
  }
  m_gz.SetOutputCut(DecodedPageBound);
  r.code =
      m_gz.GzDec(std::string(kDecodeCommand) + " " + ArchiverCommandLine::Quote(path), &r.message);
  m_gz.Release();
  if (r.code != 0) {
    r.status = DecodeStatus::kFailed;
    return r;
  }
  const std::string extracted = std::string(path) + kExtractedSuffix;
  std::optional<std::string> page =
      DecodedPageBound > 0 ? ReadFileUpTo(extracted, DecodedPageBound) : ReadWholeFile(extracted);
  if (!page) {
    r.status = DecodeStatus::kNoOutput;
    return r;
  }
  r.page = std::move(*page);
  DeleteFileAt(extracted);
  r.status = DecodeStatus::kDecoded;
  return r;
}

void TArchive::ReportDecodeFailure(const DecodeResult& result, Dialogs& dialogs) {
  switch (result.status) {
    case DecodeStatus::kMissing:
      dialogs.Beep();
      dialogs.ShowMessage(GzDecMissingText());
      return;
    case DecodeStatus::kBusy:
      dialogs.ShowMessage(GzDecBusyText());
      return;
    case DecodeStatus::kFailed:
      dialogs.Beep();
      dialogs.ShowMessage(GzDecFailedText(result.code));
      return;
    case DecodeStatus::kDecoded:
    case DecodeStatus::kNoOutput:
      return;
  }
}

}  // namespace toravin
