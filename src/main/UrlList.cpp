// The work-list memo's pop-up menu: paste URLs from the clipboard with a referrer, empty the
// list, and save the pending URLs as a text file (one per line, CR LF).
#include "main/MainForm.h"
#include "main/TextUtil.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"

namespace toravin {

void TMainForm::UrlPasteClick() {
  std::optional<std::string> clip = m_dialogs.ClipboardText();
  if (!clip) {
    m_dialogs.Beep();
    m_dialogs.ShowMessage(Sjis("貼り付けようとしたものは、ＴＥＸＴではありません。"));
    return;
  }
  std::string referrer(Trim(m_dialogs.InputBox(
      Sjis("ＵＲＬの貼り付け"), Sjis("Referer を入力してください。"), "index.html")));
  // The clipboard's lines, split at CR LF, LF or CR.
  LineList lines;
  lines.SetText(*clip);
  for (const std::string& line : lines.lines()) {
    std::string trimmed(Trim(ReplaceSingleByte(line, '/', '\\')));
    if (LowerCase(trimmed).rfind("http", 0) == 0) {
      size_t cut = FileNameStart(trimmed);
      std::string dir = ReplaceSingleByte(trimmed.substr(0, cut), '\\', '/');
      m_settings->AddItem(line, referrer.rfind("http", 0) == 0 ? referrer : dir + referrer);
      continue;
    }
    m_dialogs.Beep();
    std::string question =
        line + Sjis(" はＵＲＬとして、正しくありません。") + "\r\n" + Sjis("処理を続けますか？");
    if (m_dialogs.MessageDlg(question, MsgDlgType::mtWarning, mbYesNo, 0) != ModalResult::mrYes) {
      break;
    }
  }
  // While a run is active its end shows Continue when entries remain; offering it now would let
  // a second run start inside the first.
  if (m_settings->Count() > 0 && !m_running) {
    m_form.ContinueButton.Enabled = true;
    m_form.ContinueButton.Visible = true;
  }
}

void TMainForm::ClearMemoClick() {
  m_dialogs.Beep();
  std::string question =
      Sjis("ＵＲＬをすべて削除しようとしています。") + "\r\n" + Sjis("処理を続けますか？");
  if (m_dialogs.MessageDlg(question, MsgDlgType::mtWarning, mbYesNo, 0) != ModalResult::mrYes) {
    return;
  }
  m_form.ContinueButton.Enabled = false;
  m_form.ContinueButton.Visible = false;
  m_settings->ClearItems();
}

void TMainForm::SaveURLClick() {
  const TToraVinIniList& s = *m_settings;
  if (s.Count() == 0) {
    m_dialogs.ShowMessage(Sjis("保存するものがありません。"));
    return;
  }
  std::string text;
  for (int i = 0; i < s.Count(); ++i) {
    text += s.Item(i).Url;
    text += "\r\n";
  }
  std::optional<std::string> path = m_dialogs.SaveFileName(
      Sjis("テキストファイル ( *.TXT )|*.txt|すべてのファイル ( *.* )|*.*"), "txt");
  if (!path) return;
  if (!WriteWholeFile(*path, text)) {
    throw std::runtime_error(Sjis("ファイル ") + *path + Sjis(" を作成できません"));
  }
}

}  // namespace toravin
