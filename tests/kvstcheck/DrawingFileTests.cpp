// Drawing files read from disk: a DXF file's tail comes from its only piece when it was read whole,
// else from its end, and both tell a cut file alike; files that are no drawing say what they are.
#include "kvstcheck/readers/DrawingFile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kvstcheck/readers/InputError.h"
#include "support/TempFolder.h"

namespace {

std::string Pair(int code, std::string_view value) { return std::to_string(code) + "\n" + std::string(value) + "\n"; }

// A drawing whose TABLES section holds one layer, then an ENTITIES section of lines lines.
std::string Drawing(std::size_t lines) {
    std::string text = Pair(0, "SECTION") + Pair(2, "TABLES") + Pair(0, "TABLE") + Pair(2, "LAYER") +
                       Pair(0, "LAYER") + Pair(2, "Walls") + Pair(0, "ENDTAB") + Pair(0, "ENDSEC") +
                       Pair(0, "SECTION") + Pair(2, "ENTITIES");
    for (std::size_t i = 0; i < lines; ++i) text += Pair(0, "LINE") + Pair(8, "Walls");
    return text + Pair(0, "ENDSEC");
}

TEST(DrawingFile, SmallAndLargeFilesTellACutFileAlike) {
    struct Case {
        const char* label;
        std::string bytes;
        bool warned;
    };
    const std::string eof = Pair(0, "EOF");
    const Case cases[] = {
        {"SmallWhole", Drawing(10) + eof, false},
        {"SmallCut", Drawing(10), true},
        {"SmallDataAfterEof", Drawing(10) + eof + "\x1A\x1A", false},
        // Beyond the first piece read: the tail is read from the file's end.
        {"LargeWhole", Drawing(20000) + eof, false},
        {"LargeCut", Drawing(20000), true},
        {"LargeCutInsideEof", Drawing(20000) + "0\nEO", true},
    };
    const kvtest::TempFolder folder;
    for (const Case& c : cases) {
        const std::wstring path = folder / (kvtest::Wide(c.label) + L".dxf");
        kvtest::WriteFileBytes(path, c.bytes);
        const kvstcheck::DrawingContent content = kvstcheck::ReadDrawingFile(path);
        EXPECT_EQ(content.names.layers, std::vector<std::wstring>{L"Walls"}) << c.label;
        EXPECT_EQ(content.warnings.size(), c.warned ? 1u : 0u) << c.label;
    }
}

TEST(DrawingFile, WhatIsNoDrawingFileSaysWhatItIs) {
    const kvtest::TempFolder folder;
    ::CreateDirectoryW((folder / L"plans.dxf").c_str(), nullptr);
    const std::pair<std::wstring, std::string> cases[] = {
        {folder / L"plans.dxf", "this is a folder, not a drawing file"},
        {folder / L"absent.dxf", "cannot open the file"},
        {folder / L"absent.json", "cannot open the file"},
        {L"NUL.dxf", "this is a device, not a drawing file"},
        {folder / L"notes.txt", "unknown kind of drawing file"},
    };
    for (const auto& [path, problem] : cases) {
        try {
            kvstcheck::ReadDrawingFile(path);
            ADD_FAILURE() << "no error for " << kvtest::Utf8(path);
        } catch (const kvstcheck::InputError& error) {
            EXPECT_NE(std::string(error.what()).find(problem), std::string::npos) << error.what();
        }
    }
}

}  // namespace
