#pragma once
// The simulator's use of the port alias folder: names COM<n> that point at
// its pseudo-terminals.
#include <string>

namespace qav::sim {

// Points COM<number> at `target`, replacing a stale alias in one step.
bool RegisterAlias(int number, const std::string& target, std::string* error);
// Removes COM<number> only while it still points at `target`, so an alias
// someone else has registered since stays.
void UnregisterAlias(int number, const std::string& target);
// True when COM<number> exists and points at a device that exists; its
// target goes to `target`.
bool AliasIsLive(int number, std::string* target);
// The path of the alias COM<number>.
std::string AliasLinkPath(int number);

} // namespace qav::sim
