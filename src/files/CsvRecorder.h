#pragma once
// Records telemetry answers as CSV: a header line, then one row per answer
// with `t`, the seconds since the first row, and the fields of
// TelemetrySample.h. Rows are buffered and handed to the system once the
// oldest of them is half a second old, so an owner that calls FlushIfDue at
// least every half second loses at most a second of rows in a crash.
//
// Single-threaded.
#include "platform/Result.h"
#include "protocol/TelemetrySample.h"

#include <chrono>
#include <fstream>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

namespace qav {

class CsvRecorder
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kFlushAfter{500};

    // Writes into a stream the caller owns and keeps open (standard output).
    explicit CsvRecorder(std::ostream& out);
    // Creates or empties `path` and sets `recorder` to record into it; when
    // the file cannot be created, `recorder` stays null and the message is
    // one sentence.
    static Result Create(const std::string& path, std::unique_ptr<CsvRecorder>& recorder);
    ~CsvRecorder();
    CsvRecorder(const CsvRecorder&) = delete;
    CsvRecorder& operator=(const CsvRecorder&) = delete;

    // Writes the header before the first row. False once a write failed.
    bool Append(const TelemetrySample& sample, Clock::time_point at);
    // Flushes when the oldest unflushed row is kFlushAfter old.
    bool FlushIfDue(Clock::time_point now);
    // Flushes whatever is buffered (and closes a file of its own); later
    // rows are refused.
    bool Finish();

    long Rows() const { return rows_; }
    bool Failed() const;
    const std::string& Path() const { return path_; }

private:
    CsvRecorder(std::unique_ptr<std::ofstream> file, std::string path);
    bool Flush();

    std::unique_ptr<std::ofstream> file_;
    std::ostream* out_;
    std::string path_;
    long rows_ = 0;
    Clock::time_point first_{};
    std::optional<Clock::time_point> oldestUnflushed_;
    bool failed_ = false;
    bool finished_ = false;
};

} // namespace qav
