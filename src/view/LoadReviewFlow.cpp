#include "view/LoadReviewFlow.h"

#include "ui/Prompts.h"

#include <QFile>

#include <charconv>

namespace qav {
namespace {

QString Utf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

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
        prompts.Message(
            owner, AppTitle(),
            QStringLiteral("%1 changes nothing: every value in it is the one the %2 holds. Nothing was "
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
