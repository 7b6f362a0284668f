#pragma once

#include <string>
#include <string_view>

namespace zorvane {

// The values a line's command may name.
struct CommandValues {
    std::string file;    // the saved file's full path, for "$FILE"
    long long loop = 0;  // repeat + 1, for "$LOOP"
    long long line = 0;  // line + 1, for "$LINE"
    long long seq = 0;   // file sequence number + repeat, for "$SEQ"
};

// The command with every "$FILE", "$LOOP", "$LINE" and "$SEQ" replaced, in one pass over the
// command as written, so a file name that happens to hold one of these words is never
// replaced again. A path that holds characters the shell treats specially (blanks, quotes,
// ';', '&', '$', '*' …) is quoted for the place it lands in: in single quotes where the
// command leaves it bare, escaped where the command already has it inside double or single
// quotes. A command substitution "$( … )" is unquoted inside, wherever it stands. A
// backslash written right before a name goes with it. A plain path goes in unchanged.
std::string SubstituteCommand(std::string_view command, const CommandValues& values);

}  // namespace zorvane
