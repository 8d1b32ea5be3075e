// Every edit rules-file lint suggests is proven by making it: over the fuzz corpus and over generated
// files full of the mistakes authors make, each edit on its own, linted again (fuzz/RulesFileCheck).
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "fuzz/RulesFileCheck.h"
#include "support/Corpus.h"

namespace {

// A rules file of likely mistakes, chosen by the generator: duplicates, lineweights no layer has,
// fields no layout uses, names a layout alone rejects, invisible characters where TOML wants blanks.
class MistakeFile {
public:
    explicit MistakeFile(unsigned number) : random_(number) {}

    std::string Make() {
        std::string text = "# generated\n[layers]\n";
        const bool layout = Chance(3, 4);
        if (layout) text += Pick({"format = '{d}-{m}[-{s:1}]'\n", "format = \"{d:1}{m:4}\"\n", "format = '{d}_{m}'\n"});
        if (Chance(1, 4)) text += "patterns = [" + List({"'^0$'", "'^A-.*$'", "'^[A-Z]+$'", "'^0$'"}) + "]\n";
        text += "required = [" + List({"'0'", "'A-WALL'", "'a-wall'", "'AWALL'", "'A_WALL'", "'0'"}) + "]\n";
        if (Chance(1, 3)) text += "required_add = [\n  'A-DOOR',\n  'a-door',\n]\n";
        text += "\n[layers.fields]\n";
        text += "d" + Blank() + "= ['A', 'S']\n";
        text += "m = " + Pick({"['WALL', 'DOOR']", "{ csv = 'major.csv' }"}) + "\n";
        if (Chance(1, 2)) text += "s = ['N', 'E']\n";
        if (Chance(1, 2)) text += "majr = ['GLAZ']  # misspelt\n";
        for (const char* layer : {"A-WALL", "0", "AWALL", "A-*"}) {
            if (Chance(1, 3)) continue;
            text += "[layers.properties.'" + std::string(layer) + "']\n";
            text += "lineweight =" + Blank() + std::to_string(Lineweight()) + "\n";
        }
        text += "[linetypes]\npatterns = [" + List({"'^[A-Z]+$'", "'^Continuous$'", "'^[A-Z]+$'"}) + "]\n";
        return text;
    }

private:
    bool Chance(unsigned in, unsigned of) { return std::uniform_int_distribution<unsigned>(1, of)(random_) <= in; }

    std::string Pick(std::initializer_list<const char*> choices) {
        return *(choices.begin() + std::uniform_int_distribution<std::size_t>(0, choices.size() - 1)(random_));
    }

    std::string List(std::initializer_list<const char*> items) {
        std::string list;
        for (const char* item : items)
            if (Chance(2, 3)) list += (list.empty() ? "" : "," + Blank()) + item;
        return list;
    }

    // A blank as people type it, or as a word processor pastes it.
    std::string Blank() {
        if (!Chance(1, 12)) return " ";
        return Pick({"\xC2\xA0", "\xE2\x80\x8B ", " \xE3\x80\x80", "\x01 "});
    }

    int Lineweight() { return std::uniform_int_distribution<int>(0, 220)(random_); }

    std::mt19937 random_;
};

TEST(RulesFixProof, EveryEditOfLintIsProvenOnTheCorpusAndOnGeneratedFiles) {
    std::vector<kvtest::CorpusInput> inputs = kvtest::ReadCorpus(KV_RULES_FILE_CORPUS);
    ASSERT_GE(inputs.size(), 1000u) << "the corpus folder " << KV_RULES_FILE_CORPUS << " is missing or small";
    for (unsigned number = 1; number <= 600; ++number) inputs.push_back({"generated " + std::to_string(number), MistakeFile(number).Make()});
    std::map<std::string, std::size_t> edits;
    for (const auto& input : inputs) {
        const std::string broken = fuzzcheck::CheckRulesFixes(input.bytes, edits);
        EXPECT_EQ(broken, "") << input.name << ":\n" << input.bytes;
    }
    // Enough edits of every kind lint gives that the proof cannot pass for want of any.
    for (const char* rule : {"control-character", "invisible-character", "lineweight-value", "duplicate-pattern",
                             "duplicate-required", "unused-field", "required-rejected", "properties-rejected"})
        EXPECT_GE(edits[rule], 20u) << rule << ": " << ::testing::PrintToString(edits);
}

}  // namespace
