#include "DispatchFacts.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <stdexcept>

#include "com/Bstr.h"
#include "com/ComObject.h"
#include "support/TempFolder.h"

namespace kvtest {
namespace {

void Check(HRESULT hr, const char* step) {
    if (SUCCEEDED(hr)) return;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    throw std::runtime_error(std::string(step) + " failed: " + code);
}

// The blocks that a type information lends out, given back when they go.
template <class Block, void (STDMETHODCALLTYPE ITypeInfo::*Give)(Block*)>
class Lent {
public:
    Lent(ITypeInfo* info, Block* block) noexcept : info_(info), block_(block) {}
    Lent(const Lent&) = delete;
    Lent& operator=(const Lent&) = delete;
    ~Lent() { (info_->*Give)(block_); }
    const Block* operator->() const noexcept { return block_; }

private:
    ITypeInfo* info_;
    Block* block_;
};
using Attributes = Lent<TYPEATTR, &ITypeInfo::ReleaseTypeAttr>;
using Function = Lent<FUNCDESC, &ITypeInfo::ReleaseFuncDesc>;

Attributes AttributesOf(ITypeInfo* info) {
    TYPEATTR* attributes = nullptr;
    Check(info->GetTypeAttr(&attributes), "GetTypeAttr");
    return {info, attributes};
}

// The vtable side of a dual interface lists only the interface's own functions.
kv::ComPtr<ITypeInfo> VtableSide(ITypeInfo* info) {
    const Attributes attributes = AttributesOf(info);
    if (attributes->typekind == TKIND_INTERFACE) return info;
    if (attributes->typekind != TKIND_DISPATCH || !(attributes->wTypeFlags & TYPEFLAG_FDUAL))
        throw std::runtime_error("the type is no dual interface");
    HREFTYPE reference = 0;
    Check(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference), "GetRefTypeOfImplType");
    kv::ComPtr<ITypeInfo> vtable;
    Check(info->GetRefTypeInfo(reference, &vtable), "GetRefTypeInfo");
    return vtable;
}

DispatchFacts FactsOfFunction(ITypeInfo* info, UINT index) {
    FUNCDESC* raw = nullptr;
    Check(info->GetFuncDesc(index, &raw), "GetFuncDesc");
    const Function function(info, raw);
    DispatchFacts facts;
    facts.id = function->memid;
    facts.invokeKind = static_cast<WORD>(function->invkind);
    for (SHORT i = 0; i < function->cParams; ++i) {
        const USHORT flags = function->lprgelemdescParam[i].paramdesc.wParamFlags;
        if (!(flags & (PARAMFLAG_FRETVAL | PARAMFLAG_FLCID))) ++facts.argumentCount;
    }
    kv::Bstr name;
    UINT count = 0;
    Check(info->GetNames(function->memid, &name, 1, &count), "GetNames");
    facts.name = name.str();
    return facts;
}

std::string Describe(const DispatchFacts& facts) {
    const char* kind = facts.invokeKind == INVOKE_FUNC          ? "method"
                       : facts.invokeKind == INVOKE_PROPERTYGET ? "propget"
                       : facts.invokeKind == INVOKE_PROPERTYPUT ? "propput"
                                                                : "other";
    char id[16];
    std::snprintf(id, sizeof id, "0x%08lX", static_cast<unsigned long>(facts.id));
    return std::string(id) + " " + Utf8(facts.name) + " " + kind + " " + std::to_string(facts.argumentCount) +
           " argument(s)";
}

std::string OnlyIn(const char* side, const std::vector<DispatchFacts>& first,
                   const std::vector<DispatchFacts>& second) {
    std::vector<DispatchFacts> only;
    std::set_difference(first.begin(), first.end(), second.begin(), second.end(), std::back_inserter(only));
    std::string lines;
    for (const DispatchFacts& facts : only) lines += std::string("only in the ") + side + ": " + Describe(facts) + "\n";
    return lines;
}

}  // namespace

std::vector<DispatchFacts> FactsOf(std::span<const kv::DispatchMember> table) {
    std::vector<DispatchFacts> facts;
    for (const kv::DispatchMember& member : table)
        facts.push_back({member.id, member.name, static_cast<WORD>(member.kind), member.argumentCount});
    std::sort(facts.begin(), facts.end());
    return facts;
}

std::vector<DispatchFacts> FactsOf(ITypeInfo* info) {
    const kv::ComPtr<ITypeInfo> vtable = VtableSide(info);
    std::vector<DispatchFacts> facts;
    const UINT count = AttributesOf(vtable.Get())->cFuncs;
    for (UINT index = 0; index < count; ++index) facts.push_back(FactsOfFunction(vtable.Get(), index));
    std::sort(facts.begin(), facts.end());
    return facts;
}

std::string Differences(const std::vector<DispatchFacts>& library, const std::vector<DispatchFacts>& table) {
    return OnlyIn("type library", library, table) + OnlyIn("dispatch table", table, library);
}

}  // namespace kvtest
