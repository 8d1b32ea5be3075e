#pragma once
// The plug-in's names as its host and the tools know them: the module and standard file names, the
// class, its class id and its two ProgIDs.
namespace vocabulary {

inline constexpr wchar_t kModuleFileName[] = L"KVStVB7Default.dll";
inline constexpr wchar_t kHostLibraryFileName[] = L"KVStMgr.dll";
inline constexpr wchar_t kStandardFileName[] = L"KVStPluginDefault.ini";
inline constexpr wchar_t kClassName[] = L"KVStPluginDefault";
// Must stay the coclass uuid of plugin/KVStVB7Default.idl; a test holds them together.
inline constexpr wchar_t kClassId[] = L"{CD0257E4-6183-4688-9DB6-93270B232B36}";
// The ProgID the module registers, by which hosts and kvstcheck create the class.
inline constexpr wchar_t kRegisteredProgId[] = L"KVStVB7Default.KVStPluginDefault";
// The ProgID the object's ProgID property answers: the name hosts have always been shown.
inline constexpr wchar_t kAnsweredProgId[] = L"KVStVB6Default.KVStPluginDefault";

}  // namespace vocabulary
