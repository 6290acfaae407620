#pragma once
// A FIFO of bytes kept in a linked list of blocks. Every operation takes the
// queue's lock, so one thread may append while another takes.
//
// Emptied blocks are freed, except a single last block of at most four times
// the minimum block size, which stays for reuse with its positions reset.
//
// With a limit set, the queue never holds more than the limit: appending to a
// full queue drops its oldest bytes, which a reader that fell that far behind
// could no longer use, and counts them.
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace qav {

class CBlockQueue
{
public:
    static constexpr std::uint32_t kDefaultMinimumBlockSize = 1024;

    CBlockQueue() = default;
    ~CBlockQueue();
    CBlockQueue(const CBlockQueue&) = delete;
    CBlockQueue& operator=(const CBlockQueue&) = delete;

    void SetMinimumBlockSize(std::uint32_t size);
    std::uint32_t MinimumBlockSize() const;

    // The most bytes the queue holds; 0 (the default): no limit.
    void SetLimit(std::uint32_t bytes);
    // Bytes dropped for the limit since construction.
    std::uint64_t DroppedCount() const;

    // Adds n bytes at the end, dropping the oldest beyond the limit. Bytes
    // that find no memory are lost and not counted.
    void Append(const std::uint8_t* bytes, std::uint32_t n);
    // Removes up to n bytes from the front into dest (discarded when dest is
    // null); returns how many were taken.
    std::uint32_t Take(std::uint8_t* dest, std::uint32_t n);
    std::uint32_t QueuedCount() const;
    void Clear();

    // For tests and diagnostics: the block chain as it stands.
    struct Shape
    {
        std::size_t blocks = 0;
        std::uint32_t headRead = 0, headWrite = 0, headCapacity = 0;
        std::uint32_t tailCapacity = 0;
    };
    Shape Inspect() const;

private:
    struct Block
    {
        std::uint32_t read = 0;
        std::uint32_t write = 0;
        std::uint32_t capacity = 0;
        Block* next = nullptr;
        std::uint8_t* data() { return reinterpret_cast<std::uint8_t*>(this + 1); }
    };
    static Block* NewBlock(std::uint32_t capacity);
    static void FreeBlock(Block* b);
    bool Reusable(const Block* b) const { return b->capacity <= 4 * minimumBlockSize_; }
    void FreeAll();
    std::uint32_t TakeLocked(std::uint8_t* dest, std::uint32_t n);

    mutable std::mutex lock_;
    Block* head_ = nullptr;
    Block* tail_ = nullptr;
    std::uint32_t count_ = 0;
    std::uint32_t minimumBlockSize_ = kDefaultMinimumBlockSize;
    std::uint32_t limit_ = 0;
    std::uint64_t dropped_ = 0;
};

} // namespace qav
