#pragma once
// Work sent to a thread of the engine: a block run on the thread of a run
// loop (the engine's running thread is the director's), optionally with one
// argument, waiting for it or not. Without waiting the call returns at once
// and the block runs on a later turn of that thread's loop, also when the
// caller is on that thread; waiting on that thread runs the block at once.
//
// A waiting caller is let go when its block has run, or when the loop is
// destroyed before running it.

#include <functional>
#include <memory>

#include "platform/foundation/RunLoop.h"

namespace engine2d {

// A block and its argument on their way to another thread.
struct GxObjectWith2Params {
    std::function<void(const std::shared_ptr<void>&)> block;
    std::shared_ptr<void> param;
};

// performBlock(thread, block): without waiting.
void performBlock(foundation::RunLoop& thread, std::function<void()> block, bool waitUntilDone = false);
// The block is called with `object` on the thread.
void performBlock(foundation::RunLoop& thread, std::function<void(const std::shared_ptr<void>&)> block,
                  std::shared_ptr<void> object, bool waitUntilDone);

}  // namespace engine2d
