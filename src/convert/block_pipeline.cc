#include "convert/block_pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

struct BlockJob {
  Block block;
  BlockResult result;
  bool done = false;  // converted; guarded by the pipeline's mutex
};

// The jobs of one run. The calling thread alone gives jobs and takes them
// back: `ring`, `oldest` and `in_flight` are its own. The workers share
// `queue` and each job's `done` with it, under `mutex`.
struct Pipeline {
  const BlockSettings* settings = nullptr;
  std::vector<std::unique_ptr<BlockJob>> ring;  // jobs in the order given, oldest at `oldest`
  size_t oldest = 0;
  size_t in_flight = 0;  // given and not yet taken back, from `oldest` on
  std::mutex mutex;
  std::condition_variable work_waiting;
  std::condition_variable work_done;
  std::vector<BlockJob*> queue;  // given, not yet taken by a thread (oldest first)
  size_t queue_head = 0;
  bool closing = false;
};

// Takes the oldest job given and not yet taken, or null. Requires the lock.
BlockJob* take_job(Pipeline& p) {
  if (p.queue_head == p.queue.size()) return nullptr;
  BlockJob* job = p.queue[p.queue_head++];
  if (p.queue_head == p.queue.size()) {
    p.queue.clear();
    p.queue_head = 0;
  }
  return job;
}

// Converts a job taken from the queue, then marks it done.
void convert_taken(Pipeline& p, BlockJob* job, BlockWorker& worker) {
  convert_block(job->block, *p.settings, worker, job->result);
  {
    std::lock_guard lock(p.mutex);
    job->done = true;
  }
  p.work_done.notify_all();
}

void work(Pipeline& p, BlockWorker& worker) {
  for (;;) {
    BlockJob* job;
    {
      std::unique_lock lock(p.mutex);
      p.work_waiting.wait(lock, [&] { return p.closing || p.queue_head < p.queue.size(); });
      job = take_job(p);
      if (job == nullptr) return;
    }
    convert_taken(p, job, worker);
  }
}

// A job whose block may be filled and given, or null while all are in flight.
BlockJob* free_job(Pipeline& p) {
  if (p.in_flight == p.ring.size()) return nullptr;
  return p.ring[(p.oldest + p.in_flight) % p.ring.size()].get();
}

void give(Pipeline& p, BlockJob* job) {
  ++p.in_flight;
  {
    std::lock_guard lock(p.mutex);
    job->done = false;
    p.queue.push_back(job);
  }
  p.work_waiting.notify_one();
}

// Takes back the oldest job given once it is converted, converting jobs not
// yet taken meanwhile. Requires a job in flight; the job may be given again
// after the next call of free_job.
BlockJob* take_back_oldest(Pipeline& p, BlockWorker& caller) {
  BlockJob* const oldest = p.ring[p.oldest].get();
  {
    std::unique_lock lock(p.mutex);
    while (!oldest->done) {
      if (BlockJob* job = take_job(p)) {
        lock.unlock();
        convert_taken(p, job, caller);
        lock.lock();
      } else {
        p.work_done.wait(lock);
      }
    }
  }
  p.oldest = (p.oldest + 1) % p.ring.size();
  --p.in_flight;
  return oldest;
}

}  // namespace

void convert_in_order(BlockReader& reader, const BlockSettings& settings, const TimeZone& zone,
                      int threads, const BlockSink& on_block) {
  threads = std::max(threads, 1);
  Pipeline p;
  p.settings = &settings;
  // Two blocks more than threads: one being read, one being joined.
  const size_t jobs = threads > 1 ? static_cast<size_t>(threads) + 2 : 1;
  for (size_t i = 0; i < jobs; ++i) {
    auto job = std::make_unique<BlockJob>();
    block_init(job->block, reader);
    block_result_init(job->result, reader, settings.record_length);
    p.ring.push_back(std::move(job));
  }
  p.queue.reserve(jobs);
  // Options are fixed for a run: each worker's cache reads every line of the file the same way.
  const StampCache stamp_cache = empty_stamp_cache(settings.options->month_first);
  BlockWorker caller{zone, {}, stamp_cache, {}};
  std::vector<std::thread> workers;
  for (int i = 1; i < threads; ++i) {
    try {
      workers.emplace_back([&p, zone, stamp_cache] {
        BlockWorker worker{zone, {}, stamp_cache, {}};
        work(p, worker);
      });
    } catch (const std::system_error&) {
      break;  // no more threads to be had (a process limit): the ones started do the work
    }
  }

  bool stopping = false;
  bool read_all = false;
  for (;;) {
    BlockJob* job;
    while (!read_all && !stopping && (job = free_job(p)) != nullptr) {
      if (!next_block(reader, job->block)) {
        read_all = true;
        break;
      }
      give(p, job);
    }
    if (p.in_flight == 0) break;
    BlockJob* const oldest = take_back_oldest(p, caller);
    if (!stopping && !on_block(oldest->result)) stopping = true;
  }
  {
    std::lock_guard lock(p.mutex);
    p.closing = true;
  }
  p.work_waiting.notify_all();
  for (std::thread& worker : workers) worker.join();
}
