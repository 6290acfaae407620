#include "files/ParamReference.h"

#include "platform/JsonText.h"

#include <algorithm>
#include <bit>
#include <cstdio>

namespace qav {
namespace {

std::string Num(std::int64_t v)
{
    return std::to_string(v);
}

std::string RangeWords(ValueRange r)
{
    return Num(r.low) + " to " + Num(r.high);
}

// A value in field units as the screen shows it.
std::string OnScreen(std::int64_t v, int scale)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(v) / scale);
    return text;
}

std::string Hex(std::uint8_t v)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", v);
    return text;
}

std::string ChoicesText(std::span<const ParamChoice> choices)
{
    std::string text;
    for (const ParamChoice& c : choices) {
        if (!text.empty())
            text += ", ";
        text += Num(c.value) + " = " + std::string(c.caption);
    }
    return text;
}

std::string WireWords(const WireForm& form)
{
    switch (form.wire) {
    case Wire::Byte:
        return form.carried.low < 0 ? "one signed byte" : "one byte";
    case Wire::BE16:
        return "16 bits, high byte first";
    case Wire::LE16:
        return "16 bits, low byte first";
    case Wire::HalfDegrees:
        return "halved into one signed byte";
    case Wire::Fixed:
        break;
    }
    return "a fixed byte";
}

std::string BytesWords(const WireForm& form)
{
    const auto first = static_cast<std::int64_t>(form.at);
    const auto width = static_cast<std::int64_t>(WireWidth(form.wire));
    return width == 1 ? "byte " + Num(first) : "bytes " + Num(first) + "-" + Num(first + width - 1);
}

std::string_view FileUseWord(FileUse use)
{
    switch (use) {
    case FileUse::ReadWrite:
        return "read-write";
    case FileUse::WriteOnly:
        return "write-only";
    case FileUse::None:
        break;
    }
    return {};
}

// What `write --allow-out-of-range` sends: what the field holds and its
// frame carries.
ValueRange SendableRange(const ConfigKeyRange& k)
{
    return {std::max(k.min, k.carried.low), std::min(k.max, k.carried.high)};
}

template <class S>
ParamFacts FactsOf(const ParamRow<S>& row, const WireForm& sent, const WireForm& reported, std::string sentIn,
                   std::string reportedIn)
{
    const BoardRow& board = BoardOfRecord<S>();
    ParamFacts f;
    f.board = board.word;
    f.key = row.key;
    f.control = row.control;
    f.meaning = row.meaning;
    f.unit = row.unit;
    f.range = row.range;
    f.typing = row.typing;
    f.choices = row.choices;
    f.above = row.above;
    f.scale = row.scale;
    f.field = FieldRange<S>(row.member);
    f.sent = sent;
    f.reported = reported;
    f.sentIn = std::move(sentIn);
    f.reportedIn = std::move(reportedIn);
    f.file = row.file;
    f.section = board.section;
    f.checks = KeyRangeOf(row, sent);
    return f;
}

// A markdown table cell: bars escaped, code spans kept.
std::string Cell(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        if (c == '|')
            out += '\\';
        out += c;
    }
    return out;
}

std::string JsonRange(const char* lowName, const char* highName, ValueRange r)
{
    return std::string("\"") + lowName + "\":" + Num(r.low) + ",\"" + highName + "\":" + Num(r.high);
}

std::string JsonWire(const WireForm& form, std::string_view in)
{
    if (!form.travels)
        return "null";
    return "{\"in\":" + JsonText(in) + ",\"frame\":" + Num(form.frame) +
           ",\"first_byte\":" + Num(static_cast<std::int64_t>(form.at)) +
           ",\"bytes\":" + Num(static_cast<std::int64_t>(WireWidth(form.wire))) +
           ",\"wire\":" + JsonText(WireWords(form)) + "," + JsonRange("min", "max", form.carried) +
           ",\"step\":" + Num(form.step) + "}";
}

} // namespace

ParamFacts ControllerFacts(const ControllerParamRow& row)
{
    const WireForm sent = ControllerWireForm(row), echo = ControllerEchoForm(row);
    return FactsOf(row, sent, echo, "upload type " + Num(sent.frame), "echo " + Hex(echo.frame));
}

ParamFacts MotorFacts(const MotorParamRow& row)
{
    const WireForm sent = MotorWireForm(row);
    // The board reports its parameters in the bytes the request sends them in.
    WireForm report = sent;
    if (report.travels)
        report.frame = kMotorCmdRead;
    return FactsOf(row, sent, report, "write requests (command " + Num(kMotorCmdWrite) + ")",
                   "parameter reports (type " + Num(kMotorCmdRead) + ")");
}

std::string FieldTypeText(ValueRange field)
{
    const bool isSigned = field.low < 0;
    const auto span = static_cast<std::uint64_t>(field.high) - static_cast<std::uint64_t>(field.low);
    return Num(std::bit_width(span)) + (isSigned ? "-bit signed" : "-bit unsigned");
}

std::string RangeText(const ParamFacts& f, bool withUnit)
{
    if (!f.choices.empty())
        return ChoicesText(f.choices);
    std::string text = RangeWords(f.range);
    if (withUnit && !f.unit.empty())
        text += " " + std::string(f.unit);
    if (f.scale != 1)
        text += ", shown as " + OnScreen(f.range.low, f.scale) + " to " + OnScreen(f.range.high, f.scale);
    if (f.typing != f.range)
        text += "; typed: " + RangeWords(f.typing);
    if (!f.above.empty())
        text += "; above " + std::string(f.above);
    return text;
}

std::string TravelText(const ParamFacts& f)
{
    std::string text = FieldTypeText(f.field) + " field";
    const auto where = [](const WireForm& form) {
        std::string w = BytesWords(form) + ", " + WireWords(form) + " (" + RangeWords(form.carried) + ")";
        if (form.step > 1)
            w += ", kept in steps of " + Num(form.step);
        return w;
    };
    const bool sameBytes =
        f.sent.travels && f.reported.travels && f.sent.at == f.reported.at && f.sent.wire == f.reported.wire;
    if (sameBytes)
        return text + "; sent in " + f.sentIn + " and reported in " + f.reportedIn + ", " + where(f.sent);
    text += f.sent.travels ? "; sent in " + f.sentIn + ", " + where(f.sent) : "; never sent";
    if (f.reported.travels)
        text += "; reported in " + f.reportedIn + ", " + where(f.reported);
    else if (!f.sent.travels)
        text += ": kept by this tool only";
    return text;
}

std::string FileText(const ParamFacts& f)
{
    const std::string entry = "[" + std::string(f.section) + "] " + std::string(f.key);
    switch (f.file) {
    case FileUse::None:
        return "not in files";
    case FileUse::WriteOnly:
        return entry + ", saved, never loaded";
    case FileUse::ReadWrite:
        break;
    }
    std::string text = entry + ", saved and loaded: " + AllowedText(f.checks.allowed, f.checks.choices);
    if (f.checks.step > 1)
        text += ", in steps of " + Num(f.checks.step);
    const ValueRange sendable = SendableRange(f.checks);
    if (!f.checks.choices.empty() || sendable != f.checks.allowed || f.checks.step > 1)
        text += "; write --allow-out-of-range: " + RangeWords(sendable);
    return text;
}

std::string ParamTip(const ParamFacts& f)
{
    return std::string(f.meaning) + "\nRange: " + RangeText(f, true) + ". Key: " + std::string(f.key) + ".";
}

std::string ValueText(const ParamFacts& f, std::int64_t value)
{
    for (const ParamChoice& c : f.choices)
        if (c.value == value)
            return Num(value) + " (" + std::string(c.caption) + ")";
    if (f.scale != 1)
        return Num(value) + " (" + OnScreen(value, f.scale) + " on screen)";
    return Num(value);
}

const ParamFacts* FindFacts(std::span<const ParamFacts> facts, std::string_view key)
{
    for (const ParamFacts& f : facts)
        if (f.key == key)
            return &f;
    return nullptr;
}

std::string ReferenceMarkdown(std::span<const ParamFacts> controller, std::span<const ParamFacts> motor)
{
    std::string md =
        "# Parameters\n"
        "\n"
        "<!-- Made from the parameter tables by `qav-nuva-cli params --markdown`; the build makes it\n"
        "     again and a test compares it with this file. Do not edit by hand. -->\n"
        "\n"
        "Every parameter of both boards: the screen control that edits it, what it means, its unit,\n"
        "the values the screen lets it take, how it travels to and from the board, and what a\n"
        "configuration file may hold for it. `qav-nuva-cli params [--board motor] [--json]` prints the\n"
        "same, and each control's tooltip gives its sentence, range and key.\n"
        "\n"
        "Values are in the field's units, as files and frames carry them. *Range* is what the screen\n"
        "lets a value be; a list gives its values in list order. *In a file* is what\n"
        "`qav-nuva-cli write` accepts, and what it sends with `--allow-out-of-range` (for a file saved\n"
        "from a board that holds such values); the screens' \"Load Config\" reads any whole number and\n"
        "keeps the low bits its field holds. Rows whose control is *(hidden)* are kept by the program\n"
        "but not shown.\n";
    const auto table = [&](const char* title, std::span<const ParamFacts> facts) {
        md += std::string("\n## ") + title + "\n\n";
        if (!facts.empty())
            md += "Configuration files keep them in the section `[" + std::string(facts.front().section) +
                  "]`.\n\n";
        md += "| Key | Screen control | Meaning | Unit | Range | How it travels | In a file |\n"
              "|---|---|---|---|---|---|---|\n";
        for (const ParamFacts& f : facts)
            md += "| `" + std::string(f.key) + "` | " + Cell(f.control) + " | " + Cell(f.meaning) + " | " +
                  Cell(f.unit) + " | " + Cell(RangeText(f)) + " | " + Cell(TravelText(f)) + " | " +
                  Cell(FileText(f)) + " |\n";
    };
    table("Main controller", controller);
    table("Motor board", motor);
    return md;
}

std::string ReferenceText(std::span<const ParamFacts> facts)
{
    std::string text;
    for (const ParamFacts& f : facts) {
        if (!text.empty())
            text += "\n";
        text += std::string(f.key) + "\n";
        text += "  screen:  " + std::string(f.control) + "\n";
        text += "  meaning: " + std::string(f.meaning) + "\n";
        if (!f.unit.empty())
            text += "  unit:    " + std::string(f.unit) + "\n";
        text += "  range:   " + RangeText(f) + "\n";
        text += "  travels: " + TravelText(f) + "\n";
        text += "  file:    " + FileText(f) + "\n";
    }
    return text;
}

std::string ReferenceJson(std::span<const ParamFacts> facts)
{
    std::string json;
    for (const ParamFacts& f : facts) {
        std::string choices = "[";
        for (const ParamChoice& c : f.choices)
            choices += std::string(choices.size() > 1 ? "," : "") + "{\"value\":" + Num(c.value) +
                       ",\"text\":" + JsonText(c.caption) + "}";
        choices += "]";
        const bool inFiles = f.file != FileUse::None;
        json += "{\"board\":" + JsonText(f.board) + ",\"key\":" + JsonText(f.key) +
                ",\"control\":" + JsonText(f.control) + ",\"meaning\":" + JsonText(f.meaning) +
                ",\"unit\":" + JsonText(f.unit) + "," + JsonRange("min", "max", f.range) + "," +
                JsonRange("typed_min", "typed_max", f.typing) + ",\"choices\":" + choices +
                ",\"above\":" + JsonText(f.above) + ",\"scale\":" + Num(f.scale) +
                ",\"field\":" + JsonText(FieldTypeText(f.field)) + "," +
                JsonRange("field_min", "field_max", f.field) + ",\"sent\":" + JsonWire(f.sent, f.sentIn) +
                ",\"reported\":" + JsonWire(f.reported, f.reportedIn) +
                ",\"file\":" + JsonText(FileUseWord(f.file)) +
                ",\"section\":" + (inFiles ? JsonText(f.section) : "null") +
                ",\"range_text\":" + JsonText(RangeText(f)) + ",\"travels\":" + JsonText(TravelText(f)) +
                ",\"file_text\":" + JsonText(FileText(f)) + "}\n";
    }
    return json;
}

} // namespace qav
