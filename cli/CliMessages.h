#pragma once
// The words of qav-nuva-cli, in one table that every command reads: each
// message an id and a format, whose %1 to %9 take the facts in order. Help
// text is CliHelp.cpp's.
#include "upgrade/UpgradeOutcome.h"

#include <string>
#include <string_view>
#include <vector>

namespace qav::cli {

// Fills %1 to %9 of `format` with `facts` in one pass, so a fact that holds
// "%2" stays as it is. A number without a fact is left as written.
std::string FormatMessage(std::string_view format, const std::vector<std::string>& facts);

// Why an upgrade ended, in one or two sentences (the flood's toll after
// it); empty when the outcome tells nothing.
std::string UpgradeSentence(const UpgradeOutcome& outcome);
// What went wrong: UpgradeSentence, or the meaning of the code where it
// tells nothing more. Empty for a code that is not an error.
std::string UpgradeErrorText(const UpgradeOutcome& outcome);

} // namespace qav::cli
