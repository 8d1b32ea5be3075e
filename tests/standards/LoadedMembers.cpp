#include "LoadedMembers.h"

#include <gtest/gtest.h>

namespace standardstest {

std::vector<std::wstring> FilterElements(const kv::Variant& filter) {
    if (filter.empty()) return {};
    EXPECT_EQ(filter.type(), VT_ARRAY | VT_VARIANT);
    if (filter.type() != (VT_ARRAY | VT_VARIANT)) return {L"<not an array of variants>"};
    SAFEARRAY* array = filter.get().parray;
    EXPECT_EQ(::SafeArrayGetDim(array), 1u);
    LONG lower = -1, upper = -2;
    ::SafeArrayGetLBound(array, 1, &lower);
    ::SafeArrayGetUBound(array, 1, &upper);
    EXPECT_EQ(lower, 0);
    std::vector<std::wstring> elements;
    for (LONG index = lower; index <= upper; ++index) {
        kv::Variant element;
        EXPECT_EQ(::SafeArrayGetElement(array, &index, &element), S_OK);
        if (element.type() == VT_BSTR)
            elements.emplace_back(element.get().bstrVal, ::SysStringLen(element.get().bstrVal));
        else if (element.empty())
            elements.emplace_back(kEmptyElement);
        else
            elements.push_back(L"<type " + std::to_wstring(element.type()) + L">");
    }
    return elements;
}

std::vector<std::wstring> FilterElements(const standards::TypeNames& filter) {
    std::vector<std::wstring> elements;
    for (const auto& element : filter) elements.push_back(element ? *element : kEmptyElement);
    return elements;
}

standards::TypeNames FilterOf(std::initializer_list<std::wstring_view> elements) {
    standards::TypeNames names;
    for (std::wstring_view element : elements) names.emplace_back(std::wstring(element));
    return names;
}

std::string Utf16WithByteOrderMark(std::wstring_view text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string IniLines(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (std::string_view line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace standardstest
