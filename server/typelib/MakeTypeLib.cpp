// Build-time tool: writes the module's type library from the one that widl compiles from the
// IDL, re-creating the library's own types and referencing every type that the host library
// defines instead of copying it (widl copies imported interfaces; a host must see its own).
//
// Usage: kv_make_typelib <compiled.tlb> <host module> <output.tlb>
// The host module is loaded from its file, and the import entry records that file's name.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "com/Bstr.h"
#include "com/ComObject.h"
#include "com/Hresult.h"
#include "server/typelib/PrivateClassesRoot.h"

namespace {

using kv::ComPtr;

// Owns the names that GetNames hands out.
struct OwnedNames {
    std::vector<BSTR> names;
    ~OwnedNames() {
        for (BSTR name : names) ::SysFreeString(name);
    }
};

struct TypeAttr {
    ComPtr<ITypeInfo> info;
    TYPEATTR* attr = nullptr;
    explicit TypeAttr(ITypeInfo* source) : info(source) { kv::ThrowIfFailed(info->GetTypeAttr(&attr)); }
    ~TypeAttr() { info->ReleaseTypeAttr(attr); }
    TypeAttr(const TypeAttr&) = delete;
    TypeAttr& operator=(const TypeAttr&) = delete;
};

struct FuncDesc {
    ComPtr<ITypeInfo> info;
    FUNCDESC* desc = nullptr;
    FuncDesc(ITypeInfo* source, UINT index) : info(source) { kv::ThrowIfFailed(info->GetFuncDesc(index, &desc)); }
    ~FuncDesc() { info->ReleaseFuncDesc(desc); }
    FuncDesc(const FuncDesc&) = delete;
    FuncDesc& operator=(const FuncDesc&) = delete;
};

std::wstring FullPath(const wchar_t* path) {
    wchar_t buffer[MAX_PATH];
    const DWORD length = ::GetFullPathNameW(path, MAX_PATH, buffer, nullptr);
    if (length == 0 || length >= MAX_PATH) kv::ThrowIfFailed(HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME));
    return buffer;
}

ComPtr<ITypeLib> Load(const std::wstring& path) {
    ComPtr<ITypeLib> library;
    kv::ThrowIfFailed(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library));
    return library;
}

class LibraryWriter {
public:
    LibraryWriter(ITypeLib* source, ITypeLib* host, const std::wstring& output) : source_(source), host_(host) {
        // A library for 64-bit Windows lays out its vtables with 8-byte pointers.
#ifdef _WIN64
        constexpr SYSKIND kSystem = SYS_WIN64;
#else
        constexpr SYSKIND kSystem = SYS_WIN32;
#endif
        kv::ThrowIfFailed(::CreateTypeLib2(kSystem, output.c_str(), &target_));
    }

    void Write() {
        CopyLibraryAttributes();
        // Interfaces first, classes after them, each group in the order of the source library.
        std::vector<ComPtr<ITypeInfo>> interfaces, classes;
        const UINT count = source_->GetTypeInfoCount();
        for (UINT i = 0; i < count; ++i) {
            ComPtr<ITypeInfo> info;
            kv::ThrowIfFailed(source_->GetTypeInfo(i, &info));
            TypeAttr attr(info.Get());
            if (HostDefines(attr.attr->guid)) continue;
            if (attr.attr->typekind == TKIND_COCLASS)
                classes.push_back(info);
            else if (attr.attr->typekind == TKIND_INTERFACE || attr.attr->typekind == TKIND_DISPATCH)
                interfaces.push_back(info);
            else
                Fail(L"the library holds a kind of type that this tool does not copy");
        }
        // Create every type before filling any, so that types may refer to each other.
        for (auto& info : interfaces) Create(info.Get(), TKIND_INTERFACE);
        for (auto& info : classes) Create(info.Get(), TKIND_COCLASS);
        for (auto& info : interfaces) FillInterface(info.Get());
        for (auto& info : classes) FillClass(info.Get());
        for (auto& [guid, created] : created_) kv::ThrowIfFailed(created->LayOut());
        kv::ThrowIfFailed(target_->SaveAllChanges());
    }

private:
    [[noreturn]] static void Fail(const wchar_t* message) {
        std::fwprintf(stderr, L"kv_make_typelib: %ls\n", message);
        throw kv::ComFailure(E_FAIL);
    }

    static std::wstring Name(ITypeInfo* info) {
        kv::Bstr name;
        kv::ThrowIfFailed(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr));
        return name.str();
    }

    bool HostDefines(const GUID& guid) {
        ComPtr<ITypeInfo> info;
        return SUCCEEDED(host_->GetTypeInfoOfGuid(guid, &info));
    }

    void CopyLibraryAttributes() {
        TLIBATTR* attr = nullptr;
        kv::ThrowIfFailed(source_->GetLibAttr(&attr));
        const TLIBATTR copy = *attr;
        source_->ReleaseTLibAttr(attr);
        kv::Bstr name;
        kv::ThrowIfFailed(source_->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr));
        kv::ThrowIfFailed(target_->SetName(name.get()));
        kv::ThrowIfFailed(target_->SetGuid(copy.guid));
        kv::ThrowIfFailed(target_->SetVersion(copy.wMajorVerNum, copy.wMinorVerNum));
        // The loader marks every library that it reads from a file as having a disk image; that
        // is no flag of the library's own.
        kv::ThrowIfFailed(target_->SetLibFlags(copy.wLibFlags & ~LIBFLAG_FHASDISKIMAGE));
        // The library is registered under the neutral locale; oleaut32 still stamps 0x0409 into
        // the image's header as the locale of its own strings.
        kv::ThrowIfFailed(target_->SetLcid(LOCALE_NEUTRAL));
    }

    // A dual interface is described by its vtable part; the dispatch view follows from it.
    static ComPtr<ITypeInfo> VtablePart(ITypeInfo* info) {
        TypeAttr attr(info);
        if (attr.attr->typekind != TKIND_DISPATCH) return ComPtr<ITypeInfo>(info);
        if (!(attr.attr->wTypeFlags & TYPEFLAG_FDUAL)) Fail(L"a dispatch-only interface cannot be copied");
        HREFTYPE vtable = 0;
        kv::ThrowIfFailed(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable));
        ComPtr<ITypeInfo> part;
        kv::ThrowIfFailed(info->GetRefTypeInfo(vtable, &part));
        return part;
    }

    void Create(ITypeInfo* info, TYPEKIND kind) {
        TypeAttr attr(info);
        const std::wstring name = Name(info);
        ComPtr<ICreateTypeInfo> created;
        kv::ThrowIfFailed(target_->CreateTypeInfo(const_cast<LPOLESTR>(name.c_str()), kind, &created));
        kv::ThrowIfFailed(created->SetGuid(attr.attr->guid));
        kv::ThrowIfFailed(created->SetVersion(attr.attr->wMajorVerNum, attr.attr->wMinorVerNum));
        // oleaut32 reports a dual interface's vtable part as OLE-automation compatible but not its
        // dispatch view; the flags of both together describe the interface. A class gets its
        // flags once its interfaces are added (FillClass).
        if (kind == TKIND_INTERFACE)
            kv::ThrowIfFailed(
                created->SetTypeFlags(attr.attr->wTypeFlags | TypeAttr(VtablePart(info).Get()).attr->wTypeFlags));
        created_.emplace_back(attr.attr->guid, created);
    }

    // The type re-created for guid, or null when the new library has none.
    ICreateTypeInfo* CreatedFor(const GUID& guid) const {
        for (const auto& [known, created] : created_)
            if (::IsEqualGUID(known, guid)) return created.Get();
        return nullptr;
    }

    ICreateTypeInfo* Created(ITypeInfo* info) const {
        TypeAttr attr(info);
        return CreatedFor(attr.attr->guid);
    }

    // The type that a reference of the source library stands for in the new library: one that
    // it re-creates, else the host's own, else the referenced type itself (the standard library).
    HREFTYPE MapReference(ITypeInfo* from, HREFTYPE reference, ICreateTypeInfo* into) {
        ComPtr<ITypeInfo> referenced;
        kv::ThrowIfFailed(from->GetRefTypeInfo(reference, &referenced));
        TypeAttr attr(referenced.Get());
        ComPtr<ITypeInfo> mapped;
        if (ICreateTypeInfo* own = CreatedFor(attr.attr->guid))
            kv::ThrowIfFailed(own->QueryInterface(IID_PPV_ARGS(&mapped)));
        else if (FAILED(host_->GetTypeInfoOfGuid(attr.attr->guid, &mapped)))
            mapped = referenced;
        HREFTYPE result = 0;
        kv::ThrowIfFailed(into->AddRefTypeInfo(mapped.Get(), &result));
        return result;
    }

    TYPEDESC* MapType(ITypeInfo* from, const TYPEDESC& type, ICreateTypeInfo* into) {
        TYPEDESC& copy = types_.emplace_back(type);
        switch (type.vt) {
        case VT_PTR:
        case VT_SAFEARRAY:
            copy.lptdesc = MapType(from, *type.lptdesc, into);
            break;
        case VT_USERDEFINED:
            copy.hreftype = MapReference(from, type.hreftype, into);
            break;
        case VT_CARRAY:
            Fail(L"fixed-size arrays are not copied");
        default:
            break;
        }
        return &copy;
    }

    void FillInterface(ITypeInfo* described) {
        ComPtr<ITypeInfo> info = VtablePart(described);
        ICreateTypeInfo* into = Created(described);
        TypeAttr attr(info.Get());
        for (UINT i = 0; i < attr.attr->cImplTypes; ++i) {
            HREFTYPE base = 0;
            kv::ThrowIfFailed(info->GetRefTypeOfImplType(i, &base));
            kv::ThrowIfFailed(into->AddImplType(i, MapReference(info.Get(), base, into)));
        }
        for (UINT i = 0; i < attr.attr->cFuncs; ++i) CopyFunction(info.Get(), i, into);
    }

    void CopyFunction(ITypeInfo* info, UINT index, ICreateTypeInfo* into) {
        FuncDesc source(info, index);
        FUNCDESC copy = *source.desc;
        std::vector<ELEMDESC> parameters(source.desc->lprgelemdescParam,
                                         source.desc->lprgelemdescParam + source.desc->cParams);
        for (ELEMDESC& parameter : parameters) parameter.tdesc = *MapType(info, parameter.tdesc, into);
        copy.lprgelemdescParam = parameters.data();
        copy.elemdescFunc.tdesc = *MapType(info, source.desc->elemdescFunc.tdesc, into);
        copy.lprgscode = nullptr;
        copy.cScodes = 0;
        kv::ThrowIfFailed(into->AddFuncDesc(index, &copy));

        OwnedNames names;
        names.names.resize(static_cast<std::size_t>(source.desc->cParams) + 1);
        UINT found = 0;
        kv::ThrowIfFailed(info->GetNames(source.desc->memid, names.names.data(),
                                         static_cast<UINT>(names.names.size()), &found));
        names.names.resize(found);
        kv::ThrowIfFailed(into->SetFuncAndParamNames(index, names.names.data(), found));
    }

    void FillClass(ITypeInfo* info) {
        ICreateTypeInfo* into = Created(info);
        TypeAttr attr(info);
        for (UINT i = 0; i < attr.attr->cImplTypes; ++i) {
            HREFTYPE implemented = 0;
            INT flags = 0;
            kv::ThrowIfFailed(info->GetRefTypeOfImplType(i, &implemented));
            kv::ThrowIfFailed(info->GetImplTypeFlags(i, &flags));
            kv::ThrowIfFailed(into->AddImplType(i, MapReference(info, implemented, into)));
            kv::ThrowIfFailed(into->SetImplTypeFlags(i, flags));
        }
        // oleaut32 marks a class dispatchable when it loads one, and again when a dispatch interface
        // is added to it; the class declares no such flag, so its own flags are set last, without it.
        kv::ThrowIfFailed(into->SetTypeFlags(attr.attr->wTypeFlags & ~TYPEFLAG_FDISPATCHABLE));
    }

    ComPtr<ITypeLib> source_;
    ComPtr<ITypeLib> host_;
    ComPtr<ICreateTypeLib2> target_;
    std::vector<std::pair<GUID, ComPtr<ICreateTypeInfo>>> created_;  // in creation order
    std::deque<TYPEDESC> types_;  // stable addresses for the nested type descriptions
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fwprintf(stderr, L"usage: kv_make_typelib <compiled.tlb> <host module> <output.tlb>\n");
        return 2;
    }
    const HRESULT hr = kv::Barrier([&] {
        // Resolving the compiled library's imports makes oleaut32 register each import that it
        // finds only by file name; this process runs in the build's Wine prefix, whose registry the
        // tests use, so it works with a private, empty HKEY_CLASSES_ROOT and registers nothing.
        kv::PrivateClassesRoot privateRoot(L"kv_make_typelib");
        ComPtr<ITypeLib> source = Load(FullPath(argv[1]));
        // The full path lets oleaut32 find the file; the import records only its name.
        ComPtr<ITypeLib> host = Load(FullPath(argv[2]));
        const std::wstring output = FullPath(argv[3]);
        ::DeleteFileW(output.c_str());
        LibraryWriter(source.Get(), host.Get(), output).Write();
        return S_OK;
    });
    if (FAILED(hr)) {
        std::fwprintf(stderr, L"kv_make_typelib: failed with 0x%08lX\n", static_cast<unsigned long>(hr));
        return 1;
    }
    return 0;
}
