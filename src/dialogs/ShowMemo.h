#pragma once
// The text and log viewer: a read-only view of a text file with optional commands (open, reload,
// font, code page, print, delete the file or a selection, search, jump between sections and
// errors). Shown modally, or without waiting and then kept and reused until the program ends.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/settings/BuConsts.h"
#include "dialogs/ListSelectDlg.h"
#include "winui/ComCtrls.h"
#include "winui/CommonDialogs.h"
#include "winui/Forms.h"

namespace hv {

enum class TShowDlgType : uint8_t { stShow, stModal };
enum class TShowDlgBtn : uint8_t { sbOpen, sbErase, sbPrint, sbSearch, sbSection, sbError, sbFont, sbCodepage };
// A set of TShowDlgBtn: bit = ordinal.
using TShowDlgButtons = uint8_t;
constexpr TShowDlgButtons Btn(TShowDlgBtn b) { return static_cast<TShowDlgButtons>(1u << static_cast<unsigned>(b)); }
constexpr TShowDlgButtons kLogButtons = 253, kMailLogButtons = 15;

// How a text file is stored: the code page (1200 UTF-16LE, 1201 UTF-16BE) and a byte-order mark.
struct TTextEncoding {
  UINT CodePage = 0;
  bool Bom = false;
  bool operator==(const TTextEncoding&) const = default;
};

// Bytes of a text file to text. codePage >= 1 is used as it stands (its byte-order mark skipped),
// else the mark decides, else the ANSI code page. Zero characters are dropped after decoding.
// failed: the code page cannot decode (the text is then decoded with the ANSI code page).
std::wstring DecodeTextBytes(std::string_view bytes, UINT codePage, TTextEncoding& encoding, bool& failed);
// Text to the bytes of a file in that encoding (with its mark when it had one).
std::string EncodeTextBytes(std::wstring_view text, const TTextEncoding& encoding);
// Start of what in text searched down from from (or up, ending at or before from); npos: none.
size_t FindInText(std::wstring_view text, std::wstring_view what, size_t from, bool down, bool matchCase,
                  bool wholeWord);

class TShowTextDialog : public TForm {
 public:
  TShowTextDialog();
  ~TShowTextDialog() override;

  TPanel pnTop;
  TButton OpenBtn, UpdateBtn, FontBtn, EncBtn, PrintBtn, DeleteBtn, SearchBtn, PrevSectBtn, NextSectBtn, PrevErrBtn,
      NextErrBtn, EndeBtn;
  TMemo Memo;
  TStatusBar StatusBar;
  TFindDialog FindDialog;
  TOpenDialog OpenDialog;
  TFontDialog FontDialog;
  TPrintDialog PrintDialog;

  // False when the file does not exist (an error box was shown).
  bool Execute(std::wstring_view title, std::wstring_view textDatei, std::wstring_view prevCap1,
               std::wstring_view nextCap1, std::wstring_view srchText1, std::wstring_view prevCap2,
               std::wstring_view nextCap2, std::wstring_view srchText2, std::wstring_view filter, TPoint aPos,
               int line, TShowDlgType dlgType, TShowDlgButtons buttons, const TPrinterSettings& prtSettings,
               int codePage);
  void LoadViewSettings(std::wstring_view aIniName);
  void ReloadText();
  bool LoadTextFile(std::wstring_view name = {});
  void LoadText(std::wstring_view name = {});
  // Searches the memo from the selection; true with the hit selected.
  bool SearchMemo(bool scroll, std::wstring_view text, unsigned options, bool reverse);
  void NextSection(bool down);
  void NextError(bool down);
  // Removes the selection and saves the text in the encoding the file was read with.
  bool DeleteSelection();
  // The lines the print command prints.
  std::vector<std::wstring> PrintLines(bool selectedOnly) const;
  void PrintText(bool selectedOnly);
  void ChooseCodePage(int number);
  void ShowCodePageList();

  const std::wstring& TextName() const { return FTextName; }
  const std::wstring& Title() const { return FTitle; }
  int CodePage() const { return FCodePage; }
  const TTextEncoding& Encoding() const { return FEncoding; }
  TShowDlgType DlgType() const { return FDlgType; }
  TPrinterSettings PrinterSettings;
  const std::vector<std::pair<std::wstring, UINT>>& CodePageList() const { return FCodePageList; }
  TListSelectDialog* ListSelectDialog() const { return FListSelectDialog.get(); }
  // The last text of the memo's font: name, points, style bits (fsBold ...).
  std::wstring MemoFontName = L"Courier New";
  int MemoFontSize = 10;
  unsigned MemoFontStyle = 0;
  void ApplyMemoFont();
  // Lines of the text; an empty line after a final line break does not count.
  int TextLineCount() const;
  void Relayout(UINT dpi) override;

 protected:
  void FormCreate() override;
  void FormShow() override;
  void FormClose() override;
  bool FormKeyDown(WORD key, bool shift, bool ctrl, bool alt) override;
  void OnSize(int width, int height) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void ArrangeButtons(TShowDlgButtons buttons);
  void UpdateStatus();
  void SetFileCaption();
  void FindNext(bool reverse);
  void Jump(const std::wstring& text, bool down, const std::wstring& noneText, bool showEnd);
  void DeleteBtnClick();
  void PrintBtnClick();
  void OpenBtnClick();
  void FontBtnClick();
  void SaveViewSettings();
  bool SaveText(const std::wstring& text);
  void SelectPrinter();
  TPoint ConfirmPos() const;

  int FLPos = 0;
  std::wstring FIniName, FTitle, FFilter, FSectText, FErrText, FTextName;
  bool FPosFromIni = false;
  TShowDlgType FDlgType = TShowDlgType::stModal;
  int FLWidth = 0;
  int FCodePage = 0;
  TTextEncoding FEncoding;
  bool FLfOnly = false;
  std::vector<std::pair<std::wstring, UINT>> FCodePageList;
  std::unique_ptr<TListSelectDialog> FListSelectDialog;
};

// Reads the printer settings from a section; the viewer's INI file becomes iniName.
TPrinterSettings LoadPrinterSettings(std::wstring_view iniName, std::wstring_view section);
// Writes them back under the same keys; raises EWriteError.
void SavePrinterSettings(std::wstring_view iniName, std::wstring_view section, const TPrinterSettings& settings);

// Shows a file in the viewer. stShow uses the kept viewer (made on first use); stModal runs an own
// instance and frees it. APos (0,-1) reads and writes no view settings. False: file not found.
bool ShowTextFileEx(std::wstring_view title, std::wstring_view textDatei, std::wstring_view prevCap1,
                    std::wstring_view nextCap1, std::wstring_view srchText1, std::wstring_view prevCap2,
                    std::wstring_view nextCap2, std::wstring_view srchText2, std::wstring_view filter, TPoint aPos,
                    int line, TShowDlgType dlgType, TShowDlgButtons buttons, const TPrinterSettings& prtSettings,
                    int codePage);
bool ShowTextFile(std::wstring_view title, std::wstring_view fileName, TPoint aPos, TShowDlgType dlgType,
                  TShowDlgButtons buttons, const TPrinterSettings& prtSettings, bool atEnd, int codePage);
// The viewer the application keeps (null before the first stShow call).
TShowTextDialog* KeptViewer();

}  // namespace hv
