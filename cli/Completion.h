#pragma once
// What the shell completes for qav-nuva-cli, made from the command table;
// packaging/completion/qav-nuva-cli.bash asks the program for it on every
// Tab (qav-nuva-cli --complete WORD...).
#include <string>
#include <vector>

namespace qav::cli {

// Stands first among the words when the shell should also offer file names.
inline constexpr const char* kCompleteFiles = "@files";

// `words`: the command line after the program's name up to the word being
// completed, which is last (empty when nothing is typed yet). The words
// that may stand there and begin like it, one each; kCompleteFiles first
// when files may stand there too.
std::vector<std::string> CompletionWords(const std::vector<std::string>& words);

} // namespace qav::cli
