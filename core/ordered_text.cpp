#include "core/ordered_text.h"

#include "core/helper_thread.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

void TextPiece::Append(std::string_view bytes)
{
    if (bytes.empty())
        return; // an empty piece may have no storage yet, and memcpy takes no null
    char* out = Room(bytes.size());
    std::memcpy(out, bytes.data(), bytes.size());
    Advance(out + bytes.size());
}

void TextPiece::Grow(std::size_t needed)
{
    const std::size_t grown = std::max(needed, 2 * capacity);
    auto larger = std::make_unique_for_overwrite<char[]>(grown); // written before it is read
    if (size > 0)
        std::memcpy(larger.get(), text.get(), size);
    text = std::move(larger);
    capacity = grown;
}

namespace {

// Pieces made but not yet written, at most: enough that neither thread
// waits for the other while they take turns at writing.
constexpr std::size_t kSlots = 4;

// The pieces in flight and whose turn it is. Each thread runs Work: it
// writes the next piece when that one is made and nobody writes, else
// makes the next piece while a slot is free, else waits.
class OrderedPieces {
public:
    OrderedPieces(std::size_t count, const MakePiece& make, const WritePiece& write)
        : count(count), make(make), write(write)
    {
    }

    void Work();
    void Rethrow() const
    {
        if (failure)
            std::rethrow_exception(failure);
    }

private:
    bool CanWrite() const { return !writing && written < count && made[written % kSlots]; }
    bool CanMake() const { return next < count && next < written + kSlots; }
    bool Finished() const { return written == count || failure != nullptr; }
    void WriteNext(std::unique_lock<std::mutex>& lock);
    void MakeNext(std::unique_lock<std::mutex>& lock);

    const std::size_t count;
    const MakePiece& make;
    const WritePiece& write;
    std::mutex mutex;
    std::condition_variable changed;
    TextPiece slots[kSlots];
    bool made[kSlots] = {};
    std::size_t next = 0;    // the next piece to make
    std::size_t written = 0; // pieces written
    bool writing = false;
    std::exception_ptr failure;
};

void OrderedPieces::Work()
{
    std::unique_lock<std::mutex> lock(mutex);
    while (!Finished()) {
        if (CanWrite())
            WriteNext(lock);
        else if (CanMake())
            MakeNext(lock);
        else
            changed.wait(lock);
    }
    changed.notify_all();
}

void OrderedPieces::WriteNext(std::unique_lock<std::mutex>& lock)
{
    writing = true;
    TextPiece& slot = slots[written % kSlots];
    lock.unlock();
    write(slot.View());
    lock.lock();
    made[written % kSlots] = false;
    ++written;
    writing = false;
    changed.notify_all();
}

void OrderedPieces::MakeNext(std::unique_lock<std::mutex>& lock)
{
    const std::size_t piece = next++;
    TextPiece& slot = slots[piece % kSlots];
    lock.unlock();
    std::exception_ptr thrown;
    try {
        slot.Clear();
        make(piece, slot);
    } catch (...) {
        thrown = std::current_exception();
    }
    lock.lock();
    if (thrown && !failure)
        failure = thrown;
    made[piece % kSlots] = true;
    changed.notify_all();
}

} // namespace

void MakeTextInOrder(std::size_t count, const MakePiece& make, const WritePiece& write, bool withHelper)
{
    OrderedPieces pieces(count, make, write);
    std::thread helper;
    if (withHelper && count > 1)
        helper = StartHelperThread([&pieces] { pieces.Work(); });
    pieces.Work();
    if (helper.joinable())
        helper.join();
    pieces.Rethrow();
}
