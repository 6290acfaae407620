#include "view/LoadReviewFlow.h"

#include "ui/Prompts.h"

#include <QCoreApplication>
#include <QFile>

#include <charconv>

namespace qav {
namespace load_flow {

std::string LocalPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString Utf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

bool Loadable(IPrompts& prompts, QWidget* owner, const QString& path, const Result& loaded,
              const ConfigLoadReport& found, const BoardRow& board)
{
    QString why;
    if (!loaded)
        why = QString::fromLocal8Bit(loaded.message.c_str());
    // A file of another kind, or no configuration at all, changes nothing.
    else if (const std::string none = NothingToLoad(found, board.section, ConfigKeyRanges(board).size());
             !none.empty())
        why = QString::fromStdString(none);
    else
        return true;
    prompts.Message(owner, AppTitle(),
                    QCoreApplication::translate("LoadReviewFlow", "Could not read %1: %2").arg(path, why),
                    MessageButtons::Ok);
    return false;
}

bool Saved(IPrompts& prompts, QWidget* owner, const QString& path, const Result& result)
{
    if (result)
        return true;
    prompts.Message(owner, AppTitle(),
                    QCoreApplication::translate("LoadReviewFlow", "Could not write %1: %2")
                        .arg(path, QString::fromLocal8Bit(result.message.c_str())),
                    MessageButtons::Ok);
    return false;
}

bool CountAndKeep(IPrompts& prompts, QWidget* owner, std::size_t changed, const std::string* folder,
                  const Result& saved, const BoardRow& board, QString& report)
{
    report = changed == 1 ? QCoreApplication::translate("LoadReviewFlow", " 1 value changed.")
                          : QCoreApplication::translate("LoadReviewFlow", " %1 values changed.").arg(changed);
    if (!folder)
        return true;
    if (saved) {
        report += QCoreApplication::translate("LoadReviewFlow", " Previous set kept in %1")
                      .arg(QString::fromStdString(ShortenHome(*folder)));
        return true;
    }
    return prompts.Message(
        owner, AppTitle(),
        QString::fromLocal8Bit(saved.message.c_str()) +
            QCoreApplication::translate("LoadReviewFlow", " Load the file without a backup of the %1 set?")
                .arg(Utf8(board.owner)),
        MessageButtons::YesNo);
}

} // namespace load_flow

namespace {

using load_flow::Utf8;

// A value as a save writes it, in the screen's terms where the reference
// has them ("2 (Futaba SBUS)").
QString Shown(const ParamFacts* facts, const std::string& value)
{
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
    if (!facts || ec != std::errc() || end != value.data() + value.size())
        return QString::fromStdString(value);
    return QString::fromStdString(ValueText(*facts, v));
}

} // namespace

bool ConfirmLoad(IPrompts& prompts, QWidget* owner, const PendingLoad& load)
{
    if (load.changes.empty()) {
        prompts.Message(owner, AppTitle(),
                        QCoreApplication::translate(
                            "LoadReviewFlow",
                            "%1 changes nothing: every value in it is the one the %2 holds. Nothing was "
                            "sent.")
                            .arg(load.path, load.board),
                        MessageButtons::Ok);
        return false;
    }
    LoadReview review;
    review.file = load.path;
    review.board = load.board;
    for (const ConfigDifference& d : load.changes) {
        const ParamFacts* facts = FindFacts(load.facts, d.key);
        review.changes.push_back({QString::fromStdString(d.key), facts ? Utf8(facts->control) : QString(),
                                  Shown(facts, d.a), Shown(facts, d.b)});
    }
    for (std::string_view k : load.missing)
        review.kept << Utf8(k);
    // The file was read a moment ago; one that cannot be read now has no
    // unknown keys to show, and the load itself will say what is wrong.
    std::vector<std::string> missing, unknown;
    if (CheckFileForDiff(QFile::encodeName(load.path).toStdString(), load.section, load.keys, missing,
                         &unknown, load.alsoKnown))
        for (const std::string& k : unknown) {
            review.unknown << QString::fromStdString(k);
            if (const std::string hint = DidYouMean(k, load.keys); !hint.empty())
                review.nearest << QString::fromStdString(hint);
        }
    return prompts.ReviewLoad(owner, review);
}

} // namespace qav
