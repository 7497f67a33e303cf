// Identifiers of the program's compiled-in resources (shared by .rc and C++).
#pragma once

#define QL_RES_DATE_FORMAT_JS 101
#define QL_RES_JSON_LIBRARY_JS 102
#define QL_RES_CLOCK_PICTURE_PNG 201
#define QL_RES_CLOSE_BUTTON_PNG 202
#define QL_RES_TRAY_ICON_PNG 203
