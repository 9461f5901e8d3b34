// SPDX-License-Identifier: MIT
#include "rewrite/parallel_rewrite.h"

#include <utility>

namespace tarvex {

Pipeline::Pipeline(ChunkReader& reader, const ChunkRewriter& rewriter, unsigned threads, std::size_t inFlight,
                   TaskRunner* runner, Chunk first)
    : m_reader(reader), m_rewriter(rewriter) {
    for (std::size_t i = 0; i < inFlight; ++i) {
        m_slots.push_back(std::make_unique<Slot>());
        m_free.push_back(m_slots.back().get());
    }
    // The first chunk, read by the caller, waits for a worker.
    Slot* const slot = m_free.front();
    m_free.pop_front();
    slot->chunk = std::move(first);
    m_inOrder.push_back(slot);
    m_unread = slot;
    try {
        for (unsigned i = 0; i < threads; ++i) {
            start(runner);
        }
    } catch (...) {
        stopAndJoin();
        throw;
    }
}

Pipeline::Slot* Pipeline::next() {
    std::unique_lock lock(m_mutex);
    m_forWriter.wait(lock, [this] {
        return m_failure || (!m_inOrder.empty() && m_inOrder.front()->rewritten) ||
               (m_inOrder.empty() && m_readDone);
    });
    if (m_failure) {
        std::rethrow_exception(m_failure);
    }
    if (m_inOrder.empty()) {
        return nullptr;
    }
    Slot* const slot = m_inOrder.front();
    m_inOrder.pop_front();
    return slot;
}

void Pipeline::recycle(Slot* slot) {
    {
        const std::lock_guard lock(m_mutex);
        slot->rewritten = false;
        m_free.push_back(slot);
    }
    m_forWorkers.notify_one();
}

void Pipeline::start(TaskRunner* runner) {
    {
        const std::lock_guard lock(m_mutex);
        ++m_running;
    }
    auto task = [this] {
        work();
        // Notified under the lock: once it is released, the pipeline may be gone.
        const std::lock_guard lock(m_mutex);
        --m_running;
        m_tasksEnded.notify_all();
    };
    try {
        if (runner) {
            runner->start(task);
        } else {
            m_threads.emplace_back(task);
        }
    } catch (...) {
        const std::lock_guard lock(m_mutex);
        --m_running;
        throw;
    }
}

void Pipeline::work() {
    for (;;) {
        Slot* slot = nullptr;
        bool read = false;
        {
            std::unique_lock lock(m_mutex);
            m_forWorkers.wait(lock, [this] {
                return m_stopping || m_unread || m_readDone || (!m_reading && !m_free.empty());
            });
            if (m_stopping) {
                return;
            }
            if (m_unread) {
                slot = std::exchange(m_unread, nullptr);
            } else if (m_readDone) {
                return;
            } else {
                slot = m_free.front();
                m_free.pop_front();
                m_reading = true;
                read = true;
            }
        }
        if (read && !readInto(slot)) {
            return;
        }
        try {
            m_rewriter.rewrite(slot->chunk);
        } catch (...) {
            fail(std::current_exception());
            return;
        }
        bool writerWaits = false;
        {
            const std::lock_guard lock(m_mutex);
            slot->rewritten = true;
            writerWaits = m_inOrder.front() == slot;
        }
        if (writerWaits) {
            m_forWriter.notify_one();
        }
    }
}

bool Pipeline::readInto(Slot* slot) {
    Result<void> read;
    try {
        read = m_reader.fill(slot->chunk);
    } catch (...) {
        fail(std::current_exception());
        return false;
    }
    const bool ok = read.ok();
    const bool done = !ok || slot->chunk.last;
    {
        const std::lock_guard lock(m_mutex);
        m_reading = false;
        if (ok) {
            m_inOrder.push_back(slot);
        } else {
            m_read = std::move(read);
        }
        m_readDone = done;
    }
    if (done) {
        // Idle workers end; the writer may be waiting for the end of the input.
        m_forWorkers.notify_all();
        m_forWriter.notify_one();
    } else {
        m_forWorkers.notify_one(); // the next read may start
    }
    return ok;
}

void Pipeline::fail(std::exception_ptr failure) {
    {
        const std::lock_guard lock(m_mutex);
        if (!m_failure) {
            m_failure = std::move(failure);
        }
        m_stopping = true;
    }
    notifyEveryone();
}

void Pipeline::notifyEveryone() {
    m_forWorkers.notify_all();
    m_forWriter.notify_all();
}

void Pipeline::stopAndJoin() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    notifyEveryone();
    {
        std::unique_lock lock(m_mutex);
        m_tasksEnded.wait(lock, [this] { return m_running == 0; });
    }
    for (std::thread& thread : m_threads) {
        thread.join();
    }
    m_threads.clear();
}

} // namespace tarvex
