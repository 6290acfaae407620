#pragma once
// The screens' words for how an upgrade ended, from one table that goes
// through Qt's translation (context "UpgradeWords").
#include "upgrade/UpgradeOutcome.h"

#include <string>

namespace qav {

// Why an upgrade ended, in one or two sentences (the flood's toll after
// it); empty when the outcome tells nothing.
std::string UpgradeWhyText(const UpgradeOutcome& outcome);
// What went wrong: UpgradeWhyText, or the meaning of the code where it
// tells nothing more. Empty for a code that is not an error.
std::string UpgradeErrorText(const UpgradeOutcome& outcome);

} // namespace qav
