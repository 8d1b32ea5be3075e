// The audit driver against a scripted plug-in: the host's calling order, the checks on the standard
// file, and balanced references.
#include "kvstcheck/runs/AuditDriver.h"

#include <gtest/gtest.h>

#include "tests/kvstcheck/RunModelMaking.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "com/Bstr.h"
#include "com/ComObject.h"
#include "com/Module.h"
#include "kvstcheck/runs/SetupError.h"
#include "support/DispatchCall.h"

namespace {

using kvstcheck::Finding;
using kvstcheck::Kind;
using kvstcheck::SetupError;

template <class Served>
class NoDispatch : public Served {
public:
    using Interface = Served;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
};

class FakeDrawing : public kv::ComObject<NoDispatch<IDispatch>> {};

class FakeError : public kv::ComObject<NoDispatch<_KVStError>> {
public:
    FakeError(std::wstring kind, std::wstring name) : kind_(std::move(kind)), name_(std::move(name)) {}
    HRESULT STDMETHODCALLTYPE put_EntryName(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_EntryName(BSTR* value) override { return kv::CopyToBstr(name_, value); }
    HRESULT STDMETHODCALLTYPE put_KindLabel(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_KindLabel(BSTR* value) override { return kv::CopyToBstr(kind_, value); }

private:
    std::wstring kind_;
    std::wstring name_;
};

// Plays back a list of findings and records every call it receives.
class FakePlugin : public kv::ComObject<NoDispatch<IKVStPlugin>> {
public:
    std::vector<Finding> findings;
    kv::Variant filter = kvtest::Str(L"AcadLayer");  // made an array by WithTypes
    HRESULT setupResult = S_OK;
    bool endless = false;
    bool losesErrors = false;
    std::vector<std::string> calls;

    void WithTypes(std::initializer_list<kv::Variant> types) {
        auto array = kv::SafeArray::Vector(VT_VARIANT, static_cast<ULONG>(types.size()));
        LONG index = 0;
        for (const kv::Variant& type : types) kv::PutElement(array.get(), index++, type);
        filter.reset();
        VARIANT& value = *&filter;
        value.vt = VT_ARRAY | VT_VARIANT;
        value.parray = array.release();
    }

    HRESULT STDMETHODCALLTYPE get_ProgID(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Version(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Description(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Author(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_HRef(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Icon(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Path(BSTR* value) override { return kv::CopyToBstr(L"C:\\plug", value); }
    HRESULT STDMETHODCALLTYPE get_StandardFiles(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCheckFilter(VARIANT* value) override {
        calls.push_back("GetCheckFilter");
        return ::VariantCopy(value, filter.source());
    }
    HRESULT STDMETHODCALLTYPE SetupForAudit(IDispatch* drawing, BSTR path) override {
        calls.push_back(std::string("SetupForAudit ") + (path ? "path" : "null"));
        drawing_ = drawing;
        return setupResult;
    }
    HRESULT STDMETHODCALLTYPE CheckNext(VARIANT_BOOL* more) override {
        calls.push_back("CheckNext");
        current_.Reset();
        if (!endless && next_ == findings.size()) {
            *more = VARIANT_FALSE;
            return S_OK;
        }
        const Finding finding = endless ? kvtest::F(L"k", L"n") : findings[next_++];
        if (!losesErrors) current_ = kv::MakeObject<FakeError>(kvstcheck::HostLabelOf(finding), finding.name);
        *more = VARIANT_TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetError(_KVStError** error) override {
        calls.push_back("GetError");
        *error = nullptr;
        if (current_) current_.CopyTo(error);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clear() override {
        calls.push_back("Clear");
        drawing_.Reset();
        current_.Reset();
        return S_OK;
    }

private:
    kv::ComPtr<IDispatch> drawing_;
    kv::ComPtr<_KVStError> current_;
    std::size_t next_ = 0;
};

class AuditDriver : public ::testing::Test {
protected:
    void SetUp() override {
        objectsBefore_ = kv::module::ObjectCount();
        plugin_ = kv::MakeObject<FakePlugin>();
        plugin_->WithTypes({kvtest::Str(L"AcadLayer")});
        drawing_ = kv::MakeObject<FakeDrawing>();
    }
    void TearDown() override {
        EXPECT_EQ(kvtest::RefCount(drawing_.Get()), 1u) << "the drawing is still held";
        EXPECT_EQ(kvtest::RefCount(plugin_.Get()), 1u);
        plugin_.Reset();
        drawing_.Reset();
        EXPECT_EQ(kv::module::ObjectCount(), objectsBefore_) << "an object was leaked";
    }

    std::vector<Finding> Audit(std::size_t names = 10) {
        return kvstcheck::AuditDrawing(*plugin_.Get(), drawing_.Get(), L"C:\\d\\a.dxf", names);
    }
    // The message of the SetupError that Audit throws.
    std::string AuditFailure() {
        try {
            Audit();
        } catch (const SetupError& error) {
            return error.what();
        }
        ADD_FAILURE() << "no SetupError";
        return {};
    }

    kv::ComPtr<FakePlugin> plugin_;
    kv::ComPtr<FakeDrawing> drawing_;
    LONG objectsBefore_ = 0;
};

TEST_F(AuditDriver, FetchesEachFindingInOrderAndClearsAtTheEnd) {
    plugin_->findings = {kvtest::F(L"\u56FE\u5C42", L"Old"), kvtest::F(L"\u7EBF\u578B", L"")};
    const auto findings = Audit();
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(findings[0].kind, kvstcheck::Kind::Layers);
    EXPECT_EQ(findings[0].name, L"Old");
    EXPECT_EQ(findings[1].kind, kvstcheck::Kind::Linetypes);
    EXPECT_EQ(findings[1].name, L"");
    EXPECT_EQ(plugin_->calls, (std::vector<std::string>{"SetupForAudit path", "GetCheckFilter", "CheckNext", "GetError",
                                                        "CheckNext", "GetError", "CheckNext", "Clear"}));
}

TEST_F(AuditDriver, ADrawingWithoutFindingsTakesOneCheck) {
    EXPECT_TRUE(Audit().empty());
    EXPECT_EQ(plugin_->calls,
              (std::vector<std::string>{"SetupForAudit path", "GetCheckFilter", "CheckNext", "Clear"}));
}

TEST_F(AuditDriver, AStandardFileThatDidNotLoadIsAnErrorNamingTheExpectedFile) {
    plugin_->filter.reset();
    EXPECT_NE(AuditFailure().find("C:\\plug\\KVStPluginDefault.ini"), std::string::npos);
    EXPECT_EQ(plugin_->calls, (std::vector<std::string>{"SetupForAudit path", "GetCheckFilter", "Clear"}));
}

TEST_F(AuditDriver, AStandardFileWithoutAFirstTypeIsAnError) {
    for (const kv::Variant& first : {kv::Variant(), kvtest::Str(L"")}) {
        plugin_->WithTypes({first, kvtest::Str(L"AcadLayer")});
        EXPECT_NE(AuditFailure().find("[Type1]"), std::string::npos);
    }
}

TEST_F(AuditDriver, FailingCallsAreSetupErrors) {
    plugin_->setupResult = E_OUTOFMEMORY;
    EXPECT_NE(AuditFailure().find("SetupForAudit failed: 0x8007000E"), std::string::npos);
    EXPECT_EQ(plugin_->calls.back(), "Clear");
}

TEST_F(AuditDriver, AFindingWithoutAnErrorObjectPointsAtTheHostLibrary) {
    plugin_->findings = {kvtest::F(L"k", L"n")};
    plugin_->losesErrors = true;
    EXPECT_NE(AuditFailure().find("KVStMgr.dll"), std::string::npos);
}

TEST_F(AuditDriver, AWalkThatNeverEndsIsStoppedAfterOneFindingPerName) {
    plugin_->endless = true;
    try {
        Audit(3);
        ADD_FAILURE() << "no SetupError";
    } catch (const SetupError& error) {
        EXPECT_NE(std::string(error.what()).find("more findings than the drawing has names"), std::string::npos);
    }
    EXPECT_EQ(std::count(plugin_->calls.begin(), plugin_->calls.end(), "CheckNext"), 4);
}

// Findings point at the first entry of their name of their kind; anything else points nowhere.
struct LinePlacing {
    const char* label;
    Finding finding;
    std::optional<int> line;
};

class NameLines : public ::testing::TestWithParam<LinePlacing> {};

TEST_P(NameLines, PlaceTheFindingOnItsNamesLine) {
    const kvstcheck::DrawingNames names{{L"0", L"Walls", L"walls", L"Walls"}, {L"Walls"}, {L"Notes"}, {}};
    const kvstcheck::NameLines lines{{{10, 20, 30, 40}, {50}, {60}, {}}};
    std::vector<Finding> findings{GetParam().finding};
    kvstcheck::NameLineIndex(names, lines).Place(findings);
    EXPECT_EQ(findings[0].line, GetParam().line);
}

Finding Found(std::optional<Kind> kind, std::wstring name, std::string rule = {}) {
    Finding finding{kind, std::move(name)};
    finding.rule = std::move(rule);
    return finding;
}

INSTANTIATE_TEST_SUITE_P(
    Findings, NameLines,
    ::testing::Values(LinePlacing{"FirstOfTwoEntries", Found(Kind::Layers, L"Walls"), 20},
                      LinePlacing{"LetterCaseCounts", Found(Kind::Layers, L"walls"), 30},
                      LinePlacing{"TheSameNameOfAnotherKind", Found(Kind::Linetypes, L"Walls"), 50},
                      LinePlacing{"ARulesFindingOfALayer", Found(Kind::Layers, L"0", "layers.pattern"), 10},
                      LinePlacing{"ANameOfAnotherKindOnly", Found(Kind::DimStyles, L"Notes"), std::nullopt},
                      LinePlacing{"ARequiredNameThatIsMissing", Found(Kind::TextStyles, L"Titles", "names.required"),
                                  std::nullopt},
                      LinePlacing{"AKindTheToolsDoNotKnow", Found(std::nullopt, L"Walls"), std::nullopt}),
    [](const ::testing::TestParamInfo<LinePlacing>& info) { return std::string(info.param.label); });

TEST(NameLineIndex, ADrawingWithoutLinesOrWithLinesThatDoNotMatchPlacesNothing) {
    const kvstcheck::DrawingNames names{{L"A", L"B"}, {L"C"}, {}, {}};
    for (const kvstcheck::NameLines& lines : {kvstcheck::NameLines{}, kvstcheck::NameLines{{{7}, {9}, {}, {}}}}) {
        std::vector<Finding> findings{Found(Kind::Layers, L"A"), Found(Kind::Linetypes, L"C")};
        kvstcheck::NameLineIndex(names, lines).Place(findings);
        EXPECT_EQ(findings[0].line, std::nullopt);
        // Linetypes' lines match their names one for one even when the layers' do not.
        EXPECT_EQ(findings[1].line, lines[1].empty() ? std::nullopt : std::optional<int>(9));
    }
}

}  // namespace
