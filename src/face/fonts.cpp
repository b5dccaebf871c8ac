#include "fonts.h"

ClockFontsRecord ClockFonts;
FontProbeRecord FontProbe;

int ScreenLogPixelsY() { return 96; }
int ScreenLogPixelsX() { return 96; }
int DeviceY(int n) { return (ScreenLogPixelsY() * n + 48) / 96; }
int DeviceX(int n) { return (ScreenLogPixelsX() * n + 48) / 96; }
int SystemUiFontPoints() { return 8; }
void InstallAndProbePrivateFont() {}
void RemovePrivateFont() {}
void BuildClockFonts() {}
void DeleteClockFonts() {}
void MapToPrivateDigits(WCHAR *) {}
