#pragma once
// The registry keys that registering the plug-in writes, below the classes root.
namespace kvtest {

inline constexpr wchar_t kClassKey[] = L"CLSID\\{CD0257E4-6183-4688-9DB6-93270B232B36}";
inline constexpr wchar_t kProgID[] = L"KVStVB7Default.KVStPluginDefault";
inline constexpr wchar_t kLibraryKey[] = L"TypeLib\\{34778468-C70C-41D8-B056-534670D04504}";
// A type library registers under the kind of system it is built for.
#ifdef _WIN64
inline constexpr wchar_t kLibraryPlatform[] = L"win64";
#else
inline constexpr wchar_t kLibraryPlatform[] = L"win32";
#endif

}  // namespace kvtest
