// TBodyFile: a body on its way to the save directory. It lands in a temporary file created
// exclusively beside the files it will join (or in a file without a name, made ahead by a
// TTempFileSupply), and becomes a saved file only by Commit, which gives it the first free
// numbered name; every other way out (a cut body, a rejected reply, an abort, an error) removes
// it. When the body cannot be kept (the disk is full, a write fails) the bytes
// are counted and dropped, and the failure is kept for the save step to report.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "main/TempFileSupply.h"
#include "net/BodySink.h"
#include "platform/MappedFile.h"

namespace toravin {

class TBodyFile : public TBodySink {
 public:
  // A temporary file in `dir` (a core path), one made ahead by `supply` when it has one. With
  // `keep` false nothing is written: the body is only counted (there is no room for it).
  TBodyFile(std::string_view dir, bool keep, TTempFileSupply* supply = nullptr);
  ~TBodyFile() override;
  TBodyFile(const TBodyFile&) = delete;
  TBodyFile& operator=(const TBodyFile&) = delete;

  // The temporary file exists and has taken every byte so far.
  bool Ok() const { return m_fd >= 0 && m_error == 0; }
  // A write found the disk full.
  bool DiskFull() const;
  // The file system refused the name Commit was given.
  bool NameRefused() const;
  // A file was made for the body (one without a name, from the supply, or a temporary one).
  bool Made() const { return m_made; }
  // The temporary file's core path (empty when it could not be created, or has no name).
  const std::string& TempPath() const { return m_tempPath; }

  // Also keeps the first `limit` bytes of the body in `text` (a page that is parsed as well).
  void CopyTo(std::string* text, std::size_t limit) {
    m_copy = text;
    m_copyLimit = limit;
  }

  void Write(const char* bytes, std::size_t size) override;

  // A new temporary file in `dir`: its core path and descriptor, or fd -1 and the errno.
  struct TempFile {
    std::string path;
    int fd = -1;
    int error = 0;
  };
  static TempFile MakeTemp(std::string_view dir);
  // A new file without a name in `dir` (O_TMPFILE), or -1.
  static int MakeAnonymous(std::string_view dir);
  // Gives the file without a name open on `fd` the core path `path`, never replacing a file:
  // 0, or the errno (EEXIST when the name is taken).
  static int GiveName(int fd, const std::string& path);

  // The body so far, mapped read-only: for a library that takes a body whole.
  TMappedFile Map() const { return TMappedFile(m_fd); }

  // Gives the file the first free name of `path`, path(1), path(2), ... without ever replacing an
  // existing file. Returns the name given, or empty when the body could not be kept whole or the
  // rename failed; the temporary file is gone either way.
  std::string Commit(std::string_view path);

 private:
  void Remove();
  // The first free name of `path`, path(1), path(2), ... that `take` (0 or an errno, EEXIST
  // when the name is there) gives the file; empty, with the file gone, on any other failure.
  std::string TakeFirstFreeName(std::string_view path,
                                const std::function<int(const std::string&)>& take);
  std::string m_tempPath;
  int m_fd = -1;
  bool m_made = false;
  bool m_anonymous = false;  // the file has no name until Commit gives it one
  int m_error = 0;           // errno of the first failure
  std::string* m_copy = nullptr;
  std::size_t m_copyLimit = 0;
};

}  // namespace toravin
