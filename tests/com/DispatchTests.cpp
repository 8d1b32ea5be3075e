// The table-driven IDispatch: lookup by name, argument conversion, and the errors that
// automation clients rely on.
#include <gtest/gtest.h>

#include "com/Bstr.h"
#include "com/ComObject.h"
#include "com/Dispatch.h"
#include "support/DispatchCall.h"
#include "support/TempFolder.h"

struct ISample : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Text(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Text(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Add(LONG a, LONG b, LONG* sum) = 0;
    virtual HRESULT STDMETHODCALLTYPE Hold(IDispatch* object, BSTR label) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsHeld(VARIANT_BOOL* held) = 0;
    virtual HRESULT STDMETHODCALLTYPE Echo(VARIANT value, VARIANT* copy) = 0;
    virtual HRESULT STDMETHODCALLTYPE Self(ISample** self) = 0;
    virtual HRESULT STDMETHODCALLTYPE Throws() = 0;
};
__CRT_UUID_DECL(ISample, 0x6C1E2F55, 0x0B7A, 0x4B9E, 0x9E, 0x21, 0x3D, 0x3A, 0x9E, 0x1C, 0x70, 0x01)

namespace {

constexpr DISPID kText = 1, kAdd = 2, kHold = 3, kIsHeld = 4, kEcho = 5, kSelf = 6, kThrows = 7;

class Sample final : public kv::ComObject<kv::DispatchFor<ISample>> {
public:
    HRESULT STDMETHODCALLTYPE get_Text(BSTR* value) override { return kv::CopyToBstr(text_.view(), value); }
    HRESULT STDMETHODCALLTYPE put_Text(BSTR value) override {
        text_ = kv::Bstr(std::wstring_view(value ? value : L"", ::SysStringLen(value)));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Add(LONG a, LONG b, LONG* sum) override {
        *sum = a + b;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Hold(IDispatch* object, BSTR label) override {
        held_ = object;
        text_ = kv::Bstr(label ? label : L"");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsHeld(VARIANT_BOOL* held) override {
        *held = held_ ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Echo(VARIANT value, VARIANT* copy) override { return ::VariantCopy(copy, &value); }
    HRESULT STDMETHODCALLTYPE Self(ISample** self) override {
        *self = this;
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Throws() override { throw std::bad_alloc(); }

private:
    kv::Bstr text_;
    kv::ComPtr<IDispatch> held_;
};

}  // namespace

template <>
const kv::DispatchTable& kv::DispatchTableOf<ISample>() noexcept {
    static constexpr DispatchMember members[] = {
        Member<&ISample::get_Text>(kText, L"Text", MemberKind::PropertyGet),
        Member<&ISample::put_Text>(kText, L"Text", MemberKind::PropertyPut),
        Member<&ISample::Add>(kAdd, L"Add", MemberKind::Method),
        Member<&ISample::Hold>(kHold, L"Hold", MemberKind::Method),
        Member<&ISample::IsHeld>(kIsHeld, L"IsHeld", MemberKind::PropertyGet),
        Member<&ISample::Echo>(kEcho, L"Echo", MemberKind::Method),
        Member<&ISample::Self>(kSelf, L"Self", MemberKind::PropertyGet),
        Member<&ISample::Throws>(kThrows, L"Throws", MemberKind::Method),
    };
    static constexpr DispatchTable table(members);
    return table;
}

namespace {

using kvtest::Call;
using kvtest::Long;
using kvtest::Str;

class DispatchTest : public ::testing::Test {
protected:
    kv::ComPtr<Sample> sample = kv::MakeObject<Sample>();
    IDispatch* dispatch() { return static_cast<ISample*>(sample.Get()); }
};

TEST_F(DispatchTest, NamesAreFoundWithoutRegardToCase) {
    struct Case {
        const wchar_t* name;
        DISPID id;
    } cases[] = {{L"Text", kText}, {L"TEXT", kText}, {L"add", kAdd}, {L"IsHeld", kIsHeld}, {L"Missing", DISPID_UNKNOWN}};
    for (const Case& c : cases) EXPECT_EQ(kvtest::IdOfName(dispatch(), c.name), c.id) << kvtest::Utf8(c.name);
}

TEST_F(DispatchTest, NamedArgumentNamesAreUnknown) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Add"), const_cast<LPOLESTR>(L"a")};
    DISPID ids[2] = {0, 0};
    EXPECT_EQ(dispatch()->GetIDsOfNames(IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], kAdd);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
}

TEST_F(DispatchTest, ArgumentsArriveInCallOrderAndAreConverted) {
    auto result = Call(dispatch(), kAdd, DISPATCH_METHOD, {Long(40), Str(L"2")});
    ASSERT_EQ(result.hr, S_OK);
    EXPECT_EQ(result.value.type(), VT_I4);
    EXPECT_EQ(result.value.get().lVal, 42);
}

TEST_F(DispatchTest, PropertyPutThenGetRoundTrips) {
    ASSERT_EQ(kvtest::PropertyPut(dispatch(), kText, Str(L"Walls")).hr, S_OK);
    auto result = kvtest::PropertyGet(dispatch(), kText);
    ASSERT_EQ(result.hr, S_OK);
    ASSERT_EQ(result.value.type(), VT_BSTR);
    EXPECT_STREQ(result.value.get().bstrVal, L"Walls");
}

TEST_F(DispatchTest, CallErrorsFollowTheAutomationContract) {
    struct Case {
        const char* what;
        DISPID id;
        WORD flags;
        std::vector<kv::Variant> arguments;
        HRESULT expected;
    };
    std::vector<Case> cases;
    cases.push_back({"unknown member", 99, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND});
    cases.push_back({"too few arguments", kAdd, DISPATCH_METHOD, {}, DISP_E_BADPARAMCOUNT});
    cases.push_back({"too many arguments", kIsHeld, DISPATCH_PROPERTYGET, {Long(1)}, DISP_E_BADPARAMCOUNT});
    cases.push_back({"put on a read-only member", kIsHeld, DISPATCH_PROPERTYPUT, {Long(1)}, DISP_E_MEMBERNOTFOUND});
    cases.push_back({"argument that does not convert", kAdd, DISPATCH_METHOD, {Str(L"x"), Long(1)}, DISP_E_TYPEMISMATCH});
    cases.push_back({"exception inside the member", kThrows, DISPATCH_METHOD, {}, E_OUTOFMEMORY});
    for (Case& c : cases) {
        std::vector<VARIANT> raw;
        for (auto it = c.arguments.rbegin(); it != c.arguments.rend(); ++it) raw.push_back(it->get());
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS params{raw.data(), c.flags == DISPATCH_PROPERTYPUT ? &put : nullptr, static_cast<UINT>(raw.size()),
                          c.flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
        kv::Variant result;
        EXPECT_EQ(dispatch()->Invoke(c.id, IID_NULL, 0, c.flags, &params, &result, nullptr, nullptr), c.expected)
            << c.what;
    }
}

TEST_F(DispatchTest, MismatchedArgumentIsReportedByPosition) {
    auto result = Call(dispatch(), kAdd, DISPATCH_METHOD, {Long(1), Str(L"not a number")});
    EXPECT_EQ(result.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(result.argError, 0u);  // the last argument sits first in DISPPARAMS
}

TEST_F(DispatchTest, NamedArgumentsAndForeignInterfacesAreRefused) {
    DISPID named = 0;
    VARIANT argument = Long(1).get();
    DISPPARAMS params{&argument, &named, 1, 1};
    EXPECT_EQ(dispatch()->Invoke(kText, IID_NULL, 0, DISPATCH_PROPERTYGET, &params, nullptr, nullptr, nullptr),
              DISP_E_NONAMEDARGS);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(dispatch()->Invoke(kText, IID_IUnknown, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(dispatch()->Invoke(kText, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, nullptr, nullptr, nullptr),
              E_INVALIDARG);
}

TEST_F(DispatchTest, ByReferenceArgumentsAreReadThrough) {
    kv::Variant inner = Long(5);
    VARIANT byRef;
    ::VariantInit(&byRef);
    byRef.vt = VT_BYREF | VT_VARIANT;
    byRef.pvarVal = const_cast<VARIANT*>(&inner.get());
    VARIANT args[] = {byRef, Long(3).get()};  // Add(3, 5)
    DISPPARAMS params{args, nullptr, 2, 0};
    kv::Variant result;
    ASSERT_EQ(dispatch()->Invoke(kAdd, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.get().lVal, 8);
}

TEST_F(DispatchTest, ObjectArgumentsAcceptNothingAndHoldOneReference) {
    kv::ComPtr<Sample> other = kv::MakeObject<Sample>();
    IDispatch* otherDispatch = static_cast<ISample*>(other.Get());
    {
        auto result = Call(dispatch(), kHold, DISPATCH_METHOD, {kvtest::Object(otherDispatch), Str(L"x")});
        ASSERT_EQ(result.hr, S_OK);
    }
    EXPECT_EQ(kvtest::RefCount(otherDispatch), 2u);  // ours and the one Hold keeps
    ASSERT_EQ(Call(dispatch(), kHold, DISPATCH_METHOD, {kv::Variant(), Str(L"x")}).hr, S_OK);
    EXPECT_EQ(kvtest::RefCount(otherDispatch), 1u);
    EXPECT_EQ(kvtest::PropertyGet(dispatch(), kIsHeld).value.get().boolVal, VARIANT_FALSE);
}

TEST_F(DispatchTest, ValuesComeBackWithTheirAutomationTypes) {
    auto echoed = Call(dispatch(), kEcho, DISPATCH_METHOD, {Str(L"abc")});
    ASSERT_EQ(echoed.hr, S_OK);
    EXPECT_EQ(echoed.value.type(), VT_BSTR);
    auto held = kvtest::PropertyGet(dispatch(), kIsHeld);
    EXPECT_EQ(held.value.type(), VT_BOOL);
    auto self = kvtest::PropertyGet(dispatch(), kSelf);
    ASSERT_EQ(self.value.type(), VT_DISPATCH);
    EXPECT_EQ(self.value.get().pdispVal, dispatch());
}

TEST_F(DispatchTest, ResultMayBeIgnoredWithoutLeaking) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    const ULONG before = kvtest::RefCount(dispatch());
    ASSERT_EQ(dispatch()->Invoke(kSelf, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(kvtest::RefCount(dispatch()), before);
}

TEST_F(DispatchTest, NoTypeInformationWithoutASource) {
    UINT count = 7;
    ASSERT_EQ(dispatch()->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(dispatch()->GetTypeInfo(0, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(info, nullptr);
}

}  // namespace
