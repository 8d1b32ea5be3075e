#pragma once
// Reads the stored fields of an OLE Automation type library image (the "MSFT" format) straight
// from its bytes: the library header and each type's entry. oleaut32 adds and drops flags when
// it loads a library, so what a module really carries can be checked only here. Portable C++.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvtest {

struct StoredType {
    std::string name;
    std::uint32_t kind = 0;   // TYPEKIND
    std::uint32_t flags = 0;  // TYPEFLAGS as stored
    std::string guid;         // the 16 bytes of the type's identifier
};

struct StoredTypeLibrary {
    std::uint32_t sysKind = 0;   // SYSKIND, the low nibble of the header's flags word
    std::uint32_t libFlags = 0;  // LIBFLAGS as stored
    std::uint32_t lcid = 0;      // locale recorded in the image
    std::uint32_t registeredLcid = 0;
    std::vector<StoredType> types;  // in the library's order
};

// Throws std::runtime_error when the bytes are not a well-formed image.
StoredTypeLibrary ReadStoredTypeLibrary(std::string_view image);

}  // namespace kvtest
