// Every text the program shows, UTF-8 here and CP932 in the program; the names
// it uses without showing them are in resources/Names.h.
#pragma once

namespace texts {

// Main window.
constexpr char kMainCaption[] = "Vesperlin-アップデーター";
constexpr char kStartUpdate[] = "アップデート開始";
constexpr char kQuit[] = "終了";
constexpr char kChangeDestination[] = "アップデート先変更";

// Banner lines, drawn at x = 10 and these y.
struct BannerLine {
    int y;
    const char* text;
};
constexpr BannerLine kBannerLines[] = {
    {10, "『Vesperlin』をお買い求めいただき、まことありがとうございます。"},
    {30, "このたびは、不具合により、お客様各位にご迷惑をおかけいたしました"},
    {50, "ことを深くお詫び申し上げます。"},
    {80, "本プログラムは Win 98/Me にて起動ができない不具合を修正するものです。"},
    {100, "Windows 2000/XP では必要ありませんのでご注意ください。"},
    {130, "[アップデート開始] ボタンでアップデートを開始します。"},
};

// Locate dialog.
constexpr char kLocateCaption[] = "インストール先不明";
constexpr char kLocateLine1[] = "インストールが正常に行われていないか、ドライブ構成が変更されたなどの理由";
constexpr char kLocateLine2[] = "により、ここでインストール先フォルダを指定していただく必要がございます。";
constexpr char kLocateLine3[] = "・[自動検索] では多少時間がかかります。";
constexpr char kLocateLine4[] = "・固定ディスク（通常のハードディスク）以外にインストールされている場合、";
constexpr char kLocateLine5[] = "[手動設定] を行う必要があります。";
constexpr char kAutoSearch[] = "自動検索";
constexpr char kManualSetting[] = "手動設定";
constexpr char kStopSearch[] = "中止";
constexpr char kSearchingPrefix[] = "検索中 ";
constexpr char kNotFound[] = "ＨＤＤ上にアップデート対象を発見できませんでした。";

// Folder selection dialog.
constexpr char kSelectCaption[] = "ディレクトリの選択";
constexpr char kSelectDrives[] = "ドライブ(&R):";
constexpr char kSelectFolders[] = "ディレクトリ(&D):";
constexpr char kSelectFiles[] = "ファイル(&F): (*.*)";
constexpr char kSelectName[] = "ディレクトリ名(&N):";
constexpr char kSelectCancel[] = "キャンセル";
constexpr char kSelectHelp[] = "ヘルプ(&H)";
// The program has no help file: its Help button explains the dialog itself.
constexpr char kSelectHelpText[] =
    "ゲームをインストールしたフォルダを選び、[OK] を押してください。\r\n\r\n"
    "・[ドライブ] でドライブを切り替えます。\r\n"
    "・[ディレクトリ] の一覧で、クリックするとそのフォルダを選び、"
    "ダブルクリックか Enter キーでそのフォルダの中を表示します。\r\n"
    "・[ディレクトリ名] にフォルダのパスを直接入力することもできます。\r\n"
    "・選んだフォルダに MG_DATA.MBL があれば、そこをアップデート先に設定します。";
constexpr char kCreateFolderQuestion[] = "指定されたディレクトリが存在しません。作成しますか？";
// A typed folder name the system's code page cannot hold, or too long for a path.
constexpr char kTypedNameNotInCodePage[] = "入力されたフォルダ名には、このシステムで使えない文字が含まれています";
constexpr char kTypedNameTooLong[] = "入力されたフォルダ名が長すぎます";

// Message boxes.
constexpr char kInfoCaption[] = "情報";
constexpr char kConfirmCaption[] = "確認";
constexpr char kButtonOk[] = "OK";
constexpr char kButtonAbort[] = "中止(&A)";
constexpr char kButtonYes[] = "はい(&Y)";
constexpr char kButtonNo[] = "いいえ(&N)";
constexpr char kUpdateDone[] = "アップデート完了しました";

// Errors; %s takes the one name each names.
constexpr char kKeyNotCreated[] = "キー %s の作成に失敗しました";
constexpr char kValueNotSet[] = "'%s' の設定に失敗しました";
constexpr char kValueWrongType[] = "'%s' のデータ型が不正です";
constexpr char kValueNotRead[] = "'%s' の取得に失敗しました";
constexpr char kResourceNotFound[] = "%s リソースが見つかりません";
constexpr char kResourceDamaged[] = "%s リソースが壊れています";
constexpr char kOutOfMemory[] = "メモリストリームの拡大中にメモリが足りなくなりました";
constexpr char kCannotCreateFile[] = "ファイル %s を作成できません";
constexpr char kWriteError[] = "ストリームへの書き込みエラー";
// The new file could not be moved in and the old one not put back: it is
// whole, only under its backup name (%s, the full path).
constexpr char kOldFileLeftAs[] = "ファイルを置き換えられません。元のファイルは %s に残っています";
constexpr char kCannotCreateFolder[] = "ディレクトリを作成できません";
constexpr char kNoInstallFolder[] = "インストール先フォルダが設定されていません";
constexpr char kWindowNotCreated[] = "ウィンドウ %s を作成できません";

}  // namespace texts
