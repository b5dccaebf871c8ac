// The options pages as a user works them: what each page shows for the
// stored settings, how its controls follow one another, and what its save
// writes, including typed and stored values out of range.
#include "testlib.h"
#include "options/optionstest.h"
#include "options.h"
#include "resource.h"
#include "settings.h"
#include "phone.h"
#include <commctrl.h>
#include <string.h>
#include <commdlg.h>

// What an action saw while the sheet was open.
struct SeenRecord {
    BOOL Checked[16], Enabled[16];
    long Numbers[16];
    int Count;
    WCHAR Texts[8][300];
    COLORREF Pixel;
};
static SeenRecord Seen;

static void SeeBox(HWND page, int id, int slot)
{
    Seen.Checked[slot] = IsChecked(page, id);
    Seen.Enabled[slot] = IsEnabled(page, id);
}

// ---- General ---------------------------------------------------------------------

static const WCHAR *ArrangedPath;
static void ArrangePath() { SetSettingString(L"FileOnAction", ArrangedPath); }

static void SeeActionList(HWND sheet)
{
    HWND page = ShowPage(sheet, GeneralPage);
    HWND list = GetDlgItem(page, IDC_ACTION_LIST);
    Seen.Count = (int)SendMessageW(list, CB_GETCOUNT, 0, 0);
    Seen.Numbers[0] = (long)SendMessageW(list, CB_GETCURSEL, 0, 0);
    for (int i = 0; i < Seen.Count && i < 8; i++)
        SendMessageW(list, CB_GETLBTEXT, i, (LPARAM)Seen.Texts[i]);
    SeeBox(page, IDC_TAP_AND_HOLD, 0);
    SeeBox(page, IDC_ACTION_BROWSE, 1);
    PressOk(sheet);
}

static void test_general_action_list()
{
    ArrangedPath = L"\\WINDOWS\\Clock.exe";
    ArrangeSettings(ArrangePath);
    RunSheet(SeeActionList);
    ok_int(Seen.Count, 3);
    ok_int(Seen.Numbers[0], 1);
    ok_wstr(Seen.Texts[0], L"No action");
    ok_wstr(Seen.Texts[1], L"Clock & Alarms settings");
    ok_wstr(Seen.Texts[2], L"File or shortcut from My Documents");
    ok(!Seen.Enabled[1], "no file to browse for");
    // The stored spelling is the user's: neither the opening nor the save
    // rewrites it.
    ok_wstr(ClockSettings.FileOnAction, L"\\WINDOWS\\Clock.exe");
    ok_wstr(StoredFileOnAction(), L"\\WINDOWS\\Clock.exe");

    ArrangedPath = L"\\My Documents\\Notes.lnk";
    ArrangeSettings(ArrangePath);
    RunSheet(SeeActionList);
    ok_int(Seen.Count, 4);
    ok_int(Seen.Numbers[0], 3);
    ok_wstr(Seen.Texts[3], L"\\My Documents\\Notes.lnk");
    ok(Seen.Enabled[1], "browse enabled");
    ok_wstr(StoredFileOnAction(), L"\\My Documents\\Notes.lnk");

    // A path that only a locale-aware compare would take for the clock
    // (a soft hyphen inside) is the user's own file and is kept.
    ArrangedPath = L"\\Windows\\clo\u00ADck.exe";
    ArrangeSettings(ArrangePath);
    RunSheet(SeeActionList);
    ok_int(Seen.Count, 4);
    ok_int(Seen.Numbers[0], 3);
    ok(wcscmp(StoredFileOnAction(), L"\\Windows\\clo\u00ADck.exe") == 0, "kept: \"%ls\"", StoredFileOnAction());

    // A path with variables keeps its type through the page.
    ArrangeSettings([] {
        const WCHAR path[] = L"%ProgramFiles%\\Notes.lnk";
        RegSetKeyValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"FileOnAction", REG_EXPAND_SZ, path, sizeof(path));
    });
    RunSheet(SeeActionList);
    ok_int(Seen.Numbers[0], 3);
    WCHAR kept[64] = L"";
    DWORD type = 0, size = sizeof(kept);
    RegGetValueW(HKEY_CURRENT_USER, SETTINGS_KEY, L"FileOnAction", RRF_RT_ANY | RRF_NOEXPAND, &type, kept, &size);
    ok_int(type, REG_EXPAND_SZ);
    ok(wcscmp(kept, L"%ProgramFiles%\\Notes.lnk") == 0, "kept \"%ls\"", kept);

    ArrangedPath = L"";
    ArrangeSettings(ArrangePath);
    SetSetting(L"TapAndHoldEnabled", 1);
    ArrangeSettings([] { SetSettingString(L"FileOnAction", L""); SetSetting(L"TapAndHoldEnabled", 1); });
    RunSheet(SeeActionList);
    ok_int(Seen.Numbers[0], 0);
    ok(!Seen.Checked[0] && !Seen.Enabled[0], "tap-and-hold unchecked and disabled");
    ok_int(StoredSetting(L"TapAndHoldEnabled"), 0);
    ok_wstr(StoredFileOnAction(), L"");
}

static void ChooseFileEntryWithoutFile(HWND sheet)
{
    HWND page = ShowPage(sheet, GeneralPage);
    ChooseListEntry(page, IDC_ACTION_LIST, 2);
    SeeBox(page, IDC_TAP_AND_HOLD, 0);
    SeeBox(page, IDC_ACTION_BROWSE, 1);
    Click(page, IDC_TAP_AND_HOLD);
    PressOk(sheet);
}

static void ChooseNoAction(HWND sheet)
{
    HWND page = ShowPage(sheet, GeneralPage);
    ChooseListEntry(page, IDC_ACTION_LIST, 0);
    SeeBox(page, IDC_TAP_AND_HOLD, 0);
    SeeBox(page, IDC_ACTION_BROWSE, 1);
    PressOk(sheet);
}

static void test_general_entries_and_tap_and_hold()
{
    ArrangeSettings([] { SetSettingString(L"FileOnAction", L""); });
    RunSheet(ChooseFileEntryWithoutFile);
    ok(Seen.Enabled[0] && Seen.Enabled[1], "entry 2 enables tap-and-hold and browse");
    ok_wstr(StoredFileOnAction(), L"");
    ok_int(StoredSetting(L"TapAndHoldEnabled"), 0);

    ArrangeSettings([] { SetSetting(L"TapAndHoldEnabled", 1); });
    RunSheet(ChooseNoAction);
    ok(!Seen.Checked[0] && !Seen.Enabled[0] && !Seen.Enabled[1], "no action: box and browse disabled");
    ok_wstr(StoredFileOnAction(), L"");
    ok_int(StoredSetting(L"TapAndHoldEnabled"), 0);
}

static void ChooseClockFromFile(HWND sheet)
{
    HWND page = ShowPage(sheet, GeneralPage);
    ChooseListEntry(page, IDC_ACTION_LIST, 1);
    SeeBox(page, IDC_TAP_AND_HOLD, 0);
    SeeBox(page, IDC_ACTION_BROWSE, 1);
    PressOk(sheet);
}

static void ChooseClockFromNothing(HWND sheet)
{
    HWND page = ShowPage(sheet, GeneralPage);
    SeeBox(page, IDC_TAP_AND_HOLD, 2);
    ChooseListEntry(page, IDC_ACTION_LIST, 1);
    SeeBox(page, IDC_TAP_AND_HOLD, 0);
    SeeBox(page, IDC_ACTION_BROWSE, 1);
    Click(page, IDC_TAP_AND_HOLD);
    PressOk(sheet);
}

// The clock entry: tap-and-hold can be used, there is no file to browse
// for, and the clock program's path is saved as written.
static void test_general_clock_entry()
{
    ArrangeSettings([] {
        SetSettingString(L"FileOnAction", L"\\My Documents\\Notes.lnk");
        SetSetting(L"TapAndHoldEnabled", 1);
    });
    RunSheet(ChooseClockFromFile);
    ok(Seen.Checked[0] && Seen.Enabled[0] && !Seen.Enabled[1], "clock: box kept and enabled, browse disabled");
    ok_wstr(StoredFileOnAction(), L"\\Windows\\clock.exe");
    ok_wstr(ClockSettings.FileOnAction, L"\\Windows\\clock.exe");
    ok_int(StoredSetting(L"TapAndHoldEnabled"), 1);

    ArrangeSettings([] { SetSettingString(L"FileOnAction", L""); });
    RunSheet(ChooseClockFromNothing);
    ok(!Seen.Enabled[2], "no action: tap-and-hold disabled");
    ok(Seen.Enabled[0] && !Seen.Checked[0] && !Seen.Enabled[1], "clock: tap-and-hold enabled, browse disabled");
    ok_wstr(StoredFileOnAction(), L"\\Windows\\clock.exe");
    ok_int(StoredSetting(L"TapAndHoldEnabled"), 1);
}

static const WCHAR *ChosenPaths[3];

static void BrowseThrice(HWND sheet)
{
    HWND page = ShowPage(sheet, GeneralPage);
    ChooseListEntry(page, IDC_ACTION_LIST, 2);
    for (const WCHAR *path : ChosenPaths) {
        Chooser.NextPath = path;
        Click(page, IDC_ACTION_BROWSE);
    }
    HWND list = GetDlgItem(page, IDC_ACTION_LIST);
    Seen.Count = (int)SendMessageW(list, CB_GETCOUNT, 0, 0);
    Seen.Numbers[0] = (long)SendMessageW(list, CB_GETCURSEL, 0, 0);
    Click(page, IDC_TAP_AND_HOLD);
    PressOk(sheet);
}

static void test_general_file_chooser()
{
    ArrangeSettings(NULL);
    Chooser = ChooserRecord();
    ChosenPaths[0] = L"C:\\My Documents\\First.txt";
    ChosenPaths[1] = L"C:\\My Documents\\Second.lnk";
    ChosenPaths[2] = NULL;   // cancelled: nothing changes
    RunSheet(BrowseThrice);
    ok_int(Chooser.Calls, 3);
    ok_int(Seen.Count, 4);
    ok_int(Seen.Numbers[0], 3);
    ok_int(Chooser.Flags, OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
    ok_int(Chooser.MaxFile, 260);
    ok_int(Chooser.FilterIndex, 1);
    ok(memcmp(Chooser.Filter, L"All Files\0*.*\0", 15 * sizeof(WCHAR)) == 0, "filter \"%ls\" \"%ls\"",
       Chooser.Filter, Chooser.Filter + lstrlenW(Chooser.Filter) + 1);
    // Saved as chosen.
    ok_wstr(StoredFileOnAction(), L"C:\\My Documents\\Second.lnk");
    ok_int(StoredSetting(L"TapAndHoldEnabled"), 1);

    // The longest path the chooser can return.
    static WCHAR longPath[260];
    for (int i = 0; i < 259; i++)
        longPath[i] = L'a' + i % 26;
    longPath[0] = L'C', longPath[1] = L':', longPath[2] = L'\\';
    longPath[259] = 0;
    ArrangeSettings(NULL);
    ChosenPaths[0] = longPath;
    ChosenPaths[1] = NULL;
    RunSheet(BrowseThrice);
    ok_int(lstrlenW(StoredFileOnAction()), 259);
    ok_wstr(StoredFileOnAction(), longPath);
    ok_wstr(ClockSettings.FileOnAction, longPath);
    Chooser.NextPath = NULL;
}

static const WCHAR *TypedBorder;

static void TypeBorder(HWND sheet)
{
    HWND page = ShowPage(sheet, GeneralPage);
    TypeText(page, IDC_BORDER_EDIT, TypedBorder);
    Seen.Numbers[0] = ControlNumber(page, IDC_BORDER_EDIT);
    PressOk(sheet);
}

static void test_general_border()
{
    struct { const WCHAR *typed; DWORD saved; } cases[] = {{L"999", 500}, {L"12", 12}, {L"500", 500}, {L"", 0}};
    for (auto &c : cases) {
        ArrangeSettings([] { SetSetting(L"VerticalBorderHeight", 7); });
        TypedBorder = c.typed;
        RunSheet(TypeBorder);
        ok(StoredSetting(L"VerticalBorderHeight") == c.saved, "typed \"%ls\": saved %lu, expected %lu", c.typed,
           StoredSetting(L"VerticalBorderHeight"), c.saved);
    }
    // The edit holds three digits at most.
    TypedBorder = L"1234";
    ArrangeSettings(NULL);
    RunSheet(TypeBorder);
    ok_int(StoredSetting(L"VerticalBorderHeight"), 123);
}

// ---- Day/Date ------------------------------------------------------------------------

static const int DayDateIds[] = {IDC_HIDE_DAYDATE, IDC_SHORT_DATE, IDC_OPERATOR_NAME, IDC_ALIGN_CENTER,
                                 IDC_ALIGN_DAY_LEFT, IDC_ALIGN_DAY_RIGHT, IDC_ALIGN_GROUP};

static void SeeDayDate(HWND page)
{
    for (int i = 0; i < 7; i++)
        SeeBox(page, DayDateIds[i], i);
}

static void OpenDayDate(HWND sheet)
{
    SeeDayDate(ShowPage(sheet, DayDatePage));
    PressOk(sheet);
}

static void SetPhoneStatus(DWORD status)
{
    SetRegDword(HKEY_LOCAL_MACHINE, L"System\\State\\Phone", L"Status", status);
}

static WCHAR SavedLongDate[80];

static void SetLongDate(const WCHAR *format)
{
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, format);
}

static void test_daydate_alignment_and_operator()
{
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, SavedLongDate, ARRAYSIZE(SavedLongDate));
    SetLongDate(L"MMMM d, yyyy");
    SetPhoneStatus(0x20);

    // Stored 5 reads as centred and saves 1.
    ArrangeSettings([] { SetSetting(L"CenterDayDate", 5); SetSetting(L"ShowOpName", 1); });
    RunSheet(OpenDayDate);
    ok(Seen.Checked[3] && !Seen.Checked[4] && !Seen.Checked[5], "centre checked");
    ok(!Seen.Checked[2] && !Seen.Enabled[2], "operator name needs a side alignment");
    ok_int(StoredSetting(L"CenterDayDate"), 1);
    ok_int(StoredSetting(L"ShowOpName"), 0);
    ok(PhoneKey == NULL, "phone key closed after the save");

    // Day left with a phone radio: the operator name can be used.
    ArrangeSettings([] { SetSetting(L"CenterDayDate", 0); SetSetting(L"ShowOpName", 1); });
    RunSheet(OpenDayDate);
    ok(Seen.Checked[4] && !Seen.Checked[3] && Seen.Enabled[4] && Seen.Enabled[5], "day left");
    ok(Seen.Checked[2] && Seen.Enabled[2], "operator name kept");
    ok_int(StoredSetting(L"CenterDayDate"), 0);
    ok_int(StoredSetting(L"ShowOpName"), 1);

    // No phone radio: the operator name is off whatever the alignment.
    SetPhoneStatus(0);
    ArrangeSettings([] { SetSetting(L"CenterDayDate", 2); SetSetting(L"ShowOpName", 1); });
    RunSheet(OpenDayDate);
    ok(Seen.Checked[5], "day right");
    ok(!Seen.Checked[2] && !Seen.Enabled[2], "no radio, no operator name");
    ok_int(StoredSetting(L"ShowOpName"), 0);
    ok_int(StoredSetting(L"CenterDayDate"), 2);
    SetPhoneStatus(0x20);

    // A long date that names the day centres the line.
    SetLongDate(L"dddd, MMMM dd, yyyy");
    ArrangeSettings([] { SetSetting(L"CenterDayDate", 0); SetSetting(L"ShowOpName", 1); });
    RunSheet(OpenDayDate);
    ok(Seen.Checked[3] && !Seen.Checked[4] && !Seen.Enabled[4] && !Seen.Enabled[5], "centred by the long date");
    ok(Seen.Checked[2] && Seen.Enabled[2], "stored alignment 0 leaves the operator box at opening");
    ok_int(StoredSetting(L"CenterDayDate"), 1);

    // Short date: the long date does not matter.
    ArrangeSettings([] { SetSetting(L"CenterDayDate", 2); SetSetting(L"ShowShortDate", 1); });
    RunSheet(OpenDayDate);
    ok(Seen.Checked[1] && Seen.Checked[5] && Seen.Enabled[5], "short date keeps day right");
    ok_int(StoredSetting(L"ShowShortDate"), 1);
    SetLongDate(SavedLongDate);
}

static void ToggleShortDate(HWND sheet)
{
    HWND page = ShowPage(sheet, DayDatePage);
    SeeDayDate(page);
    Click(page, IDC_SHORT_DATE);   // unchecked: the long date names the day
    for (int i = 0; i < 6; i++)
        SeeBox(page, DayDateIds[i], 8 + i);
    Click(page, IDC_SHORT_DATE);   // checked again: the sides come back
    Seen.Numbers[0] = IsEnabled(page, IDC_ALIGN_DAY_LEFT) && IsEnabled(page, IDC_ALIGN_DAY_RIGHT);
    Seen.Numbers[1] = IsChecked(page, IDC_ALIGN_CENTER);
    Seen.Numbers[2] = IsEnabled(page, IDC_OPERATOR_NAME);
    PressOk(sheet);
}

// A long date that names its day ("dddd, ..."): unchecking "Use short
// date" centres the line and takes the operator name away; checking it
// again frees the side alignments but keeps the centre chosen.
static void test_daydate_short_date_with_named_day()
{
    SetLongDate(L"dddd, MMMM dd, yyyy");
    SetPhoneStatus(0x20);
    ArrangeSettings([] {
        SetSetting(L"ShowShortDate", 1);
        SetSetting(L"CenterDayDate", 0);
        SetSetting(L"ShowOpName", 1);
    });
    RunSheet(ToggleShortDate);
    ok(Seen.Checked[1] && Seen.Checked[4] && Seen.Enabled[4] && Seen.Checked[2] && Seen.Enabled[2],
       "short date, day left, operator name at opening");
    ok(!Seen.Checked[9], "short date unchecked");
    ok(Seen.Checked[11] && !Seen.Checked[12] && !Seen.Enabled[12] && !Seen.Checked[13] && !Seen.Enabled[13],
       "centred, sides unchecked and disabled");
    ok(!Seen.Checked[10] && !Seen.Enabled[10], "operator name unchecked and disabled");
    ok_int(Seen.Numbers[0], 1);
    ok_int(Seen.Numbers[1], 1);
    ok_int(Seen.Numbers[2], 0);
    ok_int(StoredSetting(L"ShowShortDate"), 1);
    ok_int(StoredSetting(L"CenterDayDate"), 1);
    ok_int(StoredSetting(L"ShowOpName"), 0);

    // The longest long date the page reads whole (59 characters) still
    // names its day at its very end.
    SetLongDate(L"'The date is, as written out in full for this line:' d dddd");
    ArrangeSettings([] { SetSetting(L"CenterDayDate", 0); });
    RunSheet(OpenDayDate);
    ok(Seen.Checked[3] && !Seen.Enabled[4], "a 59-character long date centres the line");

    // Without "ddd" the long date changes nothing.
    SetLongDate(L"MMMM d, yyyy");
    ArrangeSettings([] {
        SetSetting(L"ShowShortDate", 1);
        SetSetting(L"CenterDayDate", 2);
        SetSetting(L"ShowOpName", 1);
    });
    RunSheet(ToggleShortDate);
    ok(!Seen.Checked[11] && Seen.Checked[13] && Seen.Enabled[13] && Seen.Enabled[12], "day right kept");
    ok(Seen.Checked[10] && Seen.Enabled[10], "operator name kept");
    ok_int(StoredSetting(L"CenterDayDate"), 2);
    ok_int(StoredSetting(L"ShowOpName"), 1);
    SetLongDate(SavedLongDate);
}

static void HideAndShow(HWND sheet)
{
    HWND page = ShowPage(sheet, DayDatePage);
    SeeDayDate(page);
    Click(page, IDC_HIDE_DAYDATE);   // unchecked: all enabled again
    Seen.Numbers[0] = IsEnabled(page, IDC_SHORT_DATE) && IsEnabled(page, IDC_ALIGN_DAY_LEFT);
    Click(page, IDC_HIDE_DAYDATE);   // checked: everything off, the group box too
    Seen.Numbers[1] = IsEnabled(page, IDC_ALIGN_GROUP) || IsEnabled(page, IDC_SHORT_DATE);
    Click(page, IDC_HIDE_DAYDATE);
    Click(page, IDC_ALIGN_DAY_RIGHT);
    Seen.Numbers[2] = IsEnabled(page, IDC_OPERATOR_NAME);
    Click(page, IDC_ALIGN_CENTER);
    Seen.Numbers[3] = IsEnabled(page, IDC_OPERATOR_NAME);
    Click(page, IDC_ALIGN_DAY_LEFT);
    Click(page, IDC_OPERATOR_NAME);
    PressOk(sheet);
}

static void test_daydate_hidden_line()
{
    SetLongDate(L"MMMM d, yyyy");
    SetPhoneStatus(0x20);
    ArrangeSettings([] { SetSetting(L"ShowDayDate", 0); });
    RunSheet(HideAndShow);
    ok(Seen.Checked[0], "hide checked");
    for (int i = 1; i < 6; i++)
        ok(!Seen.Enabled[i], "control %d disabled while hidden", DayDateIds[i]);
    ok(Seen.Enabled[6], "group box stays enabled at opening");
    ok_int(Seen.Numbers[0], 1);
    ok_int(Seen.Numbers[1], 0);
    ok_int(Seen.Numbers[2], 1);
    ok_int(Seen.Numbers[3], 0);
    ok_int(StoredSetting(L"ShowDayDate"), 1);
    ok_int(StoredSetting(L"CenterDayDate"), 0);
    ok_int(StoredSetting(L"ShowOpName"), 1);
    SetLongDate(SavedLongDate);
}

// ---- Time and Font Size ----------------------------------------------------------------

static void OpenTime(HWND sheet)
{
    HWND page = ShowPage(sheet, TimePage);
    SeeBox(page, IDC_MARKERS_SAME_LINE, 0);
    SeeBox(page, IDC_SHOW_MARKERS, 1);
    PressOk(sheet);
}

// The largest marker size that still stacks beside 38-point digits: 15
// points is 20 of 51 pixels at 96 dpi (40 % is 20) and 40 of 101 at 192
// (40 % is 40); 16 points is 21 and 43.
static const DWORD LargestStackedMarker = 15;

static DWORD ArrangedMarker;

static void test_time_marker_rule()
{
    ArrangedMarker = 9;
    ArrangeSettings([] { SetSetting(L"TimeMarkerFontSize", ArrangedMarker); });
    RunSheet(OpenTime);
    ok(!Seen.Checked[0] && Seen.Enabled[0], "9-point markers stack");
    ok_int(StoredSetting(L"SingleTMLine"), 0);

    ArrangedMarker = LargestStackedMarker + 1;
    ArrangeSettings([] { SetSetting(L"TimeMarkerFontSize", ArrangedMarker); });
    RunSheet(OpenTime);
    ok(Seen.Checked[0] && !Seen.Enabled[0], "%lu-point markers forced onto the line", ArrangedMarker);
    ok_int(StoredSetting(L"SingleTMLine"), 1);

    ArrangedMarker = LargestStackedMarker;
    ArrangeSettings([] {
        SetSetting(L"TimeMarkerFontSize", ArrangedMarker);
        SetSetting(L"ShowTimeMarkers", 0);
        SetSetting(L"SingleTMLine", 1);
    });
    RunSheet(OpenTime);
    ok(Seen.Checked[0] && !Seen.Enabled[0] && !Seen.Checked[1], "no markers: box disabled, check kept");
    ok_int(StoredSetting(L"SingleTMLine"), 1);
    ok_int(StoredSetting(L"ShowTimeMarkers"), 0);
}

static void ToggleMarkers(HWND sheet)
{
    HWND page = ShowPage(sheet, TimePage);
    Click(page, IDC_SHOW_MARKERS);
    SeeBox(page, IDC_MARKERS_SAME_LINE, 0);
    Click(page, IDC_SHOW_MARKERS);
    SeeBox(page, IDC_MARKERS_SAME_LINE, 1);
    PressOk(sheet);
}

// "Show time markers" off disables the single-line box; on again enables
// it, unless the markers are too tall to stack, when it stays checked and
// disabled.
static void test_time_markers_box()
{
    ArrangeSettings([] { SetSetting(L"ShowTimeMarkers", 1); SetSetting(L"SingleTMLine", 0); });
    RunSheet(ToggleMarkers);
    ok(!Seen.Enabled[0] && !Seen.Checked[0], "markers off: single line disabled");
    ok(Seen.Enabled[1] && !Seen.Checked[1], "markers on: single line enabled, unchecked");
    ok_int(StoredSetting(L"ShowTimeMarkers"), 1);
    ok_int(StoredSetting(L"SingleTMLine"), 0);

    ArrangeSettings([] { SetSetting(L"ShowTimeMarkers", 1); SetSetting(L"TimeMarkerFontSize", LargestStackedMarker + 1); });
    RunSheet(ToggleMarkers);
    ok(!Seen.Enabled[0] && Seen.Checked[0], "too tall, markers off: checked, disabled");
    ok(!Seen.Enabled[1] && Seen.Checked[1], "too tall, markers on: still checked and disabled");
    ok_int(StoredSetting(L"SingleTMLine"), 1);
}

static void GrowMarkersWithTimeOpen(HWND sheet)
{
    HWND time = ShowPage(sheet, TimePage);
    HWND fonts = ShowPage(sheet, FontSizePage);
    WCHAR text[8];
    wsprintfW(text, L"%lu", LargestStackedMarker + 1);
    TypeText(fonts, IDC_MARKER_EDIT, text);
    SeeBox(time, IDC_MARKERS_SAME_LINE, 0);
    PressArrow(fonts, IDC_MARKER_EDIT, -1);
    SeeBox(time, IDC_MARKERS_SAME_LINE, 1);
    // Smaller digits make the same markers too tall.
    for (int i = 0; i < 3; i++)
        PressArrow(fonts, IDC_HOURMIN_EDIT, -1);
    Seen.Numbers[0] = ControlNumber(fonts, IDC_HOURMIN_EDIT);
    Seen.Numbers[1] = ControlNumber(fonts, IDC_MARKER_EDIT);
    SeeBox(time, IDC_MARKERS_SAME_LINE, 2);
    PressOk(sheet);
}

static void test_marker_rule_across_pages()
{
    ArrangeSettings(NULL);
    RunSheet(GrowMarkersWithTimeOpen);
    ok(Seen.Checked[0] && !Seen.Enabled[0], "too tall: checked and disabled at once");
    ok(Seen.Checked[1] && Seen.Enabled[1], "fits again: enabled, check kept");
    ok_int(Seen.Numbers[0], 35);
    ok_int(Seen.Numbers[1], LargestStackedMarker);
    // 35-point digits are 47 pixels at 96 dpi (40 %: 18) and 93 at 192
    // (37): 15-point markers (20 and 40 pixels) no longer stack.
    ok(Seen.Checked[2] && !Seen.Enabled[2], "smaller digits: too tall");
    ok_int(StoredSetting(L"SingleTMLine"), 1);
    ok_int(StoredSetting(L"HourMinFontSize"), 35);
    ok_int(StoredSetting(L"TimeMarkerFontSize"), LargestStackedMarker);
}

static void TypeDigits(HWND sheet)
{
    HWND page = ShowPage(sheet, FontSizePage);
    SendDlgItemMessageW(page, IDC_HOURMIN_EDIT, EM_SETSEL, 0, -1);
    TypeChar(page, IDC_HOURMIN_EDIT, L'4');
    Seen.Numbers[0] = ControlNumber(page, IDC_SECOND_EDIT);
    Seen.Numbers[1] = ControlNumber(page, IDC_MARKER_EDIT);
    Seen.Enabled[0] = IsEnabled(page, IDC_SECOND_EDIT);
    TypeChar(page, IDC_HOURMIN_EDIT, L'2');
    Seen.Numbers[2] = ControlNumber(page, IDC_HOURMIN_EDIT);
    Seen.Numbers[3] = ControlNumber(page, IDC_SECOND_EDIT);
    Seen.Numbers[4] = ControlNumber(page, IDC_MARKER_EDIT);
    Seen.Enabled[1] = IsEnabled(page, IDC_SECOND_EDIT);
    // A first digit of 7 with 9-point markers brings them down to 7.
    TypeText(page, IDC_MARKER_EDIT, L"9");
    SendDlgItemMessageW(page, IDC_HOURMIN_EDIT, EM_SETSEL, 0, -1);
    TypeChar(page, IDC_HOURMIN_EDIT, L'7');
    Seen.Numbers[5] = ControlNumber(page, IDC_MARKER_EDIT);
    TypeChar(page, IDC_HOURMIN_EDIT, L'0');
    PressOk(sheet);
}

static void test_font_sizes_typed_digit_by_digit()
{
    ArrangeSettings(NULL);
    RunSheet(TypeDigits);
    ok_int(Seen.Numbers[0], 16);
    ok_int(Seen.Numbers[1], 6);
    ok(!Seen.Enabled[0], "seconds disabled under 16-point digits");
    ok_int(Seen.Numbers[2], 42);
    ok_int(Seen.Numbers[3], 16);
    ok_int(Seen.Numbers[4], 6);
    ok(Seen.Enabled[1], "seconds enabled again");
    ok_int(Seen.Numbers[5], 7);
    ok_int(StoredSetting(L"HourMinFontSize"), 70);
    ok_int(StoredSetting(L"SecondFontSize"), 16);
    ok_int(StoredSetting(L"TimeMarkerFontSize"), 7);
}

static void PressArrows(HWND sheet)
{
    HWND page = ShowPage(sheet, FontSizePage);
    PressArrow(page, IDC_HOURMIN_EDIT, +1);
    Seen.Numbers[0] = ControlNumber(page, IDC_HOURMIN_EDIT);
    Seen.Numbers[1] = ControlNumber(page, IDC_SECOND_EDIT);
    Seen.Numbers[2] = ControlNumber(page, IDC_MARKER_EDIT);
    PressArrow(page, IDC_HOURMIN_EDIT, -1);
    PressArrow(page, IDC_HOURMIN_EDIT, -1);
    Seen.Numbers[3] = ControlNumber(page, IDC_SECOND_EDIT);
    PressArrow(page, IDC_HOURMIN_EDIT, -1);
    Seen.Numbers[4] = ControlNumber(page, IDC_HOURMIN_EDIT);
    Seen.Numbers[5] = ControlNumber(page, IDC_SECOND_EDIT);
    // The seconds arrows stop at the hour/minute size.
    PressArrow(page, IDC_SECOND_EDIT, +1);
    Seen.Numbers[6] = ControlNumber(page, IDC_SECOND_EDIT);
    // And the hour/minute arrows at 16.
    for (int i = 0; i < 12; i++)
        PressArrow(page, IDC_HOURMIN_EDIT, -1);
    Seen.Numbers[7] = ControlNumber(page, IDC_HOURMIN_EDIT);
    Seen.Numbers[8] = ControlNumber(page, IDC_MARKER_EDIT);
    Seen.Enabled[0] = IsEnabled(page, IDC_SECOND_EDIT) || IsEnabled(page, IDC_SECOND_SPIN);
    PressOk(sheet);
}

static void test_font_sizes_by_arrows()
{
    ArrangeSettings([] { SetSetting(L"HourMinFontSize", 27); });
    RunSheet(PressArrows);
    ok_int(Seen.Numbers[0], 28);
    ok_int(Seen.Numbers[1], 26);
    ok_int(Seen.Numbers[2], 9);
    ok_int(Seen.Numbers[3], 26);
    ok_int(Seen.Numbers[4], 25);
    ok_int(Seen.Numbers[5], 25);
    ok_int(Seen.Numbers[6], 25);
    ok_int(Seen.Numbers[7], 16);
    ok_int(Seen.Numbers[8], 9);
    ok(!Seen.Enabled[0], "seconds disabled at 16");
    ok_int(StoredSetting(L"HourMinFontSize"), 16);
    ok_int(StoredSetting(L"SecondFontSize"), 16);
    ok_int(StoredSetting(L"TimeMarkerFontSize"), 9);
}

static const WCHAR *TypedSizes[3];

static void TypeSizes(HWND sheet)
{
    HWND page = ShowPage(sheet, FontSizePage);
    TypeText(page, IDC_HOURMIN_EDIT, TypedSizes[0]);
    TypeText(page, IDC_SECOND_EDIT, TypedSizes[1]);
    TypeText(page, IDC_MARKER_EDIT, TypedSizes[2]);
    PressOk(sheet);
}

static void test_font_sizes_saved_in_range()
{
    struct { const WCHAR *typed[3]; DWORD saved[3]; } cases[] = {
        {{L"99", L"99", L"99"}, {99, 99, 99}},
        {{L"50", L"70", L"9"}, {50, 50, 9}},
        {{L"5", L"", L"1"}, {16, 16, 6}},
        {{L"", L"", L""}, {16, 16, 6}},
    };
    for (auto &c : cases) {
        ArrangeSettings(NULL);
        memcpy(TypedSizes, c.typed, sizeof(TypedSizes));
        RunSheet(TypeSizes);
        ok(StoredSetting(L"HourMinFontSize") == c.saved[0] && StoredSetting(L"SecondFontSize") == c.saved[1] &&
               StoredSetting(L"TimeMarkerFontSize") == c.saved[2],
           "typed \"%ls\" \"%ls\" \"%ls\": saved %lu %lu %lu", c.typed[0], c.typed[1], c.typed[2],
           StoredSetting(L"HourMinFontSize"), StoredSetting(L"SecondFontSize"),
           StoredSetting(L"TimeMarkerFontSize"));
    }
}

static DWORD StoredSizes[3];
static void ArrangeSizes()
{
    SetSetting(L"HourMinFontSize", StoredSizes[0]);
    SetSetting(L"SecondFontSize", StoredSizes[1]);
    SetSetting(L"TimeMarkerFontSize", StoredSizes[2]);
}

static void SeeSizes(HWND sheet)
{
    HWND page = ShowPage(sheet, FontSizePage);
    Seen.Numbers[0] = ControlNumber(page, IDC_HOURMIN_EDIT);
    Seen.Numbers[1] = ControlNumber(page, IDC_SECOND_EDIT);
    Seen.Numbers[2] = ControlNumber(page, IDC_MARKER_EDIT);
    SeeBox(page, IDC_SECOND_EDIT, 0);
    SeeBox(page, IDC_SECOND_SPIN, 1);
    PressOk(sheet);
}

// Visiting the page and pressing OK keeps what the face shows: a stored
// size above the page's largest is shown and saved as that largest, and
// the other sizes stay. The seconds size can be edited as the page opens
// unless the hour/minute size shown is the lowest, 16.
static void test_font_sizes_stored_beyond_the_page()
{
    struct { DWORD stored[3], shown[3]; BOOL secondsEditable; } cases[] = {
        {{120, 26, 9}, {99, 26, 9}, TRUE},
        {{100, 100, 100}, {99, 99, 99}, TRUE},
        {{255, 60, 70}, {99, 60, 70}, TRUE},
        {{70000, 20, 9}, {99, 20, 9}, TRUE},
        {{38, 26, 9}, {38, 26, 9}, TRUE},
        {{17, 16, 9}, {17, 16, 9}, TRUE},
        {{16, 16, 9}, {16, 16, 9}, FALSE},
        {{0, 0, 0}, {16, 16, 6}, FALSE},
    };
    for (auto &c : cases) {
        memcpy(StoredSizes, c.stored, sizeof(StoredSizes));
        ArrangeSettings(ArrangeSizes);
        RunSheet(SeeSizes);
        for (int i = 0; i < 3; i++) {
            DWORD saved = StoredSetting(i == 0 ? L"HourMinFontSize" : i == 1 ? L"SecondFontSize" : L"TimeMarkerFontSize");
            ok(Seen.Numbers[i] == (long)c.shown[i] && saved == c.shown[i],
               "stored %lu %lu %lu: size %d shown %ld, saved %lu, expected %lu", c.stored[0], c.stored[1],
               c.stored[2], i, Seen.Numbers[i], saved, c.shown[i]);
        }
        ok(Seen.Enabled[0] == c.secondsEditable && Seen.Enabled[1] == c.secondsEditable,
           "stored %lu: seconds edit %d, arrows %d, expected %d", c.stored[0], Seen.Enabled[0], Seen.Enabled[1],
           c.secondsEditable);
    }
}

// ---- Color ------------------------------------------------------------------------------

static const int ColorIds[] = {IDC_THEME_COLORS,     IDC_DEFAULT_GROUP,      IDC_DEFAULT_RED_EDIT,
                               IDC_DEFAULT_BLUE_SPIN, IDC_HIGHLIGHT_GROUP,    IDC_HIGHLIGHT_RED_EDIT,
                               IDC_HIGHLIGHT_BLUE_SPIN, IDC_DEFAULT_SWATCH,  IDC_HIGHLIGHT_SWATCH};

// A colour as the screen keeps it: 5, 6 and 5 bits of red, green and blue
// on a 16-bit screen, each read back with its top bits repeated below.
static COLORREF OnScreen(COLORREF colour)
{
    HDC screen = GetDC(NULL);
    int bits = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(NULL, screen);
    if (bits != 16)
        return colour;
    BYTE r = GetRValue(colour) >> 3, g = GetGValue(colour) >> 2, b = GetBValue(colour) >> 3;
    return RGB((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

static COLORREF SwatchCentre(HWND page, int id)
{
    HWND swatch = GetDlgItem(page, id);
    RedrawWindow(swatch, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    RECT rect;
    GetClientRect(swatch, &rect);
    HDC dc = GetDC(swatch);
    COLORREF color = GetPixel(dc, rect.right / 2, rect.bottom / 2);
    ReleaseDC(swatch, dc);
    return color;
}

static void OpenColor(HWND sheet)
{
    HWND page = ShowPage(sheet, ColorPage);
    for (int i = 0; i < 9; i++)
        SeeBox(page, ColorIds[i], i);
    Seen.Numbers[0] = ControlNumber(page, IDC_DEFAULT_RED_EDIT);
    Seen.Numbers[1] = ControlNumber(page, IDC_DEFAULT_GREEN_EDIT);
    Seen.Numbers[2] = ControlNumber(page, IDC_DEFAULT_BLUE_EDIT);
    Seen.Numbers[3] = ControlNumber(page, IDC_HIGHLIGHT_RED_EDIT);
    Seen.Numbers[4] = (long)SwatchCentre(page, IDC_DEFAULT_SWATCH);
    Seen.Numbers[5] = (long)SwatchCentre(page, IDC_HIGHLIGHT_SWATCH);
    PressOk(sheet);
}

static DWORD ArrangedScheme;
static void ArrangeScheme()
{
    SetSetting(L"TextColorEnabled", ArrangedScheme);
    SetSetting(L"TextColorDefault", 0x00336699);
    SetSetting(L"TextColorHighlight", 0x00102030);
}

static void test_color_schemes_as_opened()
{
    ArrangedScheme = 0;
    ArrangeSettings(ArrangeScheme);
    RunSheet(OpenColor);
    ok(Seen.Checked[0], "theme box checked");
    for (int i = 1; i < 7; i++)
        ok(!Seen.Enabled[i], "scheme 0: control %d disabled", ColorIds[i]);
    ok(Seen.Enabled[7] && Seen.Enabled[8], "swatches enabled");
    ok_int(Seen.Numbers[0], 0x99);
    ok_int(Seen.Numbers[1], 0x66);
    ok_int(Seen.Numbers[2], 0x33);
    ok_int(Seen.Numbers[4], OnScreen(0x00336699));
    ok_int(Seen.Numbers[5], OnScreen(0x00102030));
    static const WCHAR *const themeOnly[] = {L"HideTimeInSleep", L"FileOnAction", L"TapAndHoldEnabled",
                                             L"VerticalBorderHeight", L"TextColorEnabled", L"QZL", NULL};
    ok(WritesWere(themeOnly), "scheme 0 writes only the scheme");

    ArrangedScheme = 1;
    ArrangeSettings(ArrangeScheme);
    RunSheet(OpenColor);
    ok(!Seen.Checked[0], "theme box unchecked");
    for (int i = 1; i < 7; i++)
        ok(Seen.Enabled[i], "scheme 1: control %d enabled", ColorIds[i]);
    ok_int(StoredSetting(L"TextColorDefault"), 0x00336699);
    ok_int(StoredSetting(L"TextColorHighlight"), 0x00102030);

    ArrangedScheme = 2;
    ArrangeSettings(ArrangeScheme);
    RunSheet(OpenColor);
    ok(!Seen.Checked[0], "scheme 2: theme box unchecked");
    for (int i = 1; i < 7; i++)
        ok(!Seen.Enabled[i], "scheme 2: control %d disabled", ColorIds[i]);
    ok_int(StoredSetting(L"TextColorEnabled"), 2);
    ok_int(StoredSetting(L"TextColorDefault"), 0x00336699);
    ok_int(StoredSetting(L"TextColorHighlight"), 0x00102030);

    ArrangedScheme = 3;
    ArrangeSettings(ArrangeScheme);
    RunSheet(OpenColor);
    ok(!Seen.Enabled[1] && !Seen.Enabled[2] && Seen.Enabled[4] && Seen.Enabled[5], "scheme 3: highlight only");
    ok_int(StoredSetting(L"TextColorEnabled"), 3);
}

static void EditHighlightOnly(HWND sheet)
{
    HWND page = ShowPage(sheet, ColorPage);
    TypeText(page, IDC_HIGHLIGHT_RED_EDIT, L"300");
    Seen.Numbers[0] = (long)SwatchCentre(page, IDC_HIGHLIGHT_SWATCH);
    TypeText(page, IDC_DEFAULT_GREEN_EDIT, L"1");   // disabled for the user; ignored at save
    PressOk(sheet);
}

static void test_color_highlight_scheme_edit()
{
    ArrangedScheme = 3;
    ArrangeSettings(ArrangeScheme);
    RunSheet(EditHighlightOnly);
    ok_int(Seen.Numbers[0], 0x001020FF);
    ok_int(StoredSetting(L"TextColorHighlight"), 0x001020FF);
    ok_int(StoredSetting(L"TextColorDefault"), 0x00336699);
    ok_int(StoredSetting(L"TextColorEnabled"), 3);
}

static void ToggleTheme(HWND sheet)
{
    HWND page = ShowPage(sheet, ColorPage);
    Click(page, IDC_THEME_COLORS);
    for (int i = 0; i < 7; i++)
        SeeBox(page, ColorIds[i], i);
    TypeText(page, IDC_DEFAULT_RED_EDIT, L"300");
    TypeText(page, IDC_DEFAULT_BLUE_EDIT, L"7");
    Seen.Numbers[0] = (long)SwatchCentre(page, IDC_DEFAULT_SWATCH);
    PressOk(sheet);
}

static void ToggleThemeTwice(HWND sheet)
{
    HWND page = ShowPage(sheet, ColorPage);
    Click(page, IDC_THEME_COLORS);
    Click(page, IDC_THEME_COLORS);
    PressOk(sheet);
}

static void test_color_theme_box()
{
    ArrangedScheme = 0;
    ArrangeSettings(ArrangeScheme);
    RunSheet(ToggleTheme);
    ok(!Seen.Checked[0], "box unchecked");
    for (int i = 1; i < 7; i++)
        ok(Seen.Enabled[i], "control %d enabled", ColorIds[i]);
    ok_int(Seen.Numbers[0], OnScreen(0x000766FF));
    ok_int(StoredSetting(L"TextColorEnabled"), 1);
    ok_int(StoredSetting(L"TextColorDefault"), 0x000766FF);
    ok_int(StoredSetting(L"TextColorHighlight"), 0x00102030);
    ok_int(ClockSettings.TextColorDefault, 0x000766FF);

    // From scheme 2: checking the box writes only the scheme.
    ArrangedScheme = 2;
    ArrangeSettings(ArrangeScheme);
    RunSheet(ToggleThemeTwice);   // 2 -> on (0) -> off (1)
    ok_int(StoredSetting(L"TextColorEnabled"), 1);
    ArrangeSettings(ArrangeScheme);
    RunSheet(ToggleTheme);
    ArrangeSettings(ArrangeScheme);
    RunSheet(ToggleThemeTwice);
    ok_int(StoredSetting(L"TextColorEnabled"), 1);
    ArrangedScheme = 1;
    ArrangeSettings(ArrangeScheme);
    RunSheet([](HWND sheet) {
        Click(ShowPage(sheet, ColorPage), IDC_THEME_COLORS);
        PressOk(sheet);
    });
    static const WCHAR *const themeOnly[] = {L"HideTimeInSleep", L"FileOnAction", L"TapAndHoldEnabled",
                                             L"VerticalBorderHeight", L"TextColorEnabled", L"QZL", NULL};
    ok(WritesWere(themeOnly), "checking the theme box writes only the scheme");
    ok_int(StoredSetting(L"TextColorEnabled"), 0);
}

static void test_color_bytes_above_255_stored()
{
    ArrangeSettings([] {
        SetSetting(L"TextColorEnabled", 1);
        SetSetting(L"TextColorDefault", 0x01FFFFFF);
        SetSetting(L"TextColorHighlight", 0xFF00FF00);
    });
    RunSheet(OpenColor);
    ok_int(Seen.Numbers[0], 255);
    ok_int(Seen.Numbers[3], 255);
    ok_int(StoredSetting(L"TextColorDefault"), 0x00FFFFFF);
    ok_int(StoredSetting(L"TextColorHighlight"), 0x00FFFFFF);
}

// ---- Background -----------------------------------------------------------------------

static const int BackgroundLabels[] = {IDC_DAYDATE_ALPHA_LABEL, IDC_DAYDATE_GREY_LABEL, IDC_TIME_ALPHA_LABEL,
                                       IDC_TIME_GREY_LABEL};
static const int BackgroundBars[] = {IDC_DAYDATE_ALPHA_BAR, IDC_DAYDATE_GREY_BAR, IDC_TIME_ALPHA_BAR,
                                     IDC_TIME_GREY_BAR};
static const int BackgroundBoxes[] = {IDC_DAYDATE_ALPHA_BOX, IDC_DAYDATE_GREY_BOX, IDC_TIME_ALPHA_BOX,
                                      IDC_TIME_GREY_BOX};

static void SeeBackground(HWND page)
{
    for (int i = 0; i < 4; i++) {
        SeeBox(page, BackgroundBoxes[i], i);
        Seen.Enabled[4 + i] = IsEnabled(page, BackgroundBars[i]) && IsEnabled(page, BackgroundLabels[i]);
        Seen.Numbers[i] = (long)SendDlgItemMessageW(page, BackgroundBars[i], TBM_GETPOS, 0, 0);
        GetDlgItemTextW(page, BackgroundLabels[i], Seen.Texts[i], ARRAYSIZE(Seen.Texts[i]));
    }
}

static void OpenBackground(HWND sheet)
{
    SeeBackground(ShowPage(sheet, BackgroundPage));
    PressOk(sheet);
}

static void test_background_as_opened()
{
    ArrangeSettings(NULL);
    RunSheet(OpenBackground);
    for (int i = 0; i < 4; i++)
        ok(!Seen.Checked[i] && !Seen.Enabled[4 + i], "part %d unchecked and disabled", i);
    ok_int(Seen.Numbers[0], 102);
    ok_wstr(Seen.Texts[0], L"40%");
    ok_int(Seen.Numbers[1], 0);
    ok_wstr(Seen.Texts[1], L"0%");
    ok_int(Seen.Numbers[2], 45);
    ok_wstr(Seen.Texts[2], L"18%");
    static const WCHAR *const overridesOnly[] = {L"HideTimeInSleep", L"FileOnAction", L"TapAndHoldEnabled",
                                                 L"VerticalBorderHeight", L"OverrideARGB", L"QZL", NULL};
    ok(WritesWere(overridesOnly), "only OverrideARGB written");
    ok_int(StoredSetting(L"OverrideARGB"), 0);

    // Mixed bytes open at their mean; bits above the four groups go at save.
    ArrangeSettings([] {
        SetSetting(L"AlphaDayDate", 0xFF102030);
        SetSetting(L"AlphaTime", 0x00FFFFFE);
        SetSetting(L"OverrideARGB", 0xABCD0F0F);
    });
    RunSheet(OpenBackground);
    ok(!Seen.Checked[0] && Seen.Checked[1] && !Seen.Checked[2] && Seen.Checked[3], "boxes follow the groups");
    ok(!Seen.Enabled[4] && Seen.Enabled[5] && !Seen.Enabled[6] && Seen.Enabled[7], "bars follow the boxes");
    ok_int(Seen.Numbers[0], 255);
    ok_wstr(Seen.Texts[0], L"100%");
    ok_int(Seen.Numbers[1], 32);
    ok_int(Seen.Numbers[3], 255);
    ok_int(StoredSetting(L"OverrideARGB"), 0x0F0F);
    ok_int(StoredSetting(L"AlphaDayDate"), 0xFF202020);
    ok_int(StoredSetting(L"AlphaTime"), 0x00FFFFFF);
}

static void TakeTimeGrey(HWND sheet)
{
    HWND page = ShowPage(sheet, BackgroundPage);
    Click(page, IDC_TIME_GREY_BOX);
    MoveTrackBar(page, IDC_TIME_GREY_BAR, 128);
    MoveTrackBar(page, IDC_TIME_ALPHA_BAR, 255);   // disabled for the user; its box is off
    SeeBackground(page);
    Click(page, IDC_DAYDATE_ALPHA_BOX);
    Click(page, IDC_DAYDATE_ALPHA_BOX);
    Seen.Enabled[8] = IsEnabled(page, IDC_DAYDATE_ALPHA_BAR);
    PressOk(sheet);
}

static void test_background_time_grey()
{
    ArrangeSettings(NULL);
    RunSheet(TakeTimeGrey);
    ok(Seen.Checked[3] && Seen.Enabled[7], "time grey taken over");
    ok_wstr(Seen.Texts[3], L"50%");
    ok(!Seen.Enabled[8], "unchecked again: bar disabled");
    ok_int(StoredSetting(L"OverrideARGB"), 0x000F);
    ok_int(StoredSetting(L"AlphaTime"), 0x2D808080);
    ok(!SettingStored(L"AlphaDayDate"), "day/date cell not written");
    ok_int(ClockSettings.AlphaTime, 0x2D808080);
}

static void TakeBothParts(HWND sheet)
{
    HWND page = ShowPage(sheet, BackgroundPage);
    Click(page, IDC_DAYDATE_ALPHA_BOX);
    Click(page, IDC_DAYDATE_GREY_BOX);
    MoveTrackBar(page, IDC_DAYDATE_ALPHA_BAR, 200);
    MoveTrackBar(page, IDC_DAYDATE_GREY_BAR, 64);
    Click(page, IDC_TIME_ALPHA_BOX);
    Click(page, IDC_TIME_GREY_BOX);
    MoveTrackBar(page, IDC_TIME_ALPHA_BAR, 0);
    MoveTrackBar(page, IDC_TIME_GREY_BAR, 255);
    SeeBackground(page);
    PressOk(sheet);
}

// Both boxes of a cell: opacity and grey are taken together, over whatever
// the three colour bytes held.
static void test_background_both_parts()
{
    ArrangeSettings([] { SetSetting(L"AlphaDayDate", 0x66102030); });
    RunSheet(TakeBothParts);
    ok_wstr(Seen.Texts[0], L"78%");
    ok_wstr(Seen.Texts[1], L"25%");
    ok_wstr(Seen.Texts[2], L"0%");
    ok_wstr(Seen.Texts[3], L"100%");
    ok_int(StoredSetting(L"OverrideARGB"), 0xFFFF);
    ok_int(StoredSetting(L"AlphaDayDate"), 0xC8404040);
    ok_int(StoredSetting(L"AlphaTime"), 0x00FFFFFF);
    ok_int(ClockSettings.AlphaDayDate, 0xC8404040);
    ok_int(ClockSettings.AlphaTime, 0x00FFFFFF);
}

// ---- ClearType and About ---------------------------------------------------------------

static void FlipClearType(HWND sheet)
{
    HWND page = ShowPage(sheet, ClearTypePage);
    SeeBox(page, IDC_CLEARTYPE_DAYDATE, 0);
    SeeBox(page, IDC_CLEARTYPE_TIME, 1);
    Click(page, IDC_CLEARTYPE_DAYDATE);
    Click(page, IDC_CLEARTYPE_TIME);
    PressOk(sheet);
}

static void test_cleartype()
{
    ArrangeSettings([] { SetSetting(L"ClearTypeDayDateEnabled", 7); });
    RunSheet(FlipClearType);
    ok(Seen.Checked[0] && !Seen.Checked[1], "boxes as stored");
    ok_int(StoredSetting(L"ClearTypeDayDateEnabled"), 0);
    ok_int(StoredSetting(L"ClearTypeTimeEnabled"), 1);
    // And each the other way.
    ArrangeSettings([] { SetSetting(L"ClearTypeTimeEnabled", 1); });
    RunSheet(FlipClearType);
    ok(!Seen.Checked[0] && Seen.Checked[1], "boxes as stored");
    ok_int(StoredSetting(L"ClearTypeDayDateEnabled"), 1);
    ok_int(StoredSetting(L"ClearTypeTimeEnabled"), 0);
}

// Paints a magenta marker over the whole page and has the page redrawn.
static void PaintMarkerAndRedraw(HWND page)
{
    RECT client;
    GetClientRect(page, &client);
    HDC dc = GetDC(page);
    HBRUSH marker = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(dc, &client, marker);
    DeleteObject(marker);
    ReleaseDC(page, dc);
    RedrawWindow(page, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// Each page's bottom row, clear of its controls, after a redraw over a
// marker: a page that claims the messages it leaves to the dialog (the
// erase among them) keeps the marker.
static void RedrawEveryPage(HWND sheet)
{
    for (int i = 0; i < OPTIONS_PAGE_COUNT; i++) {
        HWND page = ShowPage(sheet, i);
        PaintMarkerAndRedraw(page);
        RECT client;
        GetClientRect(page, &client);
        HDC dc = GetDC(page);
        Seen.Numbers[i] = (long)GetPixel(dc, client.right / 2, client.bottom - 2);
        ReleaseDC(page, dc);
    }
    PressOk(sheet);
}

static void test_pages_redraw_their_background()
{
    ArrangeSettings(NULL);
    RunSheet(RedrawEveryPage);
    for (int i = 0; i < OPTIONS_PAGE_COUNT; i++)
        ok(Seen.Numbers[i] == (long)RGB(255, 255, 255), "page %d: bottom row 0x%06lx after a redraw", i,
           Seen.Numbers[i]);
}

static void TapWebAddress(HWND sheet)
{
    HWND page = ShowPage(sheet, AboutPage);
    GetDlgItemTextW(page, IDC_ABOUT_NAME, Seen.Texts[0], 300);
    GetDlgItemTextW(page, IDC_ABOUT_VERSION, Seen.Texts[1], 300);
    GetDlgItemTextW(page, IDC_ABOUT_WEB, Seen.Texts[2], 300);
    HWND web = GetDlgItem(page, IDC_ABOUT_WEB);
    // The web address: menu-text colour on white; the other statics keep
    // the dialog's background.
    HDC dc = GetDC(web);
    SetTextColor(dc, RGB(1, 2, 3));
    Seen.Numbers[0] = SendMessageW(page, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)web) == (LRESULT)GetStockObject(WHITE_BRUSH);
    Seen.Numbers[1] = (long)GetTextColor(dc);
    HWND name = GetDlgItem(page, IDC_ABOUT_NAME);
    Seen.Numbers[2] = SendMessageW(page, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)name) == (LRESULT)GetStockObject(WHITE_BRUSH);
    ReleaseDC(web, dc);
    // A redraw over a painted marker brings back the web address's white.
    PaintMarkerAndRedraw(page);
    dc = GetDC(web);
    Seen.Pixel = GetPixel(dc, 0, 0);
    ReleaseDC(web, dc);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_WEB, STN_CLICKED), (LPARAM)web);
    Seen.Enabled[0] = IsWindowVisible(sheet);
    PressOk(sheet);
}

static void test_about()
{
    ArrangeSettings(NULL);
    Launches = LaunchRecord();
    RunSheet(TapWebAddress);
    ok_wstr(Seen.Texts[0], L"Quartzel");
    ok_wstr(Seen.Texts[1], L"Version 1.1.8.1 (24 Aug 2008)");
    ok(lstrlenW(Seen.Texts[2]) > 0 && lstrlenW(Seen.Texts[2]) <= 59, "web address \"%ls\"", Seen.Texts[2]);
    ok_int(Launches.Calls, 1);
    ok_wstr(Launches.File, Seen.Texts[2]);
    ok(Seen.Enabled[0], "sheet stays open");
    ok_int(Seen.Numbers[0], 1);
    ok_int(Seen.Numbers[1], GetSysColor(COLOR_MENUTEXT));
    ok_int(Seen.Numbers[2], 0);
    ok_int(Seen.Pixel, RGB(255, 255, 255));
    static const WCHAR *const generalOnly[] = {L"HideTimeInSleep", L"FileOnAction", L"TapAndHoldEnabled",
                                               L"VerticalBorderHeight", L"QZL", NULL};
    ok(WritesWere(generalOnly), "About adds nothing");
}

// ---- Input panel preference ---------------------------------------------------------

static void FindInputPanelControls(HWND sheet)
{
    for (int i = 0; i < OPTIONS_PAGE_COUNT; i++) {
        HWND control = FindWindowExW(ShowPage(sheet, i), NULL, L"SIPPREF", NULL);
        Seen.Checked[i] = control != NULL;
        Seen.Enabled[i] = control != NULL && IsWindowVisible(control);
    }
    PressOk(sheet);
}

static void test_input_panel_controls()
{
    ArrangeSettings(NULL);
    RunSheet(FindInputPanelControls);
    for (int i = 0; i < OPTIONS_PAGE_COUNT; i++) {
        BOOL edits = i == GeneralPage || i == FontSizePage || i == ColorPage;
        ok(Seen.Checked[i] == edits, "page %d: input panel control %s", i, edits ? "present" : "absent");
        ok(!Seen.Enabled[i], "page %d: never visible", i);
    }
}

int main()
{
    OptionsTestSetup();
    run_test(test_general_action_list);
    run_test(test_general_entries_and_tap_and_hold);
    run_test(test_general_clock_entry);
    run_test(test_general_file_chooser);
    run_test(test_general_border);
    run_test(test_daydate_alignment_and_operator);
    run_test(test_daydate_short_date_with_named_day);
    run_test(test_daydate_hidden_line);
    run_test(test_time_marker_rule);
    run_test(test_time_markers_box);
    run_test(test_marker_rule_across_pages);
    run_test(test_font_sizes_typed_digit_by_digit);
    run_test(test_font_sizes_by_arrows);
    run_test(test_font_sizes_saved_in_range);
    run_test(test_font_sizes_stored_beyond_the_page);
    run_test(test_color_schemes_as_opened);
    run_test(test_color_highlight_scheme_edit);
    run_test(test_color_theme_box);
    run_test(test_color_bytes_above_255_stored);
    run_test(test_background_as_opened);
    run_test(test_background_time_grey);
    run_test(test_background_both_parts);
    run_test(test_cleartype);
    run_test(test_about);
    run_test(test_pages_redraw_their_background);
    run_test(test_input_panel_controls);
    return TestSummary();
}
