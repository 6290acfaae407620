#include "ui/UnflashedMark.h"

#include "ui/Skin.h"

#include <QCoreApplication>
#include <QLabel>

namespace qav {

QLabel* MakeUnflashedMark(QWidget* parent, const QRect& where, const QString& board)
{
    const QString text = QCoreApplication::translate("UnflashedMark", "Changes not written to flash");
    auto* mark = new QLabel(text, parent);
    mark->setObjectName(QStringLiteral("unflashedChanges"));
    SetSkinKind(mark, SkinKind::StaticText);
    mark->setAccessibleName(text);
    mark->setAccessibleDescription(
        QCoreApplication::translate("UnflashedMark", "The %1 holds uploaded settings that a restart "
                                                     "would lose; Write Settings To Flash keeps them.")
            .arg(board));
    mark->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0); font-weight: bold;"));
    mark->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    mark->setGeometry(where);
    mark->setVisible(false);
    return mark;
}

} // namespace qav
