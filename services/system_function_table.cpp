#include "services/system_functions.h"

const SystemFunctionDeclaration kSystemFunctionDeclarations[kSystemFunctionCount] = {
    {"gdi32.dll", "RemoveFontMemResourceEx"},
    {"kernel32", "WideCharToMultiByte"},
    {"gdi32.dll", "AddFontMemResourceEx"},
    {nullptr, "OpenProcess"},
    {nullptr, "TerminateProcess"},
    {nullptr, "CreateToolhelp32Snapshot"},
    {nullptr, "Process32First"},
    {"kernel32", "CloseHandle"},
    {nullptr, "Process32Next"},
};
