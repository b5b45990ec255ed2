// The process-wide thread pool behind the threading table, and the threading
// routines the service layer hands out by name.
//
// parallel_for runs iteration i of count on the calling thread (t = 0) and on up
// to threads-1 pool workers (t = 1, 2, ...), each taking the next free
// iteration, and returns when all have returned. threads <= 0 means no limit
// beyond max_threads(). A call made from inside a running iteration (nested)
// runs its iterations in the calling thread with t = 0, and concurrent calls
// from different outside threads take the pool one after another.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "export.h"
#include "vexa/service.h"

namespace {

constexpr int kMaxPoolThreads = 256;

thread_local int t_number = 0;      // number of the pool thread running an iteration
thread_local bool t_inside = false;  // inside an iteration of parallel_for

class Pool {
public:
    Pool() {
        const unsigned hw = std::thread::hardware_concurrency();
        max_threads_.store(hw == 0 ? 1 : int(std::min<unsigned>(hw, kMaxPoolThreads)));
    }

    int max_threads() const { return max_threads_.load(std::memory_order_relaxed); }
    void set_max_threads(int n) { max_threads_.store(std::clamp(n, 1, kMaxPoolThreads)); }

    void parallel_for(int count, int threads, void* context, VexaWorkerFn worker) {
        if (count <= 0 || worker == nullptr) return;
        int p = max_threads();
        if (threads > 0) p = std::min(p, threads);
        p = std::min(p, count);
        if (p <= 1 || t_inside) {
            run_inline(count, context, worker);
            return;
        }
        std::lock_guard<std::mutex> call(call_mu_);
        std::unique_lock<std::mutex> lock(mu_);
        while (int(workers_.size()) < p - 1) {
            const int number = int(workers_.size()) + 1;
            workers_.emplace_back([this, number] { worker_loop(number); });
        }
        count_ = count;
        context_ = context;
        worker_ = worker;
        next_.store(0, std::memory_order_relaxed);
        participants_ = p;
        running_ = p - 1;
        ++generation_;
        lock.unlock();
        wake_.notify_all();
        work(0);
        lock.lock();
        done_.wait(lock, [this] { return running_ == 0; });
    }

private:
    void run_inline(int count, void* context, VexaWorkerFn worker) {
        const bool was_inside = t_inside;
        const int was_number = t_number;
        t_inside = true;
        t_number = 0;
        for (int i = 0; i < count; ++i) worker(i, 0, count, context);
        t_inside = was_inside;
        t_number = was_number;
    }

    void work(int t) {
        const bool was_inside = t_inside;
        t_inside = true;
        t_number = t;
        for (int i; (i = next_.fetch_add(1, std::memory_order_relaxed)) < count_;) worker_(i, t, count_, context_);
        t_inside = was_inside;
        t_number = 0;
    }

    void worker_loop(int number) {
        unsigned long seen = 0;
        std::unique_lock<std::mutex> lock(mu_);
        for (;;) {
            wake_.wait(lock, [&] { return generation_ != seen; });
            seen = generation_;
            if (number >= participants_) continue;
            lock.unlock();
            work(number);
            lock.lock();
            if (--running_ == 0) done_.notify_all();
        }
    }

    std::atomic<int> max_threads_{1};
    std::mutex call_mu_;
    std::mutex mu_;
    std::condition_variable wake_, done_;
    std::vector<std::thread> workers_;
    unsigned long generation_ = 0;
    int participants_ = 0;
    int running_ = 0;
    int count_ = 0;
    void* context_ = nullptr;
    VexaWorkerFn worker_ = nullptr;
    std::atomic<int> next_{0};
};

// Never destroyed: the workers stay parked until the process ends.
Pool& pool() {
    static Pool* p = new Pool;
    return *p;
}

void pool_parallel_for(int count, int threads, void* context, VexaWorkerFn worker) {
    pool().parallel_for(count, threads, context, worker);
}
void pool_parallel_run(int count, void* context, VexaWorkerFn worker) {
    pool().parallel_for(count, 0, context, worker);
}
int pool_max_threads() { return pool().max_threads(); }
int pool_thread_number() { return t_number; }
void pool_set_max_threads(int n) { pool().set_max_threads(n); }

const ThreadingTable kTable = {pool_parallel_for, pool_thread_number, pool_parallel_run, pool_set_max_threads,
                               pool_max_threads};

}  // namespace

extern "C" {

SERV_EXPORT const ThreadingTable* vexa_serv_threading_table(void) { return &kTable; }
SERV_EXPORT void vexa_serv_set_max_threads(int threads) { pool().set_max_threads(threads); }

SERV_EXPORT void* vexa_serv_load_thread_fun(const char* name) {
    if (name == nullptr) return nullptr;
    if (std::strcmp(name, "vexa_tqr_serv_threader_get_num_threads_limit") == 0)
        return reinterpret_cast<void*>(&pool_max_threads);
    if (std::strcmp(name, "vexa_tqr_serv_threader_for") == 0) return reinterpret_cast<void*>(&pool_parallel_for);
    return nullptr;
}

}  // extern "C"
