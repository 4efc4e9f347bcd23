// The store's work-list operations keep the memo in step with the list, and its load and save
// wrap the file format with the file and free-space handling.
#include "settings/ToraVinIniList.h"

#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "settings/ESettingsError.h"
#include "settings/SettingsFormat.h"

namespace toravin {
namespace {

// ASCII letters to lower case; a double-byte character is kept whole.
std::string FoldCase(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size(); ++i) {
    if (IsLeadByte(out[i])) {
      ++i;
    } else if (out[i] >= 'A' && out[i] <= 'Z') {
      out[i] = static_cast<char>(out[i] - 'A' + 'a');
    }
  }
  return out;
}

}  // namespace

TToraVinIniList::TToraVinIniList(LineList* memo)
    : FreeSpaceQuery(&FreeSpaceOfCurrentDrive), m_memo(memo) {}

void TToraVinIniList::ApplyFirstRunDefaults() {
  JpegName = "*.jpg";
  GifName = "*.gif";
  ZipName = "*.zip";
  HtmlName = "*.html";
  Retry = true;
  RetryCount = "5";
}

void TToraVinIniList::AddItem(std::string_view url, std::string_view referer) {
  m_items.push_back(TDownLoadUnit{std::string(url), std::string(referer), 0});
  ++m_urlCounts[FoldCase(url)];
  if (m_memo) m_memo->Add(MemoName ? MemoName(url, referer) : FileNamePart(url));
}

void TToraVinIniList::DeleteItem(int index) {
  if (index < 0 || index >= Count()) return;
  Forget(m_items[static_cast<size_t>(index)].Url);
  if (index == 0) {
    m_items.pop_front();
  } else {
    m_items.erase(m_items.begin() + index);
  }
  if (m_memo) m_memo->Delete(index);
}

void TToraVinIniList::MoveItem(int from, int to) {
  if (from < 0 || to < 0 || from >= Count() || to >= Count() || from == to) return;
  if (from == 0 && to == Count() - 1) {
    TDownLoadUnit unit = std::move(m_items.front());
    m_items.pop_front();
    m_items.push_back(std::move(unit));
  } else {
    TDownLoadUnit unit = std::move(m_items[static_cast<size_t>(from)]);
    m_items.erase(m_items.begin() + from);
    m_items.insert(m_items.begin() + to, std::move(unit));
  }
  if (m_memo) m_memo->Move(from, to);
}

void TToraVinIniList::Forget(const std::string& url) {
  auto it = m_urlCounts.find(FoldCase(url));
  if (it != m_urlCounts.end() && --it->second == 0) m_urlCounts.erase(it);
}

bool TToraVinIniList::ContainsUrl(std::string_view url) const {
  return m_urlCounts.count(FoldCase(url)) != 0;
}

void TToraVinIniList::ClearItems() {
  // Entry by entry from the front, as the memo is emptied line by line with it.
  while (Count() > 0) DeleteItem(0);
}

TDownLoadUnit& TToraVinIniList::Item(int index) {
  if (index < 0 || index >= Count()) {
    throw EListError(Sjis("リストのインデックスが範囲を超えています") + " (" +
                     std::to_string(index) + ")");
  }
  return m_items[static_cast<size_t>(index)];
}

const TDownLoadUnit& TToraVinIniList::Item(int index) const {
  return const_cast<TToraVinIniList*>(this)->Item(index);
}

void TToraVinIniList::LoadSettings(std::string_view path) {
  std::optional<std::string> data = ReadWholeFile(path);
  if (!data) {
    throw ESettingsError(Sjis("ファイル ") + std::string(path) + Sjis(" は開けません"));
  }
  LoadFromBytes(*data);
}

void TToraVinIniList::LoadFromBytes(std::string_view data) { ReadSettingsImage(data, *this); }

std::string TToraVinIniList::SaveToBytes() const { return WriteSettingsImage(*this); }

TToraVinIniList::SaveResult TToraVinIniList::SaveSettings(std::string_view path) const {
  std::string image = SaveToBytes();
  // An unknown free space is no reason to refuse; a write that then fails leaves the old file.
  std::optional<std::uint64_t> free =
      FreeSpaceQuery ? FreeSpaceQuery() : std::optional<std::uint64_t>();
  if (free && *free <= image.size()) return SaveResult::DiskFull;
  if (!WriteFileReplacing(path, image)) {
    throw ESettingsError(Sjis("ファイル ") + std::string(path) + Sjis(" を作成できません"));
  }
  return SaveResult::Saved;
}

const std::string& DiskFullSettingsText() {
  return Sjis("ディスクが一杯で初期設定ファイルを書き込めません。");
}

}  // namespace toravin
