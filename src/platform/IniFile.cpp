#include "platform/IniFile.h"

#include <sys/stat.h>

#include <cstdint>

#include "platform/AtomicFile.h"
#include "platform/Paths.h"

namespace zorvane {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    a = Trim(a);
    b = Trim(b);
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v.remove_prefix(1);
        v.remove_suffix(1);
    }
    return v;
}

// What a C string buffer of bufferSize characters would receive.
std::string CutToBuffer(std::string_view v, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    const auto nul = v.find('\0');
    if (nul != std::string_view::npos) v = v.substr(0, nul);
    if (v.size() > bufferSize - 1) v = v.substr(0, bufferSize - 1);
    return std::string(v);
}

int ParseProfileInt(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    // A 32-bit accumulator, as the classic reader has: absurdly long numbers wrap, never trap.
    std::uint32_t value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(s[i] - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

bool HasLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Reading trims blanks and takes one pair of matching quotes off; such a value is quoted once
// more so that it comes back whole.
bool LosesCharactersOnReading(std::string_view v) {
    if (v.empty()) return false;
    if (IsBlank(v.front()) || IsBlank(v.back())) return true;
    return v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
}

bool ValidNames(std::string_view section, std::string_view key, std::string_view value) {
    if (HasLineBreakOrNul(section) || HasLineBreakOrNul(key) || HasLineBreakOrNul(value)) {
        return false;
    }
    if (section.find(']') != std::string_view::npos) return false;
    key = Trim(key);
    if (key.empty() || key.find('=') != std::string_view::npos) return false;
    return key.front() != ';' && key.front() != '#' && key.front() != '[';
}

}  // namespace

void IniDocument::Classify(Line& line, std::size_t skip) {
    const std::string_view text = std::string_view(line.text).substr(skip);
    const std::string_view t = Trim(text);
    line.name.clear();
    line.valueStart = 0;
    if (t.empty()) {
        line.kind = Kind::Blank;
    } else if (t.front() == ';' || t.front() == '#') {
        line.kind = Kind::Comment;
    } else if (t.front() == '[') {
        line.kind = Kind::Section;
        std::string_view inner = t.substr(1);
        const auto close = inner.find(']');
        if (close != std::string_view::npos) inner = inner.substr(0, close);
        line.name = std::string(Trim(inner));
    } else if (const auto eq = text.find('='); eq != std::string_view::npos) {
        line.kind = Kind::Key;
        line.name = std::string(Trim(text.substr(0, eq)));
        std::size_t start = eq + 1;
        while (start < text.size() && IsBlank(text[start])) ++start;
        line.valueStart = skip + start;
    } else {
        line.kind = Kind::Other;
    }
}

void IniDocument::Parse(const std::string& bytes) {
    lines_.clear();
    eol_.clear();
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        Line line;
        const auto nl = bytes.find('\n', pos);
        if (nl == std::string::npos) {
            line.text = bytes.substr(pos);
            pos = bytes.size();
        } else {
            std::size_t end = nl;
            if (end > pos && bytes[end - 1] == '\r') --end;
            line.text = bytes.substr(pos, end - pos);
            line.eol = bytes.substr(end, nl + 1 - end);
            pos = nl + 1;
            if (eol_.empty()) eol_ = line.eol;
        }
        // A byte-order mark is kept in the text but is not part of the first line's meaning.
        const std::size_t skip =
            (lines_.empty() && std::string_view(line.text).substr(0, 3) == kBom) ? 3 : 0;
        Classify(line, skip);
        lines_.push_back(std::move(line));
    }
    if (eol_.empty()) eol_.assign(1, '\n');
}

bool IniDocument::Load(const std::string& path) {
    path_ = path;
    lines_.clear();
    eol_.assign(1, '\n');
    modified_ = false;
    unreadable_ = false;
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        // Something is there that could not be read: never overwrite it with a fresh document.
        struct stat st {};
        unreadable_ = ::lstat(path.c_str(), &st) == 0;
        return false;
    }
    Parse(bytes);
    return true;
}

bool IniDocument::Save() {
    if (!modified_) return true;
    if (path_.empty() || unreadable_) return false;
    // The user's protection of the file is respected: it is never replaced.
    if (IsWriteProtected(path_)) return false;
    const std::string dir = ParentDirectory(path_);
    // Folders made for the settings file are the user's own.
    if (!MakeDirectories(dir, 0700)) return false;
    if (!WriteFileAtomically(path_, Text())) return false;
    modified_ = false;
    return true;
}

std::size_t IniDocument::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Kind::Section && SameName(lines_[i].name, section)) return i;
    }
    return std::string::npos;
}

std::size_t IniDocument::FindKey(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Kind::Section) {
            inSection = SameName(line.name, section);
        } else if (inSection && line.kind == Kind::Key && SameName(line.name, key)) {
            return i;
        }
    }
    return std::string::npos;
}

std::string_view IniDocument::RawValue(std::size_t lineIndex) const {
    const Line& line = lines_[lineIndex];
    return TrimRight(std::string_view(line.text).substr(line.valueStart));
}

bool IniDocument::HasSection(std::string_view section) const {
    return FindSection(section) != std::string::npos;
}

bool IniDocument::HasKey(std::string_view section, std::string_view key) const {
    return FindKey(section, key) != std::string::npos;
}

int IniDocument::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
    const std::size_t i = FindKey(section, key);
    if (i == std::string::npos) return defaultValue;
    const std::string_view value = Unquote(RawValue(i));
    if (value.empty()) return defaultValue;
    return ParseProfileInt(value);
}

std::string IniDocument::GetString(std::string_view section, std::string_view key,
                                   std::string_view defaultValue, std::size_t bufferSize) const {
    const std::size_t i = FindKey(section, key);
    if (i == std::string::npos) return CutToBuffer(TrimRight(defaultValue), bufferSize);
    return CutToBuffer(Unquote(RawValue(i)), bufferSize);
}

bool IniDocument::SetString(std::string_view section, std::string_view key,
                            std::string_view value) {
    if (!ValidNames(section, key, value)) return false;
    section = Trim(section);
    key = Trim(key);
    std::string quoted;
    if (LosesCharactersOnReading(value)) {
        quoted.reserve(value.size() + 2);
        quoted.push_back('"');
        quoted.append(value);
        quoted.push_back('"');
        value = quoted;
    }

    if (const std::size_t i = FindKey(section, key); i != std::string::npos) {
        Line& line = lines_[i];
        // Keep the key's own spelling and spacing; only the value changes.
        std::string text = line.text.substr(0, line.valueStart);
        text.append(value);
        if (text != line.text) {
            line.text = std::move(text);
            modified_ = true;
        }
        return true;
    }

    Line added;
    added.text = std::string(key) + "=" + std::string(value);
    added.eol = eol_;
    Classify(added, 0);

    std::size_t at = FindSection(section);
    if (at != std::string::npos) {
        // After the section's last key (or its header), so blank lines and comments that
        // lead into the next section stay where they are.
        for (std::size_t j = at + 1; j < lines_.size() && lines_[j].kind != Kind::Section; ++j) {
            if (lines_[j].kind == Kind::Key) at = j;
        }
        if (lines_[at].eol.empty()) lines_[at].eol = eol_;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at + 1), std::move(added));
    } else {
        if (!lines_.empty() && lines_.back().eol.empty()) lines_.back().eol = eol_;
        Line header;
        header.text.reserve(section.size() + 2);
        header.text.push_back('[');
        header.text.append(section);
        header.text.push_back(']');
        header.eol = eol_;
        Classify(header, 0);
        lines_.push_back(std::move(header));
        lines_.push_back(std::move(added));
    }
    modified_ = true;
    return true;
}

bool IniDocument::SetInt(std::string_view section, std::string_view key, int value) {
    return SetString(section, key, std::to_string(value));
}

std::string IniDocument::Text() const {
    std::string out;
    for (const Line& line : lines_) {
        out += line.text;
        out += line.eol;
    }
    return out;
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::string& path) {
    IniDocument doc;
    doc.Load(path);
    return doc.GetInt(section, key, defaultValue);
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::size_t bufferSize,
                                    const std::string& path) {
    IniDocument doc;
    doc.Load(path);
    return doc.GetString(section, key, defaultValue, bufferSize);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path) {
    IniDocument doc;
    doc.Load(path);
    return doc.SetString(section, key, value) && doc.Save();
}

}  // namespace zorvane
