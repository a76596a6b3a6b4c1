// The words of the tools and the page around the simulator: one table per language, data/lang/<code>.txt,
// built into the program by tools/words.cmake. web/words.js reads the same tables by the same rules.
//
// A table is UTF-8 text. A line "key = text" gives a text, from after "= " to the end of the line, or
// between straight double quotes when its first and last blanks count; "\n" in it is a line break and
// "\\" a backslash. Lines that start with "#" are the translator's comments; blank lines part groups.
// {1} to {9} in a text are the values tr() puts in, in the order the caller gives them.
#include "plan.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace plan {

struct WordTable {
    const char* code;
    const unsigned char* text;
    std::size_t size;
};
extern const WordTable kWordTables[]; // words_tables.cpp, written at build time
extern const std::size_t kWordTableCount;

namespace {

struct Language {
    std::string code;
    Words words;
};

const std::vector<Language>& tables() {
    static const std::vector<Language> all = [] {
        std::vector<Language> out;
        for (std::size_t i = 0; i < kWordTableCount; i++) {
            const WordTable& t = kWordTables[i];
            out.push_back({t.code, parseWords(std::string(reinterpret_cast<const char*>(t.text), t.size))});
        }
        // French first: the language of the simulator, and the one a missing word falls back to.
        std::stable_partition(out.begin(), out.end(), [](const Language& l) { return l.code == "fr"; });
        return out;
    }();
    return all;
}

std::size_t current = 0; // the table in use, an index into tables()

bool validKey(const std::string& key) {
    if (key.empty())
        return false;
    for (const char c : key)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_')
            return false;
    return true;
}

std::string unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); i++) {
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == 'n' || s[i + 1] == '\\')) {
            out += s[i + 1] == 'n' ? '\n' : '\\';
            i++;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The language a locale name such as "en_GB.UTF-8" or "fr" speaks, if there is a table for it.
std::string tableFor(const std::string& locale) {
    const std::string code = locale.substr(0, locale.find_first_of("_.@"));
    for (const Language& l : tables())
        if (l.code == code)
            return code;
    return "";
}

} // namespace

Words parseWords(const std::string& text, std::vector<std::string>* faults) {
    Words out;
    std::size_t at = 0, number = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        number++;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#')
            continue;
        const std::size_t eq = line.find('=');
        std::string key = eq == std::string::npos ? "" : line.substr(0, eq);
        while (!key.empty() && key.back() == ' ')
            key.pop_back();
        if (!validKey(key) || out.count(key)) {
            if (faults)
                faults->push_back(
                    fmt("line %zu: %s", number, key.empty() ? "no \"key = text\"" : key.c_str()));
            continue;
        }
        std::string value = line.substr(eq + 1);
        if (!value.empty() && value[0] == ' ')
            value.erase(0, 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        out[key] = unescape(value);
    }
    return out;
}

const Words& wordsOf(const std::string& code) {
    static const Words none;
    for (const Language& l : tables())
        if (l.code == code)
            return l.words;
    return none;
}

std::vector<std::string> languages() {
    std::vector<std::string> out;
    for (const Language& l : tables())
        out.push_back(l.code);
    return out;
}

bool setLanguage(const std::string& code) {
    for (std::size_t i = 0; i < tables().size(); i++)
        if (tables()[i].code == code) {
            current = i;
            return true;
        }
    current = 0;
    return false;
}

const std::string& language() {
    static const std::string none;
    return tables().empty() ? none : tables()[current].code;
}

std::string environmentLanguage() {
    // The locale of messages, as the C library takes it: LC_ALL, then LC_MESSAGES, then LANG.
    std::string locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* v = std::getenv(name); v && *v) {
            locale = v;
            break;
        }
    // GNU's list of languages in order of preference counts too, but not under the "C" locale.
    if (const char* list = std::getenv("LANGUAGE"); list && *list && !locale.empty() && locale != "C" &&
                                                    locale != "POSIX" && locale.rfind("C.", 0) != 0) {
        std::string l = list;
        for (std::size_t at = 0; at <= l.size();) {
            std::size_t end = l.find(':', at);
            if (end == std::string::npos)
                end = l.size();
            if (const std::string code = tableFor(l.substr(at, end - at)); !code.empty())
                return code;
            at = end + 1;
        }
    }
    const std::string code = tableFor(locale);
    return code.empty() ? "fr" : code;
}

std::string tr(const char* key, const std::vector<std::string>& args) {
    const std::vector<Language>& all = tables();
    const std::string* text = nullptr;
    for (const std::size_t i : {current, std::size_t{0}}) {
        if (i >= all.size())
            continue;
        if (const auto it = all[i].words.find(key); it != all[i].words.end()) {
            text = &it->second;
            break;
        }
    }
    if (!text)
        return std::string("[") + key + "]";
    std::string out;
    for (std::size_t i = 0; i < text->size(); i++) {
        const char c = (*text)[i];
        if (c == '{' && i + 2 < text->size() && (*text)[i + 1] >= '1' && (*text)[i + 1] <= '9' &&
            (*text)[i + 2] == '}') {
            const std::size_t n = static_cast<std::size_t>((*text)[i + 1] - '1');
            out += n < args.size() ? args[n] : std::string();
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace plan
