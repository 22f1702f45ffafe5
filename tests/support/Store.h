// The program's machine-wide registry key, as a test sets and inspects it.
#pragma once
#include <windows.h>
#include <map>
#include <string>
#include "../../settings/Settings.h"

namespace Store {
struct Value { DWORD type; std::string bytes; };

void Clear();
void Put(const char* name, DWORD type, const void* data, DWORD size);
// A REG_SZ value with its terminating NUL counted, as the program stores it.
void PutText(const char* name, const std::string& text);
// Every value under the key, by name; empty when there is no key.
std::map<std::string, Value> Read();
}
