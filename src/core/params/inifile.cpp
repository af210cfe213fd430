#include "core/params/inifile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/system/filesync.h"

namespace fs = std::filesystem;

using Lines = std::vector<std::string>;

struct IniItem {
    std::string tag;
    std::string value;  // as in the file: escaped, without the quotes
    bool quoted;
    Lines comment;  // comment lines in front of the item
};

struct IniSection {
    std::string name;
    Lines comment;  // comment lines in front of the section line
    std::vector<IniItem> items;
};

struct IniObject {
    Lines startComment;  // comment lines at the file's start, apart from the first section
    std::vector<IniSection> sections;
    Lines endComment;  // comment lines after the last item
};

namespace {

enum IniError {
    ERR_ARGUMENT = -1,
    ERR_OPEN = -2,
    ERR_READ = -3,
    ERR_NOT_INTEGER = -4,
    ERR_NOT_WRITABLE = -5,
    ERR_TEMP_FILE = -6,
    ERR_WRITE = -7,
    ERR_REPLACE = -8,
    ERR_NAME = -9,
};

constexpr size_t MAX_LINE = 1023;  // characters of a line that are read, and written at most
constexpr size_t MAX_PIECE = 80;   // characters of a value written on one line
constexpr size_t MAX_NAME = 255;   // characters of a section name or tag the program may put
constexpr int MAX_TEMP_NAMES = 1000;
constexpr std::string_view LINE_END = "\r\n";
constexpr std::string_view PIECE_MARK = " Line";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHexDigit(char c) {
    return isDigit(c) || (lower(c) >= 'a' && lower(c) <= 'f');
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Section names and tags match without regard to letter case and surrounding blanks.
bool sameKey(std::string_view a, std::string_view b) {
    a = trimmed(a);
    b = trimmed(b);
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return lower(x) == lower(y); });
}

IniSection *findSection(IniObject &ini, std::string_view name) {
    auto it = std::find_if(ini.sections.begin(), ini.sections.end(),
                           [&](const IniSection &s) { return sameKey(s.name, name); });
    return it == ini.sections.end() ? nullptr : &*it;
}

const IniItem *findItem(IniObject &ini, const char *section, const char *tag) {
    const IniSection *s = findSection(ini, section);
    if (!s) return nullptr;
    auto it = std::find_if(s->items.begin(), s->items.end(),
                           [&](const IniItem &item) { return sameKey(item.tag, tag); });
    return it == s->items.end() ? nullptr : &*it;
}

// Characters written as a backslash and a letter; other control characters become \xHH.
constexpr std::pair<char, char> namedEscapes[] = {
    {'"', '"'}, {'\\', '\\'}, {'\t', 't'}, {'\n', 'n'}, {'\r', 'r'}};

std::string escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        auto named = std::find_if(std::begin(namedEscapes), std::end(namedEscapes),
                                  [c](auto e) { return e.first == c; });
        if (named != std::end(namedEscapes)) {
            (out += '\\') += named->second;
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

// Undoes the escapes; a backslash before any other character stands for that character.
std::string unescaped(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        unsigned byte = 0;
        auto named = std::find_if(std::begin(namedEscapes), std::end(namedEscapes),
                                  [c](auto e) { return e.second == c; });
        if (named != std::end(namedEscapes)) {
            out += named->first;
        } else if (c == 'x' && i + 2 < text.size() && isHexDigit(text[i + 1]) &&
                   isHexDigit(text[i + 2])) {
            std::from_chars(&text[i + 1], &text[i + 3], byte, 16);
            out += static_cast<char>(byte);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// Reads the next line of the file into `line`: at most MAX_LINE characters, the rest of a
// longer line is dropped. A line ends at LF, CR or NUL; CR LF and LF CR end one line.
bool readLine(std::istream &in, std::string &line) {
    line.clear();
    int c = in.get();
    if (c == EOF) return false;
    while (c != EOF && c != '\n' && c != '\r' && c != '\0') {
        if (line.size() < MAX_LINE) line += static_cast<char>(c);
        c = in.get();
    }
    if ((c == '\r' && in.peek() == '\n') || (c == '\n' && in.peek() == '\r')) in.get();
    return true;
}

// "[name]" with only blanks after the last "]" and a name that is not empty.
std::optional<std::string> sectionName(std::string_view text) {
    size_t close = text.rfind(']');
    if (close == std::string_view::npos || !trimmed(text.substr(close + 1)).empty()) {
        return std::nullopt;
    }
    std::string_view name = trimmed(text.substr(1, close - 1));
    if (name.empty()) return std::nullopt;
    return std::string(name);
}

// "tag = value" with neither part empty; a value in double quotes loses them and is marked.
std::optional<IniItem> itemOf(std::string_view text) {
    size_t equals = text.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    std::string_view tag = trimmed(text.substr(0, equals));
    std::string_view value = trimmed(text.substr(equals + 1));
    if (tag.empty() || value.empty()) return std::nullopt;
    bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    if (quoted) value = value.substr(1, value.size() - 2);
    return IniItem{std::string(tag), std::string(value), quoted, {}};
}

// A tag of the form "<base> Line<digits>": the piece `counter` of the value of `base`. A counter
// too large to follow is 0, which never continues a group.
struct PieceTag {
    std::string_view base;
    uint64_t counter;
};

std::optional<PieceTag> pieceTagOf(std::string_view tag) {
    tag = trimmed(tag);
    const size_t mark = tag.rfind(PIECE_MARK);
    if (mark == std::string_view::npos) return std::nullopt;
    std::string_view digits = tag.substr(mark + PIECE_MARK.size());
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), isDigit)) return std::nullopt;
    digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
    uint64_t counter = 0;
    if (digits.size() <= 18) std::from_chars(digits.data(), digits.data() + digits.size(), counter);
    return PieceTag{tag.substr(0, mark), counter};
}

// Whether `tag` is the piece `counter` of the value of `base`.
bool continuesGroup(std::string_view tag, std::string_view base, uint64_t counter) {
    const auto piece = pieceTagOf(tag);
    return piece && piece->counter == counter && sameKey(piece->base, base);
}

// Collects the sections, items and comments of one file, line by line.
class FileParser {
  public:
    void take(const std::string &line) {
        std::string_view text = line;
        while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
        if (!text.empty() && text.front() == ';') {
            pending_.push_back(line);
            return;
        }
        if (!text.empty() && text.front() == '[') {
            if (auto name = sectionName(text)) {
                sections_.push_back({std::move(*name), std::move(pending_), {}});
                pending_.clear();
                return;
            }
        } else if (auto item = itemOf(text); item && !sections_.empty()) {
            item->comment = std::move(pending_);
            pending_.clear();
            sections_.back().items.push_back(std::move(*item));
            return;
        }
        // An empty or ignored line: comments before it and before the first section belong to
        // the file's start; later ones wait for the next section or item.
        if (sections_.empty()) moveLines(pending_, start_);
    }

    void finish(IniObject &ini) {
        moveLines(start_, ini.startComment);
        for (IniSection &section : sections_) {
            joinPieces(section.items);
            ini.sections.push_back(std::move(section));
        }
        moveLines(pending_, ini.endComment);
    }

  private:
    static void moveLines(Lines &from, Lines &to) {
        to.insert(to.end(), from.begin(), from.end());
        from.clear();
    }

    // A value written in pieces becomes one item again: the first piece's tag without the
    // counter, the values of the pieces that follow it with the same base and the next counters.
    static void joinPieces(std::vector<IniItem> &items) {
        std::vector<IniItem> joined;
        for (size_t i = 0; i < items.size(); ++i) {
            IniItem item = std::move(items[i]);
            if (const auto first = pieceTagOf(item.tag); first && first->counter == 1) {
                item.tag = trimmed(first->base);  // a tag read is without surrounding blanks
                for (uint64_t counter = 2;
                     i + 1 < items.size() && continuesGroup(items[i + 1].tag, item.tag, counter);
                     ++counter) {
                    IniItem &next = items[++i];
                    item.value += next.value;
                    moveLines(next.comment, item.comment);
                }
            }
            joined.push_back(std::move(item));
        }
        items = std::move(joined);
    }

    std::vector<IniSection> sections_;
    Lines pending_;  // comment lines waiting for their element
    Lines start_;
};

void appendLines(std::string &out, const Lines &lines) {
    for (const std::string &line : lines) (out += line) += LINE_END;
}

// One "tag = value" line; "tag=value" where the blanks would push it past the line limit (a
// long tag read from a file).
void appendItemLine(std::string &out, std::string_view tag, std::string_view value, bool quoted) {
    const std::string_view quote = quoted ? "\"" : "";
    const bool roomy = tag.size() + 3 + 2 * quote.size() + value.size() <= MAX_LINE;
    ((((out += tag) += roomy ? " = " : "=") += quote) += value) += quote;
    out += LINE_END;
}

// Whether a value or piece reads back as it is without quotes: reading drops blanks at its
// edges, takes quotes at both ends for quoting and ignores an empty value. (A value joined from
// pieces may begin and end with a quote.) One piece that would not makes the item's pieces
// quoted, so that the item reads back quoted or not as a whole.
bool readsBackUnquoted(std::string_view piece) {
    return !piece.empty() && !isBlank(piece.front()) && !isBlank(piece.back()) &&
           !(piece.size() >= 2 && piece.front() == '"' && piece.back() == '"');
}

// A value goes in pieces when it is longer than MAX_PIECE, and so does a tag that looks like a
// first piece itself (as one piece of its own, or reading would take its counter off). The
// pieces fit the line limit beside a long tag, and when the next item's tag would read as the
// group's next piece, the value takes one piece more so that it does not.
void appendItem(std::string &out, const IniItem &item, const IniItem *next) {
    appendLines(out, item.comment);
    const std::string_view value = item.value;
    const auto asPiece = pieceTagOf(item.tag);
    if (value.size() <= MAX_PIECE && !(asPiece && asPiece->counter == 1)) {
        appendItemLine(out, item.tag, value, item.quoted || !readsBackUnquoted(value));
        return;
    }
    const size_t overhead = item.tag.size() + PIECE_MARK.size() + 4 + 3;
    const size_t room = MAX_LINE > overhead ? MAX_LINE - overhead : 1;
    size_t size = std::clamp<size_t>(room, 1, MAX_PIECE);
    size_t count = std::max<size_t>(1, (value.size() + size - 1) / size);
    if (next && continuesGroup(next->tag, item.tag, count + 1) && value.size() > count) {
        ++count;
        size = (value.size() + count - 1) / count;
    }
    auto piece = [&](size_t k) { return value.substr(std::min(k * size, value.size()), size); };
    bool quoted = item.quoted;
    for (size_t k = 0; k < count && !quoted; ++k) quoted = !readsBackUnquoted(piece(k));
    for (size_t k = 0; k < count; ++k) {
        char number[24];
        std::snprintf(number, sizeof number, "%04zu", k + 1);
        appendItemLine(out, item.tag + std::string(PIECE_MARK) + number, piece(k), quoted);
    }
}

std::string fileText(const IniObject &ini) {
    std::string out;
    if (!ini.startComment.empty()) {
        appendLines(out, ini.startComment);
        out += LINE_END;
    }
    for (const IniSection &section : ini.sections) {
        appendLines(out, section.comment);
        ((out += '[') += section.name) += ']';
        out += LINE_END;
        const auto &items = section.items;
        for (size_t i = 0; i < items.size(); ++i)
            appendItem(out, items[i], i + 1 < items.size() ? &items[i + 1] : nullptr);
        out += LINE_END;
    }
    appendLines(out, ini.endComment);
    return out;
}

// The system's text of an errno value, or `fallback` when there is none.
std::string causeText(int cause, const char *fallback) {
    return cause ? std::strerror(cause) : fallback;
}

// The file that a symbolic link names (through further links, and whether it exists yet or
// not), which is replaced so that the link stays; the path itself for any other file.
std::string fileBehind(const std::string &path) {
    constexpr int MAX_LINKS = 40;  // as many as the system follows
    fs::path file = path;
    std::error_code error;
    for (int k = 0; k < MAX_LINKS && fs::is_symlink(file, error); ++k) {
        const fs::path target = fs::read_symlink(file, error);
        if (error) break;
        file = target.is_absolute() ? target : file.parent_path() / target;
    }
    return file.string();
}

// An existing target must open for reading and writing; a missing one is created by the rename.
bool targetWritable(const std::string &path, std::string &whyNot) {
    std::error_code error;
    if (!fs::exists(path, error)) {
        if (error) whyNot = error.message();
        return !error;
    }
    errno = 0;
    std::FILE *file = std::fopen(path.c_str(), "r+b");
    if (!file) {
        whyNot = causeText(errno, "cannot be opened for writing");
        return false;
    }
    std::fclose(file);
    return true;
}

// Gives the temporary file the target's permissions, writes `text` to it and puts it on the
// disk. false with `cause` set to the failing step's errno.
bool fillTemporary(std::FILE *file, const std::string &temp, const std::string &target,
                   const std::string &text, int &cause) {
    std::error_code missing, error;
    const fs::file_status status = fs::status(target, missing);
    if (fs::exists(status)) fs::permissions(temp, status.permissions(), error);
    errno = error.value();
    if (!error && std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
        SyncToDisk(file) == 0)
        return true;
    cause = errno;
    return false;
}

// Writes `text` to a new file "<path>.NNN.tmp" with the target's permissions, puts it on the
// disk and renames it over `path`. On any failure the temporary file is removed, the target is
// as it was and `whyNot` tells the cause.
int replaceFile(const std::string &path, const std::string &text, std::string &whyNot) {
    for (int k = 0; k < MAX_TEMP_NAMES; ++k) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%03d.tmp", k);
        const std::string temp = path + suffix;
        errno = 0;
        std::FILE *file = std::fopen(temp.c_str(), "wbx");  // only a name that is still free
        if (!file) {
            if (errno == EEXIST) continue;
            whyNot = causeText(errno, "no temporary file");
            return ERR_TEMP_FILE;
        }
        int cause = 0;
        bool written = fillTemporary(file, temp, path, text, cause);
        if (std::fclose(file) != 0 && written) {
            written = false;
            cause = errno;
        }
        std::error_code error;
        if (written) {
            fs::rename(temp, path, error);
            if (!error) return 0;
            cause = error.value();
        }
        whyNot = causeText(cause, "write failed");
        fs::remove(temp, error);
        return written ? ERR_REPLACE : ERR_WRITE;
    }
    whyNot = "no free temporary file name";
    return ERR_TEMP_FILE;
}

// Whether a section name or tag is written so that reading gives it back: one line, not empty,
// at most MAX_NAME characters, and a tag that reads as a tag (no "=", not a comment or section
// line, not of the piece form that reading joins).
bool writableName(std::string_view name, bool isTag) {
    const std::string_view core = trimmed(name);
    if (core.empty() || name.size() > MAX_NAME || name.find_first_of("\r\n") != name.npos)
        return false;
    if (!isTag) return true;
    return core.front() != ';' && core.front() != '[' && name.find('=') == name.npos &&
           !pieceTagOf(core);
}

int putItem(IniText ini, const char *section, const char *tag, std::string value, bool quoted) {
    if (!ini || !section || !tag) return ERR_ARGUMENT;
    if (!writableName(section, false) || !writableName(tag, true)) return ERR_NAME;
    IniSection *s = findSection(*ini, section);
    if (!s) s = &ini->sections.emplace_back(IniSection{section, {}, {}});
    auto &items = s->items;
    auto same = [&](const IniItem &item) { return sameKey(item.tag, tag); };
    auto first = std::find_if(items.begin(), items.end(), same);
    if (first == items.end()) {
        items.push_back({tag, std::move(value), quoted, {}});
        return 0;
    }
    // The new item takes the place (and the comment) of the first one it replaces.
    first->tag = tag;
    first->value = std::move(value);
    first->quoted = quoted;
    items.erase(std::remove_if(first + 1, items.end(), same), items.end());
    return 0;
}

// Decimal 32-bit integer with an optional single sign, blanks around it allowed.
int parseInt(std::string_view text, int32_t *value) {
    text = trimmed(text);
    if (text.empty()) return 0;
    std::string_view digits = text.substr(text.front() == '+' || text.front() == '-' ? 1 : 0);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), isDigit)) {
        return ERR_NOT_INTEGER;
    }
    std::string_view number = text.front() == '+' ? digits : text;
    int32_t result = 0;
    if (std::from_chars(number.data(), number.data() + number.size(), result).ec != std::errc()) {
        return ERR_NOT_INTEGER;
    }
    *value = result;
    return 1;
}

}  // namespace

IniText Ini_New(int /*automaticSorting*/) {
    return new (std::nothrow) IniObject;
}

void Ini_Dispose(IniText ini) {
    delete ini;
}

int Ini_ReadFromFile(IniText ini, const char *path) {
    if (!ini || !path) return ERR_ARGUMENT;
    std::error_code error;
    std::ifstream file(path, std::ios::binary);
    if (fs::is_directory(path, error) || !file) return ERR_OPEN;
    FileParser parser;
    std::string line;
    while (readLine(file, line)) parser.take(line);
    if (file.bad()) return ERR_READ;
    parser.finish(*ini);
    return 0;
}

int Ini_WriteToFile(IniText ini, const char *path, std::string *whyNot) {
    if (!ini || !path) return ERR_ARGUMENT;
    std::string cause;
    const std::string target = fileBehind(path);
    int result = targetWritable(target, cause) ? replaceFile(target, fileText(*ini), cause)
                                               : ERR_NOT_WRITABLE;
    if (whyNot) *whyNot = result < 0 ? cause : std::string();
    return result;
}

int Ini_RemoveTemporaryFiles(const char *path) {
    if (!path) return ERR_ARGUMENT;
    const std::string target = fileBehind(path);
    int removed = 0;
    for (int k = 0; k < MAX_TEMP_NAMES; ++k) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%03d.tmp", k);
        std::error_code error;
        removed += fs::remove(target + suffix, error) ? 1 : 0;
    }
    return removed;
}

int Ini_PutInt(IniText ini, const char *section, const char *tag, int32_t value) {
    return putItem(ini, section, tag, std::to_string(value), false);
}

int Ini_PutString(IniText ini, const char *section, const char *tag, const char *value) {
    if (!value) return ERR_ARGUMENT;
    return putItem(ini, section, tag, escaped(value), true);
}

int Ini_GetInt(IniText ini, const char *section, const char *tag, int32_t *value) {
    if (!ini || !section || !tag || !value) return ERR_ARGUMENT;
    const IniItem *item = findItem(*ini, section, tag);
    return item ? parseInt(item->value, value) : 0;
}

int Ini_GetStringIntoBuffer(IniText ini, const char *section, const char *tag, char *buffer,
                            size_t size) {
    if (!buffer || size == 0) return ERR_ARGUMENT;
    buffer[0] = '\0';
    if (!ini || !section || !tag) return ERR_ARGUMENT;
    const IniItem *item = findItem(*ini, section, tag);
    if (!item) return 0;
    std::string text = unescaped(item->value);
    size_t length = std::min(text.size(), size - 1);
    text.copy(buffer, length);
    buffer[length] = '\0';
    return 1;
}
