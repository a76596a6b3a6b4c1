// The tables of words: every language has every text, with the same values to put in; every group says
// where its texts show; every key the code asks for exists; and the French the project writes has its
// real letters, not the old-style accents that the simulator's own texts keep.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "app.h"
#include "plan.h"
#include "render.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<fs::path> filesIn(const char* folder, const std::set<std::string>& extensions) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(fs::path(SOURCE_DIR) / folder))
        if (extensions.count(e.path().extension().string()))
            out.push_back(e.path());
    return out;
}

std::set<std::string> placeholders(const std::string& text) {
    std::set<std::string> out;
    const std::regex slot("\\{[1-9]\\}");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), slot); it != std::sregex_iterator(); ++it)
        out.insert(it->str());
    return out;
}

// Old-style accents: a backquote before a vowel ("`a", "pr`es") or a doubled apostrophe ("l''ecran").
bool oldStyle(const std::string& text) {
    return std::regex_search(text, std::regex("`[aeiouAEIOU]|''"));
}

// The text with every one of the simulator's own texts taken out: they keep their old-style accents.
// Blanks are compared as one, since a page breaks its lines where it likes.
std::string withoutSimulatorTexts(const std::string& page) {
    const auto squeeze = [](const std::string& s) { return std::regex_replace(s, std::regex("\\s+"), " "); };
    std::vector<std::string> own(std::begin(kScenarioMenu), std::end(kScenarioMenu));
    for (const MenuEntry& e : kMainMenu)
        own.push_back(e.label);
    for (int code = 1; code <= 4; code++)
        own.push_back(outcomeMessage(code));
    for (const OverlayLine& l : helpBlock())
        own.push_back(l.text);
    // Quoted in part too, as "Arrimage OK, gagn'e.": the sentences that runs of blanks part.
    for (const std::string& s : std::vector<std::string>(own))
        for (const std::string& part : {s.substr(0, s.find("  ")), s.substr(s.rfind("  ") + 2)})
            own.push_back(part);
    std::string text = squeeze(page);
    for (const std::string& s : own)
        for (size_t at; !squeeze(s).empty() && (at = text.find(squeeze(s))) != std::string::npos;)
            text.erase(at, squeeze(s).size());
    return text;
}

} // namespace

TEST(Words, EveryLanguageHasEveryKeyWithTheSameValues) {
    const plan::Words& french = plan::wordsOf("fr");
    ASSERT_GT(french.size(), 100u);
    ASSERT_GE(plan::languages().size(), 2u);
    for (const std::string& code : plan::languages()) {
        const plan::Words& words = plan::wordsOf(code);
        for (const auto& [key, text] : french) {
            const auto it = words.find(key);
            EXPECT_NE(it, words.end()) << code << " lacks " << key;
            if (it != words.end()) {
                EXPECT_EQ(placeholders(it->second), placeholders(text)) << code << ": " << key;
            }
        }
        for (const auto& [key, text] : words)
            EXPECT_TRUE(french.count(key)) << code << " has " << key << ", which French lacks";
        EXPECT_EQ(words.at("language.code"), code);
    }
}

TEST(Words, TablesReadWholeAndSayWhereEachTextShows) {
    for (const fs::path& path : filesIn("data/lang", {".txt"})) {
        const std::string text = slurp(path);
        std::vector<std::string> faults;
        EXPECT_EQ(plan::parseWords(text, &faults), plan::wordsOf(path.stem().string())) << path;
        EXPECT_TRUE(faults.empty()) << path << ": " << (faults.empty() ? "" : faults[0]);
        // A group of lines between blank lines that gives texts starts with a translator's comment.
        std::istringstream lines(text);
        std::string line, first;
        int number = 0, firstAt = 0;
        while (std::getline(lines, line)) {
            number++;
            if (line.empty()) {
                first.clear();
                continue;
            }
            if (first.empty())
                first = line, firstAt = number;
            EXPECT_TRUE(line[0] == '#' || first[0] == '#')
                << path.filename() << ":" << firstAt << ": a group without a comment for the translator";
        }
    }
}

TEST(Words, EveryKeyTheCodeAsksForExists) {
    const plan::Words& french = plan::wordsOf("fr");
    // A key is a quoted word whose first part is a family of the table: "plan.step", 'deck.why.'.
    std::set<std::string> families;
    for (const auto& [key, text] : french)
        families.insert(key.substr(0, key.find('.')));
    std::string alternatives;
    for (const std::string& f : families)
        alternatives += (alternatives.empty() ? "" : "|") + f;
    const std::regex quoted("[\"'](" + alternatives + ")\\.([A-Za-z0-9._-]*)[\"']");
    int asked = 0;
    for (const char* folder : {"plan", "web", "app", "render"})
        for (const fs::path& path : filesIn(folder, {".cpp", ".js", ".html"})) {
            const std::string code = slurp(path);
            for (auto it = std::sregex_iterator(code.begin(), code.end(), quoted);
                 it != std::sregex_iterator(); ++it) {
                const std::string key = (*it)[1].str() + "." + (*it)[2].str();
                // A file's name ("deck.js") is no key; a key that ends in "." is the start of keys the
                // code completes, of which one at least must exist.
                if (std::regex_match((*it)[2].str(), std::regex("h|js|cpp|css|html|in|txt|svg|png")))
                    continue;
                asked++;
                if (key.back() == '.') {
                    const auto next = french.lower_bound(key);
                    EXPECT_TRUE(next != french.end() && next->first.rfind(key, 0) == 0)
                        << path.filename() << " asks for " << key;
                } else {
                    EXPECT_TRUE(french.count(key)) << path.filename() << " asks for " << key;
                }
            }
        }
    EXPECT_GT(asked, 100);
}

TEST(Words, FrenchHasItsRealLetters) {
    for (const auto& [key, text] : plan::wordsOf("fr"))
        EXPECT_FALSE(oldStyle(text)) << key << " = " << text;
    // What the planner prints and draws, in French.
    ASSERT_TRUE(plan::setLanguage("fr"));
    sim::ParaPhy sc;
    sc.dt = 0.005, sc.nx = 100, sc.trois = 3, sc.Omega = 0.25, sc.Y0 = -10, sc.p = 1;
    const plan::Moment start{0, 0, -10, 0, 0, 0, 0, 100};
    const plan::Plan p = plan::planFrom(sc, start);
    ASSERT_EQ(p.outcome, 3);
    for (const std::string& said :
         {plan::describe(p, sc, start, "fo2.in"), plan::svg(p, sc, start, "fo2.in"), plan::tr("plan.usage")})
        EXPECT_FALSE(oldStyle(said)) << said;
    // The help page and the README, where they do not quote the simulator; the README's code aside.
    EXPECT_FALSE(oldStyle(withoutSimulatorTexts(slurp(fs::path(SOURCE_DIR) / "data/aide.html"))));
    const std::string readme =
        std::regex_replace(withoutSimulatorTexts(slurp(fs::path(SOURCE_DIR) / "README.md")),
                           std::regex("```[^`]*```|`[^`\n]*`"), "");
    EXPECT_FALSE(oldStyle(readme));
}
