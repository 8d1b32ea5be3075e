#include "ThreadImageCache.h"

#include <windows.h>

#include <new>
#include <utility>

#include "FileImage.h"
#include "StandardLoad.h"
#include "com/ExclusiveLock.h"

namespace standards::thread_image_cache {
namespace {

// One thread's kept image, linked into the module's list of live slots so that unloading the
// module frees the slots of threads that are still running.
struct Slot {
    std::wstring path;
    std::shared_ptr<const FileImage> image;
    std::shared_ptr<const StandardLoad> load;  // made from image, or null
    Slot* previous = nullptr;
    Slot* next = nullptr;
};

// Set only while the module loads and unloads, under the loader's lock.
DWORD slotIndex = TLS_OUT_OF_INDEXES;
// Taken only when a thread makes or frees its slot, never by a load that finds its slot.
SRWLOCK liveSlotsLock = SRWLOCK_INIT;
Slot* liveSlots = nullptr;

Slot* OwnSlot() noexcept {
    return slotIndex == TLS_OUT_OF_INDEXES ? nullptr : static_cast<Slot*>(::TlsGetValue(slotIndex));
}

// The calling thread's slot, made on its first use; null without memory for it.
Slot* MakeOwnSlot() noexcept {
    if (Slot* slot = OwnSlot()) return slot;
    Slot* slot = new (std::nothrow) Slot;
    if (slot == nullptr) return nullptr;
    if (!::TlsSetValue(slotIndex, slot)) {
        delete slot;
        return nullptr;
    }
    const kv::ExclusiveLock lock(liveSlotsLock);
    slot->next = liveSlots;
    if (liveSlots != nullptr) liveSlots->previous = slot;
    liveSlots = slot;
    return slot;
}

// The calling thread's slot when image is the one it keeps, or null.
Slot* SlotHolding(const FileImage& image) noexcept {
    Slot* slot = OwnSlot();
    return slot != nullptr && slot->image.get() == &image ? slot : nullptr;
}

void Unlink(Slot* slot) noexcept {
    const kv::ExclusiveLock lock(liveSlotsLock);
    (slot->previous != nullptr ? slot->previous->next : liveSlots) = slot->next;
    if (slot->next != nullptr) slot->next->previous = slot->previous;
}

}  // namespace

bool Start() noexcept {
    slotIndex = ::TlsAlloc();
    return slotIndex != TLS_OUT_OF_INDEXES;
}

void EndThread() noexcept {
    Slot* slot = OwnSlot();
    if (slot == nullptr) return;
    Unlink(slot);
    ::TlsSetValue(slotIndex, nullptr);
    delete slot;
}

void Stop(bool processExiting) noexcept {
    if (processExiting || slotIndex == TLS_OUT_OF_INDEXES) return;
    Slot* slots = nullptr;
    {
        const kv::ExclusiveLock lock(liveSlotsLock);
        slots = liveSlots;
        liveSlots = nullptr;
    }
    while (slots != nullptr) delete std::exchange(slots, slots->next);
    // Running threads keep their stale values, which nothing reads: the index is out until the next
    // Start, whose TlsAlloc gives every thread a zeroed value.
    ::TlsFree(slotIndex);
    slotIndex = TLS_OUT_OF_INDEXES;
}

std::shared_ptr<const FileImage> KeptFor(const std::wstring& path) noexcept {
    const Slot* slot = OwnSlot();
    return slot != nullptr && slot->path == path ? slot->image : nullptr;
}

void Forget() noexcept {
    if (Slot* slot = OwnSlot()) {
        slot->image.reset();
        slot->load.reset();
    }
}

void Keep(const std::wstring& path, std::shared_ptr<const FileImage> image) noexcept {
    if (slotIndex == TLS_OUT_OF_INDEXES) return;
    Slot* slot = MakeOwnSlot();
    if (slot == nullptr) return;
    try {
        slot->load.reset();
        slot->path = path;
        slot->image = std::move(image);
    } catch (const std::bad_alloc&) {
        slot->image.reset();
    }
}

bool Holds(const FileImage& image) noexcept { return SlotHolding(image) != nullptr; }

std::shared_ptr<const StandardLoad> KeptLoad(const FileImage& image) noexcept {
    const Slot* slot = SlotHolding(image);
    return slot != nullptr ? slot->load : nullptr;
}

void KeepLoad(const FileImage& image, std::shared_ptr<const StandardLoad> load) noexcept {
    if (Slot* slot = SlotHolding(image)) slot->load = std::move(load);
}

}  // namespace standards::thread_image_cache
