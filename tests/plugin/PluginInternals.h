#pragma once
// Reads the plug-in object's members for tests.
#include "plugin/KVStPluginDefault.h"

namespace plugin {

struct PluginInternals {
    static KVStPluginDefault& Of(IUnknown* object) {
        kv::ComPtr<IKVStPlugin> host;
        object->QueryInterface(IID_PPV_ARGS(&host));
        return *static_cast<KVStPluginDefault*>(host.Get());
    }
    static const std::wstring& StdFilePath(IUnknown* o) { return Of(o).StdFilePath; }
    static const std::wstring& CheckPathName(IUnknown* o) { return Of(o).CheckPathName; }
    static audit::Cursor& AuditCursor(IUnknown* o) { return Of(o).AuditCursor; }
    static standards::TypeNames& CheckFilter(IUnknown* o) { return Of(o).CheckFilter; }
    static kv::ComPtr<IDispatch>& CheckDb(IUnknown* o) { return Of(o).CheckDb; }
    static kv::ComPtr<_KVStError>& CurrentError(IUnknown* o) { return Of(o).CurrentError; }
    // Copies of the eight name lists in declaration order.
    static std::vector<standards::NameList> Lists(IUnknown* o) {
        KVStPluginDefault& p = Of(o);
        std::vector<standards::NameList> lists = {p.DbLayerNames, p.DbLinetypeNames, p.DbDimStyleNames, p.DbTextStyleNames};
        for (const standards::NameView* list : {&p.StdLayerNames, &p.StdLinetypeNames, &p.StdDimStyleNames, &p.StdTextStyleNames})
            lists.emplace_back(list->begin(), list->end());
        return lists;
    }
    // Puts the names into each of the eight lists.
    static void FillLists(IUnknown* o, const standards::NameList& names) {
        for (standards::NameList* list : DrawingLists(o)) *list = names;
        for (standards::NameView* list : StandardLists(o)) *list = standards::NameView::Of(names);
    }
    static bool Load(IUnknown* o, const std::wstring& path) { return Of(o).LoadStandardFile(path); }
    // The drawing and the standard lists in walk order (layers, linetypes, text styles, dimension
    // styles). A test that fills the standard lists by hand then indexes them, as a load does.
    static audit::PerKind<standards::NameList*> DrawingLists(IUnknown* o) {
        KVStPluginDefault& p = Of(o);
        return {&p.DbLayerNames, &p.DbLinetypeNames, &p.DbTextStyleNames, &p.DbDimStyleNames};
    }
    static audit::PerKind<standards::NameView*> StandardLists(IUnknown* o) {
        KVStPluginDefault& p = Of(o);
        return {&p.StdLayerNames, &p.StdLinetypeNames, &p.StdTextStyleNames, &p.StdDimStyleNames};
    }
    static void IndexStandardLists(IUnknown* o) {
        KVStPluginDefault& p = Of(o);
        p.StdNameIndex.Build({&p.StdLayerNames, &p.StdLinetypeNames, &p.StdTextStyleNames, &p.StdDimStyleNames});
    }
};

}  // namespace plugin
