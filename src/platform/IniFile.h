#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zorvane {

// A private-profile INI file held in memory, with the reading rules the program's settings and
// sequence files were always read with:
// - section and key names match without regard to case, surrounding blanks ignored;
// - a value is the text after the first '=', surrounding blanks removed, and one pair of
//   matching single or double quotes around it removed (so a value whose outer characters
//   would be lost that way is written inside a pair of double quotes: see SetString);
// - lines starting with ';' or '#' are comments; a key before the first section belongs to none.
// Writing a key changes only that key's line (its first occurrence), or adds the key at the end
// of its section, or adds the section at the end of the file. Every other byte of the file —
// comments, blank lines, spacing, order, line endings — stays as it was. Save() replaces the
// file atomically.
class IniDocument {
public:
    // The classic read buffer: at most 255 characters come back.
    static constexpr std::size_t kDefaultBufferSize = 256;
    // No cut at all (paths reach 4096 characters).
    static constexpr std::size_t kWholeValue = static_cast<std::size_t>(-1);

    IniDocument() = default;

    // Reads the file. A missing file gives an empty document that Save() will create; false
    // when the file is missing or could not be read (then Save() refuses to overwrite it).
    // Only regular files are read (a FIFO or a device is not), up to a size far above any
    // real settings file.
    bool Load(const std::string& path);
    // Writes the document back to the path it was loaded from, atomically, creating missing
    // folders. True when the file on disk now holds the document (nothing to do counts). A
    // write-protected file (no write permission) is never replaced: false.
    bool Save();

    const std::string& Path() const { return path_; }
    bool IsModified() const { return modified_; }

    bool HasSection(std::string_view section) const;
    bool HasKey(std::string_view section, std::string_view key) const;

    // Like the classic profile integer read: optional blanks, an optional sign, then decimal
    // digits up to the first non-digit ("12abc" is 12, "abc" is 0). The default comes back only
    // when the key (or its section, or the file) is missing or its value is empty.
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;
    // At most bufferSize - 1 characters of the value; the default (trailing blanks removed,
    // same cut) when the key is missing.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue,
                          std::size_t bufferSize = kDefaultBufferSize) const;

    // Sets a key in memory. Refuses (false, document unchanged) names and values that could not
    // be read back as written: line breaks or NUL anywhere, an empty key, '=' in a key, ']' in a
    // section name, or a key starting with ';', '#' or '['. A value that reading would change —
    // blanks at either end, or a matching pair of quotes around it — is written inside one more
    // pair of double quotes, which reading takes off again: every other value reads back as
    // it was written.
    bool SetString(std::string_view section, std::string_view key, std::string_view value);
    bool SetInt(std::string_view section, std::string_view key, int value);

    // The document as it would be written.
    std::string Text() const;

private:
    enum class Kind { Other, Blank, Comment, Section, Key };
    struct Line {
        std::string text;  // without its line ending
        std::string eol;   // "\n", "\r\n", or "" for a last line without one
        Kind kind = Kind::Other;
        std::string name;            // section or key name, trimmed
        std::size_t valueStart = 0;  // keys: where the value begins in text
    };

    void Parse(const std::string& bytes);
    static void Classify(Line& line, std::size_t skip);
    // Index of the line holding the key, or npos.
    std::size_t FindKey(std::string_view section, std::string_view key) const;
    std::size_t FindSection(std::string_view section) const;
    std::string_view RawValue(std::size_t lineIndex) const;

    std::string path_;
    std::vector<Line> lines_;
    std::string eol_ = "\n";  // line ending for lines the program adds
    bool modified_ = false;
    bool unreadable_ = false;
};

// Path-based forms, each a whole load (and, for writes, modify and atomic save) of the file;
// for files written key by key, such as sequence files.
int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::string& path);
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::size_t bufferSize,
                                    const std::string& path);
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path);

}  // namespace zorvane
