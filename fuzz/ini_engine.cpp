// Settings engine. An input that begins with a NUL byte lists items to put (see putItems);
// any other input is a settings file: it is read, every lookup its section names and tags
// allow is made, the object is written and read again, and every lookup must give the same
// result, and writing the second object must give the same file.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/params/inifile.h"
#include "input_file.h"

namespace {

constexpr size_t MAX_NAMES = 24;  // names of each kind looked up, to keep one run short

std::string trimmedLower(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    std::string out(text);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\r' || text[i] == '\n' || text[i] == '\0') {
            lines.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return lines;
}

// Candidate section names and tags of a file: the text in brackets, the text before "=" and
// that text without a " Line<digits>" ending.
void harvestNames(std::string_view text, std::vector<std::string> &sections,
                  std::vector<std::string> &tags) {
    auto add = [](std::vector<std::string> &to, std::string_view name) {
        if (to.size() < MAX_NAMES && std::find(to.begin(), to.end(), name) == to.end())
            to.emplace_back(name);
    };
    for (std::string_view line : linesOf(text)) {
        if (line.size() > 1023) line = line.substr(0, 1023);
        const size_t open = line.find('['), close = line.rfind(']');
        if (open != line.npos && close != line.npos && close > open)
            add(sections, line.substr(open + 1, close - open - 1));
        if (const size_t equals = line.find('='); equals != line.npos) {
            const std::string_view tag = line.substr(0, equals);
            add(tags, tag);
            if (const size_t mark = tag.rfind(" Line"); mark != tag.npos)
                add(tags, tag.substr(0, mark));
        }
    }
}

struct Lookup {
    int intResult;
    int32_t intValue;
    int textResult;
    std::string text;
    bool operator==(const Lookup &) const = default;
};

Lookup lookUp(IniText ini, const std::string &section, const std::string &tag) {
    static std::vector<char> buffer(1 << 16);
    Lookup l{0, -7, 0, {}};
    l.intResult = Ini_GetInt(ini, section.c_str(), tag.c_str(), &l.intValue);
    l.textResult =
        Ini_GetStringIntoBuffer(ini, section.c_str(), tag.c_str(), buffer.data(), buffer.size());
    l.text = buffer.data();
    return l;
}

IniOwner readFile(const std::string &path) {
    IniOwner ini = NewIniOwner();
    if (Ini_ReadFromFile(ini.get(), path.c_str()) != 0)
        PropertyFailed("a written file does not read");
    return ini;
}

std::string writtenText(IniText ini, const char *name) {
    const std::string path = TempPath(name);
    if (Ini_WriteToFile(ini, path.c_str()) != 0) PropertyFailed("the object does not write");
    return FileBytes(path);
}

void readWriteRead(const uint8_t *data, size_t size) {
    const std::string input(reinterpret_cast<const char *>(data), size);
    IniOwner first = readFile(InputFile(data, size));
    const std::string text = writtenText(first.get(), "first.ini");
    IniOwner second = readFile(TempPath("first.ini"));
    std::vector<std::string> sections, tags;
    harvestNames(input, sections, tags);
    for (const std::string &s : sections)
        for (const std::string &t : tags)
            if (!(lookUp(first.get(), s, t) == lookUp(second.get(), s, t))) {
                std::fprintf(stderr, "[%s] %s\n", s.c_str(), t.c_str());
                PropertyFailed("a lookup differs after writing and reading");
            }
    for (std::string_view line : linesOf(text))
        if (line.size() > 1023) PropertyFailed("a written line is longer than reading takes");
    if (writtenText(second.get(), "second.ini") != text)
        PropertyFailed("writing what was read back gives another file");
}

// NUL-separated triples section, tag, value; a value that begins with "#" and holds a decimal
// 32-bit number after it is put as an integer, any other as a string. Every item the engine
// accepts must read back, after writing and reading, as the last value put under its names.
void putItems(const uint8_t *data, size_t size) {
    std::vector<std::string> fields;
    std::string_view rest(reinterpret_cast<const char *>(data), size);
    while (!rest.empty()) {
        const size_t end = std::min(rest.find('\0'), rest.size());
        fields.emplace_back(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    struct Expected {
        std::string section, tag, text;
        bool isInt;
        int32_t value;
    };
    std::map<std::pair<std::string, std::string>, Expected> expected;
    IniOwner ini = NewIniOwner();
    for (size_t i = 0; i + 2 < fields.size() && i < 3 * 64; i += 3) {
        const std::string &section = fields[i], &tag = fields[i + 1], &value = fields[i + 2];
        Expected e{section, tag, value, false, 0};
        int result;
        if (value.size() > 1 && value[0] == '#' && value.size() < 12 &&
            std::all_of(value.begin() + 1, value.end(),
                        [](char c) { return c >= '0' && c <= '9'; })) {
            const long long number = std::stoll(value.substr(1));
            if (number > INT32_MAX) continue;
            e = {section, tag, std::to_string(number), true, static_cast<int32_t>(number)};
            result = Ini_PutInt(ini.get(), section.c_str(), tag.c_str(), e.value);
        } else {
            result = Ini_PutString(ini.get(), section.c_str(), tag.c_str(), value.c_str());
        }
        if (result == 0) expected[{trimmedLower(section), trimmedLower(tag)}] = e;
    }
    writtenText(ini.get(), "put.ini");
    IniOwner back = readFile(TempPath("put.ini"));
    for (const auto &[key, e] : expected) {
        const Lookup l = lookUp(back.get(), e.section, e.tag);
        if (l.textResult != 1 || l.text != e.text)
            PropertyFailed("a put string reads back otherwise");
        if (e.isInt && (l.intResult != 1 || l.intValue != e.value))
            PropertyFailed("a put integer reads back otherwise");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 0 && data[0] == 0)
        putItems(data + 1, size - 1);
    else
        readWriteRead(data, size);
    return 0;
}
