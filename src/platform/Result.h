#pragma once
// What an operation that can fail reports, in every layer: the errno value
// of the failure and the reason in plain words for the user, to follow
// "Cannot open COM3: " or "Could not write x.ini: ". Where a function says
// so, the message is a whole sentence that names what failed ("a.bgsc has
// no [PARAMETERS] section."), and the code is the errno behind it or EINVAL
// for content that is wrong.
#include <string>
#include <utility>

namespace qav {

struct Result
{
    int code = 0;        // errno value, 0 when nothing failed
    std::string message; // the reason, empty when nothing failed

    bool Ok() const { return code == 0; }
    explicit operator bool() const { return Ok(); }

    static Result Failed(int code, std::string message) { return Result{code, std::move(message)}; }
};

} // namespace qav
