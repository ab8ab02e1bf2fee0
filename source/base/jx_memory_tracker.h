// The process-wide allocation tracker. Record keeping is switched off in this
// system: the tracker exists so that allocation sites report to one place,
// but it keeps no records and its leak query returns none.
#ifndef JX_BASE_JX_MEMORY_TRACKER_H_
#define JX_BASE_JX_MEMORY_TRACKER_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "base/jx_lock.h"

namespace jx {

struct TrackRecord {
  void* address;
  const char* file;  // "" when the caller gave none
  int32_t line;
  int64_t time_ms;  // jx_system_time_milliseconds at allocation
  int64_t thread_id;
};

class MemoryTracker {
 public:
  // Allocation sites skip building records while this is false.
  static constexpr bool kRecording = false;

  // The single instance, created on first use; holders keep it alive.
  static std::shared_ptr<MemoryTracker> Instance();

  ~MemoryTracker();
  MemoryTracker(const MemoryTracker&) = delete;
  MemoryTracker& operator=(const MemoryTracker&) = delete;

  void Add(const TrackRecord& record);
  void Remove(void* address);
  // Records older than `age_limit_ms`; none while recording is off.
  void QueryLeaks(int64_t age_limit_ms, std::vector<TrackRecord>* leaks);

 private:
  MemoryTracker();

  jx_lock_t lock_;
  std::vector<TrackRecord> records_;
};

}  // namespace jx

#endif  // JX_BASE_JX_MEMORY_TRACKER_H_
