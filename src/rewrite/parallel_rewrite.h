// SPDX-License-Identifier: MIT
// The threads of a parallel streaming rewrite: chunks read and rewritten side by side, handed back
// in file order.
#pragma once

#include "rewrite/chunk_rewrite.h"
#include "rewrite/task_runner.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvex {

// The threads of a parallel run. Workers take turns at reading the next chunk (one at a time, so
// chunks are cut in file order) and then rewrite the chunk they read, so that it is read and
// rewritten on one core; the owner (the calling thread) takes chunks back in file order with
// next() and writes them. The chunks are allocated once, so memory stays flat. Destroying the
// pipeline stops every task and waits for it: a worker finishes what it is doing (one read, one
// chunk) and returns.
class Pipeline {
public:
    struct Slot {
        Chunk chunk;
        bool rewritten = false;
    };

    Pipeline(ChunkReader& reader, const ChunkRewriter& rewriter, unsigned threads, std::size_t inFlight,
             TaskRunner* runner, Chunk first);

    ~Pipeline() { stopAndJoin(); }

    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    // The next chunk in file order once it is rewritten; nothing at the end of the input or after a
    // read error. Rethrows what another thread threw.
    Slot* next();

    // Gives a written chunk back for the next read.
    void recycle(Slot* slot);

    // How reading ended, once next() has returned nothing: the failure of a read, or success.
    const Result<void>& readResult() const { return m_read; }

private:
    // Runs a worker on a thread of the runner's, or on a new one; counted until it returns.
    void start(TaskRunner* runner);

    void work();

    // Reads the next chunk into slot, this worker's turn at reading; false when the run ends here.
    bool readInto(Slot* slot);

    void fail(std::exception_ptr failure);

    void notifyEveryone();

    void stopAndJoin();

    ChunkReader& m_reader;
    const ChunkRewriter& m_rewriter;
    std::vector<std::unique_ptr<Slot>> m_slots;
    std::vector<std::thread> m_threads;

    std::mutex m_mutex;                   // guards everything below
    std::condition_variable m_forWorkers; // a chunk to rewrite, a turn at reading, or the end
    std::condition_variable m_forWriter;  // the next chunk in order is rewritten, or the run ends
    std::condition_variable m_tasksEnded;
    int m_running = 0;           // tasks started and not yet returned
    std::deque<Slot*> m_free;    // ready to be read into
    std::deque<Slot*> m_inOrder; // read and not yet written, in file order
    Slot* m_unread = nullptr;    // the caller's first chunk until a worker takes it
    bool m_reading = false;      // a worker is reading
    bool m_stopping = false;
    bool m_readDone = false; // the last chunk has been read, or reading failed
    Result<void> m_read;
    std::exception_ptr m_failure;
};

} // namespace tarvex
