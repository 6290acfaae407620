#pragma once
// The document of the main window. It holds no data: the screen's values
// live in the view and the parameter set is program-wide. A new document
// only makes the screen initialise itself again.
namespace qav {

class CUARTDoc
{
public:
    // Always succeeds; there is nothing to reset.
    bool OnNewDocument() { return true; }
};

} // namespace qav
