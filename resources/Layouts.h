// Window layouts as data: the window code creates and places controls from these tables.
#pragma once

#include "resources/Names.h"
#include "resources/Texts.h"

// Label: one line, "&" shown as it is, reaching the window's right edge.
// KeyLabel: "&" marks the access key of the control created after it.
// FolderList: owner-drawn, indented by each entry's depth. FileList: greyed.
enum class ControlKind { Button, DefaultButton, Label, KeyLabel, Image, Edit, FolderList, FileList, DropList };

// Sizeable: an ordinary window with minimise, maximise and close boxes, given
// by its outer size. Dialog: a fixed dialog frame with the close box only,
// given by its client size.
enum class Frame { Sizeable, Dialog };

// Controls are listed in creation order, which is also the order Tab walks
// (the layout tests hold the tables to it); tab -1 takes no focus.
struct ControlLayout {
    ControlKind kind;
    int id;
    int x, y, width, height;
    ProgramText caption;
    int tab;
};

struct WindowLayout {
    const char* className;
    ProgramText caption;
    Frame frame;
    int width, height;
    const ControlLayout* controls;
    int controlCount;
};

// Control ids stay clear of IDOK (1) and IDCANCEL (2): the keyboard handling
// sends those for Enter and Esc on their own.
constexpr int kIdMainImage1 = 101;
constexpr int kIdMainButton1 = 102;  // start the update
constexpr int kIdMainButton3 = 103;  // exit
constexpr int kIdMainButton4 = 104;  // change the update destination

constexpr int kIdLocateLabel1 = 301;
constexpr int kIdLocateLabel2 = 302;
constexpr int kIdLocateLabel3 = 303;
constexpr int kIdLocateLabel4 = 304;
constexpr int kIdLocateLabel5 = 305;
constexpr int kIdLocateLabel6 = 306;  // progress line of the search
constexpr int kIdLocateButton1 = 311;  // automatic search / stop
constexpr int kIdLocateButton2 = 312;  // manual setting
constexpr int kIdLocateButton3 = 313;  // exit

// Message boxes: the text, the icon, then one id per button in order.
constexpr int kIdMessageText = 201;
constexpr int kIdMessageIcon = 202;
constexpr int kIdMessageButtonFirst = 210;

constexpr int kBannerWidth = 512;
constexpr int kBannerHeight = 185;

constexpr ControlLayout kMainControls[] = {
    // kind               id              x    y    w             h              caption                    tab
    {ControlKind::Image,  kIdMainImage1,  8,   8,   kBannerWidth, kBannerHeight, {},                        -1},
    {ControlKind::Button, kIdMainButton1, 8,   200, 113,          33,            texts::kStartUpdate,       0},
    {ControlKind::Button, kIdMainButton3, 432, 200, 83,           33,            texts::kQuit,              1},
    {ControlKind::Button, kIdMainButton4, 296, 200, 113,          33,            texts::kChangeDestination, 2},
};

constexpr WindowLayout kMainWindow = {
    names::kMainWindowClass, texts::kMainCaption, Frame::Sizeable, 534, 272,
    kMainControls, sizeof kMainControls / sizeof kMainControls[0],
};

// Label widths are those of their texts in the window font; a label still
// reaches the dialog's right edge, so a longer text (the progress line) is
// cut by the edge and not by the label.
constexpr ControlLayout kLocateControls[] = {
    // kind               id                x    y    w    h   caption                tab
    {ControlKind::Label,  kIdLocateLabel1,  8,   16,  399, 12, texts::kLocateLine1,   -1},
    {ControlKind::Label,  kIdLocateLabel2,  8,   32,  381, 12, texts::kLocateLine2,   -1},
    {ControlKind::Label,  kIdLocateLabel3,  8,   56,  213, 12, texts::kLocateLine3,   -1},
    {ControlKind::Label,  kIdLocateLabel4,  8,   72,  375, 12, texts::kLocateLine4,   -1},
    {ControlKind::Label,  kIdLocateLabel5,  16,  88,  177, 12, texts::kLocateLine5,   -1},
    {ControlKind::Label,  kIdLocateLabel6,  8,   152, 4,   12, {""},                  -1},
    {ControlKind::Button, kIdLocateButton1, 8,   112, 89,  33, texts::kAutoSearch,    0},
    {ControlKind::Button, kIdLocateButton2, 120, 112, 91,  33, texts::kManualSetting, 1},
    {ControlKind::Button, kIdLocateButton3, 328, 112, 81,  33, texts::kQuit,          2},
};

constexpr WindowLayout kLocateWindow = {
    names::kLocateWindowClass, texts::kLocateCaption, Frame::Dialog, 418, 175,
    kLocateControls, sizeof kLocateControls / sizeof kLocateControls[0],
};

// The folder picker runs on the dialog manager, whose own ids for OK and
// Cancel (IDOK, IDCANCEL) make Enter and Esc work; its labels need no id.
constexpr int kIdPickerOk = 1;
constexpr int kIdPickerCancel = 2;
constexpr int kIdPickerLabel = -1;
constexpr int kIdPickerName = 101;    // "ディレクトリ名(&N):" field
constexpr int kIdPickerTree = 102;    // folder tree
constexpr int kIdPickerFiles = 103;   // greyed file list
constexpr int kIdPickerDrives = 104;  // drive list
constexpr int kIdPickerHelp = 105;

// Creation order is tab order, and each label's access key moves the focus to
// the control created after it.
constexpr ControlLayout kPickerControls[] = {
    // kind                      id               x    y    w    h    caption                tab
    {ControlKind::KeyLabel,      kIdPickerLabel,  8,   8,   300, 12,  texts::kSelectName,    -1},
    {ControlKind::Edit,          kIdPickerName,   8,   22,  300, 20,  {""},                  0},
    {ControlKind::KeyLabel,      kIdPickerLabel,  8,   52,  180, 12,  texts::kSelectFolders, -1},
    {ControlKind::FolderList,    kIdPickerTree,   8,   66,  180, 164, {""},                  1},
    {ControlKind::KeyLabel,      kIdPickerLabel,  198, 52,  110, 12,  texts::kSelectFiles,   -1},
    // For orientation only: greyed, never focused.
    {ControlKind::FileList,      kIdPickerFiles,  198, 66,  110, 164, {""},                  -1},
    {ControlKind::KeyLabel,      kIdPickerLabel,  8,   238, 180, 12,  texts::kSelectDrives,  -1},
    // The height is the dropped-down list's.
    {ControlKind::DropList,      kIdPickerDrives, 8,   252, 300, 200, {""},                  2},
    {ControlKind::DefaultButton, kIdPickerOk,     324, 22,  84,  25,  texts::kButtonOk,      3},
    {ControlKind::Button,        kIdPickerCancel, 324, 54,  84,  25,  texts::kSelectCancel,  4},
    {ControlKind::Button,        kIdPickerHelp,   324, 86,  84,  25,  texts::kSelectHelp,    5},
};

// The dialog manager's own window class: no class name of ours.
constexpr WindowLayout kPickerWindow = {
    nullptr, texts::kSelectCaption, Frame::Dialog, 416, 278,
    kPickerControls, sizeof kPickerControls / sizeof kPickerControls[0],
};
