#include "app/StartupOptions.h"

#include "platform/CommandLine.h"
#include "platform/PortMap.h"

#include <array>
#include <cerrno>

namespace qav {
namespace {

// The options QApplication takes for itself, as its documentation lists
// them; those with a value take the next argument. Qt reads each with one
// dash or two.
struct QtOption
{
    std::string_view name;
    bool takesValue;
};
constexpr std::array kQtOptions{
    QtOption{"platform", true},   QtOption{"platformpluginpath", true}, QtOption{"platformtheme", true},
    QtOption{"plugin", true},     QtOption{"qwindowgeometry", true},    QtOption{"geometry", true},
    QtOption{"qwindowicon", true}, QtOption{"icon", true},              QtOption{"qwindowtitle", true},
    QtOption{"title", true},      QtOption{"display", true},            QtOption{"session", true},
    QtOption{"name", true},       QtOption{"style", true},              QtOption{"stylesheet", true},
    QtOption{"qmljsdebugger", true}, QtOption{"reverse", false},        QtOption{"widgetcount", false},
    QtOption{"nograb", false},    QtOption{"dograb", false},            QtOption{"sync", false},
    QtOption{"testability", false},
};

} // namespace

std::string StartupUsage()
{
    return "usage: qav-nuva [--connect COM<n>] [--plots]\n"
           "The QAV-NUVA gimbal configuration tool. --connect chooses that port and opens it at start.\n"
           "--plots opens the live plot window at start. --version prints the version.\n"
           "Qt's own options (-platform, -style, ...) are passed on to Qt.\n";
}

Result ParseStartupOptions(const std::vector<std::string>& args, StartupOptions& out)
{
    auto flag = [](bool& target) {
        return [&target](const std::string&) {
            target = true;
            return true;
        };
    };
    std::vector<OptionRow> rows{
        {"--version", {}, false, flag(out.version)},
        {"--help", "-h", false, flag(out.help)},
        {"--plots", {}, false, flag(out.plots)},
        {"--connect",
         {},
         true,
         [&out](const std::string& port) {
             const int number = PortNumberFromName(port);
             if (number == 0)
                 return false;
             if (!out.connect)
                 out.connect = number;
             return true;
         },
         "a port name COM1 to COM1024"},
    };
    // Names with one and with two dashes, as Qt reads them. Built by
    // appending: a dash put in front (insert at 0) draws a false overflow
    // warning from GCC 12 at -O3.
    std::vector<std::string> qtNames;
    qtNames.reserve(2 * kQtOptions.size());
    for (const QtOption& q : kQtOptions) {
        qtNames.push_back(std::string("--").append(q.name));
        qtNames.push_back(std::string("-").append(q.name));
    }
    for (std::size_t i = 0; i < kQtOptions.size(); ++i)
        rows.push_back({qtNames[2 * i], qtNames[2 * i + 1], kQtOptions[i].takesValue, nullptr});
    // "-style=fusion" is Qt's too: read as "--style=fusion".
    std::vector<std::string> normalised(args);
    for (std::string& a : normalised)
        if (a.size() > 2 && a[0] == '-' && a[1] != '-' && a.find('=') != std::string::npos)
            a = std::string("-").append(a);
    OptionStyle style;
    style.inlineValues = true;
    if (const auto fault = ParseOptionRows(normalised, 1, rows, style))
        return Result::Failed(EINVAL, OptionFaultSentence(*fault));
    return {};
}

} // namespace qav
