#include "timeformat.h"

TimeFormatInfoRecord TimeFormatInfo;

BOOL RefreshTimeFormat(BOOL *relayout) { *relayout = FALSE; return FALSE; }
void ExtractMarkers(const WCHAR *, WCHAR *am, WCHAR *pm) { am[0] = pm[0] = 0; }
const WCHAR *HourPicture() { return L"HH"; }
void ComposeDayDate(const SYSTEMTIME *, DayDateTexts *texts) { *texts = DayDateTexts(); }
