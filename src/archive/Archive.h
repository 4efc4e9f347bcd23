// The archive bridge the crawl engine calls: the LHA library that packs saved bodies into one
// archive per run, and the gzip library that decodes content-encoded pages. It owns both
// libraries and their life spans (LHA from run start to run end, gzip for one decode, both
// released at the latest when the bridge goes away) and carries out the packing and decoding
// steps with their fallbacks. Message boxes stay with the caller, which gets the outcome and the
// text to show; ReportDecodeFailure shows the decode messages in the program's way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/ArchiverLibrary.h"
#include "archive/GzDec.h"
#include "archive/LhaPack.h"

namespace toravin {

class Dialogs;

class TArchive {
 public:
  explicit TArchive(LibrarySearch search = LibrarySearch::Default());
  ~TArchive() { ReleaseAll(); }
  TArchive(const TArchive&) = delete;
  TArchive& operator=(const TArchive&) = delete;

  // The application's main window handle, handed to the libraries' calls.
  void SetMainWindow(void* window);

  // Decoded pages are cut at this many bytes (0: never), as received pages are read up to their
  // bound: the decoder stops there, and no more than this is read back.
  std::uint64_t DecodedPageBound = 0;

  TLhaPack& LhaPack() { return m_lha; }
  TGzDec& GzDec() { return m_gz; }

  // ---- Packing -------------------------------------------------------------------------
  // Run start with compression on: loads the LHA library. False when it is missing; the caller
  // then beeps, shows LhaPackMissingText() in a plain box and saves files unpacked.
  bool BeginPacking();
  // Run end: releases the LHA library.
  void EndPacking();
  // At exit (and from the destructor): releases both libraries.
  void ReleaseAll();

  // Dir, a "\" unless Dir ends in one, and the archive name with its extension replaced by
  // ".lzh" (added when it has none).
  static std::string ArchivePath(std::string_view dir, std::string_view lhaName);
  // The archive name without its extension: the folder the entries are stored under.
  static std::string ArchiveFolder(std::string_view lhaName);
  // The packing command line for one body.
  static std::string PackCommandLine(std::string_view archivePath, std::string_view folder,
                                     std::string_view entryName);

  // Open, search, close (close also when the search fails). True when the archive holds `name`.
  bool ArchiveHolds(std::string_view archivePath, std::string_view name);
  // `name`, or its base followed by "(n)" and its extension for the first n = 1, 2, ... that the
  // archive does not hold yet; `name` itself when the archive file does not exist.
  std::string UniqueEntryName(std::string_view archivePath, std::string_view name);

  enum class PackStatus {
    kPacked,  // the body is in the archive
    kBusy,    // the library stayed busy for the whole wait: save the body unpacked
    kFailed,  // the library refused or is missing: save the body unpacked
  };
  struct PackResult {
    PackStatus status = PackStatus::kFailed;
    std::string archivePath;
    std::string entryName;  // the (numbered) name used inside the archive folder
    int code = 0;           // the library's result when it failed
  };
  // Packs a saved body named `fileName`: archive path, the archive's lock (wait
  // up to `waitLimitMs` while another process packs into it), unique entry name, wait up to
  // `waitLimitMs` while the library is busy, pack from a copy of the body.
  PackResult PackBody(std::string_view dir, std::string_view lhaName, std::string_view fileName,
                      std::string_view body, int waitLimitMs);

  // ---- Decoding ------------------------------------------------------------------------
  enum class DecodeStatus {
    kDecoded,   // `page` holds the decoded bytes
    kMissing,   // the library could not be loaded
    kBusy,      // the library stayed busy for the whole wait
    kFailed,    // GzDec answered `code` (not 0)
    kNoOutput,  // GzDec answered 0 but left no "_extracted" file
  };
  struct DecodeResult {
    DecodeStatus status = DecodeStatus::kMissing;
    int code = 0;
    std::string page;     // the decoded bytes
    std::string message;  // the library's output buffer text
  };
  // Loads the gzip library, waits while it is busy, runs "xvfG" on the saved page at `path`,
  // releases the library again, reads and deletes path + "_extracted". The file at `path`
  // itself stays; it belongs to the caller.
  DecodeResult DecodeFile(std::string_view path, int waitLimitMs);

  // The decode outcome's message: beep and plain box for kMissing and kFailed, a plain box for
  // kBusy, nothing otherwise.
  static void ReportDecodeFailure(const DecodeResult& result, Dialogs& dialogs);

 private:
  TLhaPack m_lha;
  TGzDec m_gz;
};

}  // namespace toravin
