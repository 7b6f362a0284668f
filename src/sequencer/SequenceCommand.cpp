#include "sequencer/SequenceCommand.h"

#include <array>
#include <cctype>
#include <vector>

namespace zorvane {

namespace {

enum class Context { Bare, SingleQuoted, DoubleQuoted };

bool SafeBare(unsigned char c) {
    if (c >= 0x80) return true;  // bytes of UTF-8 names mean nothing to the shell
    if (std::isalnum(c)) return true;
    switch (c) {
        case '/':
        case '.':
        case '_':
        case '-':
        case '+':
        case ',':
        case ':':
        case '=':
        case '@':
        case '%':
            return true;
        default:
            return false;
    }
}

std::string QuotedPath(const std::string& path, Context context) {
    switch (context) {
        case Context::Bare: {
            bool plain = !path.empty();
            for (unsigned char c : path) plain = plain && SafeBare(c);
            if (plain) return path;
            std::string out = "'";
            for (char c : path) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
            return out + "'";
        }
        case Context::SingleQuoted: {
            std::string out;
            for (char c : path) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
            return out;
        }
        case Context::DoubleQuoted: {
            std::string out;
            for (char c : path) {
                if (c == '"' || c == '\\' || c == '$' || c == '`') out += '\\';
                out += c;
            }
            return out;
        }
    }
    return path;
}

}  // namespace

std::string SubstituteCommand(std::string_view command, const CommandValues& values) {
    struct Token {
        std::string_view name;
        std::string bareValue;
    };
    const std::array<Token, 3> numbers{Token{"$LOOP", std::to_string(values.loop)},
                                       Token{"$LINE", std::to_string(values.line)},
                                       Token{"$SEQ", std::to_string(values.seq)}};
    // The quoting in force, innermost last: a command substitution "$( … )" starts afresh,
    // unquoted, even inside double quotes, and ends at its closing parenthesis (plain
    // parentheses inside it are counted).
    struct Level {
        Context context = Context::Bare;
        int parentheses = 0;
    };
    std::vector<Level> levels{Level{}};
    std::string out;
    bool escaped = false;  // the character before was a backslash that quotes this one
    size_t i = 0;
    while (i < command.size()) {
        const std::string_view rest = command.substr(i);
        Level& level = levels.back();
        // A backslash that kept the shell off a name would now quote the first character of
        // its value (or, between double quotes, stay in front of it): the value replaces both.
        if (rest.substr(0, 5) == "$FILE") {
            if (escaped) out.pop_back();
            out += QuotedPath(values.file, level.context);
            i += 5;
            escaped = false;
            continue;
        }
        bool replaced = false;
        for (const Token& t : numbers) {
            if (rest.substr(0, t.name.size()) == t.name) {
                if (escaped) out.pop_back();
                out += t.bareValue;
                i += t.name.size();
                replaced = true;
                break;
            }
        }
        if (replaced) {
            escaped = false;
            continue;
        }

        // Follow the quoting of the command as written, to know where the next path lands.
        const char c = command[i++];
        out += c;
        if (escaped) {
            escaped = false;
            continue;
        }
        if (c == '$' && level.context != Context::SingleQuoted && i < command.size() &&
            command[i] == '(') {
            out += command[i++];
            levels.push_back(Level{});
            continue;
        }
        switch (level.context) {
            case Context::Bare:
                if (c == '\\')
                    escaped = true;
                else if (c == '\'')
                    level.context = Context::SingleQuoted;
                else if (c == '"')
                    level.context = Context::DoubleQuoted;
                else if (c == '(')
                    ++level.parentheses;
                else if (c == ')' && level.parentheses > 0)
                    --level.parentheses;
                else if (c == ')' && levels.size() > 1)
                    levels.pop_back();
                break;
            case Context::SingleQuoted:
                if (c == '\'') level.context = Context::Bare;
                break;
            case Context::DoubleQuoted:
                if (c == '\\')
                    escaped = true;
                else if (c == '"')
                    level.context = Context::Bare;
                break;
        }
    }
    return out;
}

}  // namespace zorvane
