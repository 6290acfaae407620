#include "ui/Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitGuiResourcesOnce()
{
    Q_INIT_RESOURCE(ui);
    Q_INIT_RESOURCE(app);
}

namespace qav {
void InitGuiResources()
{
    static const bool done = (InitGuiResourcesOnce(), true);
    (void)done;
}
} // namespace qav
