#pragma once
// Every text the windows show a user, in one place: captions, labels, buttons, hints, menu
// items, column headings and the messages of the error boxes. The program speaks Japanese
// only; a text changed here changes everywhere it appears.
#include <exception>
#include <stdexcept>
#include <string>

namespace tess::texts {

// ---- Main window ----
inline constexpr char16_t kAppTitle[] = u"Tessarine";
// The status panels: two spaces, the count, then these.
inline constexpr char16_t kStatusItemsSuffix[] = u" 個の項目";
inline constexpr char16_t kStatusSelectedSuffix[] = u" 個の項目を選択";
// While the photos' dates come in: two spaces, this, the count done, " / ", the count of all.
inline constexpr char16_t kStatusReadingPrefix[] = u"撮影日時を読み込み中 ";
inline constexpr char16_t kStatusListing[] = u"フォルダを読み込み中…";
inline constexpr char16_t kStatusImportedPrefix[] = u"取り込み済み ";
inline constexpr char16_t kStatusImportedSuffix[] = u" 個";
// A pane's folder is gone (deleted, renamed or its card pulled elsewhere): two spaces,
// this, then the folder.
inline constexpr char16_t kStatusFolderVanishedPrefix[] = u"フォルダが見つかりません: ";
// The selection panel after Enter in the address bar on a path that does not exist.
inline constexpr char16_t kStatusAddressMissingPrefix[] = u"パスが見つかりません: ";
// The placeholder a tree node shows while its sub-folders are read.
inline constexpr char16_t kTreeReadingNode[] = u"読み込み中...";
inline constexpr char16_t kHintRootFolder[] = u"ルートフォルダ設定";
inline constexpr char16_t kHintUp[] = u"一つ上のフォルダ";
inline constexpr char16_t kHintRename[] = u"名前編集";
inline constexpr char16_t kHintCopy[] = u"コピー";
inline constexpr char16_t kHintPaste[] = u"貼り付け";
inline constexpr char16_t kHintDelete[] = u"削除";
inline constexpr char16_t kHintNewFolder[] = u"フォルダ作成";
inline constexpr char16_t kHintRefresh[] = u"最新の情報に更新";
inline constexpr char16_t kHintEject[] = u"安全な取り外し";
inline constexpr char16_t kExifRename[] = u"Exifリネーム";
inline constexpr char16_t kMenuOpen[] = u"開く";
inline constexpr char16_t kMenuOpenWith[] = u"プログラムから開く";
inline constexpr char16_t kMenuProperties[] = u"プロパティ";
inline constexpr char16_t kMenuNewFolder[] = u"フォルダーの新規作成";
inline constexpr char16_t kMenuNewText[] = u"新規 テキスト文書";
inline constexpr char16_t kColumnName[] = u"名前";
inline constexpr char16_t kColumnShotDate[] = u"撮影日時";
inline constexpr char16_t kColumnModel[] = u"カメラのモデル";
inline constexpr char16_t kColumnMake[] = u"カメラの製造元";
inline constexpr char16_t kColumnImported[] = u"取り込み日";
// The names the program gives new files and folders, and copies of a file.
inline constexpr char16_t kListNewFolderName[] = u"新しいフォルダー";
inline constexpr char16_t kTreeNewFolderName[] = u"新しいフォルダ";
inline constexpr char16_t kNewTextDocumentName[] = u"新しいテキスト ドキュメント";
inline constexpr char16_t kCopyNameSuffix[] = u" - コピー";
inline constexpr char16_t kEjectFailedBefore[] = u"ドライブ ";
inline constexpr char16_t kEjectFailedAfter[] = u" を取り外せませんでした。\r\n";
// The shell's own failure codes, which the system's message table would misread.
inline constexpr char16_t kShellSameFile[] = u"コピー元とコピー先のファイルが同じです。";
inline constexpr char16_t kShellInvalidPath[] = u"コピー元またはコピー先のパスが無効です。";
inline constexpr char16_t kShellRootFolder[] = u"ルート フォルダーは移動も名前の変更もできません。";
inline constexpr char16_t kShellIntoSubfolder[] = u"コピー先のフォルダーは、コピー元のフォルダーのサブフォルダーです。";
inline constexpr char16_t kShellPathNotFound[] = u"コピー元またはコピー先のパスが見つかりません。";
inline constexpr char16_t kShellUnknownDestination[] = u"コピー先で不明なエラーが発生しました。";
inline constexpr char16_t kDropOntoSource[] = u"コピー先のフォルダーがコピー元と同じです。";

// ---- Rename dialog and template list editor ----
inline constexpr char16_t kRenameFormCaption[] = u"リネーム画面";
inline constexpr char16_t kListEditFormCaption[] = u"一覧の編集";
inline constexpr char16_t kFolderListCaption[] = u"コピー先一覧の編集";
inline constexpr char16_t kFileListCaption[] = u"ファイル名一覧の編集";
inline constexpr char16_t kBackupListCaption[] = u"バックアップ先一覧の編集";
inline constexpr char16_t kActionCopy[] = u"コピー";
inline constexpr char16_t kActionMove[] = u"移動/リネーム";
inline constexpr char16_t kLabelAction[] = u"動作:";
inline constexpr char16_t kLabelFolder[] = u"コピー先:";
inline constexpr char16_t kLabelFileName[] = u"ファイル名:";
inline constexpr char16_t kLabelBackup[] = u"バックアップ先:";
inline constexpr char16_t kButtonEllipsis[] = u"...";
inline constexpr char16_t kButtonRun[] = u"実行";
inline constexpr char16_t kButtonClose[] = u"閉じる";
inline constexpr char16_t kButtonTest[] = u"テスト";
inline constexpr char16_t kButtonUndo[] = u"元に戻す";
inline constexpr char16_t kCheckIncludeImported[] = u"取り込み済みも含める";
inline constexpr char16_t kCheckEjectWhenDone[] = u"完了後にカードを取り出す";
// The log's last line after a run that filed everything with 完了後にカードを取り出す on:
// the source's drive, and what came of its eject.
inline constexpr char16_t kCardEjected[] = u"カードを取り出しました: ";
inline constexpr char16_t kCardNotEjected[] = u"カードを取り出しませんでした: ";
inline constexpr char16_t kCardEjectFailed[] = u"カードを取り出せませんでした: ";
inline constexpr char16_t kCardNotRemovable[] = u" (取り外せるドライブではありません)";
inline constexpr char16_t kCardInUse[] = u" (ほかのプログラムがドライブのファイルを開いています)";
inline constexpr char16_t kButtonStop[] = u"中止";  // 閉じる while a run goes on
// The dialog's title during a run: the phase, files done of all, " ファイル (", megabytes.
inline constexpr char16_t kPhaseCopying[] = u"コピー中";
inline constexpr char16_t kPhaseVerifying[] = u"検証中";
inline constexpr char16_t kPhaseMoving[] = u"移動中";
inline constexpr char16_t kProgressFiles[] = u" ファイル (";
inline constexpr char16_t kButtonOk[] = u"OK";
inline constexpr char16_t kButtonCancel[] = u"キャンセル";
inline constexpr char16_t kTokenColumnJapanese[] = u"トークン";
inline constexpr char16_t kTokenColumnAscii[] = u"英字";
inline constexpr char16_t kTokenColumnMeaning[] = u"意味";
inline constexpr char16_t kTokenColumnExample[] = u"例";
// A log line for each "@" of a template that starts no token; the run drops such an "@".
inline constexpr char16_t kUnknownToken[] = u"不明なトークン: ";

// ---- The rename run's log ----
inline constexpr char16_t kRunNoFiles[] = u"ファイルが見つかりません。";
// テスト or 実行 pressed again after a real run filed every photo of the dialog's batch.
inline constexpr char16_t kRunBatchDone[] =
    u"この一覧の写真はすべて処理済みです。別の写真を処理するには、この画面を閉じ、ファイル一覧で写真を選んで"
    u"もう一度「Exifリネーム」を押してください。";
inline constexpr char16_t kRunCopiedSuffix[] = u" 個のファイルをコピー/リネームしました。";
inline constexpr char16_t kRunMovedSuffix[] = u" 個のファイルを移動/リネームしました。";
inline constexpr char16_t kRunCopyFailed[] = u"ファイルのコピー/リネームに失敗しました。";
inline constexpr char16_t kRunMoveFailed[] = u"ファイルの移動/リネームに失敗しました。";
inline constexpr char16_t kRunNoShotDate[] = u"撮影日時がないため除外します: ";
inline constexpr char16_t kRunInvalidCharacter[] = u"コピー先に使えない文字があります: ";
inline constexpr char16_t kRunNameTooLong[] = u"コピー先の名前が長すぎます (255 文字まで): ";
inline constexpr char16_t kRunFileInFolderPlace[] = u"コピー先のフォルダの位置にファイルがあります: ";
inline constexpr char16_t kRunCannotCheck[] = u"コピー先を確かめられません: ";
inline constexpr char16_t kRunNoFreeName[] = u"コピー先に空いている名前がありません: ";
inline constexpr char16_t kRunSourceMissing[] = u"コピー元が見つかりません: ";
inline constexpr char16_t kRunAlreadyFiled[] = u"コピー先に同じファイルがあるため除外します: ";
inline constexpr char16_t kRunNotCopied[] = u"コピーできませんでした (コピー元はそのままです): ";
inline constexpr char16_t kRunNotMoved[] = u"移動できませんでした (コピー元はそのままです): ";
inline constexpr char16_t kRunCopiedSourceStays[] = u"コピーされましたがコピー元が残っています: ";
inline constexpr char16_t kRunVerifyFailed[] = u"検証に失敗しました (コピー元はそのままです): ";
inline constexpr char16_t kRunCancelledPrefix[] = u"中止しました: ";
inline constexpr char16_t kRunCancelledSuffix[] = u" 個のファイルは処理されていません";
inline constexpr char16_t kRunNoJournal[] = u"元に戻すための記録を書けません: ";
inline constexpr char16_t kRunSourceGone[] = u"コピー元がほかの処理で移動または削除されました: ";
// Where a pair with a backup failed: the copy at the destination or the one at the backup.
inline constexpr char16_t kRunAtDestination[] = u" [コピー先: ";
inline constexpr char16_t kRunAtBackup[] = u" [バックアップ先: ";
// A backup folder that is the destination folder itself would hold no second copy.
// The test's line under a photo's destination: where its backup goes.
inline constexpr char16_t kRunBackupLine[] = u"バックアップ先: ";
inline constexpr char16_t kRunBackupIsDestination[] = u"バックアップ先がコピー先と同じです: ";
inline constexpr char16_t kRunItself[] = u"コピー元と同じファイルです: ";
inline constexpr char16_t kRunCannotWrite[] = u"コピー先に書き込めません: ";
// The import history's lines: a photo filed by an earlier run, and a history the run goes without.
inline constexpr char16_t kRunImported[] = u"取り込み済みのため除外します: ";
inline constexpr char16_t kRunHistoryBusy[] = u"取り込み履歴がほかのプログラムで使用中のため、履歴なしで続けます: ";
inline constexpr char16_t kRunHistoryFailed[] = u"取り込み履歴を読み書きできないため、履歴なしで続けます: ";
// The reasons a failure line gives, as the system names them.
inline constexpr char16_t kFaultAccessDenied[] = u"アクセスが拒否されました";
inline constexpr char16_t kFaultDiskFull[] = u"ディスクの空き容量が不足しています";
inline constexpr char16_t kFaultWriteProtected[] = u"メディアは書き込み禁止になっています";
inline constexpr char16_t kFaultNotReady[] = u"デバイスの準備ができていません";
// The space check before any file is touched: a volume short of room refuses the run; a
// test names the room each volume needs.
inline constexpr char16_t kSpaceShort[] = u"空き容量が足りません: ";
inline constexpr char16_t kSpaceShortNeeded[] = u" (必要 ";
inline constexpr char16_t kSpaceShortFree[] = u"、空き ";
inline constexpr char16_t kSpaceNeeded[] = u"必要な空き容量: ";
inline constexpr char16_t kSpaceNeededFree[] = u" (空き ";
inline constexpr char16_t kSpaceFreeUnknown[] = u" (空き容量は不明)";

// ---- The summary line at the end of a run's log ----
inline constexpr char16_t kSummaryCount[] = u" 個";
inline constexpr char16_t kSummaryCopy[] = u"コピー";
inline constexpr char16_t kSummaryMove[] = u"移動";
inline constexpr char16_t kSummaryTest[] = u"まとめ (テスト): ";
inline constexpr char16_t kSummaryPlanned[] = u"予定 ";
inline constexpr char16_t kSummary[] = u"まとめ: ";
inline constexpr char16_t kSummaryNumbered[] = u"番号付き ";
inline constexpr char16_t kSummarySidecars[] = u"付属ファイル ";
inline constexpr char16_t kSummaryFiled[] = u"、コピー済み ";
inline constexpr char16_t kSummaryItself[] = u"、コピー元と同じ ";
inline constexpr char16_t kSummaryImported[] = u"、取り込み済み ";
inline constexpr char16_t kSummaryNoMetadata[] = u"Exif情報なし ";
inline constexpr char16_t kSummaryNoDate[] = u"撮影日時なし ";
inline constexpr char16_t kSummaryTrouble[] = u"コピー先に問題 ";
inline constexpr char16_t kSummaryLeftOut[] = u"、除外 ";
inline constexpr char16_t kSummarySeparator[] = u"、";

// ---- Undo ----
inline constexpr char16_t kUndoHeader[] = u"元に戻します: ";
inline constexpr char16_t kUndoRestored[] = u"元の場所に戻しました: ";
inline constexpr char16_t kUndoCopyRemoved[] = u"コピーを削除しました: ";
inline constexpr char16_t kUndoTornRemoved[] = u"途中までのコピーを削除しました: ";
inline constexpr char16_t kUndoChanged[] = u"変更されているため戻しません: ";
inline constexpr char16_t kUndoSourceTaken[] = u"元の場所に別のファイルがあるため戻しません: ";
inline constexpr char16_t kUndoOnlyCopy[] = u"コピー元がないためコピーを残します: ";
inline constexpr char16_t kUndoMissing[] = u"見つかりません: ";
inline constexpr char16_t kUndoNotRestored[] = u"元に戻せませんでした: ";
inline constexpr char16_t kUndoRestoredCount[] = u" 個のファイルを元に戻しました。";
inline constexpr char16_t kUndoKeptCount[] = u" 個のファイルはそのままです。";
inline constexpr char16_t kUndoAlreadyUndone[] = u"この実行はすでに元に戻されています。";
inline constexpr char16_t kUndoNoRun[] = u"元に戻せる実行がありません。";
inline constexpr char16_t kUndoBusy[] = u"この実行はまだ終わっていません。";
inline constexpr char16_t kUndoHeaderFilesSuffix[] = u" 個のファイル";
inline constexpr char16_t kUndoNotTheRuns[] = u"この実行が置いたファイルではないため触れません: ";
inline constexpr char16_t kUndoBackCopyStays[] = u"元の場所に戻しましたが、移動先のファイルを削除できません: ";
inline constexpr char16_t kUndoTemporaryStays[] = u"一時ファイルを削除できません: ";
// What the undo will do, named before it is done: prefix, time, action, count, folder, suffix.
inline constexpr char16_t kUndoAskPrefix[] = u"次の実行を元に戻します: ";
inline constexpr char16_t kUndoAskFolder[] = u" 個のファイル、コピー先 ";
inline constexpr char16_t kUndoAskSuffix[] = u"\r\nこの実行はこの画面で行ったものではありません。元に戻しますか?";
inline constexpr char16_t kUndoNothing[] = u"元に戻せる操作はありません。";
inline constexpr char16_t kCutShortRunLeft[] = u"途中で終わったリネームをそのままにしました。";
inline constexpr char16_t kCutShortRunTemporariesRemoved[] = u" 個の一時ファイルを削除しました。";
// The question at start-up about a run cut short: prefix, time, action, count, suffix.
inline constexpr char16_t kCutShortRunPrefix[] = u"前回のリネーム (";
inline constexpr char16_t kCutShortRunSuffix[] =
    u" 個のファイル) は途中で終わりました。\r\n"
    u"元に戻しますか?\r\n\r\n"
    u"はい: 移動またはコピーされたファイルを元の場所に戻します。\r\n"
    u"いいえ: このままにします。";

// ---- What the template tokens stand for (the editor's token table) ----
inline constexpr char16_t kTokenAt[] = u"@ そのもの";
inline constexpr char16_t kTokenYear4[] = u"撮影年 (4桁)";
inline constexpr char16_t kTokenYear2[] = u"撮影年 (下2桁)";
inline constexpr char16_t kTokenEraShort[] = u"元号 (1文字)";
inline constexpr char16_t kTokenEraFull[] = u"元号";
inline constexpr char16_t kTokenEraYear2[] = u"元号の年 (2桁)";
inline constexpr char16_t kTokenEraYear1[] = u"元号の年";
inline constexpr char16_t kTokenMonth2[] = u"月 (2桁)";
inline constexpr char16_t kTokenMonth1[] = u"月";
inline constexpr char16_t kTokenDay2[] = u"日 (2桁)";
inline constexpr char16_t kTokenDay1[] = u"日";
inline constexpr char16_t kTokenHour2[] = u"時 (2桁)";
inline constexpr char16_t kTokenHour1[] = u"時";
inline constexpr char16_t kTokenMinute2[] = u"分 (2桁)";
inline constexpr char16_t kTokenMinute1[] = u"分";
inline constexpr char16_t kTokenSecond2[] = u"秒 (2桁)";
inline constexpr char16_t kTokenSecond1[] = u"秒";
inline constexpr char16_t kTokenWeekday[] = u"曜日";
inline constexpr char16_t kTokenSeq1[] = u"通し番号";
inline constexpr char16_t kTokenSeq2[] = u"通し番号 (2桁)";
inline constexpr char16_t kTokenSeq3[] = u"通し番号 (3桁)";
inline constexpr char16_t kTokenSeq4[] = u"通し番号 (4桁)";
inline constexpr char16_t kTokenModel[] = u"カメラのモデル";
inline constexpr char16_t kTokenMake[] = u"カメラの製造元";
inline constexpr char16_t kTokenFileName[] = u"元のファイル名 (拡張子なし)";
inline constexpr char16_t kTokenFolderMarker[] = u"元のフォルダのまま (単独で)";
inline constexpr char16_t kTokenFileMarker[] = u"元のファイル名のまま (単独で)";

// ---- Error boxes ----
inline constexpr char16_t kErrorUnexpected[] = u"予期しないエラーが発生しました。";
inline constexpr char16_t kErrorOutOfMemory[] = u"メモリが不足しています。";
inline constexpr char16_t kErrorWindow[] = u"ウィンドウを作成できませんでした。";
// The preview pane's pixel size line: "4000 × 3000 ピクセル".
inline constexpr char16_t kPreviewPixels[] = u" ピクセル";
inline constexpr char16_t kErrorControl[] = u"画面の部品を作成できませんでした。";
inline constexpr char16_t kErrorMenu[] = u"メニューを作成できませんでした。";
inline constexpr char16_t kErrorPicture[] = u"ボタンの画像を作成できませんでした。";
inline constexpr char16_t kErrorTemplateList[] = u"テンプレートの一覧を表示できませんでした。";
// The system gave no text for its error code: this, then the code.
inline constexpr char16_t kErrorCodePrefix[] = u"エラー ";

}  // namespace tess::texts

namespace tess {

// An error raised with a text meant for the user. what() holds the same text in UTF-8.
class EUserError : public std::runtime_error {
 public:
  explicit EUserError(std::u16string text);
  const std::u16string& Text() const { return text_; }

 private:
  std::u16string text_;
};

// What an error box shows for an error that ended a command: the text of an EUserError,
// a Japanese sentence for a lack of memory, and for anything else (whose what() is a
// programmer's English) the general Japanese message.
std::u16string UserErrorText(const std::exception& e);

}  // namespace tess
