#pragma once
// The few registry calls the program makes, kept on Linux in one small file of
// our own. Names, statuses and argument order follow the calls the program was
// written against, so the routines above this layer read as they always did.
//
// Only HKEY_CURRENT_USER holds anything; HKEY_LOCAL_MACHINE is there but empty
// and read-only. Key and value names compare case-blind, keys are separated by
// backslashes. Values are bytes with a type, stored exactly as given.
// User-interface thread only: the handle table is not locked.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/basic/Text.h"

namespace registry {

inline constexpr int32_t HKEY_CURRENT_USER = static_cast<int32_t>(0x80000001u);
inline constexpr int32_t HKEY_LOCAL_MACHINE = static_cast<int32_t>(0x80000002u);

inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;

// Access bits; 0x3F is everything a key itself grants.
inline constexpr uint32_t KEY_QUERY_VALUE = 0x1;
inline constexpr uint32_t KEY_SET_VALUE = 0x2;
inline constexpr uint32_t KEY_CREATE_SUB_KEY = 0x4;
inline constexpr uint32_t KEY_ALL_ACCESS = 0xF003F;

inline constexpr int32_t REG_CREATED_NEW_KEY = 1;
inline constexpr int32_t REG_OPENED_EXISTING_KEY = 2;

inline constexpr int32_t ERROR_SUCCESS = 0;
inline constexpr int32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr int32_t ERROR_ACCESS_DENIED = 5;
inline constexpr int32_t ERROR_INVALID_HANDLE = 6;
inline constexpr int32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr int32_t ERROR_BAD_PATHNAME = 161;
inline constexpr int32_t ERROR_MORE_DATA = 234;
inline constexpr int32_t ERROR_REGISTRY_IO_FAILED = 1016;
inline constexpr int32_t ERROR_KEY_DELETED = 1018;  // another process removed the open key

// Opens the key `subkey` below `root` (a root constant or an open handle),
// creating it and any missing keys on the way. `disposition` tells which.
int32_t RegCreateKeyEx(int32_t root, const Text& subkey, uint32_t zugriff, int32_t& handle, int32_t& disposition);
// Opens an existing key; never creates one. On failure `handle` is 0.
int32_t RegOpenKeyEx(int32_t root, const Text& subkey, uint32_t zugriff, int32_t& handle);
// Without a buffer: reports type and size only. With one: `size` is its
// capacity on entry (the vector grows to it if shorter) and the value's size
// on return; a value larger than the capacity gives ERROR_MORE_DATA.
int32_t RegQueryValueEx(int32_t handle, const Text& name, uint32_t& typ, std::vector<uint8_t>* buffer, uint32_t& size);
int32_t RegSetValueEx(int32_t handle, const Text& name, uint32_t typ, const uint8_t* daten, uint32_t size);
int32_t RegCloseKey(int32_t handle);

// The file that holds the keys. By default `$XDG_CONFIG_HOME/purivo/registry`,
// else `~/.config/purivo/registry`; an empty path returns to that default.
void RegistryDateiSetzen(std::string pfad);
std::string RegistryDatei();

}  // namespace registry
