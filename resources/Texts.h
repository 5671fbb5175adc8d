// Every text the program shows, UTF-8 here and CP932 in the program; the names
// it uses without showing them are in resources/Names.h.
#pragma once

// A text of the program's own, always Shift-JIS: a type of its own, so that a
// string the system handed over (a path, a typed name) cannot pass for one.
struct ProgramText {
    const char* bytes;
    constexpr operator const char*() const { return bytes; }
};

namespace texts {

// Main window.
constexpr ProgramText kMainCaption = {"Vesperlin-アップデーター"};
constexpr ProgramText kStartUpdate = {"アップデート開始"};
constexpr ProgramText kQuit = {"終了"};
constexpr ProgramText kChangeDestination = {"アップデート先変更"};

// Banner lines, drawn at x = 10 and these y.
struct BannerLine {
    int y;
    ProgramText text;
};
constexpr BannerLine kBannerLines[] = {
    {10, {"『Vesperlin』をお買い求めいただき、まことありがとうございます。"}},
    {30, {"このたびは、不具合により、お客様各位にご迷惑をおかけいたしました"}},
    {50, {"ことを深くお詫び申し上げます。"}},
    {80, {"本プログラムは Win 98/Me にて起動ができない不具合を修正するものです。"}},
    {100, {"Windows 2000/XP では必要ありませんのでご注意ください。"}},
    {130, {"[アップデート開始] ボタンでアップデートを開始します。"}},
};

// Locate dialog.
constexpr ProgramText kLocateCaption = {"インストール先不明"};
constexpr ProgramText kLocateLine1 = {"インストールが正常に行われていないか、ドライブ構成が変更されたなどの理由"};
constexpr ProgramText kLocateLine2 = {"により、ここでインストール先フォルダを指定していただく必要がございます。"};
constexpr ProgramText kLocateLine3 = {"・[自動検索] では多少時間がかかります。"};
constexpr ProgramText kLocateLine4 = {"・固定ディスク（通常のハードディスク）以外にインストールされている場合、"};
constexpr ProgramText kLocateLine5 = {"[手動設定] を行う必要があります。"};
constexpr ProgramText kAutoSearch = {"自動検索"};
constexpr ProgramText kManualSetting = {"手動設定"};
constexpr ProgramText kStopSearch = {"中止"};
constexpr ProgramText kSearchingPrefix = {"検索中 "};
constexpr ProgramText kNotFound = {"ＨＤＤ上にアップデート対象を発見できませんでした。"};

// Folder selection dialog.
constexpr ProgramText kSelectCaption = {"ディレクトリの選択"};
constexpr ProgramText kSelectDrives = {"ドライブ(&R):"};
constexpr ProgramText kSelectFolders = {"ディレクトリ(&D):"};
constexpr ProgramText kSelectFiles = {"ファイル(&F): (*.*)"};
constexpr ProgramText kSelectName = {"ディレクトリ名(&N):"};
constexpr ProgramText kSelectCancel = {"キャンセル"};
constexpr ProgramText kSelectHelp = {"ヘルプ(&H)"};
// The program has no help file: its Help button explains the dialog itself.
constexpr ProgramText kSelectHelpText = {
    "ゲームをインストールしたフォルダを選び、[OK] を押してください。\r\n\r\n"
    "・[ドライブ] でドライブを切り替えます。\r\n"
    "・[ディレクトリ] の一覧で、クリックするとそのフォルダを選び、"
    "ダブルクリックか Enter キーでそのフォルダの中を表示します。\r\n"
    "・[ディレクトリ名] にフォルダのパスを直接入力することもできます。\r\n"
    "・選んだフォルダに MG_DATA.MBL があれば、そこをアップデート先に設定します。"};
constexpr ProgramText kCreateFolderQuestion = {"指定されたディレクトリが存在しません。作成しますか？"};
// A typed folder name the system's code page cannot hold, or too long for a path.
constexpr ProgramText kTypedNameNotInCodePage = {"入力されたフォルダ名には、このシステムで使えない文字が含まれています"};
constexpr ProgramText kTypedNameTooLong = {"入力されたフォルダ名が長すぎます"};

// Message boxes.
constexpr ProgramText kInfoCaption = {"情報"};
constexpr ProgramText kConfirmCaption = {"確認"};
constexpr ProgramText kButtonOk = {"OK"};
constexpr ProgramText kButtonAbort = {"中止(&A)"};
constexpr ProgramText kButtonYes = {"はい(&Y)"};
constexpr ProgramText kButtonNo = {"いいえ(&N)"};
constexpr ProgramText kUpdateDone = {"アップデート完了しました"};

// Errors; %s takes the one name each names.
constexpr ProgramText kKeyNotCreated = {"キー %s の作成に失敗しました"};
constexpr ProgramText kValueNotSet = {"'%s' の設定に失敗しました"};
constexpr ProgramText kValueWrongType = {"'%s' のデータ型が不正です"};
constexpr ProgramText kValueNotRead = {"'%s' の取得に失敗しました"};
constexpr ProgramText kResourceNotFound = {"%s リソースが見つかりません"};
constexpr ProgramText kResourceDamaged = {"%s リソースが壊れています"};
constexpr ProgramText kOutOfMemory = {"メモリストリームの拡大中にメモリが足りなくなりました"};
constexpr ProgramText kCannotCreateFile = {"ファイル %s を作成できません"};
constexpr ProgramText kWriteError = {"ストリームへの書き込みエラー"};
// The new file could not be moved in and the old one not put back: it is
// whole, only under its backup name (%s, the full path).
constexpr ProgramText kOldFileLeftAs = {"ファイルを置き換えられません。元のファイルは %s に残っています"};
constexpr ProgramText kCannotCreateFolder = {"ディレクトリを作成できません"};
constexpr ProgramText kNoInstallFolder = {"インストール先フォルダが設定されていません"};
constexpr ProgramText kWindowNotCreated = {"ウィンドウ %s を作成できません"};

}  // namespace texts
