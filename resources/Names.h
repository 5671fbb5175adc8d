// Names the program uses but never shows: shared with the game and its
// installer, or asked of the system. UTF-8 here and CP932 in the program.
#pragma once

namespace names {

// Shared with the game's installer: one copy of either runs at a time, and
// both keep the install folder in the same registry value.
constexpr char kMutexName[] = "QRN_SETUP";
constexpr char kRecordKey[] = "Software\\Brackwen";
constexpr char kRecordSubkey[] = "KESTRAVON";
constexpr char kRecordValue[] = "GameDir";

// Window classes: how other programs (and the tests) find the windows.
constexpr char kMainWindowClass[] = "TForm1";
constexpr char kLocateWindowClass[] = "TForm3";
constexpr char kMessageDialogClass[] = "TMessageDialog";

constexpr char kTargetFile[] = "kestravon.exe";
constexpr char kPayloadResource[] = "EXE";
constexpr char kChecksumResource[] = "EXECRC";  // the CRC-32 of the unpacked EXE
constexpr char kMarkerName[] = "MG_DATA.MBL";       // compared upper-cased
constexpr char kMarkerProbe[] = "mg_data.mbl";      // asked of the file system
constexpr char kListPattern[] = "*.*";  // a folder's every entry, joined to the folder

// Named rather than left to the system's default, so that the Japanese texts
// show on a system of any language.
constexpr char kFontFace[] = "ＭＳ Ｐゴシック";

}  // namespace names
