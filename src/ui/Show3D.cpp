#include "ui/Show3D.h"

#include "ui/AttitudeView.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace qav {

namespace {

class AttitudeAccessible : public QAccessibleWidget
{
public:
    explicit AttitudeAccessible(AttitudeView* view) : QAccessibleWidget(view, QAccessible::Graphic) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Description)
            return static_cast<const AttitudeView*>(widget())->Description();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* AttitudeAccessibleFactory(const QString&, QObject* object)
{
    if (auto* view = dynamic_cast<AttitudeView*>(object))
        return new AttitudeAccessible(view);
    return nullptr;
}

} // namespace

QAVShow3DLibExp::QAVShow3DLibExp()
{
    static const bool installed = [] {
        QAccessible::installFactory(AttitudeAccessibleFactory);
        return true;
    }();
    (void)installed;
}

QAVShow3DLibExp::~QAVShow3DLibExp()
{
    // The host may already have deleted its children; the guard knows.
    delete view_.data();
}

void QAVShow3DLibExp::Init(QWidget* host, int /*style*/, double scale)
{
    if (!host || view_)
        return;
    view_ = new AttitudeView(host, scale > 0 ? scale : 0.8);
}

void QAVShow3DLibExp::Update(double roll, double tilt, double pan)
{
    if (view_)
        view_->SetAttitude(roll, tilt, pan);
}

QWidget* QAVShow3DLibExp::View() const
{
    return view_.data();
}

} // namespace qav
