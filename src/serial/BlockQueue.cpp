#include "serial/BlockQueue.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace qav {

CBlockQueue::~CBlockQueue()
{
    FreeAll();
}

CBlockQueue::Block* CBlockQueue::NewBlock(std::uint32_t capacity)
{
    // Header and data in one piece, as the chain is walked block by block.
    void* raw = ::operator new(sizeof(Block) + capacity, std::nothrow);
    if (!raw)
        return nullptr;
    Block* b = new (raw) Block;
    b->capacity = capacity;
    return b;
}

void CBlockQueue::FreeBlock(Block* b)
{
    b->~Block();
    ::operator delete(b);
}

void CBlockQueue::FreeAll()
{
    while (head_) {
        Block* next = head_->next;
        FreeBlock(head_);
        head_ = next;
    }
    tail_ = nullptr;
}

void CBlockQueue::SetMinimumBlockSize(std::uint32_t size)
{
    std::lock_guard guard(lock_);
    minimumBlockSize_ = size;
}

std::uint32_t CBlockQueue::MinimumBlockSize() const
{
    std::lock_guard guard(lock_);
    return minimumBlockSize_;
}

void CBlockQueue::SetLimit(std::uint32_t bytes)
{
    std::lock_guard guard(lock_);
    limit_ = bytes;
    if (limit_ != 0 && count_ > limit_)
        dropped_ += TakeLocked(nullptr, count_ - limit_);
}

std::uint64_t CBlockQueue::DroppedCount() const
{
    std::lock_guard guard(lock_);
    return dropped_;
}

void CBlockQueue::Append(const std::uint8_t* bytes, std::uint32_t n)
{
    if (n == 0)
        return;
    std::lock_guard guard(lock_);
    if (limit_ != 0 && n >= limit_) {
        // Only the newest `limit_` bytes of these can stay.
        dropped_ += TakeLocked(nullptr, count_) + (n - limit_);
        bytes += n - limit_;
        n = limit_;
    } else if (limit_ != 0 && count_ + n > limit_) {
        dropped_ += TakeLocked(nullptr, count_ + n - limit_);
    }
    std::uint32_t stored = 0;
    if (tail_ && tail_->capacity != tail_->write) {
        const std::uint32_t part = std::min(tail_->capacity - tail_->write, n);
        std::memcpy(tail_->data() + tail_->write, bytes, part);
        tail_->write += part;
        stored = part;
    }
    if (stored < n) {
        Block* b = NewBlock(std::max(n, minimumBlockSize_));
        if (b) {
            const std::uint32_t rest = n - stored;
            std::memcpy(b->data(), bytes + stored, rest);
            b->write = rest;
            if (tail_)
                tail_->next = b;
            else
                head_ = b;
            tail_ = b;
            stored = n;
        }
    }
    count_ += stored;
}

std::uint32_t CBlockQueue::Take(std::uint8_t* dest, std::uint32_t n)
{
    std::lock_guard guard(lock_);
    return TakeLocked(dest, n);
}

std::uint32_t CBlockQueue::TakeLocked(std::uint8_t* dest, std::uint32_t n)
{
    std::uint32_t taken = 0;
    while (taken < n && head_) {
        Block* b = head_;
        const std::uint32_t part = std::min(b->write - b->read, n - taken);
        if (dest)
            std::memcpy(dest + taken, b->data() + b->read, part);
        taken += part;
        count_ -= part;
        if (b->read + part < b->write) {
            b->read += part;
            continue;
        }
        if (b->next || !Reusable(b)) {
            head_ = b->next;
            if (!head_)
                tail_ = nullptr;
            FreeBlock(b);
        } else {
            b->read = b->write = 0;
            break;
        }
    }
    return taken;
}

std::uint32_t CBlockQueue::QueuedCount() const
{
    std::lock_guard guard(lock_);
    return count_;
}

void CBlockQueue::Clear()
{
    std::lock_guard guard(lock_);
    if (head_ && head_ == tail_ && Reusable(head_)) {
        head_->read = head_->write = 0;
    } else {
        FreeAll();
    }
    count_ = 0;
}

CBlockQueue::Shape CBlockQueue::Inspect() const
{
    std::lock_guard guard(lock_);
    Shape s;
    for (const Block* b = head_; b; b = b->next)
        ++s.blocks;
    if (head_) {
        s.headRead = head_->read;
        s.headWrite = head_->write;
        s.headCapacity = head_->capacity;
        s.tailCapacity = tail_->capacity;
    }
    return s;
}

} // namespace qav
