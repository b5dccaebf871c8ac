// Resource ids. Strings 1..30; the host dialog 500; page templates 510..517
// with one block of control ids per page.
#pragma once

// Strings
#define IDS_RUN                 1
#define IDS_OPTIONS_MENU        2
#define IDS_NEXT_ALARM_IN       3
#define IDS_UNIT_DAYS           4
#define IDS_UNIT_HOURS          5
#define IDS_UNIT_MINUTES        6
#define IDS_UNIT_SECONDS        7
#define IDS_PHONE_CONNECTED     8
#define IDS_PHONE_SEARCHING     9
#define IDS_PHONE_NO_SERVICE    10
#define IDS_PHONE_BLOCKED_SIM   11
#define IDS_PHONE_INVALID_SIM   12
#define IDS_PHONE_NO_SIM        13
#define IDS_PHONE_OFF           14
#define IDS_PHONE_NONE          15
#define IDS_ALL_FILES           16
#define IDS_TAB_GENERAL         17   // 17..24: tab titles in page order
#define IDS_TAB_DAYDATE         18
#define IDS_TAB_TIME            19
#define IDS_TAB_FONTSIZE        20
#define IDS_TAB_COLOR           21
#define IDS_TAB_BACKGROUND      22
#define IDS_TAB_CLEARTYPE       23
#define IDS_TAB_ABOUT           24
#define IDS_ACTION_NONE         25
#define IDS_ACTION_CLOCK        26
#define IDS_ACTION_FILE         27
#define IDS_HEADER_ABOUT        28
#define IDS_HEADER_TODAY        29
#define IDS_HEADER_OPTIONS      30

// Dialogs
#define IDD_OPTIONS_HOST        500
#define IDD_PAGE_GENERAL        510
#define IDD_PAGE_DAYDATE        511
#define IDD_PAGE_TIME           512
#define IDD_PAGE_FONTSIZE       513
#define IDD_PAGE_COLOR          514
#define IDD_PAGE_BACKGROUND     515
#define IDD_PAGE_CLEARTYPE      516
#define IDD_PAGE_ABOUT          517

// Page control ids are in page-controls.h.
#include "page-controls.h"
