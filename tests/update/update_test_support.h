// What the update library's tests share: where the loopback server and its trees are.
#pragma once

#include <windows.h>

#include <string>

// The folder make_trees.py filled (a host path reached through Wine's Z: drive).
std::wstring treesFolder();
// "127.0.0.1:PORT" of the running test server, and a loopback port where connections are refused.
std::wstring serverHost();
std::wstring refusedHost();
std::string readWholeFile(const std::wstring& path);
// Copies a folder tree (files and subfolders).
void copyTree(const std::wstring& from, const std::wstring& to);
void setMachineString(const wchar_t* name, const std::wstring& value);
void setMachineDword(const wchar_t* name, DWORD value);
void deleteMachineValue(const wchar_t* name);
