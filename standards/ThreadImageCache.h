#pragma once
// The last standard file image each thread made, kept for its next load: a load still checks the
// path and reads the whole file, and reuses the image only when the bytes are the same as the
// kept image's, byte for byte, at the same path. Beside the image, what the loader made of it, so
// that a reused image is not walked again. One image per thread, so objects take no locks.
//
// Off until Start: a program that links the standards library without starting it (the tests, the
// benches) makes a new image at every load. The plug-in module's entry point starts it when the
// module loads, ends a thread's share when the thread ends, and stops it when the module goes.
#include <memory>
#include <string>
#include <string_view>

namespace standards {

class FileImage;
struct StandardLoad;

namespace thread_image_cache {

// False when the system has no thread slot left: loads then go without the cache.
bool Start() noexcept;
// Frees the calling thread's image, if it kept one.
void EndThread() noexcept;
// Frees every thread's image and the thread slot. With processExiting, the other threads are gone
// without their notices and their memory is the system's to reclaim: nothing is touched.
void Stop(bool processExiting) noexcept;

// The calling thread's image when it was made from the file at path, whose bytes the caller
// compares with the file's; otherwise null.
std::shared_ptr<const FileImage> KeptFor(const std::wstring& path) noexcept;
// Lets the calling thread's image go: the file's bytes are no longer its bytes.
void Forget() noexcept;
// Keeps image as the calling thread's, made from the file at path; without memory for that, nothing
// is kept.
void Keep(const std::wstring& path, std::shared_ptr<const FileImage> image) noexcept;

// True when image is the calling thread's kept image.
bool Holds(const FileImage& image) noexcept;
// The load the calling thread kept for image (without an account of its reading), or null.
std::shared_ptr<const StandardLoad> KeptLoad(const FileImage& image) noexcept;
// Keeps load as what the loader made of image, while image is the calling thread's kept one.
void KeepLoad(const FileImage& image, std::shared_ptr<const StandardLoad> load) noexcept;

}  // namespace thread_image_cache
}  // namespace standards
