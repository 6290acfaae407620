#pragma once
// A screen's COM list and the entry chosen in it, for the main screen and
// the motor dialog alike. Setting.ini remembers the choice twice: its
// position in the list under the screen's key ("COM", "MOTOR_COM") and the
// port's name ("COM12") under the name key. At start the name wins when that
// port is listed; otherwise the position is taken, and a position past the
// end gives the first entry. When the list is refilled (dropped down), the
// chosen port stays chosen wherever it moved; a port no longer listed
// leaves the position, which may then select nothing.
//
// GUI thread only.
#include <cstdint>
#include <string>
#include <string_view>

namespace qav {

class FormHost;

class ComPortChoice
{
public:
    // `indexKey` and `nameKey` name the two entries in Setting.ini.
    ComPortChoice(FormHost& form, int listId, std::string_view indexKey, std::string_view nameKey);

    // Reads the stored choice (`startupDirectory` empty: none), fills the
    // list and selects. `avoidPort` (0: none) is never preselected: when the
    // stored choice is that port, the first other entry is chosen, or none.
    void Init(const std::string& startupDirectory, int avoidPort = 0);
    // The list is about to open: refilled, the chosen port selected again.
    void Refill();
    // The user chose an entry; it is used at the next "Open COM Port".
    void TakeSelection();
    // Refills the list and selects the entry of port `number`; false, with
    // the selection as it was, when no entry has it.
    bool Choose(int number);
    // Writes the position and the port's name (empty when none is chosen).
    void Save(const std::string& startupDirectory) const;

    std::int32_t Index() const { return index_; }
    // The chosen entry's port number; 0 when none is chosen.
    int PortNumber() const { return portNumber_; }

private:
    void Fill();
    int FindPort(int number) const;
    void Select(int index);
    void TakePortNumber();

    FormHost& form_;
    int listId_;
    std::string_view indexKey_, nameKey_;
    std::int32_t index_ = 0;
    int portNumber_ = 0;
};

} // namespace qav
