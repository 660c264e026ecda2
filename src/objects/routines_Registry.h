#pragma once
// Registry routines on which the folder lookups and the engine's records rest. Key paths are written
// with a leading backslash ("\SOFTWARE\..."), relative to the root key. Every routine opens and closes
// its own key. Reads never raise; writes raise EIRCannotWriteValue.
#include <string>
#include <vector>

#include "core/classes.h"

struct HKEY__;  // the predefined key handles, without pulling in <windows.h>

namespace tav::sys {
enum class RootKey;  // sys/registry.h
}

namespace tav {

enum TRootKeys { hkClassesRoot, hkCurrentConfig, hkCurrentUser, hkDynData, hkLocalMachine, hkUsers };
extern const TNameList RootKeysNames;

using TRootKeyHandle = ::HKEY__*;

TRootKeyHandle RootKeyHandle(TRootKeys root);
// The same root for the system layer's keys.
sys::RootKey SysRootKey(TRootKeys root);
// The enumeration value of a predefined key handle; fallback for any other handle.
TRootKeys RootKeyOf(TRootKeyHandle handle, TRootKeys fallback);

// Default unless the key opens and holds a string value of that name that reads.
std::string ReadRegString(TRootKeys root, const std::string& key, const std::string& name,
                          const std::string& defaultValue);
// Default unless the key opens and holds a DWORD value of that name that reads.
int ReadRegInteger(TRootKeys root, const std::string& key, const std::string& name, int defaultValue);
// Create the key if needed; raise EIRCannotWriteValue ("... Key: %s Ident: %s Value %s") on failure.
void WriteRegString(TRootKeys root, const std::string& key, const std::string& name, const std::string& value);
// Likewise; the message is the key path alone.
void WriteRegInteger(TRootKeys root, const std::string& key, const std::string& name, int value);
// The log's line for a value written ("HKEY_LOCAL_MACHINE\key, name = value").
void LogRegistryValue(TRootKeys root, const std::string& key, const std::string& name, const std::string& value);
// Opens the key, creating it when missing; false when that fails.
bool CreateRegKey(TRootKeys root, const std::string& key);
// Deletes every subkey depth first, then the key; silent on every failure.
void DeleteKeyTree(TRootKeys root, const std::string& key);

// The RunOnce key under HKEY_LOCAL_MACHINE.
extern const char* const kRunOnceKey;
// Writes CommandLine into RunOnce as Name, or with Unique as the first free Name, Name1, Name2 ...
// False when the key cannot be opened or the value not written.
bool AddRunOnce(const std::string& name, const std::string& commandLine, bool unique);

}  // namespace tav
