// Where a text may be cut: at each boundary of Unicode's own test of
// extended grapheme clusters (GraphemeBreakTest.txt, every line read here
// at run time, its path the first argument), and at no other place; and
// what a copy into a small buffer keeps.
#include "testlib.h"
#include "textcut.h"
#include <stdlib.h>
#include <string.h>

static const char *UnicodeTestPath;

// One line of the Unicode test as UTF-16, with whether a cut before each
// unit is allowed ('÷' allows one, '×' does not; inside a surrogate pair
// none is).
struct Sample {
    WCHAR Text[64];
    BOOL Allowed[65];
    int Length;
};

static void AppendCodePoint(Sample *sample, unsigned long c)
{
    if (c < 0x10000) {
        sample->Text[sample->Length++] = (WCHAR)c;
        return;
    }
    sample->Text[sample->Length++] = (WCHAR)(0xD800 + ((c - 0x10000) >> 10));
    sample->Allowed[sample->Length] = FALSE;
    sample->Text[sample->Length++] = (WCHAR)(0xDC00 + ((c - 0x10000) & 0x3FF));
}

// Reads "÷ 0020 × 0308 ÷" (UTF-8 signs between hexadecimal code points);
// FALSE for a comment or an empty line.
static BOOL ParseSample(char *line, Sample *sample)
{
    char *comment = strchr(line, '#');
    if (comment)
        *comment = 0;
    sample->Length = 0;
    BOOL any = FALSE;
    for (char *token = strtok(line, " \t\r\n"); token; token = strtok(NULL, " \t\r\n")) {
        if (strcmp(token, "\xC3\xB7") == 0 || strcmp(token, "\xC3\x97") == 0)
            sample->Allowed[sample->Length] = token[1] == '\xB7';
        else if (sample->Length < 62) {
            AppendCodePoint(sample, strtoul(token, NULL, 16));
            any = TRUE;
        }
    }
    sample->Text[sample->Length] = 0;
    return any;
}

static void test_unicode_boundaries()
{
    FILE *file = fopen(UnicodeTestPath, "rb");
    ok(file != NULL, "cannot open %s\n", UnicodeTestPath);
    if (!file)
        return;
    char line[1024];
    int samples = 0, lineNumber = 0;
    Sample sample;
    while (fgets(line, sizeof(line), file)) {
        lineNumber++;
        if (!ParseSample(line, &sample))
            continue;
        samples++;
        for (int i = 0; i <= sample.Length; i++)
            ok(CharacterBoundaryAt(sample.Text, sample.Length, i) == sample.Allowed[i],
               "line %d: a cut before unit %d of \"%ls\" should be %s\n", lineNumber, i, sample.Text,
               sample.Allowed[i] ? "allowed" : "refused");
    }
    fclose(file);
    ok(samples >= 600, "%d samples read from %s\n", samples, UnicodeTestPath);
}

// Characters the Unicode test has no sample of, from the locales' texts:
// marks outside the BMP (the Chakma virama, Adlam's marks), spacing marks
// of Bengali, Telugu, Malayalam, Myanmar and Khmer, variation selectors.
static void test_marks_without_a_sample()
{
    static const struct {
        const WCHAR *Text;
        int Index;
    } joined[] = {
        {L"\xD804\xDD07\xD804\xDD34", 2},
        {L"\xD83A\xDD00\xD83A\xDD44", 2},
        {L"\xD83A\xDD22\xD83A\xDD46", 2},
        {L"\x0985\x0982", 1},
        {L"\x0C15\x0C02", 1},
        {L"\x0D15\x0D02", 1},
        {L"\x1000\x103B", 1},
        {L"\x1780\x17C7", 1},
        {L"\x2764\xFE0F", 1},
        {L"\x263A\xFE0E", 1},
    };
    for (const auto &j : joined)
        ok(!CharacterBoundaryAt(j.Text, lstrlenW(j.Text), j.Index), "\"%ls\" cut before unit %d\n", j.Text, j.Index);
}

// A copy keeps what fits in the buffer, the terminator included, cut where
// a character ends, and writes nothing past the buffer.
static void test_copies()
{
    static const struct {
        const WCHAR *Text;
        int Chars;
        const WCHAR *Kept;
    } cuts[] = {
        {L"abc", 4, L"abc"},
        {L"abcd", 3, L"ab"},
        {L"ab\xD83D\xDE00", 4, L"ab"},
        {L"ab\xD83D\xDE00", 5, L"ab\xD83D\xDE00"},
        {L"ae\x0301x", 3, L"a"},
        {L"ae\x0301x", 4, L"ae\x0301"},
        {L"", 1, L""},
    };
    for (const auto &cut : cuts) {
        WCHAR text[16];
        for (WCHAR &c : text)
            c = L'~';
        CopyWithin(text, cut.Chars, cut.Text);
        ok(lstrcmpW(text, cut.Kept) == 0 && text[cut.Chars] == L'~', "\"%ls\" in %d: \"%ls\"\n", cut.Text, cut.Chars,
           text);
    }
}

int main(int argc, char **argv)
{
    UnicodeTestPath = argc > 1 ? argv[1] : "(no path given)";
    run_test(test_unicode_boundaries);
    run_test(test_marks_without_a_sample);
    run_test(test_copies);
    return TestSummary();
}
