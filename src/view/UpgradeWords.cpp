#include "view/UpgradeWords.h"

#include "upgrade/UpgradeCodes.h"

#include <QCoreApplication>
#include <QString>

#include <array>

namespace qav {
namespace {

struct UpgradeWords
{
    UpgradeWhy why;
    const char* format;
    bool capitalize; // the sentence starts with a fact that starts in lower case
};

constexpr std::array kUpgradeWords{
    UpgradeWords{UpgradeWhy::PortOpenFailed, QT_TRANSLATE_NOOP("UpgradeWords", "Cannot open %1: %2."), false},
    UpgradeWords{UpgradeWhy::PortOpenRefused, QT_TRANSLATE_NOOP("UpgradeWords", "Cannot open %1."), false},
    UpgradeWords{UpgradeWhy::FileUnreadable, QT_TRANSLATE_NOOP("UpgradeWords", "Cannot read %1: %2."), false},
    UpgradeWords{UpgradeWhy::FileInvalid,
                 QT_TRANSLATE_NOOP("UpgradeWords", "%1 is not a valid firmware file: %2."), false},
    UpgradeWords{UpgradeWhy::Reason, QT_TRANSLATE_NOOP("UpgradeWords", "%1."), true},
    UpgradeWords{UpgradeWhy::BoardAnswered,
                 QT_TRANSLATE_NOOP("UpgradeWords", "The %1 answered on %2; this firmware is for the %3."),
                 false},
    UpgradeWords{UpgradeWhy::DeviceWentAway, QT_TRANSLATE_NOOP("UpgradeWords", "The device on %1 went away."),
                 false},
    UpgradeWords{UpgradeWhy::StoppedAnswering,
                 QT_TRANSLATE_NOOP("UpgradeWords", "The board stopped answering: %1."), false},
    UpgradeWords{UpgradeWhy::KeptRefusing,
                 QT_TRANSLATE_NOOP("UpgradeWords", "The boot loader kept refusing %1."), false},
    UpgradeWords{
        UpgradeWhy::NoBootLoader,
        QT_TRANSLATE_NOOP(
            "UpgradeWords",
            "No answer from the boot loader within %1 s: reset the board with its boot jumper set while the "
            "upgrade waits for it."),
        false},
    UpgradeWords{UpgradeWhy::ChipMismatch,
                 QT_TRANSLATE_NOOP("UpgradeWords", "The file is for chip %1; the board's chip is %2."),
                 false},
    UpgradeWords{UpgradeWhy::ChipUnknown,
                 QT_TRANSLATE_NOOP("UpgradeWords", "The board's chip %1 is not one this tool knows."), false},
    UpgradeWords{UpgradeWhy::NoEraseCommand,
                 QT_TRANSLATE_NOOP("UpgradeWords",
                                   "The boot loader does not offer ERASE (0x43) or EXTENDED ERASE (0x44)."),
                 false},
    UpgradeWords{UpgradeWhy::CommandMissing,
                 QT_TRANSLATE_NOOP("UpgradeWords", "The boot loader does not offer %1."), false},
    UpgradeWords{UpgradeWhy::ReadProtected,
                 QT_TRANSLATE_NOOP("UpgradeWords", "The chip is read-out protected: %1."), false},
    UpgradeWords{UpgradeWhy::FlashSizeUnread,
                 QT_TRANSLATE_NOOP("UpgradeWords", "Reading the flash size: %1."), false},
    UpgradeWords{
        UpgradeWhy::ImageTooLarge,
        QT_TRANSLATE_NOOP("UpgradeWords",
                          "The image (%1 bytes at %2) does not fit the chip's %3 KiB of flash at %4."),
        false},
    UpgradeWords{UpgradeWhy::ImageOffPages,
                 QT_TRANSLATE_NOOP("UpgradeWords", "The image does not fit the chip's pages."), false},
    UpgradeWords{
        UpgradeWhy::PageBeyondErase,
        QT_TRANSLATE_NOOP(
            "UpgradeWords",
            "The image reaches page %1, but the only erase command the boot loader of chip %2 offers, ERASE "
            "(0x43), reaches pages 0 to 255."),
        false},
    UpgradeWords{UpgradeWhy::EraseFailed, QT_TRANSLATE_NOOP("UpgradeWords", "Erasing failed: %1."), false},
    UpgradeWords{UpgradeWhy::WriteRefused, QT_TRANSLATE_NOOP("UpgradeWords", "%1, %2 times."), true},
    UpgradeWords{UpgradeWhy::VerifyFailed, QT_TRANSLATE_NOOP("UpgradeWords", "Verifying failed: %1."), false},
    UpgradeWords{UpgradeWhy::VerifyDiffers,
                 QT_TRANSLATE_NOOP("UpgradeWords", "The flash at %1 reads back different."), false},
    UpgradeWords{UpgradeWhy::StartFailed,
                 QT_TRANSLATE_NOOP("UpgradeWords", "The new firmware could not be started: %1."), false},
    UpgradeWords{UpgradeWhy::ImageEmpty, QT_TRANSLATE_NOOP("UpgradeWords", "The firmware image is empty."),
                 false},
};

constexpr const char* kDroppedUnread = QT_TRANSLATE_NOOP(
    "UpgradeWords", " The line brought more than could be read: %1 bytes were dropped unread.");

// Fills %1 to %9 in one pass, so a fact that holds "%2" stays as it is.
QString Fill(const char* format, const std::vector<std::string>& facts)
{
    const QString translated = QCoreApplication::translate("UpgradeWords", format);
    QString text;
    for (qsizetype i = 0; i < translated.size(); ++i) {
        const QChar c = translated[i];
        if (c == u'%' && i + 1 < translated.size() && translated[i + 1] >= u'1' &&
            translated[i + 1] <= u'9') {
            const auto n = static_cast<std::size_t>(translated[i + 1].unicode() - u'1');
            if (n < facts.size()) {
                text += QString::fromStdString(facts[n]);
                ++i;
                continue;
            }
        }
        text += c;
    }
    return text;
}

} // namespace

std::string UpgradeWhyText(const UpgradeOutcome& outcome)
{
    QString text;
    for (const UpgradeWords& row : kUpgradeWords)
        if (row.why == outcome.why) {
            text = Fill(row.format, outcome.facts);
            if (row.capitalize && !text.isEmpty())
                text[0] = text[0].toUpper();
        }
    if (!text.isEmpty() && outcome.dropped > 0)
        text += Fill(kDroppedUnread, {std::to_string(outcome.dropped)});
    return text.toStdString();
}

std::string UpgradeErrorText(const UpgradeOutcome& outcome)
{
    return UpgradeErrorSentence(outcome.code, UpgradeWhyText(outcome));
}

} // namespace qav
