// Type-stable storage for handle objects (locks, pools).
//
// Objects are never returned to the heap: a released object goes to a free
// list and is handed out again by a later Acquire. A handle therefore stays
// readable after its object was released, which is what lets the validity
// mark of a lock or pool turn a late call on a released handle into a no-op
// instead of a use-after-free. Acquire and Release take a mutex; they run
// only at creation and final release, never on a lock or allocation path.
#ifndef JX_BASE_JX_RECYCLE_H_
#define JX_BASE_JX_RECYCLE_H_

#include <mutex>
#include <vector>

namespace jx {

template <class T>
class Recycler {
 public:
  // A default-constructed T on first use; a previously released T after.
  // The caller re-initialises its fields.
  static T* Acquire() {
    Pool& pool = Get();
    {
      std::lock_guard<std::mutex> hold(pool.mutex);
      if (!pool.free.empty()) {
        T* object = pool.free.back();
        pool.free.pop_back();
        return object;
      }
    }
    return new T();
  }

  static void Release(T* object) {
    Pool& pool = Get();
    std::lock_guard<std::mutex> hold(pool.mutex);
    pool.free.push_back(object);
  }

 private:
  struct Pool {
    std::mutex mutex;
    std::vector<T*> free;
  };
  // Never destroyed: handles may be released by threads still running at exit.
  static Pool& Get() {
    static Pool* pool = new Pool();
    return *pool;
  }
};

}  // namespace jx

#endif  // JX_BASE_JX_RECYCLE_H_
