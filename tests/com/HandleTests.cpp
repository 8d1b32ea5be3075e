// The one owner of Windows handles: every handle it takes is closed exactly once, none it was
// given back is closed, and the empty value of each kind is the one its system function fails with.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "com/Handle.h"
#include "support/TempFolder.h"

namespace {

// A handle kind whose closes are recorded; -1 is its empty value, as INVALID_HANDLE_VALUE is for files.
std::vector<int> closed;

struct CountingTraits {
    using Value = int;
    static Value Empty() noexcept { return -1; }
    static void Close(Value handle) noexcept { closed.push_back(handle); }
};
using Counted = kv::UniqueHandle<CountingTraits>;

struct OwnerCase {
    const char* what;
    std::function<void()> steps;  // runs in its own scope: every owner it makes is gone afterwards
    std::vector<int> closes;      // in order
};

TEST(UniqueHandleTest, EveryHandleTakenIsClosedOnceAndNoneGivenBack) {
    const OwnerCase cases[] = {
        {"an owner closes its handle when it goes", [] { Counted owner(7); }, {7}},
        {"an empty owner closes nothing", [] { Counted owner; }, {}},
        {"an owner of the empty value closes nothing", [] { Counted owner(-1); }, {}},
        {"zero is a handle like any other here", [] { Counted owner(0); }, {0}},
        {"reset closes the old handle at once and the new one later",
         [] {
             Counted owner(7);
             owner.reset(8);
             closed.push_back(100);  // marks the end of the scope's own steps
         },
         {7, 100, 8}},
        {"reset to nothing closes and leaves the owner empty",
         [] {
             Counted owner(7);
             owner.reset();
             EXPECT_FALSE(owner.valid());
         },
         {7}},
        {"release hands the handle over unclosed",
         [] {
             Counted owner(7);
             EXPECT_EQ(owner.release(), 7);
             EXPECT_EQ(owner.get(), -1);
         },
         {}},
        {"a moved handle is closed once, by its new owner",
         [] {
             Counted first(7);
             Counted second(std::move(first));
             EXPECT_FALSE(first.valid());
             EXPECT_EQ(second.get(), 7);
         },
         {7}},
        {"move assignment closes what the target held, then the moved handle once",
         [] {
             Counted target(7);
             Counted source(8);
             target = std::move(source);
             closed.push_back(100);
         },
         {7, 100, 8}},
        {"assigning an owner to itself keeps its handle open",
         [] {
             Counted owner(7);
             Counted& same = owner;
             owner = std::move(same);
             EXPECT_EQ(owner.get(), 7);
             closed.push_back(100);
         },
         {100, 7}},
        {"put closes the old handle before the system writes a new one",
         [] {
             Counted owner(7);
             int* slot = owner.put();
             EXPECT_EQ(closed, std::vector<int>{7});
             *slot = 9;
         },
         {7, 9}},
        {"owners in a container close each of theirs once, however often it grew",
         [] {
             {
                 std::vector<Counted> owners;
                 for (int handle = 1; handle <= 20; ++handle) owners.emplace_back(handle);
             }
             std::sort(closed.begin(), closed.end());
         },
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}},
    };
    for (const OwnerCase& c : cases) {
        closed.clear();
        c.steps();
        EXPECT_EQ(closed, c.closes) << c.what;
    }
}

TEST(UniqueHandleTest, WhatASystemFunctionFailsWithIsTheEmptyOwner) {
    const kvtest::TempFolder folder;
    const std::wstring missing = folder / L"missing";
    WIN32_FIND_DATAW found{};
    struct Case {
        const char* kind;
        bool valid;
    } cases[] = {
        {"file",
         kv::FileHandle(::CreateFileW(missing.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)).valid()},
        {"search", kv::FindHandle(::FindFirstFileW((missing + L"\\*").c_str(), &found)).valid()},
        {"module", kv::LoadedModule(::LoadLibraryW(missing.c_str())).valid()},
        {"registry key", kv::RegistryKey().valid()},
        {"local memory", kv::LocalMemory<wchar_t*>().valid()},
    };
    for (const Case& c : cases) EXPECT_FALSE(c.valid) << c.kind;
}

// A file opened for no sharing can be opened again only once its owner has closed it.
bool CanOpenAlone(const std::wstring& path) {
    return kv::FileHandle(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)).valid();
}

TEST(UniqueHandleTest, AFileStaysOpenThroughAMoveAndClosesWithItsLastOwner) {
    const kvtest::TempFolder folder;
    const std::wstring path = folder / L"held.txt";
    kvtest::WriteFileBytes(path, "x");
    kv::FileHandle held;
    {
        kv::FileHandle opened(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(opened);
        EXPECT_FALSE(CanOpenAlone(path));
        held = std::move(opened);
    }
    EXPECT_FALSE(CanOpenAlone(path)) << "the moved-from owner closed the file";
    held.reset();
    EXPECT_TRUE(CanOpenAlone(path));
}

TEST(UniqueHandleTest, AModuleStaysLoadedWhileAnyOwnerHoldsAReference) {
    // The host library: nothing in this program loads it by itself.
    const std::wstring module = kvtest::Wide(KV_HOST_DLL);
    ASSERT_EQ(::GetModuleHandleW(module.c_str()), nullptr);
    kv::LoadedModule first(::LoadLibraryW(module.c_str()));
    kv::LoadedModule second(::LoadLibraryW(module.c_str()));
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    first.reset();
    EXPECT_EQ(::GetModuleHandleW(module.c_str()), second.get());
    second.reset();
    EXPECT_EQ(::GetModuleHandleW(module.c_str()), nullptr);
}

TEST(UniqueHandleTest, ARegistryKeyFromPutStaysOpenForTheOwnerItIsReleasedTo) {
    const std::wstring path = L"Software\\kvtest-handle-" + std::to_wstring(::GetCurrentProcessId());
    {
        kv::RegistryKey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                                    nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        const DWORD value = 42;
        EXPECT_EQ(::RegSetValueExW(key.get(), L"v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
                  ERROR_SUCCESS);
        const HKEY raw = key.release();
        EXPECT_FALSE(key);
        // Released, the key is still open for its new owner.
        kv::RegistryKey adopted(raw);
        DWORD read = 0, size = sizeof read;
        EXPECT_EQ(::RegQueryValueExW(adopted.get(), L"v", nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(read, 42u);
    }
    EXPECT_EQ(::RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS);
}

}  // namespace
