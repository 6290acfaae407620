#include "files/CsvRecorder.h"

#include <cerrno>
#include <cstring>
#include <ostream>

namespace qav {

CsvRecorder::CsvRecorder(std::ostream& out) : out_(&out) {}

CsvRecorder::CsvRecorder(std::unique_ptr<std::ofstream> file, std::string path)
    : file_(std::move(file)), out_(file_.get()), path_(std::move(path))
{
}

Result CsvRecorder::Create(const std::string& path, std::unique_ptr<CsvRecorder>& recorder)
{
    recorder.reset();
    errno = 0;
    auto file = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc);
    if (!file->is_open()) {
        const int error = errno;
        return Result::Failed(error ? error : EIO,
                              "Cannot create " + path +
                                  (error ? ": " + std::string(std::strerror(error)) : std::string()) + ".");
    }
    recorder.reset(new CsvRecorder(std::move(file), path));
    return {};
}

CsvRecorder::~CsvRecorder()
{
    Finish();
}

bool CsvRecorder::Failed() const
{
    return failed_ || !*out_;
}

bool CsvRecorder::Append(const TelemetrySample& sample, Clock::time_point at)
{
    if (finished_ || Failed())
        return false;
    if (rows_ == 0) {
        first_ = at;
        *out_ << TelemetryCsvHeader() << '\n';
    }
    const double t = std::chrono::duration<double>(at - first_).count();
    *out_ << TelemetryCsvRow(t, sample) << '\n';
    ++rows_;
    if (!oldestUnflushed_)
        oldestUnflushed_ = at;
    FlushIfDue(at);
    return !Failed();
}

bool CsvRecorder::FlushIfDue(Clock::time_point now)
{
    if (oldestUnflushed_ && now - *oldestUnflushed_ >= kFlushAfter)
        return Flush();
    return !Failed();
}

bool CsvRecorder::Flush()
{
    oldestUnflushed_.reset();
    out_->flush();
    if (!*out_)
        failed_ = true;
    return !failed_;
}

bool CsvRecorder::Finish()
{
    if (finished_)
        return !failed_;
    finished_ = true;
    const bool ok = Flush();
    if (file_ && file_->is_open()) {
        file_->close();
        if (file_->fail())
            failed_ = true;
    }
    return ok && !failed_;
}

} // namespace qav
