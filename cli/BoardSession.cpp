#include "BoardSession.h"

#include "Cli.h"
#include "platform/IniFile.h"
#include "protocol/ControllerResults.h"
#include "protocol/StatusMarkup.h"

namespace qav::cli {

std::optional<BoardId> ChosenBoard(const Options& options)
{
    const std::string* word = options.Value("--board");
    if (!word)
        return BoardId::Controller;
    const BoardRow* board = BoardNamed(*word);
    return board ? std::optional(board->id) : std::nullopt;
}

std::string BoardWords()
{
    std::vector<std::string_view> words;
    for (const BoardRow& board : Boards())
        words.push_back(board.word);
    return EitherOf(words);
}

std::string BadBoard()
{
    return Say(Message::BadBoardOption, {BoardWords()});
}

int OpenOrFail(LinkSession& session, const std::string& port, std::ostream& err)
{
    if (const Result r = session.Open(port); !r)
        return Fail(err, kExitPort, r.message);
    return kExitOk;
}

int Ended(LinkSession::Outcome outcome, const LinkSession& session, const std::string& port,
          std::ostream& err, const volatile std::sig_atomic_t* stop, std::string_view undone)
{
    switch (outcome) {
    case LinkSession::Outcome::Stopped:
        return Interrupted(err, stop, undone);
    case LinkSession::Outcome::NoAnswer:
        return Fail(err, kExitNoAnswer, session.NoAnswerSentence(port));
    case LinkSession::Outcome::Done:
        break;
    }
    return kExitOk;
}

int ReportResult(const ControllerResult& result, std::uint8_t motorState, std::ostream& out,
                 std::ostream& err)
{
    const std::string_view said = ResultMessage(result, motorState);
    const std::string words = StatusPlainText(said);
    if (!result.success || said != result.message)
        return Fail(err, kExitDeviceFail, words);
    out << words << '\n';
    return kExitOk;
}

std::string ConfigText(const std::vector<IniEntry>& entries)
{
    IniDocument doc;
    for (const IniEntry& e : entries)
        doc.Set(e.section, e.key, e.value);
    return doc.Text();
}

} // namespace qav::cli
