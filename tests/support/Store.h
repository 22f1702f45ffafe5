// The program's registry keys, as a test sets and inspects them.
#pragma once
#include <windows.h>
#include <map>
#include <string>
#include <vector>
#include "../../settings/Settings.h"

namespace Store {
struct Value {
    DWORD type;
    std::string bytes;
    bool operator==(const Value& other) const { return type == other.type && bytes == other.bytes; }
};
// The machine-wide key (in a 32-bit program's view), the user's own key, the
// copy registry virtualization kept for the user of the 32-bit program, the policy key.
enum Place { MACHINE, USER, VIRTUALIZED, POLICY };

// Removes all four, with their profiles.
void Clear();
// A profile's key below the place where one is named.
void Put(const char* name, DWORD type, const void* data, DWORD size, Place place = MACHINE, const char* profile = "");
// A REG_SZ value with its terminating NUL counted, as the program stores it.
void PutText(const char* name, const std::string& text, Place place = MACHINE, const char* profile = "");
// Every value under the key, by name; empty when there is no key.
std::map<std::string, Value> Read(Place place = MACHINE, const char* profile = "");

// For the scope, a key (created when missing) is locked as Windows keeps the
// machine-wide one from a program without elevation: readable, and at most
// its values may be set. The tests share the prefix: the key is writable
// again afterwards.
class LockedKey {
public:
    explicit LockedKey(Place place = MACHINE, bool bValuesMayBeSet = false);
    ~LockedKey();

private:
    Place m_place;
    std::vector<BYTE> m_oldDacl;
};
}
