// The settings store: every option the program remembers between runs and the work list of
// pending files. The work list is mirrored line by line into a memo's LineList given at
// creation (the file-name part of each entry's Url), so list and memo always change together.
// Entries sit in a deque: the crawl removes the first entry or moves it to the end once per file,
// and neither may cost a shift of the whole list.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/LineList.h"
#include "settings/DownLoadUnit.h"

namespace toravin {

class TToraVinIniList {
 public:
  // `memo` may be null (no mirror); otherwise it must outlive the store.
  explicit TToraVinIniList(LineList* memo = nullptr);
  ~TToraVinIniList() = default;
  TToraVinIniList(const TToraVinIniList&) = delete;
  TToraVinIniList& operator=(const TToraVinIniList&) = delete;

  // The persisted settings, in the order in which the file holds them.
  bool DoFileChoice = false;
  bool JPGDownLoad = false;
  bool GIFDownLoad = false;
  bool ZIPDownLoad = false;
  bool HTMLDownLoad = false;
  std::string TargetURL;
  std::string TargetDir;
  std::string JpegName;
  std::string GifName;
  std::string ZipName;
  std::string HtmlName;
  bool ProxyUse = false;
  std::string ProxyAddress;
  std::string ProxyPort;
  bool UseLha = false;
  std::string LhaName;
  bool FileSizeCheck = false;
  std::string FileSize;
  bool UseTar = false;
  bool Retry = false;
  std::string RetryCount;

  // The values the program starts with when no settings file exists.
  void ApplyFirstRunDefaults();

  // The work list.
  int Count() const { return static_cast<int>(m_items.size()); }
  void AddItem(std::string_view url, std::string_view referer);
  void DeleteItem(int index);       // an index outside the list does nothing
  void MoveItem(int from, int to);  // an index outside the list does nothing
  void ClearItems();
  // Whether a pending entry's Url equals `url` without regard to letter case (ASCII letters;
  // the trail bytes of double-byte characters are compared as they are). Constant time: the
  // store keeps a count per folded Url in step with the list.
  bool ContainsUrl(std::string_view url) const;
  // Throws EListError when `index` names no entry. Only Tries may be changed through it.
  TDownLoadUnit& Item(int index);
  const TDownLoadUnit& Item(int index) const;

  // Fills the store from a settings file. Throws ESettingsError with the text to show; entries
  // and settings read before the fault stay.
  void LoadSettings(std::string_view path);
  // Parses an image of the file (the part of LoadSettings after reading the file).
  void LoadFromBytes(std::string_view data);

  enum class SaveResult { Saved, DiskFull };
  // Writes the store to `path` when the free space exceeds the size of the file; otherwise
  // leaves the old file untouched and returns DiskFull (the caller shows the warning). The
  // new file replaces the old one only once it is complete on disk. Throws ESettingsError when
  // the file cannot be created.
  SaveResult SaveSettings(std::string_view path) const;
  // The file's bytes.
  std::string SaveToBytes() const;

  // Free space query used by SaveSettings; replaceable for tests.
  std::function<std::optional<std::uint64_t>()> FreeSpaceQuery;
  // The memo line of an entry; the file-name part of its URL when unset.
  std::function<std::string(std::string_view url, std::string_view referer)> MemoName;

 private:
  void Forget(const std::string& url);

  std::deque<TDownLoadUnit> m_items;
  std::unordered_map<std::string, int> m_urlCounts;  // folded Url -> pending entries with it
  LineList* m_memo;
};

// The warning shown when SaveSettings returns DiskFull (CP932).
const std::string& DiskFullSettingsText();

}  // namespace toravin
