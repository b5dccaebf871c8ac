// Runs scripted lives of the desktop DLL and writes what it drew and wrote
// (effect lines, "E ...") and what it asked that depends on fonts, the
// locale or the device (answer lines, "A key = value"), in the words the
// ARM model of the handheld uses, so that both builds can be compared.
//
//   handheld_recorder.exe DLL OUT STEP...
//
// QZL_SCREEN_BITS, when set, is the depth the screen takes for the run
// (16 or 32 bits per pixel): no deeper than the X server's.
//
// The DLL is mapped without its imports resolved and bound through the
// recorder's wrappers where it has one (support/mappeddll.h), so that the
// load is recorded too.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <commdlg.h>
#include <stdio.h>
#include <string.h>
#include <map>
#include <string>
#include <vector>
#include "today-standins.h"
#include "mappeddll.h"
#include "options/sheetdriver.h"
#include "powerevents.h"

namespace {

struct RecorderState {
    FILE *Out;
    std::map<HFONT, std::string> Fonts;
    std::map<HDC, std::string> DcNames;
    std::map<HBITMAP, std::string> Bitmaps;   // "bitmapN": the Nth the item made
    std::map<std::string, bool> Answered;
    SYSTEMTIME Clock;
    HWND Host;
    HWND Item;
    HMODULE Dll;
    UINT_PTR Timer;
    WCHAR Locale[LOCALE_NAME_MAX_LENGTH];  // a "locale:" step's, answered for the user's; empty before
    std::string LocaleName;  // its name in the answers' keys, "user" before
    BOOL Holding;        // a "hold" step: the stylus stays down while time runs
    BOOL InSheet;        // the options sheet is open: only registry writes are effects
    const char *Clicks;  // an "options:" step's clicks, "PAGE/ID,..."
    DWORD Ticks;
    WCHAR ForeignFont[MAX_PATH];  // a "font:" step's: the file added for QZL.ttf
    // A "fail:NAME/N/VALUE" run: the Nth call of import NAME fails, giving
    // VALUE; every call of it is noted ("F" lines) so that the ARM model can
    // tell whether both builds took the same path to it.
    char FailName[64];
    int FailNth;
    long long FailValue;
    void *FailForward;   // where the other calls go
    int FailCalls;
    BOOL FailBound;
};
RecorderState Rec;

std::string Hex(const void *data, size_t size)
{
    std::string out;
    char two[3];
    for (size_t i = 0; i < size; i++) {
        snprintf(two, sizeof(two), "%02x", ((const BYTE *)data)[i]);
        out += two;
    }
    return out;
}

std::string Text(const WCHAR *text, int count)
{
    if (count < 0)
        count = lstrlenW(text);
    return Hex(text, count * sizeof(WCHAR));
}

std::string Key(const WCHAR *text)
{
    std::string out;
    for (; *text; text++)
        out += *text == ' ' ? '_' : (char)*text;
    return out;
}

std::string Json(const WCHAR *text)
{
    std::string out = "\"";
    char buf[8];
    for (; *text; text++) {
        if (*text < 0x20 || *text >= 0x7F || *text == '"' || *text == '\\') {
            snprintf(buf, sizeof(buf), "\\u%04x", *text);
            out += buf;
        } else {
            out += (char)*text;
        }
    }
    return out + "\"";
}

void Answer(const std::string &key, const std::string &value)
{
    if (Rec.Answered[key])
        return;
    Rec.Answered[key] = true;
    fprintf(Rec.Out, "A %s = %s\n", key.c_str(), value.c_str());
}

// While the options sheet is open, what the platform's sheet draws is not
// the item's to compare; its registry writes are.
void Effect(const char *format, ...)
{
    if (Rec.InSheet && strncmp(format, "Reg", 3) != 0)
        return;
    va_list args;
    va_start(args, format);
    fputs("E ", Rec.Out);
    vfprintf(Rec.Out, format, args);
    fputc('\n', Rec.Out);
    va_end(args);
}

std::string DcName(HDC dc)
{
    std::map<HDC, std::string>::iterator found = Rec.DcNames.find(dc);
    return found == Rec.DcNames.end() ? "window" : found->second;
}

std::string FontOf(HDC dc)
{
    HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    if (font == GetStockObject(SYSTEM_FONT))
        return "SYSTEM_FONT";
    // A font the item did not make is the one the dialog manager gave a page.
    std::map<HFONT, std::string>::iterator found = Rec.Fonts.find((HFONT)font);
    return found == Rec.Fonts.end() ? "dialog" : found->second;
}

std::string Number(long long n)
{
    return std::to_string(n);
}

// "[a,b,...]" of `count` numbers.
template <typename T> std::string List(const T *values, int count)
{
    std::string list = "[";
    for (int i = 0; i < count; i++)
        list += (i ? "," : "") + Number(values[i]);
    return list + "]";
}

// The number a call answered, recorded under `key`.
long long Answered(const std::string &key, long long value)
{
    Answer(key, Number(value));
    return value;
}

// ---- wrappers: answers ------------------------------------------------
int WINAPI RecGetSystemMetrics(int index)
{
    return (int)Answered("GetSystemMetrics " + Number(index), GetSystemMetrics(index));
}

DWORD WINAPI RecGetSysColor(int index)
{
    return (DWORD)Answered("GetSysColor " + Number(index), GetSysColor(index));
}

int WINAPI RecGetDeviceCaps(HDC dc, int index)
{
    return (int)Answered("GetDeviceCaps " + Number(index), GetDeviceCaps(dc, index));
}

BOOL WINAPI RecSHGetSpecialFolderPathW(HWND window, LPWSTR path, int folder, BOOL create)
{
    BOOL ok = SHGetSpecialFolderPathW(window, path, folder, create);
    Answer("SHGetSpecialFolderPath " + Number(folder), Json(path));
    return ok;
}

DWORD WINAPI RecGetFileAttributesW(LPCWSTR path)
{
    return (DWORD)Answered("GetFileAttributesW " + Key(path), GetFileAttributesW(path));
}

// After a "font:" step the item's QZL.ttf is a file of another face.
LPCWSTR FontFileFor(LPCWSTR path)
{
    return Rec.ForeignFont[0] ? Rec.ForeignFont : path;
}

int WINAPI RecAddFontResourceW(LPCWSTR path)
{
    return (int)Answered("AddFontResourceW " + Key(path), AddFontResourceW(FontFileFor(path)));
}

BOOL WINAPI RecRemoveFontResourceW(LPCWSTR path)
{
    return (BOOL)Answered("RemoveFontResourceW " + Key(path), RemoveFontResourceW(FontFileFor(path)));
}

struct FamilyWalk {
    FONTENUMPROCW Proc;
    LPARAM Param;
    std::string Names;
};

int CALLBACK RecFamily(const LOGFONTW *font, const TEXTMETRICW *metric, DWORD type, LPARAM param)
{
    FamilyWalk *walk = (FamilyWalk *)param;
    if (!walk->Names.empty())
        walk->Names += ",";
    walk->Names += Key(font->lfFaceName);
    return walk->Proc(font, metric, type, walk->Param);
}

int WINAPI RecEnumFontFamiliesW(HDC dc, LPCWSTR face, FONTENUMPROCW proc, LPARAM param)
{
    FamilyWalk walk = {proc, param, ""};
    int value = EnumFontFamiliesW(dc, face, RecFamily, (LPARAM)&walk);
    Answer("EnumFontFamiliesW " + Key(face), "\"" + walk.Names + "\"");
    return value;
}

// A fact of the locale a "locale:" step named, by its name (a locale
// such as kde-TZ has no number of its own), else of `locale`.
int LocaleInfo(LCID locale, LCTYPE type, LPWSTR data, int chars)
{
    return Rec.Locale[0] ? GetLocaleInfoEx(Rec.Locale, type, data, chars) : GetLocaleInfoW(locale, type, data, chars);
}

int WINAPI RecGetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int chars)
{
    WCHAR text[256];
    int length = LocaleInfo(locale, type, text, ARRAYSIZE(text));
    char key[64];
    snprintf(key, sizeof(key), "GetLocaleInfoW %s 0x%lx", Rec.LocaleName.c_str(), (unsigned long)type);
    Answer(key, length ? Json(text) : "null");
    return LocaleInfo(locale, type, data, chars);
}

std::string DateKey(const char *name, DWORD flags, const SYSTEMTIME *when, LPCWSTR picture)
{
    const SYSTEMTIME *t = when ? when : &Rec.Clock;
    char key[96];
    snprintf(key, sizeof(key), "%s %s 0x%lx %d-%d-%d-%d-%d-%d-%d ", name, Rec.LocaleName.c_str(), (unsigned long)flags,
             t->wYear, t->wMonth, t->wDayOfWeek, t->wDay, t->wHour, t->wMinute, t->wSecond);
    return key + (picture ? Key(picture) : std::string("-"));
}

typedef int(WINAPI *DateFormatter)(LCID, DWORD, const SYSTEMTIME *, LPCWSTR, LPWSTR, int);

// A date or time text, formatted in the step's locale and recorded.
int RecordFormat(const char *name, DateFormatter format, LCID locale, DWORD flags, const SYSTEMTIME *when,
                 LPCWSTR picture, LPWSTR out, int chars)
{
    WCHAR text[256];
    int length = format(locale, flags, when, picture, text, ARRAYSIZE(text));
    Answer(DateKey(name, flags, when, picture), length ? Json(text) : "null");
    return format(locale, flags, when, picture, out, chars);
}

// A date or time in the locale a "locale:" step named, else in `locale`.
int WINAPI DateText(LCID locale, DWORD flags, const SYSTEMTIME *when, LPCWSTR picture, LPWSTR out, int chars)
{
    return Rec.Locale[0] ? GetDateFormatEx(Rec.Locale, flags, when, picture, out, chars, NULL)
                         : GetDateFormatW(locale, flags, when, picture, out, chars);
}

int WINAPI TimeText(LCID locale, DWORD flags, const SYSTEMTIME *when, LPCWSTR picture, LPWSTR out, int chars)
{
    return Rec.Locale[0] ? GetTimeFormatEx(Rec.Locale, flags, when, picture, out, chars)
                         : GetTimeFormatW(locale, flags, when, picture, out, chars);
}

int WINAPI RecGetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME *when, LPCWSTR picture, LPWSTR out, int chars)
{
    return RecordFormat("GetDateFormatW", DateText, locale, flags, when, picture, out, chars);
}

int WINAPI RecGetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME *when, LPCWSTR picture, LPWSTR out, int chars)
{
    return RecordFormat("GetTimeFormatW", TimeText, locale, flags, when, picture, out, chars);
}

BOOL WINAPI RecGetStringTypeW(DWORD type, LPCWSTR text, int count, LPWORD types)
{
    BOOL ok = GetStringTypeW(type, text, count, types);
    int n = count < 0 ? lstrlenW(text) + 1 : count;
    Answer("GetStringTypeW " + Number(type) + " " + Text(text, n), List(types, n));
    return ok;
}

int WINAPI RecGetObjectW(HGDIOBJ object, int size, LPVOID data)
{
    int value = GetObjectW(object, size, data);
    if (object == GetStockObject(SYSTEM_FONT))
        Answer("GetObjectW SYSTEM_FONT", "\"" + Hex(data, value) + "\"");
    return value;
}

BOOL WINAPI RecGetTextMetricsW(HDC dc, LPTEXTMETRICW metric)
{
    BOOL ok = GetTextMetricsW(dc, metric);
    Answer("GetTextMetricsW " + FontOf(dc), "\"" + Hex(metric, sizeof(*metric)) + "\"");
    return ok;
}

BOOL WINAPI RecGetCharWidth32W(HDC dc, UINT first, UINT last, LPINT widths)
{
    BOOL ok = GetCharWidth32W(dc, first, last, widths);
    Answer("GetCharWidth32 " + FontOf(dc) + " " + Number(first) + " " + Number(last),
           List(widths, (int)(last - first + 1)));
    return ok;
}

BOOL WINAPI RecGetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int limit, LPINT fit, LPINT dx, LPSIZE size)
{
    std::vector<int> widths(count + 1);
    int fitted = 0;
    BOOL ok = GetTextExtentExPointW(dc, text, count, limit, &fitted, widths.data(), size);
    Answer("GetTextExtentExPointW " + FontOf(dc) + " " + (fit ? Number(limit) : "-") + " " + Text(text, count),
           "[" + Number(fitted) + "," + Number(size->cx) + "," + Number(size->cy) + "," + List(widths.data(), count) +
               "]");
    if (fit)
        *fit = fitted;
    if (dx)
        memcpy(dx, widths.data(), count * sizeof(int));
    return ok;
}

// A text measured as a control draws it: [right, bottom] of the rectangle.
int WINAPI RecDrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format)
{
    LONG width = rect->right - rect->left;
    int height = DrawTextW(dc, text, count, rect, format);
    if (format & DT_CALCRECT) {
        LONG box[2] = {rect->right, rect->bottom};
        Answer("DrawTextW " + FontOf(dc) + " " + Number(width) + " " + Number(format) + " " + Text(text, count),
               List(box, 2));
    }
    return height;
}

// The page's dialog units: the pixels of 4 across and 8 down.
BOOL WINAPI RecMapDialogRect(HWND dialog, LPRECT rect)
{
    RECT units = {0, 0, 4, 8};
    MapDialogRect(dialog, &units);
    LONG both[2] = {units.right, units.bottom};
    Answer("MapDialogRect", List(both, 2));
    return MapDialogRect(dialog, rect);
}

// What an edit says of its margins and, at each margin, of the room it
// leaves for text.
LRESULT WINAPI RecSendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = SendMessageW(window, message, wParam, lParam);
    if (message == EM_GETMARGINS)
        Answered("EM_GETMARGINS " + Number(GetDlgCtrlID(window)), (DWORD)result);
    if (message == EM_GETRECT) {
        const RECT *r = (const RECT *)lParam;
        LONG box[4] = {r->left, r->top, r->right, r->bottom};
        DWORD margins = (DWORD)SendMessageW(window, EM_GETMARGINS, 0, 0);
        Answer("EM_GETRECT " + Number(GetDlgCtrlID(window)) + " " + Number(margins), List(box, 4));
    }
    return result;
}

// ---- wrappers: effects and the state they are named by ------------------
HFONT WINAPI RecCreateFontIndirectW(const LOGFONTW *font)
{
    char key[128];
    std::string face = Key(font->lfFaceName);
    snprintf(key, sizeof(key), "%ld/%ld/%ld/%d/%d/%s", font->lfHeight, font->lfWidth, font->lfWeight,
             font->lfItalic, font->lfQuality, face.c_str());
    Effect("CreateFontIndirectW %s", key);
    HFONT made = CreateFontIndirectW(font);
    Rec.Fonts[made] = key;
    return made;
}

HPEN WINAPI RecCreatePen(int style, int width, COLORREF colour)
{
    Effect("CreatePen %d %d %06lx", style, width, (unsigned long)colour);
    return CreatePen(style, width, colour);
}

// The launch the user's tap asks for, recorded and not made.
BOOL WINAPI RecShellExecuteExW(SHELLEXECUTEINFOW *info)
{
    Effect("ShellExecuteEx 0x%lx %s %d", (unsigned long)info->fMask, info->lpFile ? Key(info->lpFile).c_str() : "-",
           info->nShow);
    return TRUE;
}

HDC WINAPI RecGetDC(HWND window)
{
    HDC dc = GetDC(window);
    Rec.DcNames[dc] = window ? "window" : "screen";
    return dc;
}

HDC WINAPI RecCreateCompatibleDC(HDC dc)
{
    HDC made = CreateCompatibleDC(dc);
    Rec.DcNames[made] = "memory";
    return made;
}

HGDIOBJ WINAPI RecSelectObject(HDC dc, HGDIOBJ object)
{
    if (GetObjectType(object) == OBJ_BITMAP) {
        std::map<HBITMAP, std::string>::iterator found = Rec.Bitmaps.find((HBITMAP)object);
        Rec.DcNames[dc] = found == Rec.Bitmaps.end() ? "memory" : found->second;
    }
    return SelectObject(dc, object);
}

HBITMAP NameBitmap(HBITMAP bitmap)
{
    Rec.Bitmaps[bitmap] = "bitmap" + Number(Rec.Bitmaps.size() + 1);
    return bitmap;
}

HBITMAP WINAPI RecCreateDIBSection(HDC dc, const BITMAPINFO *info, UINT usage, void **bits, HANDLE section,
                                   DWORD offset)
{
    const BITMAPINFOHEADER &header = info->bmiHeader;
    Effect("CreateDIBSection %ld %ld %d", header.biWidth, header.biHeight, header.biBitCount);
    return NameBitmap(CreateDIBSection(dc, info, usage, bits, section, offset));
}

HBITMAP WINAPI RecCreateCompatibleBitmap(HDC dc, int w, int h)
{
    Effect("CreateCompatibleBitmap %d %d", w, h);
    return NameBitmap(CreateCompatibleBitmap(dc, w, h));
}

// The pixels of the 32-bit DIB section selected in `dc`, its size in
// `shape`; NULL when the DC draws into anything else.
DWORD *DibPixels(HDC dc, BITMAP *shape)
{
    DIBSECTION dib;
    if (GetObjectW(GetCurrentObject(dc, OBJ_BITMAP), sizeof(dib), &dib) != sizeof(dib) || dib.dsBm.bmBitsPixel != 32)
        return NULL;
    *shape = dib.dsBm;
    return (DWORD *)dib.dsBm.bmBits;
}

// "[left,top,right,bottom]" of the pixels that differ from `before`, in
// the order of the rows in memory; "[]" when none does.
std::string ChangedBox(const DWORD *before, const DWORD *after, const BITMAP &shape)
{
    LONG box[4] = {shape.bmWidth, shape.bmHeight, -1, -1};
    for (LONG row = 0; row < shape.bmHeight; row++)
        for (LONG column = 0; column < shape.bmWidth; column++) {
            SIZE_T i = (SIZE_T)row * (SIZE_T)shape.bmWidth + (SIZE_T)column;
            if (before[i] == after[i])
                continue;
            box[0] = column < box[0] ? column : box[0];
            box[1] = row < box[1] ? row : box[1];
            box[2] = column + 1 > box[2] ? column + 1 : box[2];
            box[3] = row + 1;
        }
    return box[2] < 0 ? "[]" : List(box, 4);
}

BOOL WINAPI RecExtTextOutW(HDC dc, int x, int y, UINT options, const RECT *box, LPCWSTR text, UINT count, const INT *dx)
{
    char where[96] = "";
    if (box)
        snprintf(where, sizeof(where), " %ld %ld %ld %ld", box->left, box->top, box->right, box->bottom);
    char state[32];
    snprintf(state, sizeof(state), "%06lx %u %d", (unsigned long)GetTextColor(dc), GetTextAlign(dc), GetBkMode(dc));
    Effect("ExtTextOutW %s %d %d %u%s %s %s %s", DcName(dc).c_str(), x, y, options, where, FontOf(dc).c_str(), state,
           Text(text, count).c_str());
    // What the text put into a DIB section's pixels, for the handheld to
    // put into its own: the fit measures its texts by their ink.
    BITMAP shape;
    DWORD *pixels = DibPixels(dc, &shape);
    if (pixels == NULL)
        return ExtTextOutW(dc, x, y, options, box, text, count, dx);
    GdiFlush();
    std::vector<DWORD> before(pixels, pixels + (SIZE_T)shape.bmWidth * (SIZE_T)shape.bmHeight);
    BOOL drawn = ExtTextOutW(dc, x, y, options, box, text, count, dx);
    GdiFlush();
    char key[160];
    snprintf(key, sizeof(key), "Ink %ld %ld %d %d %u%s ", shape.bmWidth, shape.bmHeight, x, y, options, where);
    Answer(key + FontOf(dc) + " " + state + " " + Text(text, count), ChangedBox(before.data(), pixels, shape));
    return drawn;
}

BOOL WINAPI RecAlphaBlend(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                          BLENDFUNCTION blend)
{
    DWORD word;
    memcpy(&word, &blend, sizeof(word));
    Effect("AlphaBlend %s %d %d %d %d %s %d %d %d %d %08lx", DcName(dst).c_str(), x, y, w, h, DcName(src).c_str(),
           sx, sy, sw, sh, (unsigned long)word);
    return AlphaBlend(dst, x, y, w, h, src, sx, sy, sw, sh, blend);
}

BOOL WINAPI RecBitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop)
{
    Effect("BitBlt %s %d %d %d %d %s %d %d %08lx", DcName(dst).c_str(), x, y, w, h, src ? DcName(src).c_str() : "-", sx,
           sy, (unsigned long)rop);
    return BitBlt(dst, x, y, w, h, src, sx, sy, rop);
}

// A brush's or pen's colour, "hollow" for one that paints nothing.
std::string ColourWord(COLORREF colour, BOOL hollow)
{
    char word[8];
    snprintf(word, sizeof(word), "%06lx", (unsigned long)colour);
    return hollow ? "hollow" : word;
}

std::string BrushColour(HGDIOBJ brush)
{
    LOGBRUSH logical;
    if (GetObjectW(brush, sizeof(logical), &logical) != sizeof(logical))
        return "?";
    return ColourWord(logical.lbColor, logical.lbStyle == BS_NULL);
}

std::string PenColour(HGDIOBJ pen)
{
    LOGPEN logical;
    if (GetObjectW(pen, sizeof(logical), &logical) != sizeof(logical))
        return "?";
    return ColourWord(logical.lopnColor, logical.lopnStyle == PS_NULL);
}

// The brush and the pen a shape is drawn with.
std::string ShapeColours(HDC dc)
{
    return BrushColour(GetCurrentObject(dc, OBJ_BRUSH)) + " " + PenColour(GetCurrentObject(dc, OBJ_PEN));
}

int WINAPI RecFillRect(HDC dc, const RECT *box, HBRUSH brush)
{
    Effect("FillRect %s %ld %ld %ld %ld %s", DcName(dc).c_str(), box->left, box->top, box->right, box->bottom,
           BrushColour(brush).c_str());
    return FillRect(dc, box, brush);
}

BOOL WINAPI RecRoundRect(HDC dc, int l, int t, int r, int b, int w, int h)
{
    Effect("RoundRect %s %d %d %d %d %d %d %s", DcName(dc).c_str(), l, t, r, b, w, h, ShapeColours(dc).c_str());
    return RoundRect(dc, l, t, r, b, w, h);
}

BOOL WINAPI RecPolygon(HDC dc, const POINT *points, int count)
{
    std::string xy;
    for (int i = 0; i < count; i++)
        xy += " " + Number(points[i].x) + " " + Number(points[i].y);
    Effect("Polygon %s%s %s", DcName(dc).c_str(), xy.c_str(), ShapeColours(dc).c_str());
    return Polygon(dc, points, count);
}

LSTATUS WINAPI RecRegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD size)
{
    Effect("RegSetValueExW %s %lu %s", name ? Key(name).c_str() : "",
           (unsigned long)type, Hex(data, size).c_str());
    return RegSetValueExW(key, name, reserved, type, data, size);
}

LSTATUS WINAPI RecRegDeleteValueW(HKEY key, LPCWSTR name)
{
    Effect("RegDeleteValueW %s", Key(name).c_str());
    return RegDeleteValueW(key, name);
}

void WINAPI RecGetLocalTime(LPSYSTEMTIME time)
{
    *time = Rec.Clock;
}

DWORD WINAPI RecGetTickCount()
{
    if (Rec.Holding)
        Rec.Ticks += 600;
    return Rec.Ticks;
}

SHORT WINAPI RecGetKeyState(int key)
{
    return Rec.Holding && key == VK_LBUTTON ? (SHORT)0x8000 : GetKeyState(key);
}

DWORD WINAPI RecMsgWaitForMultipleObjectsEx(DWORD count, const HANDLE *handles, DWORD ms, DWORD wake, DWORD flags)
{
    return Rec.Holding ? WAIT_TIMEOUT : MsgWaitForMultipleObjectsEx(count, handles, ms, wake, flags);
}

// The file chooser: the user picks the file the ARM model's chooser picks.
BOOL WINAPI RecGetOpenFileNameW(LPOPENFILENAMEW chooser)
{
    const WCHAR chosen[] = L"\\My Documents\\notes.txt";
    if (chooser->nMaxFile <= (DWORD)lstrlenW(chosen))
        return FALSE;
    lstrcpyW(chooser->lpstrFile, chosen);
    return TRUE;
}

// The menu as the user would see it; dismissed without a choice.
BOOL WINAPI RecTrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND, LPTPMPARAMS)
{
    std::string items;
    for (int i = 0; i < GetMenuItemCount(menu); i++) {
        WCHAR text[100] = L"-";
        GetMenuStringW(menu, i, text, ARRAYSIZE(text), MF_BYPOSITION);
        items += " " + Number(GetMenuItemID(menu, i)) + ":" + Key(text[0] ? text : L"-");
    }
    Effect("TrackPopupMenuEx %d %d %u%s", x, y, flags, items.c_str());
    return 0;
}

// The item's timers fire only when a step says so, as on the handheld
// model, so no tick arrives between the steps. A thread's timer is the
// desktop stand-in's delivery of posted messages, and runs.
UINT_PTR WINAPI RecSetTimer(HWND window, UINT_PTR id, UINT ms, TIMERPROC proc)
{
    if (window == NULL)
        return SetTimer(NULL, id, ms, proc);
    Rec.Timer = id;
    return id;
}

BOOL WINAPI RecKillTimer(HWND window, UINT_PTR id)
{
    if (window == NULL)
        return KillTimer(NULL, id);
    Rec.Timer = 0;
    return TRUE;
}

struct Wrapper {
    const char *Name;
    void *Function;
};
const Wrapper Wrappers[] = {
    {"GetSystemMetrics", (void *)RecGetSystemMetrics},
    {"GetSysColor", (void *)RecGetSysColor},
    {"GetDeviceCaps", (void *)RecGetDeviceCaps},
    {"SHGetSpecialFolderPathW", (void *)RecSHGetSpecialFolderPathW},
    {"GetFileAttributesW", (void *)RecGetFileAttributesW},
    {"AddFontResourceW", (void *)RecAddFontResourceW},
    {"RemoveFontResourceW", (void *)RecRemoveFontResourceW},
    {"EnumFontFamiliesW", (void *)RecEnumFontFamiliesW},
    {"GetLocaleInfoW", (void *)RecGetLocaleInfoW},
    {"GetDateFormatW", (void *)RecGetDateFormatW},
    {"GetTimeFormatW", (void *)RecGetTimeFormatW},
    {"GetStringTypeW", (void *)RecGetStringTypeW},
    {"GetObjectW", (void *)RecGetObjectW},
    {"GetTextMetricsW", (void *)RecGetTextMetricsW},
    {"GetCharWidth32W", (void *)RecGetCharWidth32W},
    {"GetTextExtentExPointW", (void *)RecGetTextExtentExPointW},
    {"CreateFontIndirectW", (void *)RecCreateFontIndirectW},
    {"CreatePen", (void *)RecCreatePen},
    {"ShellExecuteExW", (void *)RecShellExecuteExW},
    {"GetDC", (void *)RecGetDC},
    {"CreateCompatibleDC", (void *)RecCreateCompatibleDC},
    {"SelectObject", (void *)RecSelectObject},
    {"CreateDIBSection", (void *)RecCreateDIBSection},
    {"CreateCompatibleBitmap", (void *)RecCreateCompatibleBitmap},
    {"ExtTextOutW", (void *)RecExtTextOutW},
    {"AlphaBlend", (void *)RecAlphaBlend},
    {"BitBlt", (void *)RecBitBlt},
    {"FillRect", (void *)RecFillRect},
    {"RoundRect", (void *)RecRoundRect},
    {"Polygon", (void *)RecPolygon},
    {"RegSetValueExW", (void *)RecRegSetValueExW},
    {"RegDeleteValueW", (void *)RecRegDeleteValueW},
    {"GetLocalTime", (void *)RecGetLocalTime},
    {"GetTickCount", (void *)RecGetTickCount},
    {"GetKeyState", (void *)RecGetKeyState},
    {"MsgWaitForMultipleObjectsEx", (void *)RecMsgWaitForMultipleObjectsEx},
    {"TrackPopupMenuEx", (void *)RecTrackPopupMenuEx},
    {"GetOpenFileNameW", (void *)RecGetOpenFileNameW},
    {"SetTimer", (void *)RecSetTimer},
    {"KillTimer", (void *)RecKillTimer},
    {"DrawTextW", (void *)RecDrawTextW},
    {"MapDialogRect", (void *)RecMapDialogRect},
    {"SendMessageW", (void *)RecSendMessageW},
};

typedef INT_PTR(WINAPI *AnyCall)(INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR,
                                  INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR);

// The failing import's stand-in: every argument an import of the item
// takes is a whole number or a pointer, at most fourteen of them, so the
// other calls are passed on as they came.
INT_PTR WINAPI FailOrForward(INT_PTR a, INT_PTR b, INT_PTR c, INT_PTR d, INT_PTR e, INT_PTR f, INT_PTR g, INT_PTR h,
                             INT_PTR i, INT_PTR j, INT_PTR k, INT_PTR l, INT_PTR m, INT_PTR n)
{
    fputs("F\n", Rec.Out);
    if (++Rec.FailCalls == Rec.FailNth) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return (INT_PTR)Rec.FailValue;
    }
    return ((AnyCall)Rec.FailForward)(a, b, c, d, e, f, g, h, i, j, k, l, m, n);
}

// Whether the import is the one a "fail:" run fails; the handheld's name
// may lack the desktop's W.
BOOL IsFailing(const char *name)
{
    size_t length = strlen(Rec.FailName);
    return Rec.FailName[0] && strncmp(name, Rec.FailName, length) == 0 &&
           (name[length] == 0 || (name[length] == 'W' && name[length + 1] == 0));
}

// The recorder's wrapper where it has one, else the system's function.
void *Bound(const char *name, void *real)
{
    void *bound = real;
    if (name != NULL)
        for (const Wrapper &w : Wrappers)
            if (strcmp(w.Name, name) == 0)
                bound = w.Function;
    if (name != NULL && IsFailing(name)) {
        Rec.FailForward = bound;
        Rec.FailBound = TRUE;
        return (void *)FailOrForward;
    }
    return bound;
}

// "NAME/N/VALUE" of a "fail:" run.
BOOL TakeFailure(const char *failure)
{
    int used = 0;
    if (sscanf(failure, "%63[^/]/%d/%lli%n", Rec.FailName, &Rec.FailNth, &Rec.FailValue, &used) != 3 || failure[used])
        return FALSE;
    return TRUE;
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == TODAYM_GETCOLOR)
        return wParam == TODAYCOLOR_TEXT ? 0x000000 : wParam == TODAYCOLOR_HIGHLIGHT ? 0x6A240A : 0xFFFFFF;
    if (message == TODAYM_DRAWWATERMARK) {
        const TODAYDRAWWATERMARKINFO *info = (const TODAYDRAWWATERMARKINFO *)lParam;
        Effect("Watermark %s %ld %ld %ld %ld", DcName(info->hdc).c_str(), info->rc.left, info->rc.top, info->rc.right,
               info->rc.bottom);
        return 1;
    }
    if (message == TODAYM_TOOKSELECTION)
        Effect("TookSelection");
    return DefWindowProcW(window, message, wParam, lParam);
}

// ---- the steps of a life --------------------------------------------------
TODAYLISTITEM Item;

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    if (IsWindow(Rec.Item))
        UpdateWindow(Rec.Item);
}

// The settings key as the device's installation leaves it: empty.
void EmptySettings()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Marrowfen\\Quartzel");
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Marrowfen\\Quartzel", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                        NULL) == ERROR_SUCCESS)
        RegCloseKey(key);
}

// The first alarm of the device's clock, as an "alarm:" step sets it; the
// values the device had are put back at the end, since other tests share
// the device.
const WCHAR AlarmKey[] = L"SOFTWARE\\Microsoft\\Clock\\0";

// A value of the device's registry as it was before the run.
struct KeptValue {
    BYTE Data[512];
    DWORD Size;
    DWORD Type;
    BOOL Present;
};

void KeepValue(const WCHAR *key, const WCHAR *name, KeptValue *kept)
{
    kept->Size = sizeof(kept->Data);
    kept->Present =
        RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_ANY, &kept->Type, kept->Data, &kept->Size) == ERROR_SUCCESS;
}

void RestoreValue(const WCHAR *key, const WCHAR *name, const KeptValue *kept)
{
    if (kept->Present)
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, name, kept->Type, kept->Data, kept->Size);
    else
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key, name);
}

// "DAYS,MINUTES": the alarm on, on the weekdays of the bits (Monday bit 0),
// at that minute of the day.
BOOL SetAlarm(const char *values)
{
    unsigned days, minutes;
    if (sscanf(values, "%u,%u", &days, &minutes) != 2)
        return FALSE;
    BYTE flags = 1, day = (BYTE)days, time[2] = {(BYTE)minutes, (BYTE)(minutes >> 8)};
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, AlarmKey, L"AlarmFlags", REG_BINARY, &flags, 1) == ERROR_SUCCESS &&
           RegSetKeyValueW(HKEY_LOCAL_MACHINE, AlarmKey, L"AlarmDays", REG_BINARY, &day, 1) == ERROR_SUCCESS &&
           RegSetKeyValueW(HKEY_LOCAL_MACHINE, AlarmKey, L"AlarmTime", REG_BINARY, time, 2) == ERROR_SUCCESS;
}

// The phone's operator name and status, as an "operator:" step sets them;
// put back at the end, as the alarm is.
const WCHAR PhoneKey[] = L"System\\State\\Phone";

// The values the steps may change, kept before the run.
struct DeviceValue {
    const WCHAR *Key;
    const WCHAR *Name;
};
const DeviceValue ChangedValues[] = {{AlarmKey, L"AlarmFlags"}, {AlarmKey, L"AlarmDays"}, {AlarmKey, L"AlarmTime"},
                                     {PhoneKey, L"Current Operator Name"}, {PhoneKey, L"Status"}};
KeptValue Kept[ARRAYSIZE(ChangedValues)];

void KeepDeviceValues()
{
    for (size_t i = 0; i < ARRAYSIZE(ChangedValues); i++)
        KeepValue(ChangedValues[i].Key, ChangedValues[i].Name, &Kept[i]);
}

void RestoreDeviceValues()
{
    for (size_t i = 0; i < ARRAYSIZE(ChangedValues); i++)
        RestoreValue(ChangedValues[i].Key, ChangedValues[i].Name, &Kept[i]);
}

// "HEX": the operator's name as UTF-16 in hex digits, the phone on a
// network (status 0x20).
BOOL SetOperator(const char *hex)
{
    WCHAR name[256] = {};
    size_t digits = strlen(hex);
    if (digits % 4 != 0 || digits / 4 >= ARRAYSIZE(name))
        return FALSE;
    for (size_t i = 0; i < digits / 4; i++) {
        unsigned low, high;
        if (sscanf(hex + 4 * i, "%2x%2x", &low, &high) != 2)
            return FALSE;
        name[i] = (WCHAR)(high << 8 | low);
    }
    DWORD status = 0x20;
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, PhoneKey, L"Current Operator Name", REG_SZ, name,
                           (DWORD)((lstrlenW(name) + 1) * sizeof(WCHAR))) == ERROR_SUCCESS &&
           RegSetKeyValueW(HKEY_LOCAL_MACHINE, PhoneKey, L"Status", REG_DWORD, &status, sizeof(status)) ==
               ERROR_SUCCESS;
}

// "Name=number": a DWORD stored in the settings key before the load.
BOOL StoreSetting(const char *assignment)
{
    WCHAR name[64];
    const char *equals = strchr(assignment, '=');
    if (!equals || equals - assignment >= 64)
        return FALSE;
    MultiByteToWideChar(CP_ACP, 0, assignment, (int)(equals - assignment), name, 64);
    name[equals - assignment] = 0;
    DWORD value = strtoul(equals + 1, NULL, 0);
    return RegSetKeyValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Marrowfen\\Quartzel", name, REG_DWORD, &value,
                           sizeof(value)) == ERROR_SUCCESS;
}

BOOL MarkerStored()
{
    return RegGetValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Marrowfen\\Quartzel", L"QZL", RRF_RT_ANY, NULL, NULL, NULL) ==
           ERROR_SUCCESS;
}

// The desktop build holds the item's posted messages for a timer of the
// message loop: the options step ends once the item has reloaded and
// taken the marker, as the handheld's posted WM_CREATE does at once.
BOOL AwaitReload()
{
    DWORD start = GetTickCount();
    while (MarkerStored()) {
        if (GetTickCount() - start > 5000)
            return FALSE;
        MsgWaitForMultipleObjects(0, NULL, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    return TRUE;
}

// One act of an "options:" step on control `id` of a page: a tap (no
// action), an arrow of an edit's up-down ("+" or "-"), entry or position N
// of a combo box or track bar ("=N"); control 0 is the page only shown, and
// a disabled control takes no act. Returns where the act's text ends.
const char *ActOnControl(HWND page, int id, const char *action)
{
    HWND control = GetDlgItem(page, id);
    WCHAR cls[32] = L"";
    GetClassNameW(control, cls, ARRAYSIZE(cls));
    BOOL enabled = control != NULL && IsWindowEnabled(control);
    int value = 0, used = 0;
    if (*action == '+' || *action == '-') {
        if (enabled)
            PressArrow(page, id, *action == '+' ? 1 : -1);
        return action + 1;
    }
    if (sscanf(action, "=%d%n", &value, &used) == 1) {
        if (enabled && lstrcmpiW(cls, L"ComboBox") == 0)
            ChooseListEntry(page, id, value);
        else if (enabled)
            MoveTrackBar(page, id, value);
        return action + used;
    }
    if (enabled)
        Click(page, id);
    return action;
}

// The acts of an "options:" step, each on its page, then OK.
void ActOnSheet(HWND sheet)
{
    int page, id, used;
    for (const char *at = Rec.Clicks; sscanf(at, "%d/%d%n", &page, &id, &used) == 2;) {
        at = ActOnControl(ShowPage(sheet, page), id, at + used);
        at += *at == ',';
    }
    PressOk(sheet);
}

// The options opened as the Today settings open them: host dialog 500 with
// export 241's procedure.
BOOL RunOptionsSheet(const char *clicks)
{
    DLGPROC procedure = (DLGPROC)(void *)GetProcAddress(Rec.Dll, MAKEINTRESOURCEA(ORDINAL_CUSTOMITEMOPTIONSDLGPROC));
    BOOL timedOut = FALSE;
    Rec.Clicks = clicks;
    Rec.InSheet = TRUE;
    RunOptions(Rec.Dll, procedure, ActOnSheet, &timedOut);
    Rec.InSheet = FALSE;
    return !timedOut && AwaitReload();
}

// The device's suspend or resume, once the suspend watcher has registered
// for power notifications (the power manager's window is up then); the
// broadcast returns once the watcher has acted on it.
BOOL BroadcastPower(WPARAM event)
{
    if (WaitForPowerWindow(5000) == NULL)
        return FALSE;
    BroadcastPowerEvent(event);
    return TRUE;
}

BOOL RunStep(const char *step)
{
    if (strcmp(step, "load") == 0)
        return CallDllEntry(Rec.Dll, DLL_PROCESS_ATTACH);
    if (strcmp(step, "create") == 0) {
        PFNCUSTOMINITIALIZEITEM init =
            (PFNCUSTOMINITIALIZEITEM)(void *)GetProcAddress(Rec.Dll, MAKEINTRESOURCEA(ORDINAL_INITIALIZECUSTOMITEM));
        Rec.Item = init(&Item, Rec.Host);
        return Rec.Item != NULL;
    }
    if (strcmp(step, "height") == 0) {
        LRESULT changed = SendMessageW(Rec.Item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&Item, 0);
        fprintf(Rec.Out, "R %d %lu\n", (int)changed, (unsigned long)Item.cyp);
        SetWindowPos(Rec.Item, NULL, 0, 0, GetSystemMetrics(SM_CXSCREEN), Item.cyp, SWP_NOZORDER | SWP_NOMOVE);
        return TRUE;
    }
    if (strcmp(step, "paint") == 0)
        return InvalidateRect(Rec.Item, NULL, FALSE);
    if (strncmp(step, "clock=", 6) == 0) {
        int h, m, sec;
        if (sscanf(step + 6, "%d:%d:%d", &h, &m, &sec) != 3)
            return FALSE;
        Rec.Clock.wHour = (WORD)h;
        Rec.Clock.wMinute = (WORD)m;
        Rec.Clock.wSecond = (WORD)sec;
        return TRUE;
    }
    if (strcmp(step, "timer") == 0) {
        if (Rec.Timer == 0)
            return FALSE;
        SendMessageW(Rec.Item, WM_TIMER, Rec.Timer, 0);
        return TRUE;
    }
    if (strcmp(step, "select") == 0) {
        fprintf(Rec.Out, "R %d\n", (int)SendMessageW(Rec.Item, WM_TODAYCUSTOM_RECEIVEDSELECTION, VK_DOWN, 0));
        return TRUE;
    }
    if (strcmp(step, "unselect") == 0) {
        SendMessageW(Rec.Item, WM_TODAYCUSTOM_LOSTSELECTION, 0, 0);
        return TRUE;
    }
    if (strncmp(step, "hold:", 5) == 0 || strncmp(step, "tap:", 4) == 0) {
        int x, y;
        if (sscanf(strchr(step, ':') + 1, "%d,%d", &x, &y) != 2)
            return FALSE;
        Rec.Holding = step[0] == 'h';
        SendMessageW(Rec.Item, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        Rec.Holding = FALSE;
        SendMessageW(Rec.Item, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        return TRUE;
    }
    if (strncmp(step, "locale:", 7) == 0) {
        MultiByteToWideChar(CP_ACP, 0, step + 7, -1, Rec.Locale, ARRAYSIZE(Rec.Locale));
        Rec.LocaleName = step + 7;
        return IsValidLocaleName(Rec.Locale);
    }
    // What the options sheet does when it has saved: the reload marker
    // written, the item asked to run its creation steps again (a post on
    // the handheld; desktop Windows posts no WM_CREATE, so it is sent).
    if (strcmp(step, "reload") == 0) {
        if (!StoreSetting("QZL=0"))
            return FALSE;
        SendMessageW(Rec.Item, WM_CREATE, 0, 0);
        return TRUE;
    }
    if (strncmp(step, "options:", 8) == 0)
        return RunOptionsSheet(step + 8);
    if (strcmp(step, "suspend") == 0)
        return BroadcastPower(PBT_APMSUSPEND);
    if (strcmp(step, "resume") == 0)
        return BroadcastPower(PBT_APMRESUMESUSPEND);
    if (strcmp(step, "destroy") == 0)
        return DestroyWindow(Rec.Item);
    if (strcmp(step, "unload") == 0)
        return CallDllEntry(Rec.Dll, DLL_PROCESS_DETACH);
    if (strncmp(step, "set:", 4) == 0)
        return StoreSetting(step + 4);
    if (strncmp(step, "alarm:", 6) == 0)
        return SetAlarm(step + 6);
    if (strncmp(step, "operator:", 9) == 0)
        return SetOperator(step + 9);
    if (strncmp(step, "font:", 5) == 0) {
        wsprintfW(Rec.ForeignFont, L"C:\\windows\\Fonts\\%hs", step + 5);
        return GetFileAttributesW(Rec.ForeignFont) != INVALID_FILE_ATTRIBUTES;
    }
    fprintf(stderr, "unknown step %s\n", step);
    return FALSE;
}

// One step, then what it left queued: posted messages and the paint of an
// invalidated item.
BOOL Step(const char *step)
{
    fprintf(Rec.Out, "S %s\n", step);
    if (!RunStep(step))
        return FALSE;
    Pump();
    return TRUE;
}

// The screen at the depth QZL_SCREEN_BITS asks for, for this process.
BOOL SetScreenBits()
{
    const char *bits = getenv("QZL_SCREEN_BITS");
    DEVMODEW mode = {};
    mode.dmSize = sizeof(mode);
    if (bits == NULL || !EnumDisplaySettingsW(NULL, ENUM_CURRENT_SETTINGS, &mode))
        return bits == NULL;
    mode.dmBitsPerPel = strtoul(bits, NULL, 10);
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    if (ChangeDisplaySettingsExW(NULL, &mode, NULL, 0, NULL) == DISP_CHANGE_SUCCESSFUL)
        return TRUE;
    fprintf(stderr, "the screen cannot take %s bits per pixel\n", bits);
    return FALSE;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: handheld_recorder DLL OUT STEP...\n");
        return 2;
    }
    Rec.Out = fopen(argv[2], "w");
    SYSTEMTIME clock = {2024, 3, 5, 15, 9, 41, 0, 0};
    Rec.Clock = clock;
    Rec.Ticks = 1000;
    Rec.LocaleName = "user";
    DWORD selectability = 0, size = sizeof(selectability);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Today\\Items\\Quartzel", L"Selectability",
                     RRF_RT_REG_DWORD, NULL, &selectability, &size) == ERROR_SUCCESS)
        fprintf(Rec.Out, "A Selectability = %lu\n", (unsigned long)selectability);
    WNDCLASSW host = {};
    host.lpfnWndProc = HostProc;
    host.lpszClassName = L"RecorderHost";
    RegisterClassW(&host);
    Rec.Host = CreateWindowExW(0, L"RecorderHost", L"", WS_POPUP | WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                               GetSystemMetrics(SM_CYSCREEN), NULL, NULL, NULL, NULL);
    EmptySettings();
    KeepDeviceValues();
    fprintf(Rec.Out, "A Screen = [%d,%d]\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    WCHAR dll[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, dll, MAX_PATH);
    // A failing run goes on through steps that fail, as the host would.
    int first = 3;
    BOOL failing = argc > 3 && strncmp(argv[3], "fail:", 5) == 0;
    if (failing && !TakeFailure(argv[first++] + 5)) {
        fprintf(stderr, "bad failure %s\n", argv[3]);
        return 2;
    }
    Rec.Dll = MapAndBind(dll, Bound);
    if (!Rec.Out || !Rec.Dll || !SetScreenBits())
        return 1;
    if (failing)
        fprintf(Rec.Out, "A FailBound = %s\n", Rec.FailBound ? "true" : "false");
    int failed = 0;
    for (int i = first; i < argc && !failed; i++) {
        if (!Step(argv[i]) && !failing) {
            fprintf(stderr, "step %s failed\n", argv[i]);
            failed = 1;
        }
    }
    fclose(Rec.Out);
    EmptySettings();
    RestoreDeviceValues();
    ChangeDisplaySettingsExW(NULL, NULL, NULL, 0, NULL);
    return failed;
}
