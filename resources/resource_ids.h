// Identifiers of the program's compiled-in resources (shared by .rc and C++).
#pragma once

#define QL_RES_DATE_FORMAT_JS 101
#define QL_RES_JSON_LIBRARY_JS 102
