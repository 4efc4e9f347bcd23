// The two archiver steps of a crawl with the real plug-ins: gzip-encoded pages decoded before
// their links are read, and saved files packed into one LHA archive (checked with lhasa).
#include <gtest/gtest.h>

#include <cstdio>

#include "CrawlFixture.h"
#include "platform/FileSystem.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    if (pclose(p) != 0) out += "\n<exit status not 0>";
  }
  return out;
}

class ArchiveSteps : public CrawlFixture {};

TEST_F(ArchiveSteps, GzipEncodedPagesAreDecodedWhenAllowed) {
  S().JPGDownLoad = true;
  S().UseTar = true;
  Page("/d/index.html", Gzip("<html><img src=\"a.jpg\"><img src=\"b.jpg\"></html>"),
       "Content-Encoding: gzip\r\n");
  File("/d/a.jpg", "A", "image/jpeg");
  File("/d/b.jpg", "B", "image/jpeg");
  form->AddressEdit.Text = Url("/d/index.html");
  Download();
  EXPECT_EQ(SavedFiles(), (Strings{"a.jpg", "b.jpg"}));
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
  // The temporary copies in the current directory are gone.
  EXPECT_FALSE(FileExists("index.html"));
  EXPECT_FALSE(FileExists("index.html_extracted"));
}

TEST_F(ArchiveSteps, CorruptEncodedPageShowsTheLibrarysCode) {
  S().JPGDownLoad = true;
  S().UseTar = true;
  Page("/index.html", "\x1F\x8B\x08\x00 not really gzip", "Content-Encoding: gzip\r\n");
  form->AddressEdit.Text = Url("/index.html");
  Download();
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(
      Boxes()[0].rfind("GZDEC.DLLによるHTMLファイルの伸張に失敗しました。（エラーコード：0x", 0),
      0u);
  EXPECT_FALSE(FileExists("index.html"));
}

TEST_F(ArchiveSteps, SavedFilesArePackedIntoOneArchive) {
  S().JPGDownLoad = true;
  form->UseLhaCheckBox.Checked = true;
  form->LhaFileEdit.Text = "pics.old";
  Page("/index.html", "<img src=\"a/photo.jpg\"><img src=\"b/photo.jpg\"><img src=\"c.jpg\">");
  File("/a/photo.jpg", std::string(5000, 'x'), "image/jpeg");
  File("/b/photo.jpg", "second photo", "image/jpeg");
  File("/c.jpg", "C", "image/jpeg");
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(SavedFiles(), Strings{"pics.lzh"});
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
  std::string archive = saveDir + "/pics.lzh";
  EXPECT_EQ(Shell("lha t '" + archive + "' >/dev/null 2>&1; echo $?"), "0\n");
  TempDir out;
  Shell("cd '" + out.path() + "' && lha xq '" + archive + "'");
  EXPECT_EQ(ReadFileBytes(out.path() + "/pics/photo.jpg"), std::string(5000, 'x'));
  EXPECT_EQ(ReadFileBytes(out.path() + "/pics/photo(1).jpg"), "second photo");
  EXPECT_EQ(ReadFileBytes(out.path() + "/pics/c.jpg"), "C");
  EXPECT_FALSE(mf->Archive.LhaPack().Loaded());  // released at the end of the run
}

// The further picture kinds are packed like JPEG.
TEST_F(ArchiveSteps, FurtherKindsArePackedToo) {
  TRunOptions o = mf->RunOptions();
  o.Png.DownLoad = o.Webp.DownLoad = o.Svg.DownLoad = o.Avif.DownLoad = true;
  mf->SetRunOptions(o);
  form->UseLhaCheckBox.Checked = true;
  form->LhaFileEdit.Text = "pics";
  Page("/index.html",
       "<img src=\"a.png\"><img src=\"b.webp\"><img src=\"c.svg\"><img src=\"d.avif\">");
  File("/a.png", "PNG body", "image/png");
  File("/b.webp", "WEBP body", "image/webp");
  File("/c.svg", "<svg/>", "image/svg+xml");
  File("/d.avif", "AVIF body", "image/avif");
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(SavedFiles(), Strings{"pics.lzh"});
  TempDir out;
  Shell("cd '" + out.path() + "' && lha xq '" + saveDir + "/pics.lzh'");
  EXPECT_EQ(ReadFileBytes(out.path() + "/pics/a.png"), "PNG body");
  EXPECT_EQ(ReadFileBytes(out.path() + "/pics/b.webp"), "WEBP body");
  EXPECT_EQ(ReadFileBytes(out.path() + "/pics/c.svg"), "<svg/>");
  EXPECT_EQ(ReadFileBytes(out.path() + "/pics/d.avif"), "AVIF body");
}

// A file to be packed goes to a temporary file as it arrives, like any saved file, and the
// library reads it from there: the body is never held in memory, and no temporary file is left.
TEST_F(ArchiveSteps, APackedFileIsReadFromItsTemporaryFile) {
  S().JPGDownLoad = true;
  form->UseLhaCheckBox.Checked = true;
  form->LhaFileEdit.Text = "pics";
  std::string big(3 << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 5);
  Page("/index.html", "<img src=\"big.jpg\">");
  File("/big.jpg", big, "image/jpeg");
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(SavedFiles(), Strings{"pics.lzh"});
  EXPECT_LT(mf->HttpClient1.Body.capacity(), std::size_t{1} << 20);
  TempDir out;
  Shell("cd '" + out.path() + "' && lha xq '" + saveDir + "/pics.lzh'");
  EXPECT_TRUE(ReadFileBytes(out.path() + "/pics/big.jpg") == big);
}

// A library that refuses the body (here: the archive file is damaged) must not lose the file:
// it is saved unpacked, and the damaged archive is left as it was.
TEST_F(ArchiveSteps, RefusedPackingSavesTheFileUnpacked) {
  S().JPGDownLoad = true;
  form->UseLhaCheckBox.Checked = true;
  form->LhaFileEdit.Text = "pics";
  WriteFileBytes(saveDir + "/pics.lzh", "this is not an archive");
  Page("/index.html", "<img src=\"a.jpg\">");
  File("/a.jpg", "A", "image/jpeg");
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(SavedFiles(), (Strings{"a.jpg", "pics.lzh"}));
  EXPECT_EQ(Saved("a.jpg"), "A");
  EXPECT_EQ(Saved("pics.lzh"), "this is not an archive");
}

TEST_F(ArchiveSteps, NoArchiveNameMeansPlainFiles) {
  S().JPGDownLoad = true;
  form->UseLhaCheckBox.Checked = true;
  form->LhaFileEdit.Text = "";
  File("/c.jpg", "C", "image/jpeg");
  form->AddressEdit.Text = Url("/c.jpg");
  Download();
  // The start page uses the packing decision of the previous run (none yet): saved plainly.
  EXPECT_EQ(SavedFiles(), Strings{"c.jpg"});
  EXPECT_EQ(Boxes(), (Strings{"圧縮ファイル名が指定されていないので、圧縮できません。",
                              "ダウンロード完了"}));
}

}  // namespace
}  // namespace toravin::test
