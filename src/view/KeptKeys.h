#pragma once
// What both screens say after loading a configuration file that lacks
// keys: how many values were kept, and which, for a tooltip.
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <string_view>
#include <vector>

namespace qav {

struct KeptKeys
{
    QString count; // " 21 values not in the file kept.", or empty
    QString list;  // "Not in the file, kept as they were: ROLL_ACC, ...", or empty
};

inline KeptKeys KeptKeysOf(const std::vector<std::string_view>& missing)
{
    if (missing.empty())
        return {};
    QStringList keys;
    for (std::string_view k : missing)
        keys << QString::fromUtf8(k.data(), static_cast<qsizetype>(k.size()));
    return {
        missing.size() == 1
            ? QCoreApplication::translate("KeptKeys", " 1 value not in the file kept.")
            : QCoreApplication::translate("KeptKeys", " %1 values not in the file kept.").arg(missing.size()),
        QCoreApplication::translate("KeptKeys", "Not in the file, kept as they were: %1")
            .arg(keys.join(QStringLiteral(", ")))};
}

} // namespace qav
