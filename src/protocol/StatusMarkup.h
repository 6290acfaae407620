#pragma once
// The colour markup of status messages, for every front end: "$INK" + name +
// "$" switches the colour for the words after it, e.g. "$INKblue$Gains
// uploaded successfully!". Names are exact and case-sensitive: black, blue,
// red, green. An unknown name changes nothing and is not shown; a tag without
// its closing "$" ends the message there. Tags are ASCII, so UTF-8 text
// around them passes through whole.
#include <string>
#include <string_view>
#include <vector>

namespace qav {

struct MarkupRun
{
    std::string_view text;   // never empty
    std::string_view colour; // "black", "blue", "red" or "green"
};

// The runs to draw, in order, starting in black. Views into `message`.
std::vector<MarkupRun> SplitStatusMarkup(std::string_view message);

// What the message reads as when drawn, without its tags.
std::string StatusPlainText(std::string_view message);

} // namespace qav
