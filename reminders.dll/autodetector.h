// Finds installed security programs from a database downloaded from the suite's server.
#pragma once

#include <windows.h>
#include <cstdio>

enum : int { TYPE_AV = 0, TYPE_FW, TYPE_SS, TYPE_AM, TYPE_AS, TYPE_OT };

// Text ids of the detector.
enum : int { IDS_DB_DOWNLOAD_FAILED = 17, IDS_NO_UPDATE_DLL = 0xA03 };

// One program definition. The texts point into `line`, which the definition owns.
struct PD {
    wchar_t* name;
    int type;
    HKEY hive;
    wchar_t* key;
    wchar_t* value;
    wchar_t* updater;  // " " for none
    wchar_t* switches; // " " for none
    PD* next;
    wchar_t* line;
};
using PROG_DEF = PD;

int getTypeCode(const wchar_t* str);
PD* createDef(const wchar_t* str);          // null when the line is invalid
PD* parseDatabase(FILE* file);              // definitions up to the first empty or invalid line
void freeDefs(PD* list);
wchar_t* findInstallPath(const PD* program); // every registry view where the program may have registered
PD* keepInstalled(PD* list);                 // frees the definitions of programs not installed
BOOL downloadDatabase(const wchar_t* dest);
PD* detectPrograms();
